#include "bank/soundbank.h"
#include "seam/filesystem.h"
#include "tests/support/failingsink.h"
#include "tests/support/testfiles.h"
#include "tests/support/locked.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <chrono>
#include <sys/time.h>
#include <thread>
#include <cstddef>
#endif

namespace jbx {
namespace {

using namespace jbx::testing;
namespace fs = std::filesystem;

std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(std::u8string(folder.begin(), folder.end()))))
        names.push_back(reinterpret_cast<const char*>(entry.path().filename().u8string().c_str()));
    return names;
}

// Bytes a text-mode stream changes on Windows: LF written as CR LF, CR LF read as LF, 0x1A ends the file.
const Bytes kTextModeTraps = {0x0A, 0x0D, 0x0A, 0x1A, 0x00, 0x0D, 0x0D, 0x0A, 0x1A, 0xFF};

// Latin letters that a Western code page has, and one that no single-byte
// code page has, so that neither UTF-8 taken as ANSI nor ANSI goes unnoticed.
const std::string kFolderName = "Klänge 音";
const std::string kBankName = "Überraschung-ß.jbx";

// How produce ends once it has written the bytes.
enum class Ending { Completes, GivesUp, RunsOutOfMemory };

WriteFileResult Save(const std::string& path, const Bytes& bytes, Ending ending = Ending::Completes, int* calls = nullptr)
{
    return WriteFileSafely(path, [&](ByteSink& file) {
        if (calls)
            ++*calls;
        if (!file.write(bytes))
            return false;
        if (ending == Ending::RunsOutOfMemory)
            throw std::bad_alloc();
        return ending == Ending::Completes;
    });
}

TEST(Filesystem, EveryByteValueGoesThroughUnchangedUnderANonAsciiName)
{
    TempDir dir;
    const std::string folder = dir.file(kFolderName);
    ASSERT_TRUE(fs::create_directory(fs::path(std::u8string(folder.begin(), folder.end()))));
    const std::string path = folder + (kNativePathStyle == PathStyle::Windows ? "\\" : "/") + kBankName;
    Bytes bytes = kTextModeTraps;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(std::uint8_t(value));

    const std::span<const std::uint8_t> all(bytes);
    ASSERT_EQ(WriteFileSafely(path, [&](ByteSink& file) { return file.write(all.first(5)) && file.write(all.subspan(5)); }),
        WriteFileResult::Written);
    EXPECT_EQ(Listing(folder), std::vector<std::string>{kBankName});
    EXPECT_EQ(ReadBytes(path), bytes) << "written as text";
    EXPECT_EQ(ReadWholeFile(path), bytes) << "read as text";
    // The end-of-file mark goes up only when a read wanted more than there was.
    auto reader = InputFile::open(path);
    ASSERT_TRUE(reader);
    Bytes whole(bytes.size());
    EXPECT_EQ(reader->read(whole.data(), whole.size()), bytes.size());
    EXPECT_FALSE(reader->eof());
    EXPECT_EQ(reader->read(whole.data(), 1), 0u);
    EXPECT_TRUE(reader->eof());
    // Copied file to file in two ranges, the second behind what the stream
    // buffered of the first, and through memory.
    auto file = InputFile::open(path);
    ASSERT_TRUE(file);
    const std::string copy = dir.file("copy");
    const std::int64_t size = file->size();
    ASSERT_EQ(WriteFileSafely(copy, [&](ByteSink& sink) {
        return sink.write(all.first(1)) && file->copyTo(sink, 1, 7) && sink.write(all.subspan(8, 1))
            && file->copyTo(sink, 9, size - 9);
    }), WriteFileResult::Written);
    EXPECT_EQ(ReadBytes(copy), bytes);
    MemorySink memory;
    EXPECT_TRUE(file->copyTo(memory, 3, 5));
    EXPECT_EQ(memory.data, Bytes(bytes.begin() + 3, bytes.begin() + 8));
    EXPECT_FALSE(file->copyTo(memory, 3, size)) << "a range past the end";
    FailingSink full(memory, 0);
    EXPECT_FALSE(file->copyTo(full, 0, size)) << "a write that failed";

#ifdef __linux__
    // From another file system, which the kernel does not copy across: the
    // bytes go through memory instead.
    if (fs::is_directory("/dev/shm")) {
        const fs::path elsewhere = fs::path("/dev/shm") / ("jbx-copy-" + std::to_string(getpid()));
        WriteBytes(elsewhere.string(), bytes);
        auto shared = InputFile::open(elsewhere.string());
        fs::remove(elsewhere);
        ASSERT_TRUE(shared);
        ASSERT_EQ(WriteFileSafely(copy, [&](ByteSink& sink) { return shared->copyTo(sink, 0, size); }),
            WriteFileResult::Written);
        EXPECT_EQ(ReadBytes(copy), bytes);
    }
#endif
}

