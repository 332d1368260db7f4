#include "seam/filesystem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include <cerrno>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
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
// points at and the link stays a link. A loop or a chain too long to follow
// gives the path as it is; the save then fails or replaces the link itself,
// as the platform decides.
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

#ifdef _WIN32

// A file made for this save alone: it must not exist yet.
std::FILE* CreateNewFile(const fs::path& path)
{
    const int fd = _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (!file)
        _close(fd);
    return file;
}

// An existing file opened for writing without changing it, or nothing when
// a plain open for writing would be refused. Windows' one permission is the
// read-only mark.
std::FILE* OpenExistingForWriting(const fs::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return nullptr;
    return _wfopen(path.c_str(), L"r+b");
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

bool TruncateFile(std::FILE* file)
{
    return _chsize_s(_fileno(file), 0) == 0;
}

bool ReplaceWith(const fs::path& temp, const fs::path& target)
{
    return MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

#else

// A stream over a descriptor that open() gave, or nothing.
std::FILE* StreamOf(int fd)
{
    if (fd < 0)
        return nullptr;
    std::FILE* file = fdopen(fd, "wb");
    if (!file)
        ::close(fd);
    return file;
}

std::FILE* CreateNewFile(const fs::path& path)
{
    // 0666 less the umask, as any new file of the user's gets.
    return StreamOf(::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666));
}

std::FILE* OpenExistingForWriting(const fs::path& path)
{
    return StreamOf(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
}

bool FlushToDisk(std::FILE* file)
{
    return fsync(fileno(file)) == 0;
}

// The new file takes the old one's permission bits and, where allowed, its
// owner and group.
void CopyPermissions(const fs::path& target, std::FILE* file)
{
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0)
        return;
    const int fd = fileno(file);
    if (fchown(fd, old.st_uid, old.st_gid) != 0) {
        // Only the owner's own group, or root, may give a file away; the
        // bits below still hold.
    }
    fchmod(fd, old.st_mode & 07777);
}

bool TruncateFile(std::FILE* file)
{
    return ftruncate(fileno(file), 0) == 0;
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

#endif

bool WriteAll(std::FILE* file, std::span<const std::uint8_t> bytes)
{
    return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

// Flushes the stream to the disk and closes it; false when any of it failed.
bool FinishFile(std::FILE* file)
{
    bool good = std::fflush(file) == 0 && !std::ferror(file) && FlushToDisk(file);
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

// The folder will not take a new file but the file itself may be written:
// the bytes are gathered first, so a produce that gives up changes nothing,
// and then written over the old ones. This one case gives up atomicity: a
// crash or a full disk during the write leaves a damaged file.
WriteFileResult WriteInPlace(FileHandle file, const std::function<bool(ByteSink&)>& produce)
{
    MemorySink bytes;
    try {
        if (!produce(bytes))
            return WriteFileResult::CannotWrite;
    } catch (const std::bad_alloc&) {
        return WriteFileResult::CannotWrite;
    }
    const bool written = TruncateFile(file.get()) && WriteAll(file.get(), bytes.data);
    return FinishFile(file.release()) && written ? WriteFileResult::Written : WriteFileResult::CannotWrite;
}

} // namespace

WriteFileResult WriteFileSafely(const std::string& path, const std::function<bool(ByteSink&)>& produce)
{
    const fs::path target = FinalTarget(PathFromUtf8(path));
    std::error_code error;
    const bool existing = fs::is_regular_file(target, error);

    // A file that may not be written is refused, not replaced behind its
    // back by a new one.
    FileHandle old;
    if (existing) {
        old.reset(OpenExistingForWriting(target));
        if (!old)
            return WriteFileResult::CannotCreate;
    }

    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    fs::path temp;
    FileHandle file;
    for (unsigned attempt = 0; attempt < 8 && !file; ++attempt) {
        temp = folder / TemporaryName(attempt);
        file.reset(CreateNewFile(temp));
        if (!file && errno != EEXIST)
            break;
    }
    if (!file)
        return old ? WriteInPlace(std::move(old), produce) : WriteFileResult::CannotCreate;
    old.reset();

    if (existing)
        CopyPermissions(target, file.get());
    FileSink sink(file.get());
    bool produced = false;
    try {
        produced = produce(sink) && !sink.failed();
    } catch (const std::bad_alloc&) {
        // Reported as a failed write below; the temporary file goes.
    }
    const bool finished = FinishFile(file.release());
    if (produced && finished && ReplaceWith(temp, target))
        return WriteFileResult::Written;
    fs::remove(temp, error);
    return WriteFileResult::CannotWrite;
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
