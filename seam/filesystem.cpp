#include "seam/filesystem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace jbx {

namespace {

std::FILE* OpenFile(const std::string& path, bool forWriting)
{
#ifdef _WIN32
    return _wfopen(PathFromUtf8(path).c_str(), forWriting ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), forWriting ? "wb" : "rb");
#endif
}

bool Seek(std::FILE* file, std::int64_t offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(file, offset, origin) == 0;
#else
    return fseeko(file, off_t(offset), origin) == 0;
#endif
}

std::int64_t Tell(std::FILE* file)
{
#ifdef _WIN32
    return _ftelli64(file);
#else
    return std::int64_t(ftello(file));
#endif
}

// All that a stream which cannot seek delivers, in a buffer that grows as
// the bytes arrive; nothing when it holds more than a bank's or a voice
// file's 32-bit lengths can describe, fails, or does not fit in memory.
std::optional<Bytes> ReadToEnd(std::FILE* file)
{
    constexpr std::size_t limit = INT32_MAX;
    Bytes bytes;
    std::uint8_t chunk[1 << 16];
    try {
        std::size_t got = 0;
        do {
            got = std::fread(chunk, 1, sizeof chunk, file);
            if (got > limit - bytes.size())
                return std::nullopt;
            if (bytes.size() + got > bytes.capacity())
                bytes.reserve(std::min(std::max(bytes.capacity() * 2, bytes.size() + got), limit));
            bytes.insert(bytes.end(), chunk, chunk + got);
        } while (got == sizeof chunk);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    if (std::ferror(file))
        return std::nullopt;
    return bytes;
}

} // namespace

std::unique_ptr<InputFile> InputFile::open(const std::string& path)
{
    std::error_code error;
    if (fs::is_directory(PathFromUtf8(path), error))
        return nullptr;
    std::FILE* file = OpenFile(path, false);
    if (!file)
        return nullptr;
    if (!Seek(file, 0, SEEK_END)) {
        auto bytes = ReadToEnd(file);
        std::fclose(file);
        return bytes ? std::unique_ptr<InputFile>(new InputFile(std::move(*bytes))) : nullptr;
    }
    const std::int64_t size = Tell(file);
    if (size < 0 || !Seek(file, 0, SEEK_SET)) {
        std::fclose(file);
        return nullptr;
    }
    return std::unique_ptr<InputFile>(new InputFile(file, size));
}

InputFile::~InputFile()
{
    if (file_)
        std::fclose(file_);
}

void InputFile::seek(std::int64_t offset)
{
    eof_ = false;
    if (offset < 0 || offset > size_)
        offset = size_;
    position_ = !file_ || Seek(file_, offset, SEEK_SET) ? offset : size_;
}

std::size_t InputFile::read(void* destination, std::size_t n)
{
    const std::int64_t left = size_ - position_;
    const std::size_t wanted = std::uint64_t(left) < n ? std::size_t(left) : n;
    std::size_t got = wanted;
    if (!file_ && wanted)
        std::memcpy(destination, bytes_.data() + position_, wanted);
    else if (wanted)
        got = std::fread(destination, 1, wanted, file_);
    position_ += std::int64_t(got);
    if (got < n)
        eof_ = true;
    return got;
}

std::optional<std::uint8_t> InputFile::readByte()
{
    std::uint8_t byte = 0;
    if (read(&byte, 1) != 1)
        return std::nullopt;
    return byte;
}

std::optional<Bytes> ReadWholeFile(const std::string& path)
{
    auto file = InputFile::open(path);
    if (!file)
        return std::nullopt;
    Bytes bytes(std::size_t(file->size()));
    if (file->read(bytes.data(), bytes.size()) != bytes.size())
        return std::nullopt;
    return bytes;
}

namespace {

// A link's final target, so that a save through a link rewrites the file it
// points at and the link stays a link. A chain too long to follow gives the
// path as it is; a loop never gets here, since the kernel's own look-up
// refuses it first.
fs::path FinalTarget(const fs::path& path)
{
    fs::path current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(current, error)))
            return current;
        const fs::path next = fs::read_symlink(current, error);
        if (error)
            return current;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return path;
}

// A name of its own for the temporary file: short, so that a target whose
// name is near the file system's limit still leaves room for it.
std::string TemporaryName(unsigned attempt)
{
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::uint64_t mixed = (stamp * 0x9E3779B97F4A7C15ull) ^ (std::uint64_t(counter++) << 32) ^ attempt;
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    std::string name = ".jbx-";
    for (int i = 0; i < 8; ++i)
        name += kDigits[(mixed >> (5 * i + 3)) & 31];
    return name + ".tmp";
}

