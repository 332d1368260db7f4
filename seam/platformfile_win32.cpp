// The platform's part of the nothing-lost writer on Windows. Only the Windows
// build lists this file; the guard says so to anything that reads it alone.

#ifdef _WIN32

#include "seam/platformfile.h"

#include <algorithm>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

namespace jbx::platform {

namespace {

bool SetLength(HANDLE file, std::int64_t length)
{
    LARGE_INTEGER at;
    at.QuadPart = length;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

} // namespace

void CloseDescriptor(int fd)
{
    _close(fd);
}

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

// No name stands for an open descriptor here.
int DescriptorNamedBy(const fs::path&)
{
    return -1;
}

Descriptor DuplicateForWriting(int)
{
    return Descriptor();
}

std::int64_t EndWrittenPast(int)
{
    return -1;
}

void CutTo(int, std::int64_t) {}

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
std::int64_t CopyRange(int, std::int64_t, int, std::int64_t)
{
    return 0;
}

void StartWriteback(int, std::int64_t, std::int64_t) {}

void NoteTemporaryFile(const fs::path&) {}
void ForgetTemporaryFile() {}
void RemoveTemporaryFileOnInterrupt() {}

} // namespace jbx::platform

#endif // _WIN32
