#include "seam/filesystem.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
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

} // namespace

std::unique_ptr<InputFile> InputFile::open(const std::string& path)
{
    std::error_code error;
    if (fs::is_directory(PathFromUtf8(path), error))
        return nullptr;
    std::FILE* file = OpenFile(path, false);
    if (!file)
        return nullptr;
    std::int64_t size = -1;
    if (Seek(file, 0, SEEK_END))
        size = Tell(file);
    if (size < 0 || !Seek(file, 0, SEEK_SET)) {
        std::fclose(file);
        return nullptr;
    }
    return std::unique_ptr<InputFile>(new InputFile(file, size));
}

InputFile::~InputFile()
{
    std::fclose(file_);
}

void InputFile::seek(std::int64_t offset)
{
    eof_ = false;
    if (offset < 0 || offset > size_)
        offset = size_;
    position_ = Seek(file_, offset, SEEK_SET) ? offset : size_;
}

std::size_t InputFile::read(void* destination, std::size_t n)
{
    const std::int64_t left = size_ - position_;
    const std::size_t wanted = std::uint64_t(left) < n ? std::size_t(left) : n;
    const std::size_t got = wanted ? std::fread(destination, 1, wanted, file_) : 0;
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

// Until commit() succeeds the old file stays as it was.
class SafeFileWriter : public ByteSink {
public:
    explicit SafeFileWriter(std::string path);
    ~SafeFileWriter() override;   // discards an uncommitted temporary file

    SafeFileWriter(const SafeFileWriter&) = delete;
    SafeFileWriter& operator=(const SafeFileWriter&) = delete;

    // False when the temporary file could not be created.
    bool open();
    bool write(std::span<const std::uint8_t> bytes) override;
    bool commit();

private:
    std::string path_;
    std::string tempPath_;
    std::FILE* file_ = nullptr;
    bool failed_ = false;
};

} // namespace

SafeFileWriter::SafeFileWriter(std::string path) : path_(std::move(path)) {}

SafeFileWriter::~SafeFileWriter()
{
    if (file_)
        std::fclose(file_);
    if (!tempPath_.empty()) {
        std::error_code ignored;
        fs::remove(PathFromUtf8(tempPath_), ignored);
    }
}

bool SafeFileWriter::open()
{
    // A name no other save is using: the target's name, the process's clock
    // and a counter, in the target's own folder so the final rename stays
    // on one file system.
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    tempPath_ = path_ + ".saving-" + std::to_string(stamp % 1000000007) + "-"
        + std::to_string(counter++);
    file_ = OpenFile(tempPath_, true);
    if (!file_) {
        tempPath_.clear();
        return false;
    }
    return true;
}

bool SafeFileWriter::write(std::span<const std::uint8_t> bytes)
{
    if (!file_ || failed_)
        return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
        failed_ = true;
    return !failed_;
}

bool SafeFileWriter::commit()
{
    if (!file_ || failed_)
        return false;
    const bool flushed = std::fflush(file_) == 0 && !std::ferror(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!flushed || !closed)
        return false;

    const fs::path target = PathFromUtf8(path_);
    const fs::path temp = PathFromUtf8(tempPath_);
#ifdef _WIN32
    // Windows' one permission is the read-only mark, and it refuses to
    // replace a read-only file anyway; copying the mark would only make the
    // temporary file impossible to delete after that refusal.
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
#else
    std::error_code error;
    // Keep the permissions of the file being replaced.
    const auto status = fs::status(target, error);
    if (!error && fs::exists(status))
        fs::permissions(temp, status.permissions(), error);
    fs::rename(temp, target, error);
    if (error)
        return false;
#endif
    tempPath_.clear();
    return true;
}

WriteFileResult WriteFileSafely(const std::string& path, const std::function<bool(ByteSink&)>& produce)
{
    SafeFileWriter writer(path);
    if (!writer.open())
        return WriteFileResult::CannotCreate;
    if (!produce(writer) || !writer.commit())
        return WriteFileResult::CannotWrite;
    return WriteFileResult::Written;
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
