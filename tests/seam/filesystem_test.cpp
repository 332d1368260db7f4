#include "bank/soundbank.h"
#include "seam/filesystem.h"
#include "tests/support/failingsink.h"
#include "tests/support/testfiles.h"
#include "tests/support/locked.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
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

WriteFileResult Save(const std::string& path, const Bytes& bytes, bool produced = true, int* calls = nullptr)
{
    return WriteFileSafely(path, [&](ByteSink& file) {
        if (calls)
            ++*calls;
        return file.write(bytes) && produced;
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
        bool produced;             // what produce returns after writing
        WriteFileResult result;
        std::string locked = {};   // a file or folder that refuses writing
        bool read = false;         // a reader holds the file open meanwhile
    } cases[] = {
        // An open file cannot be replaced on Windows; either way its reader keeps the file it opened.
        {"a reader holds it open", target, true,
            kNativePathStyle == PathStyle::Windows ? WriteFileResult::CannotWrite : WriteFileResult::Written, {}, true},
        {"written", target, true, WriteFileResult::Written},
        {"no such folder", dir.file("missing") + (kNativePathStyle == PathStyle::Windows ? "\\" : "/") + kBankName,
            true, WriteFileResult::CannotCreate},
        {"produce gives up", target, false, WriteFileResult::CannotWrite},
        {"a folder in the way", folder, true, WriteFileResult::CannotWrite},
#ifndef _WIN32
        {"through a link to a link", dir.file("outer.jbx"), true, WriteFileResult::Written},
        {"a read-only file", target, true, WriteFileResult::CannotCreate, target},
        {"in place in a locked folder", target, true, WriteFileResult::Written, dir.path()},
        {"in place, produce gives up", target, false, WriteFileResult::CannotWrite, dir.path()},
        {"a new file in a locked folder", dir.file("new.jbx"), true, WriteFileResult::CannotCreate, dir.path()},
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
        EXPECT_EQ(Save(c.path, kTextModeTraps, c.produced, &calls), c.result);
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

// What is not a file is written as a plain open would: a FIFO (as a pipe reached through its descriptor's name
// is) stays what it is and gets the bytes; a link loop is refused.
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
    const Bytes before = ToBytes("before\n"), after = ToBytes("after\n");
    const struct {
        const char* what;
        const char* name;   // the descriptor's number follows when it ends in a slash
        int flags;
        bool produced;
        WriteFileResult result;
    } cases[] = {
        {"appended to", "/dev/fd/", O_WRONLY | O_APPEND, true, WriteFileResult::Written},
        {"at its offset", "/proc/self/fd/", O_RDWR, true, WriteFileResult::Written},
        {"standard output", "/dev/stdout", O_WRONLY | O_APPEND, true, WriteFileResult::Written},
        {"appended to, produce gives up", "/dev/fd/", O_WRONLY | O_APPEND, false, WriteFileResult::CannotWrite},
        {"at its offset, produce gives up", "/proc/self/fd/", O_WRONLY, false, WriteFileResult::CannotWrite},
        {"open for reading only", "/dev/fd/", O_RDONLY, true, WriteFileResult::CannotCreate},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
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
        const WriteFileResult result = Save(name, kTextModeTraps, c.produced);
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
}

// Makes fallocate fail as a file system without it does, so that the C library's own way of reserving room is taken.
bool TakeAwayFallocate()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_fallocate, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EOPNOTSUPP),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Saves as uid 1000 (group 1000, and the file's group 2000 besides) in a child: the file is replaced where the
// folder lets the user rename over it, else written in place keeping its owner, also without fallocate.
TEST(Filesystem, WriteFileSafelyKeepsAnotherUsersFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "taking another user's identity needs root";
    const uid_t user = 1000, owner = 3000, folderOwner = 4000;
    const gid_t group = 1000, fileGroup = 2000;
    const Bytes oldBytes = ToBytes("the file that was there");
    const struct {
        const char* what;
        uid_t folderOwner;
        fs::perms folderMode;
        bool replaced;
    } cases[] = {
        {"the user's own folder", user, fs::perms(0755), true},
        {"a shared folder", folderOwner, fs::perms(0775), true},
        {"a shared folder with the sticky bit", folderOwner, fs::perms(01777), false},
        {"another's folder", folderOwner, fs::perms(0755), false},
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

        const pid_t child = fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            const gid_t groups[] = {fileGroup};
            if (setgroups(1, groups) != 0 || setgid(group) != 0 || setuid(user) != 0 || !TakeAwayFallocate())
                _exit(100);
            _exit(int(Save(target, kTextModeTraps)));
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 100) << "could not become another user without fallocate";
        EXPECT_EQ(WriteFileResult(WEXITSTATUS(status)), WriteFileResult::Written);
        EXPECT_EQ(ReadBytes(target), kTextModeTraps);
        struct stat file {};
        ASSERT_EQ(::stat(target.c_str(), &file), 0);
        EXPECT_EQ(std::make_pair(file.st_uid, file.st_gid), std::make_pair(c.replaced ? user : owner, fileGroup));
        EXPECT_EQ(file.st_mode & 07777, 0664u);
        EXPECT_EQ(Listing(folder).size(), 1u) << "a temporary file was left";
    }
}

#endif

} // namespace
} // namespace jbx
