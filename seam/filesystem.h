#pragma once

// The file-system seam: the only place that knows how the platform opens
// files by name, replaces a file atomically and keeps a current directory.
// Paths are UTF-8 text everywhere in the program.

#include "seam/bytes.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace jbx {

// A file opened for binary reading. Reads past the end deliver what there is
// and raise the end-of-file mark, which stays up until the next seek. An
// input that cannot seek (a pipe, /dev/stdin fed by one) is read to its end
// when it is opened, up to INT32_MAX bytes (beyond that the open fails), and
// served from memory.
class InputFile {
public:
    static std::unique_ptr<InputFile> open(const std::string& path);
    ~InputFile();

    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    std::int64_t size() const { return size_; }
    std::int64_t position() const { return position_; }
    bool eof() const { return eof_; }

    // Positions outside 0..size() leave the stream at its end.
    void seek(std::int64_t offset);

    // Reads up to n bytes; returns how many arrived.
    std::size_t read(void* destination, std::size_t n);

    // True once a read ended before the size the file had when it was
    // opened: it was cut meanwhile (another program rewrote it) or the disk
    // failed. Also raised by a reader that found other bytes than before.
    bool failed() const { return failed_; }
    void markFailed() { failed_ = true; }

    // Writes length bytes from offset on to sink, which may have the
    // platform copy them file to file; false when a write failed or the file
    // ended first. The position is left undefined: seek before reading on.
    bool copyTo(ByteSink& sink, std::int64_t offset, std::int64_t length);

private:
    InputFile(std::FILE* file, std::int64_t size) : file_(file), size_(size) {}
    explicit InputFile(Bytes bytes) : file_(nullptr), size_(std::int64_t(bytes.size())), bytes_(std::move(bytes)) {}

    std::FILE* file_;   // null: the bytes are all in bytes_
    std::int64_t size_;
    std::int64_t position_ = 0;
    bool eof_ = false;
    bool failed_ = false;
    Bytes bytes_;
};

// Reads a whole file; nothing when it cannot be opened or read.
std::optional<Bytes> ReadWholeFile(const std::string& path);

enum class WriteFileResult {
    Written,
    CannotCreate,   // the file may not be written (read-only), or it is new and its
                    // folder is missing or takes no new file
    CannotWrite,    // produce gave up, a write failed, or the old file could not be replaced
};

// Writes the file at path so that nothing is lost: produce writes the bytes
// to the sink it is given (returning false to give up), which puts them into
// a temporary file beside the target; that file is flushed to the disk and
// replaces the target only when every byte has been written. Whatever fails,
// the file that was there is untouched and no temporary file is left.
// A symbolic link is followed to its final target, which is the file
// replaced (the link stays a link), and a replaced file keeps its
// permissions, its owner where allowed and its group where the user is a
// member of it. A file that a plain open for writing would refuse, or a
// link loop, is refused with CannotCreate; a full disk is a refusal too.
// A FIFO, a terminal or a device is opened and written as a plain open
// would. A name that stands for one of this process's open descriptors
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N) is written through that
// descriptor as it stands, at its offset and in its append mode, with
// nothing renamed; a descriptor open only for reading is refused with
// CannotCreate, and when the save fails what it wrote past a file's old end
// is cut off again, though bytes it wrote over old ones (a descriptor
// positioned inside its file) stay so. Where the file may be written but not replaced by name (its
// folder takes no new file for want of permission, or it is another user's
// in a folder with the sticky bit), produce runs into memory and the file
// is overwritten in place, the one case that is not atomic: the disk's room
// for the new bytes is reserved first and the file cut to its new length
// last, so a full disk still leaves it untouched, but a crash during the
// write does not.
WriteFileResult WriteFileSafely(const std::string& path, const std::function<bool(ByteSink&)>& produce);

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file of a save under
// way before they end the process as they would have; a signal ignored from
// the start stays ignored. For programs that do nothing else on those
// signals. Nothing on Windows.
void RemoveTemporaryFilesOnInterrupt();

// A UTF-8 path as the platform's path and back. On Windows a narrow path
// would mean the ANSI code page, not UTF-8.
std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

std::string CurrentDirectory();
bool ChangeCurrentDirectory(const std::string& path);

// The folder that holds a path ("." for a bare name).
std::string ParentDirectory(const std::string& path);

} // namespace jbx
