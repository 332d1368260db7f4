// The platform's part of the nothing-lost writer on Linux and other POSIX
// systems.

#include "seam/platformfile.h"

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jbx::platform {

namespace {

// Room for length bytes from the start of the file, without changing it.
bool Reserve(int fd, off_t length)
{
    if (length == 0)
        return true;
#ifdef __linux__
    if (fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, length) == 0)
        return true;
    if (errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
#endif
    // This one grows the file, and its fallback may give up having grown
    // it part of the way: the old length is put back then.
    struct stat old {};
    if (fstat(fd, &old) != 0)
        return false;
    if (posix_fallocate(fd, 0, length) == 0)
        return true;
    if (ftruncate(fd, old.st_size) != 0) {
        // Nothing of the old bytes was touched; only zeros past them stay.
    }
    return false;
}

// The temporary file being written, kept where a signal handler may read it
// without allocating: the path is complete before the mark goes up.
char gTemporaryPath[4096];
std::atomic<bool> gTemporaryNoted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void RemoveTemporaryFileAndDie(int signal)
{
    if (gTemporaryNoted)
        unlink(gTemporaryPath);
    // The signal is blocked while its handler runs; with the default action
    // back it ends the process on return, and the parent sees why.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signal, &standard, nullptr);
    raise(signal);
}

} // namespace

void CloseDescriptor(int fd)
{
    ::close(fd);
}

std::FILE* StreamOf(Descriptor fd)
{
    std::FILE* file = fd ? fdopen(fd.get(), "wb") : nullptr;
    if (file)
        fd.release();
    return file;
}

std::FILE* CreateNewFile(const fs::path& path)
{
    // 0666 less the umask, as any new file of the user's gets.
    Descriptor fd(::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666));
    if (!fd)
        return nullptr;
    std::FILE* file = StreamOf(std::move(fd));
    if (!file)
        ::unlink(path.c_str());
    return file;
}

Descriptor OpenExistingForWriting(const fs::path& path)
{
    // Read access too where the file gives it, for the C library's own way
    // of reserving room on a file system that cannot do it at once.
    Descriptor fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd)
        fd.reset(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    return fd;
}

Descriptor OpenForWritingThrough(const fs::path& path)
{
    return Descriptor(::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
}

bool FlushToDisk(std::FILE* file)
{
    return fsync(fileno(file)) == 0;
}

// The new file takes the old one's permission bits and, where allowed, its
// owner and group; a user who may not give the file away may still give it
// the old group when a member of it.
void CopyPermissions(const fs::path& target, std::FILE* file)
{
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0)
        return;
    const int fd = fileno(file);
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, uid_t(-1), old.st_gid) != 0) {
        // The group is not the user's to give either; the bits below still hold.
    }
    fchmod(fd, old.st_mode & 07777);
}

// In a folder with the sticky bit only the owner of a file or of the folder
// may rename over it. That is decided before the temporary file is made,
// not on the rename's refusal: by then the bytes would have to be produced
// again or copied back out of the temporary file.
bool RenameWouldBeRefused(const fs::path& target)
{
    const uid_t user = geteuid();
    if (user == 0)
        return false;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    struct stat file {}, parent {};
    return ::stat(target.c_str(), &file) == 0 && ::stat(folder.c_str(), &parent) == 0
        && (parent.st_mode & S_ISVTX) && file.st_uid != user && parent.st_uid != user;
}

// Whether the link chain that FinalTarget followed by name leads where the
// kernel's look-up does. Another process's descriptor's name under /proc
// reads as a path that is no file's, or not this file's any more.
bool NamedBy(const fs::path& given, const fs::path& target)
{
    struct stat a {}, b {};
    return ::stat(given.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0 && a.st_dev == b.st_dev
        && a.st_ino == b.st_ino;
}

#ifdef __linux__
namespace {

bool AllDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// This process's folder of descriptors, as /proc/self/fd resolves, or a
// thread's of it, as /proc/thread-self/fd does.
bool OwnDescriptorFolder(const fs::path& folder)
{
    const fs::path own = fs::path("/proc") / std::to_string(getpid());
    if (folder.filename() != "fd")
        return false;
    const fs::path above = folder.parent_path();
    return above == own || (above.parent_path() == own / "task" && AllDigits(above.filename().string()));
}

} // namespace
#endif

// Each link of the chain is looked at by the folder it lies in, since
// /dev/stdout leads to /proc/self/fd/1 and that one on to the file itself;
// the descriptor found must hold the very file the name reaches.
int DescriptorNamedBy(const fs::path& path)
{
#ifdef __linux__
    fs::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        const fs::path folder = fs::canonical(current.has_parent_path() ? current.parent_path() : fs::path("."), error);
        const std::string name = current.filename().string();
        if (!error && OwnDescriptorFolder(folder) && AllDigits(name) && name.size() < 10) {
            const int fd = std::stoi(name);
            struct stat named {}, open {};
            const bool same = ::stat(path.c_str(), &named) == 0 && fstat(fd, &open) == 0
                && named.st_dev == open.st_dev && named.st_ino == open.st_ino;
            return same ? fd : -1;
        }
        if (!fs::is_symlink(fs::symlink_status(current, error)))
            return -1;
        const fs::path next = fs::read_symlink(current, error);
        if (error)
            return -1;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
#else
    (void)path;
#endif
    return -1;
}

Descriptor DuplicateForWriting(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY)
        return Descriptor();
    return Descriptor(fcntl(fd, F_DUPFD_CLOEXEC, 0));
}