#ifndef _WIN32
// A pipe is read to its end through signals that interrupt the wait for it,
// as a timer's do when its handler is installed without SA_RESTART.
TEST(Filesystem, APipeIsReadWholeThroughSignals)
{
    struct sigaction quiet = {}, old = {};
    quiet.sa_handler = [](int) {};
    sigemptyset(&quiet.sa_mask);
    ASSERT_EQ(sigaction(SIGALRM, &quiet, &old), 0);
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::thread writer([in = ends[1]] {
        sigset_t alarm;
        sigemptyset(&alarm);
        sigaddset(&alarm, SIGALRM);
        pthread_sigmask(SIG_BLOCK, &alarm, nullptr);
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_EQ(write(in, "abcd", 4), 4);
        }
        close(in);
    });
    const itimerval often = {{0, 2000}, {0, 2000}}, off = {};
    setitimer(ITIMER_REAL, &often, nullptr);
    const auto file = InputFile::open("/dev/fd/" + std::to_string(ends[0]));
    setitimer(ITIMER_REAL, &off, nullptr);
    writer.join();
    close(ends[0]);
    sigaction(SIGALRM, &old, nullptr);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 20);
}
#endif

// A file is replaced only by a complete new one: whatever fails, the file that was there stays with its
// permissions, and no file is left beside it. Links lead to the file; a file that may not be written is
// refused; where no new file may be made beside it, the file is overwritten in place.
TEST(Filesystem, WriteFileSafelySaysWhatBecameOfTheFile)
{
    TempDir dir;
    const std::string target = dir.file(kBankName);
    const std::string folder = dir.file("folder");
    ASSERT_TRUE(fs::create_directory(fs::path(std::u8string(folder.begin(), folder.end()))));
    const Bytes oldBytes = ToBytes("the file that was there\r\n");
    WriteBytes(target, oldBytes);
#ifndef _WIN32
    fs::create_symlink(kBankName, dir.file("inner.jbx"));
    fs::create_symlink(dir.file("inner.jbx"), dir.file("outer.jbx"));
#endif
    const std::size_t entries = Listing(dir.path()).size();
    const struct {
        const char* what;
        std::string path;
        Ending ending;
        WriteFileResult result;
        std::string locked = {};   // a file or folder that refuses writing
        bool read = false;         // a reader holds the file open meanwhile
    } cases[] = {
        // An open file cannot be replaced on Windows; either way its reader keeps the file it opened.
        {"a reader holds it open", target, Ending::Completes,
            kNativePathStyle == PathStyle::Windows ? WriteFileResult::CannotWrite : WriteFileResult::Written, {}, true},
        {"written", target, Ending::Completes, WriteFileResult::Written},
        {"no such folder", dir.file("missing") + (kNativePathStyle == PathStyle::Windows ? "\\" : "/") + kBankName,
            Ending::Completes, WriteFileResult::CannotCreate},
        {"produce gives up", target, Ending::GivesUp, WriteFileResult::CannotWrite},
        {"memory runs out", target, Ending::RunsOutOfMemory, WriteFileResult::CannotWrite},
        {"a folder in the way", folder, Ending::Completes, WriteFileResult::CannotWrite},
#ifndef _WIN32
        {"through a link to a link", dir.file("outer.jbx"), Ending::Completes, WriteFileResult::Written},
        {"a read-only file", target, Ending::Completes, WriteFileResult::CannotCreate, target},
        {"in place in a locked folder", target, Ending::Completes, WriteFileResult::Written, dir.path()},
        {"in place, produce gives up", target, Ending::GivesUp, WriteFileResult::CannotWrite, dir.path()},
        {"in place, memory runs out", target, Ending::RunsOutOfMemory, WriteFileResult::CannotWrite, dir.path()},
        {"a new file in a locked folder", dir.file("new.jbx"), Ending::Completes, WriteFileResult::CannotCreate, dir.path()},
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(target, oldBytes);
#ifndef _WIN32
        fs::permissions(target, fs::perms(0640));
        std::optional<Locked> lock;
        if (!c.locked.empty() && !lock.emplace(c.locked).locked())
            GTEST_SKIP() << "cannot lock a file here (chattr +i needs root and a file system that has the attribute)";
#endif
        const auto reader = c.read ? InputFile::open(target) : nullptr;
        int calls = 0;
        EXPECT_EQ(Save(c.path, kTextModeTraps, c.ending, &calls), c.result);
        Bytes seen(oldBytes.size());
        EXPECT_TRUE(!reader || (reader->read(seen.data(), seen.size()) == seen.size() && seen == oldBytes))
            << "the reader lost the file it opened";
        EXPECT_EQ(calls, c.result == WriteFileResult::CannotCreate ? 0 : 1);
        EXPECT_EQ(ReadBytes(target), c.result == WriteFileResult::Written ? kTextModeTraps : oldBytes);
#ifndef _WIN32
        lock.reset();
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));
        EXPECT_TRUE(fs::is_symlink(dir.file("outer.jbx"))) << "the link became a file";
