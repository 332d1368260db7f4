#pragma once

// What the nothing-lost writer asks of the platform, one source file for
// each: creating, opening and flushing files, replacing one by name, writing
// one over in place, and the interrupt that must not leave a temporary file.
// Only the seam includes this.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <utility>

namespace jbx::platform {

namespace fs = std::filesystem;

void CloseDescriptor(int fd);

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
            CloseDescriptor(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

// A file made for this save alone: it must not exist yet.
std::FILE* CreateNewFile(const fs::path& path);

// An existing file opened for writing without changing it, or nothing when
// a plain open for writing would be refused.
Descriptor OpenExistingForWriting(const fs::path& path);

// A FIFO, a terminal or a device, opened as a plain open would.
Descriptor OpenForWritingThrough(const fs::path& path);

// A stream over the descriptor, which it then owns; nothing when there is
// no descriptor or no stream could be made.
std::FILE* StreamOf(Descriptor fd);

bool FlushToDisk(std::FILE* file);

// The new file takes what it may of the old one's permissions and owner.
void CopyPermissions(const fs::path& target, std::FILE* file);

// True when the file may be written but not renamed over.
bool RenameWouldBeRefused(const fs::path& target);

// Whether the name given leads to the file found by following its links.
bool NamedBy(const fs::path& given, const fs::path& target);

// The descriptor of this process that a name such as /dev/stdout, /dev/fd/1
// or /proc/self/fd/1 stands for, or -1 when it stands for none.
int DescriptorNamedBy(const fs::path& path);

// A descriptor of its own that shares fd's offset and append mode; nothing
// when fd is not open for writing.
Descriptor DuplicateForWriting(int fd);

// The length of the regular file open as fd when whatever is written
// through it next lands at or past that length; -1 when it would land inside
// the file, or fd is no regular file.
std::int64_t EndWrittenPast(int fd);

// Cuts the file open as fd back to length, and its offset with it.
void CutTo(int fd, std::int64_t length);

// Writes bytes over the file from its start, its room made certain first,
// and cuts it to their length last.
bool Overwrite(int fd, std::span<const std::uint8_t> bytes);

// Copies up to length bytes from the descriptor from, at offset, to the
// descriptor to at its position, inside the kernel where it can. Returns how
// many were copied, fewer where the platform cannot copy file to file (the
// caller copies the rest), or -1 when writing failed.
std::int64_t CopyRange(int from, std::int64_t offset, int to, std::int64_t length);

// Asks the disk to start writing length bytes of the file from offset on,
// without waiting for it; a hint that may do nothing.
void StartWriteback(int fd, std::int64_t offset, std::int64_t length);

// Puts temp in target's place, for good on the disk.
bool ReplaceWith(const fs::path& temp, const fs::path& target);

// The temporary file an interrupt must remove, and when there is none.
void NoteTemporaryFile(const fs::path& path);
void ForgetTemporaryFile();

// SIGINT, SIGTERM and SIGHUP remove the noted file and end the process as
// they would have.
void RemoveTemporaryFileOnInterrupt();

} // namespace jbx::platform
