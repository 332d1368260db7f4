#include "seam/filesystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
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

// All that a stream which cannot seek delivers, in a buffer that grows as
// the bytes arrive; nothing when it holds more than a bank's or a voice
// file's 32-bit lengths can describe, fails, or does not fit in memory.
std::optional<Bytes> ReadToEnd(std::FILE* file)
{
    constexpr std::size_t limit = INT32_MAX;
    Bytes bytes;
    std::uint8_t chunk[1 << 16];
    try {
        for (;;) {
            const std::size_t got = std::fread(chunk, 1, sizeof chunk, file);
            const int error = errno;
            if (got > limit - bytes.size())
                return std::nullopt;
            if (bytes.size() + got > bytes.capacity())
                bytes.reserve(std::min(std::max(bytes.capacity() * 2, bytes.size() + got), limit));
            bytes.insert(bytes.end(), chunk, chunk + got);
            if (got == sizeof chunk)
                continue;
            if (std::feof(file))
                break;
            // A signal caught while the pipe is waited on (a handler without
            // SA_RESTART, a timer's) interrupts the read, not the input.
            if (std::ferror(file) && error == EINTR) {
                std::clearerr(file);
                continue;
            }
            return std::nullopt;
        }
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
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
    // Reading on from where the last read ended keeps what the stream has
    // buffered; a seek would throw it away and ask the system again.
    if (file_ && offset == position_ && !std::ferror(file_))
        return;
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
    if (got < wanted)
        failed_ = true;
    if (got < n)
        eof_ = true;
    return got;
}

bool InputFile::copyTo(ByteSink& sink, std::int64_t offset, std::int64_t length)
{
    if (offset < 0 || length < 0 || offset > size_ || length > size_ - offset)
        return false;
    if (!file_)
        return sink.write({bytes_.data() + offset, std::size_t(length)});
#ifndef _WIN32
    const std::int64_t direct = sink.copyDirect(fileno(file_), offset, length);
    if (direct < 0)
        return false;
    offset += direct;
    length -= direct;
#endif
    // A sink that cannot copy file to file gets the bytes a large piece at a
    // time, so that memory stays flat whatever the length.
    constexpr std::int64_t kPiece = std::int64_t(1) << 20;
    Bytes piece(std::size_t(std::min(length, kPiece)));
    seek(offset);
    while (length > 0) {
        const std::size_t n = std::size_t(std::min(length, kPiece));
        if (read(piece.data(), n) != n || !sink.write({piece.data(), n}))
            return false;
        length -= std::int64_t(n);
    }
    return true;
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


#ifdef _WIN32
namespace {

// Windows refuses a path of MAX_PATH characters or more (a folder's from
// 248 on, which leaves room for an 8.3 name) unless long paths are enabled
// on the system as well as in the program's manifest; the C runtime and
// std::filesystem hand names to the system as they are. A path with the
// \\?\ prefix is taken at any length everywhere, but is also taken
// literally: it must be absolute and already normalised (no "..", no "/",
// no trailing dots), which GetFullPathName does as the system would have.
fs::path WithoutLengthLimit(fs::path path)
{
    constexpr std::size_t kLongestPlain = 247;
    const std::wstring& given = path.native();
    if (given.starts_with(L"\\\\?\\"))
        return path;
    std::wstring full(std::max<std::size_t>(given.size(), MAX_PATH) + 1, L'\0');
    for (;;) {
        const DWORD needed = GetFullPathNameW(given.c_str(), DWORD(full.size()), full.data(), nullptr);
        if (needed == 0)
            return path;
        if (needed < full.size()) {
            full.resize(needed);
            break;
        }
        full.resize(needed);
    }
    // A device (\\.\NUL) has no length limit to lift.
    if (full.size() <= kLongestPlain || full.starts_with(L"\\\\.\\"))
        return path;
    if (full.starts_with(L"\\\\"))
        return fs::path(L"\\\\?\\UNC\\" + full.substr(2));
    return fs::path(L"\\\\?\\" + full);
}

} // namespace
#endif

fs::path PathFromUtf8(const std::string& utf8)
{
    fs::path path(std::u8string(utf8.begin(), utf8.end()));
#ifdef _WIN32
    path = WithoutLengthLimit(std::move(path));
#endif
    return path;
}

std::string Utf8FromPath(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string CurrentDirectory()
{
#ifdef _WIN32
    // The C runtime's getcwd, behind std::filesystem::current_path, reads
    // the folder into MAX_PATH characters, and past them gives garbage: a
    // folder that deep is current once a bank has been chosen from it.
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(DWORD(folder.size()), folder.data());
        if (length == 0)
            return ".";
        if (length < folder.size()) {
            folder.resize(length);
            return Utf8FromPath(fs::path(folder));
        }
        folder.resize(length);
    }
#endif
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