#endif
        EXPECT_EQ(Listing(dir.path()).size(), entries) << "a file was left beside it";
    }
    EXPECT_TRUE(fs::is_directory(fs::path(std::u8string(folder.begin(), folder.end()))));
}

#ifndef _WIN32

// A new file gets the user's usual permissions; a name near the 255-byte limit leaves room for the temporary file.
TEST(Filesystem, WriteFileSafelyMakesAndReplacesAFileOfALongName)
{
    TempDir dir;
    const std::string target = dir.file(std::string(255 - 4, 'n') + ".jbx");
    const mode_t mask = umask(027);
    for (const Bytes& bytes : {ToBytes("first"), ToBytes("second")}) {
        EXPECT_EQ(Save(target, bytes), WriteFileResult::Written);
        EXPECT_EQ(ReadBytes(target), bytes);
    }
    umask(mask);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(Listing(dir.path()).size(), 1u) << "a temporary file was left";
}

// No descriptor to spare is no refusal for want of permission: the file is left as it was, not written in place.
TEST(Filesystem, WriteFileSafelyWithoutADescriptorToSpareChangesNothing)
{
    TempDir dir;
    const std::string target = dir.file("target.jbx");
    WriteBytes(target, ToBytes("old"));
    const int lowestFree = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit saved{}, tight{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    tight = {rlim_t(lowestFree + 1), saved.rlim_max};   // the old file's descriptor and no more
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    const auto result = Save(target, ToBytes("new"));
    setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(result, WriteFileResult::CannotWrite);
    EXPECT_EQ(ReadBytes(target), ToBytes("old"));
}

// What is not a file is written as a plain open would: a FIFO (as another process's pipe reached by its
// descriptor's name is) stays what it is and gets the bytes; a link loop is refused.
TEST(Filesystem, WriteFileSafelyWritesThroughWhatIsNoFile)
{
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // Opened first without waiting, so that the write needs no reader thread; the bytes fit in the pipe's buffer.
    const int fromFifo = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fromFifo, 0);

    EXPECT_EQ(Save(fifo, kTextModeTraps), WriteFileResult::Written);
    Bytes received(64);
    received.resize(std::size_t(std::max<ssize_t>(::read(fromFifo, received.data(), received.size()), 0)));
    ::close(fromFifo);
    EXPECT_EQ(received, kTextModeTraps);
    EXPECT_TRUE(fs::is_fifo(fifo));

    fs::create_symlink("loop-b", dir.file("loop-a"));
    fs::create_symlink("loop-a", dir.file("loop-b"));
    EXPECT_EQ(Save(dir.file("loop-a"), kTextModeTraps), WriteFileResult::CannotCreate);
    EXPECT_TRUE(fs::is_symlink(dir.file("loop-a")));
    EXPECT_EQ(Listing(dir.path()).size(), 3u) << "a temporary file was left";
}