std::int64_t EndWrittenPast(int fd)
{
    struct stat file {};
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fstat(fd, &file) != 0 || !S_ISREG(file.st_mode))
        return -1;
    const off_t at = (flags & O_APPEND) ? file.st_size : lseek(fd, 0, SEEK_CUR);
    return at >= file.st_size ? std::int64_t(file.st_size) : -1;
}

// The offset goes back too, or the next write through the descriptor would
// leave a hole of zeros where the cut-off bytes were.
void CutTo(int fd, std::int64_t length)
{
    if (ftruncate(fd, off_t(length)) == 0)
        lseek(fd, off_t(length), SEEK_SET);
}

// The disk's room for the new bytes is reserved before any old byte is
// overwritten, and the file is cut to the new length only once every byte
// is in, so a full disk refuses the save and loses nothing.
bool Overwrite(int fd, std::span<const std::uint8_t> bytes)
{
    if (!Reserve(fd, off_t(bytes.size())))
        return false;
    off_t at = 0;
    while (!bytes.empty()) {
        const ssize_t written = pwrite(fd, bytes.data(), bytes.size(), at);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(std::size_t(written));
        at += written;
    }
    return ftruncate(fd, at) == 0 && fsync(fd) == 0;
}

// A copy the kernel turns down for these two files goes on through memory,
// and one a signal cut short is asked for again.
std::int64_t CopyRange(int from, std::int64_t offset, int to, std::int64_t length)
{
    std::int64_t copied = 0;
#ifdef __linux__
    off_t at = off_t(offset);
    while (copied < length) {
        const ssize_t n = copy_file_range(from, &at, to, nullptr, std::size_t(length - copied), 0);
        if (n > 0) {
            copied += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // The end of the input, or two files the kernel will not copy
        // between (other file systems, a pipe): the rest goes through memory.
        if (n == 0 || errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP
            || errno == EBADF || errno == EPERM)
            break;
        return -1;
    }
#else
    (void)from, (void)offset, (void)to, (void)length;
#endif
    return copied;
}

void StartWriteback(int fd, std::int64_t offset, std::int64_t length)
{
#ifdef __linux__
    sync_file_range(fd, off64_t(offset), off64_t(length), SYNC_FILE_RANGE_WRITE);
#else
    (void)fd, (void)offset, (void)length;
#endif
}

// The rename reaches the disk only when the folder that records it does.
bool ReplaceWith(const fs::path& temp, const fs::path& target)
{
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return false;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // The new file is in place either way; a folder that cannot be
        // flushed (some network file systems) does not undo the save.
        fsync(fd);
        ::close(fd);
    }
    return true;
}

void NoteTemporaryFile(const fs::path& path)
{
    gTemporaryNoted = false;
    const std::string& text = path.native();
    if (text.size() >= sizeof gTemporaryPath)
        return;   // too long to note; an interrupt would leave it behind
    text.copy(gTemporaryPath, text.size());
    gTemporaryPath[text.size()] = '\0';
    gTemporaryNoted = true;
}

void ForgetTemporaryFile()
{
    gTemporaryNoted = false;
}

void RemoveTemporaryFileOnInterrupt()
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        // A signal ignored from the start (nohup, a background job) stays so.
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryFileAndDie;
        sigemptyset(&action.sa_mask);
        for (const int other : {SIGINT, SIGTERM, SIGHUP})
            sigaddset(&action.sa_mask, other);
        sigaction(signal, &action, nullptr);
    }
}

} // namespace jbx::platform