// A folder that turns a new file away for want of permission, not of room:
// only then may the file be written in place instead.
bool RefusedForPermission(int error)
{
    return error == EACCES || error == EPERM || error == EROFS;
}

// Owns a descriptor from open().
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        reset(std::exchange(other.fd_, -1));
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
#ifdef _WIN32
            _close(fd_);
#else
            ::close(fd_);
#endif
        fd_ = fd;
    }

private:
    int fd_;
};

#ifdef _WIN32

// A file made for this save alone: it must not exist yet.
std::FILE* CreateNewFile(const fs::path& path)
{
    const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file) {
        _close(fd);
        _wunlink(path.c_str());
    }
    return file;
}

// An existing file opened for writing without changing it, or nothing when
// a plain open for writing would be refused. Windows' one permission is the
// read-only mark.
Descriptor OpenExistingForWriting(const fs::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return Descriptor();
    return Descriptor(_wopen(path.c_str(), _O_RDWR | _O_BINARY));
}

// A device such as NUL, opened as a plain open would.
Descriptor OpenForWritingThrough(const fs::path& path)
{
    return Descriptor(_wopen(path.c_str(), _O_WRONLY | _O_BINARY));
}

std::FILE* StreamOf(Descriptor fd)
{
    std::FILE* file = fd ? _fdopen(fd.get(), "wb") : nullptr;
    if (file)
        fd.release();
    return file;
}

bool FlushToDisk(std::FILE* file)
{
    return FlushFileBuffers(HANDLE(_get_osfhandle(_fileno(file)))) != 0;
}

void CopyPermissions(const fs::path&, std::FILE*)
{
    // The read-only mark is the only one, and a read-only file is refused
    // before any temporary file is made.
}

// Another user's file in a shared folder is no obstacle to a rename here.
bool RenameWouldBeRefused(const fs::path&)
{
    return false;
}

// No link names a file only by an open descriptor here.
bool NamedBy(const fs::path&, const fs::path&)
{
    return true;
}

bool SetLength(HANDLE file, std::int64_t length)
{
    LARGE_INTEGER at;
    at.QuadPart = length;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// The file first grows to the new length, so that the disk's room is
// certain before any old byte is overwritten; it is cut to the new length
// only once every byte is in.
bool Overwrite(int fd, std::span<const std::uint8_t> bytes)
{
    const HANDLE file = HANDLE(_get_osfhandle(fd));
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return false;
    const auto length = std::int64_t(bytes.size());
    if (length > size.QuadPart && !SetLength(file, length)) {
        SetLength(file, size.QuadPart);
        return false;
    }
    LARGE_INTEGER start;
    start.QuadPart = 0;
    if (!SetFilePointerEx(file, start, nullptr, FILE_BEGIN))
        return false;
    while (!bytes.empty()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size(), 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0)
            return false;
        bytes = bytes.subspan(written);
    }
    return SetLength(file, length) && FlushFileBuffers(file);
}