// A descriptor's name stands for the descriptor as a shell's redirection left it: the bytes land at its offset,
// or at the end in append mode, between what was written through it before and after; a failed save takes back
// what it added; a descriptor open only for reading is refused.
TEST(Filesystem, WriteFileSafelyWritesThroughTheDescriptorANameStandsFor)
{
    TempDir dir;
    const std::string target = dir.file("redirected");
    const Bytes after = ToBytes("after\n");
    const struct {
        const char* what;
        const char* name;   // the descriptor's number follows when it ends in a slash
        int flags;
        Ending ending;
        WriteFileResult result;
        const char* was = "before\n";
    } cases[] = {
        {"appended to", "/dev/fd/", O_WRONLY | O_APPEND, Ending::Completes, WriteFileResult::Written},
        {"at its offset", "/proc/self/fd/", O_RDWR, Ending::Completes, WriteFileResult::Written},
        {"standard output", "/dev/stdout", O_WRONLY | O_APPEND, Ending::Completes, WriteFileResult::Written},
        {"appended to, produce gives up", "/dev/fd/", O_WRONLY | O_APPEND, Ending::GivesUp, WriteFileResult::CannotWrite},
        {"appended to an empty file, produce gives up", "/dev/fd/", O_WRONLY | O_APPEND, Ending::GivesUp,
            WriteFileResult::CannotWrite, ""},
        {"at its offset, memory runs out", "/proc/self/fd/", O_WRONLY, Ending::RunsOutOfMemory, WriteFileResult::CannotWrite},
        {"open for reading only", "/dev/fd/", O_RDONLY, Ending::Completes, WriteFileResult::CannotCreate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes before = ToBytes(c.was);
        WriteBytes(target, before);
        const int fd = ::open(target.c_str(), c.flags | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        if (!(c.flags & O_APPEND)) {
            ASSERT_EQ(lseek(fd, 0, SEEK_END), off_t(before.size()));
        }
        std::string name = c.name;
        const bool standardOutput = name == "/dev/stdout";
        if (name.back() == '/')
            name += std::to_string(fd);
        int savedOutput = -1;
        if (standardOutput) {
            std::fflush(stdout);
            savedOutput = dup(STDOUT_FILENO);
            ASSERT_EQ(dup2(fd, STDOUT_FILENO), STDOUT_FILENO);
        }
        const WriteFileResult result = Save(name, kTextModeTraps, c.ending);
        if (standardOutput) {
            dup2(savedOutput, STDOUT_FILENO);
            ::close(savedOutput);
        }
        const bool writable = (c.flags & O_ACCMODE) != O_RDONLY;
        EXPECT_TRUE(!writable || ::write(fd, after.data(), after.size()) == ssize_t(after.size()));
        ::close(fd);

        EXPECT_EQ(result, c.result);
        Bytes expected = before;
        if (result == WriteFileResult::Written)
            expected.insert(expected.end(), kTextModeTraps.begin(), kTextModeTraps.end());
        if (writable)
            expected.insert(expected.end(), after.begin(), after.end());
        EXPECT_EQ(ReadBytes(target), expected);
        EXPECT_EQ(Listing(dir.path()).size(), 1u) << "a temporary file was left";
    }

    // A file that only bears a descriptor's number as its name is replaced as any file is.
    WriteBytes(target, after);
    const int fd = ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string numbered = dir.file(std::to_string(fd));
    fs::rename(target, numbered);
    EXPECT_EQ(Save(numbered, kTextModeTraps), WriteFileResult::Written);
    EXPECT_EQ(ReadBytes(numbered), kTextModeTraps);
    ::close(fd);
}

// Makes a system call fail with error from now on, in this process and those it starts: fallocate with EOPNOTSUPP as
// on a file system without it, so that the C library's own way of reserving room is taken, or with ENOSPC as on a
// full disk.
bool FailCall(int call, int error)
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, std::uint32_t(call), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | std::uint32_t(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// How much room the disk has for a save in place.
enum class Room {
    NoFallocate,      // enough, but fallocate is missing
    Full,             // fallocate finds the disk full
    FullNoFallocate,  // fallocate is missing and the C library's way of reserving runs out of room
    Unflushed,        // the file cannot be flushed to the disk
};

// Saves as uid 1000 (group 1000, and the file's group 2000 besides) in a child: the file is replaced where the
// folder lets the user rename over it, else written in place keeping its owner, also without fallocate; where
// the disk has no room for the new bytes the file stays as it was.
TEST(Filesystem, WriteFileSafelyKeepsAnotherUsersFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "taking another user's identity needs root";
    const uid_t user = 1000, owner = 3000, folderOwner = 4000;
    const gid_t group = 1000, fileGroup = 2000;
    const Bytes oldBytes = ToBytes("the file that was there");
    Bytes newBytes;
    while (newBytes.size() < 3 * 4096)
        newBytes.insert(newBytes.end(), kTextModeTraps.begin(), kTextModeTraps.end());
    const struct {
        const char* what;
        uid_t folderOwner;
        fs::perms folderMode;
        bool replaced;
        Room room = Room::NoFallocate;
        std::size_t length = SIZE_MAX;   // of the new bytes, if not all of them
    } cases[] = {
        {"the user's own folder", user, fs::perms(0755), true},
        {"a shared folder", folderOwner, fs::perms(0775), true},
        {"a shared folder with the sticky bit", folderOwner, fs::perms(01777), false},
        {"another's folder", folderOwner, fs::perms(0755), false},
        {"another's folder, the disk full", folderOwner, fs::perms(0755), false, Room::Full},
        {"another's folder, the disk full, no fallocate", folderOwner, fs::perms(0755), false, Room::FullNoFallocate},
        {"another's folder, the flush fails", folderOwner, fs::perms(0755), false, Room::Unflushed},
        {"another's folder, emptied", folderOwner, fs::perms(0755), false, Room::NoFallocate, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string folder = dir.file("shared");
        fs::create_directory(folder);
        const std::string target = folder + "/target.jbx";
        WriteBytes(target, oldBytes);
        ASSERT_EQ(chown(folder.c_str(), c.folderOwner, group), 0);
        fs::permissions(folder, c.folderMode);
        ASSERT_EQ(chown(target.c_str(), owner, fileGroup), 0);
        fs::permissions(target, fs::perms(0664));
        const Bytes saved(newBytes.begin(), newBytes.begin() + std::ptrdiff_t(std::min(c.length, newBytes.size())));

        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            // The file may grow no further than it is: the C library's reserving writes past its end are refused.
            const rlimit noGrowth{rlim_t(oldBytes.size()), rlim_t(oldBytes.size())};
            const gid_t groups[] = {fileGroup};
            if (setgroups(1, groups) != 0 || setgid(group) != 0 || setuid(user) != 0
                || (c.room == Room::FullNoFallocate
                    && (signal(SIGXFSZ, SIG_IGN) == SIG_ERR || setrlimit(RLIMIT_FSIZE, &noGrowth) != 0))
                || !FailCall(c.room == Room::Unflushed ? __NR_fsync : __NR_fallocate,
                    c.room == Room::Full ? ENOSPC : c.room == Room::Unflushed ? EIO : EOPNOTSUPP))
                _exit(100);
            _exit(int(Save(target, saved)));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 100) << "could not become another user without fallocate";
        const bool room = c.room == Room::NoFallocate;
        EXPECT_EQ(WriteFileResult(WEXITSTATUS(status)), room ? WriteFileResult::Written : WriteFileResult::CannotWrite);
        // A file written in place that cannot be flushed is damaged already; that the save failed is all there is
        // to say then.
        if (c.room != Room::Unflushed) {
            EXPECT_EQ(ReadBytes(target), room ? saved : oldBytes);
        }
        struct stat file {};
        ASSERT_EQ(::stat(target.c_str(), &file), 0);
        EXPECT_EQ(std::make_pair(file.st_uid, file.st_gid), std::make_pair(c.replaced ? user : owner, fileGroup));
        EXPECT_EQ(file.st_mode & 07777, 0664u);
        EXPECT_EQ(Listing(folder).size(), 1u) << "a temporary file was left";
    }
}

// AddressSanitizer's runtime probes memory with writes of its own, which a failure injected into every write would
// break.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// The exit status of a program whose output is thrown away; 127 when it cannot be started, -1 when a signal ended it.
int RunQuietly(std::vector<std::string> args)
{
    const pid_t child = fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// One system call of a save fails as the kernel or the disk makes it fail, injected by strace: a copy file to file
// that the kernel turns down goes on through memory and one that a signal cuts short is tried again; a write, a
// copy or a flush that fails, or a rename refused, leaves the old file; a folder that cannot be flushed does not
// undo a save already in place.
TEST(Filesystem, WriteFileSafelyWhenASystemCallFails)
{
    // The leak checker of a sanitizer build cannot run under a tracer.
    const auto traced = [](const std::string& fault, const std::string& from, const std::string& to) {
        return RunQuietly({"strace", "-f", "-qq", "-o", "/dev/null", "-e", "inject=" + fault, "-E",
            "ASAN_OPTIONS=detect_leaks=0", SAVECOPY_PATH, from, to});
    };
    TempDir dir;
    const std::string source = dir.file("source"), target = dir.file("target");
    Bytes bytes;
    for (int i = 0; i < 200000; ++i)
        bytes.push_back(std::uint8_t(i * 7 + i / 251));
    WriteBytes(source, bytes);
    const int untraced = traced("getppid:error=EPERM", source, target);
    if (untraced == 127)
        GTEST_SKIP() << "strace is not installed (scripts/install-deps installs it)";
    if (untraced != int(WriteFileResult::Written))
        GTEST_SKIP() << "this machine does not let strace trace";
    ASSERT_EQ(ReadBytes(target), bytes);

    const Bytes oldBytes = ToBytes("the file that was there");
    const struct {
        const char* fault;
        WriteFileResult result;
    } cases[] = {
        {"copy_file_range:error=EINTR:when=1", WriteFileResult::Written},
        {"copy_file_range:error=EXDEV", WriteFileResult::Written},
        {"copy_file_range:error=EINVAL", WriteFileResult::Written},
        {"copy_file_range:error=ENOSYS", WriteFileResult::Written},
        {"copy_file_range:error=EOPNOTSUPP", WriteFileResult::Written},
        {"copy_file_range:error=EBADF", WriteFileResult::Written},
        {"copy_file_range:error=EPERM", WriteFileResult::Written},
        {"copy_file_range:error=EIO", WriteFileResult::CannotWrite},
        {kAddressSanitizer ? nullptr : "write:error=ENOSPC", WriteFileResult::CannotWrite},
        {"fsync:error=EIO:when=1", WriteFileResult::CannotWrite},
        {"rename,renameat,renameat2:error=EIO", WriteFileResult::CannotWrite},
        {"fsync:error=EIO:when=2", WriteFileResult::Written},
    };
    for (const auto& c : cases) {
        if (!c.fault)
            continue;
        SCOPED_TRACE(c.fault);
        WriteBytes(target, oldBytes);
        EXPECT_EQ(traced(c.fault, source, target), int(c.result));
        EXPECT_EQ(ReadBytes(target), c.result == WriteFileResult::Written ? bytes : oldBytes);
        EXPECT_EQ(Listing(dir.path()).size(), 2u) << "a temporary file was left";
    }
}

#endif

} // namespace
} // namespace jbx