bool ReplaceWith(const fs::path& temp, const fs::path& target)
{
    return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// An interrupted save on Windows leaves its temporary file: the console's
// handler runs while the file is still open, and an open file cannot be
// deleted there.
void NoteTemporaryFile(const fs::path&) {}
void ForgetTemporaryFile() {}

#else

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
// kernel's look-up does. A descriptor's name under /proc (/dev/stdout among
// them) reads as a path that is no file's, or not this file's any more.
bool NamedBy(const fs::path& given, const fs::path& target)
{
    struct stat a {}, b {};
    return ::stat(given.c_str(), &a) == 0 && ::stat(target.c_str(), &b) == 0 && a.st_dev == b.st_dev
        && a.st_ino == b.st_ino;
}

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

// The temporary file being written, kept where a signal handler may read it
// without allocating: the path is complete before the mark goes up.
char gTemporaryPath[4096];
std::atomic<bool> gTemporaryNoted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

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

#endif

bool WriteAll(std::FILE* file, std::span<const std::uint8_t> bytes)
{
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// Flushes the stream, to the disk when asked, and closes it; false when any
// of it failed.
bool FinishFile(std::FILE* file, bool toDisk = true)
{
    bool good = std::fflush(file) == 0 && !std::ferror(file) && (!toDisk || FlushToDisk(file));
    if (std::fclose(file) != 0)
        good = false;
    return good;
}

class FileSink : public ByteSink {
public:
    explicit FileSink(std::FILE* file) : file_(file) {}
    bool write(std::span<const std::uint8_t> bytes) override
    {
        if (!failed_ && !WriteAll(file_, bytes))
            failed_ = true;
        return !failed_;
    }
    bool failed() const { return failed_; }

private:
    std::FILE* file_;
    bool failed_ = false;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Runs produce into file; false when it gave up, a write failed or memory
// ran out.
bool Produce(std::FILE* file, const std::function<bool(ByteSink&)>& produce)
{
    FileSink sink(file);
    try {
        return produce(sink) && !sink.failed();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// The file cannot be replaced by name but may be written: the bytes are
// gathered first, so a produce that gives up changes nothing, and then
// written over the old ones. This one case gives up atomicity: a crash
// during the write leaves a damaged file.
WriteFileResult WriteInPlace(Descriptor file, const std::function<bool(ByteSink&)>& produce)
{
    MemorySink bytes;
    try {
        if (!produce(bytes))
            return WriteFileResult::CannotWrite;
    } catch (const std::bad_alloc&) {
        return WriteFileResult::CannotWrite;
    }
    return Overwrite(file.get(), bytes.data) ? WriteFileResult::Written : WriteFileResult::CannotWrite;
}

// A FIFO, a terminal or a device is written as a plain open would write it;
// it has no bytes to keep and is no file to replace.
WriteFileResult WriteThrough(const fs::path& path, const std::function<bool(ByteSink&)>& produce)
{
    FileHandle file(StreamOf(OpenForWritingThrough(path)));
    if (!file)
        return WriteFileResult::CannotCreate;
    const bool produced = Produce(file.get(), produce);
    return FinishFile(file.release(), false) && produced ? WriteFileResult::Written : WriteFileResult::CannotWrite;
}

} // namespace

WriteFileResult WriteFileSafely(const std::string& path, const std::function<bool(ByteSink&)>& produce)
{
    const fs::path given = PathFromUtf8(path);
    std::error_code error;
    const fs::file_type type = fs::status(given, error).type();
    if (type == fs::file_type::none)
        return WriteFileResult::CannotCreate;   // a link loop, a folder that may not be searched
    if (type != fs::file_type::regular && type != fs::file_type::directory && type != fs::file_type::not_found)
        return WriteThrough(given, produce);

    const fs::path target = FinalTarget(given);
    const bool existing = type == fs::file_type::regular;

    // A file that may not be written is refused, not replaced behind its
    // back by a new one.
    Descriptor old;
    if (existing) {
        old = OpenExistingForWriting(target);
        if (!old)
            return WriteFileResult::CannotCreate;
        // A file reached only through a descriptor (of a file since deleted,
        // say) has no name to rename over.
        if (!NamedBy(given, target) || RenameWouldBeRefused(target))
            return WriteInPlace(std::move(old), produce);
    }

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    fs::path temp;
    FileHandle file;
    int refusal = 0;
    for (unsigned attempt = 0; attempt < 8 && !file; ++attempt) {
        temp = folder / TemporaryName(attempt);
        NoteTemporaryFile(temp);
        file.reset(CreateNewFile(temp));
        refusal = errno;
        if (!file)
            ForgetTemporaryFile();
        if (!file && refusal != EEXIST)
            break;
    }
    if (!file) {
        // Only a folder that refuses new files outright leaves the file to be
        // written in place; a full disk or too many open files is a refusal.
        if (old && RefusedForPermission(refusal))
            return WriteInPlace(std::move(old), produce);
        return old ? WriteFileResult::CannotWrite : WriteFileResult::CannotCreate;
    }
    old.reset();

    if (existing)
        CopyPermissions(target, file.get());
    const bool produced = Produce(file.get(), produce);
    const bool finished = FinishFile(file.release());
    const bool replaced = produced && finished && ReplaceWith(temp, target);
    if (!replaced)
        fs::remove(temp, error);
    ForgetTemporaryFile();
    return replaced ? WriteFileResult::Written : WriteFileResult::CannotWrite;
}

void RemoveTemporaryFilesOnInterrupt()
{
#ifndef _WIN32
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
#endif
}

fs::path PathFromUtf8(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8FromPath(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string CurrentDirectory()
{
    std::error_code error;
    const fs::path current = fs::current_path(error);
    return error ? std::string(".") : Utf8FromPath(current);
}

bool ChangeCurrentDirectory(const std::string& path)
{
    std::error_code error;
    fs::current_path(PathFromUtf8(path), error);
    return !error;
}

std::string ParentDirectory(const std::string& path)
{
    const fs::path parent = PathFromUtf8(path).parent_path();
    return parent.empty() ? std::string(".") : Utf8FromPath(parent);
}

} // namespace jbx
