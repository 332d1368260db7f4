// The nothing-lost writer: a temporary file beside the target, flushed and
// renamed over it; what the platform does for it is in platformfile.

#include "seam/filesystem.h"
#include "seam/platformfile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace jbx {

using namespace platform;

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
    // A sink for a file that is flushed to the disk at the end has the disk
    // start writing it every 16 MiB on the way, so that the writing overlaps
    // the making and the final flush has only the last piece to wait for.
    // Each request waits while the file system places the blocks: smaller
    // steps cost more than they save.
    explicit FileSink(std::FILE* file, bool toDisk = false) : file_(file), toDisk_(toDisk) {}
    bool write(std::span<const std::uint8_t> bytes) override
    {
        if (!failed_ && !WriteAll(file_, bytes))
            failed_ = true;
        wrote(std::int64_t(bytes.size()));
        return !failed_;
    }
    bool failed() const { return failed_; }

    std::int64_t copyDirect(int descriptor, std::int64_t offset, std::int64_t length) override
    {
        // What the stream holds goes first, or the copied bytes would come
        // before it.
        if (failed_ || std::fflush(file_) != 0) {
            failed_ = true;
            return -1;
        }
        const std::int64_t copied = CopyRange(descriptor, offset, fileno(file_), length);
        if (copied < 0)
            failed_ = true;
        else
            wrote(copied);
        return copied;
    }

private:
    void wrote(std::int64_t length)
    {
        static constexpr std::int64_t kWritebackStep = std::int64_t(16) << 20;
        end_ += length;
        if (!toDisk_ || failed_ || end_ - started_ < kWritebackStep || std::fflush(file_) != 0)
            return;
        StartWriteback(fileno(file_), started_, end_ - started_);
        started_ = end_;
    }

    std::FILE* file_;
    bool toDisk_;
    bool failed_ = false;
    std::int64_t end_ = 0;       // bytes written so far
    std::int64_t started_ = 0;   // those the disk has been asked to write
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Runs produce into file; false when it gave up, a write failed or memory
// ran out.
bool Produce(std::FILE* file, const std::function<bool(ByteSink&)>& produce, bool toDisk = false)
{
    FileSink sink(file, toDisk);
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

// A descriptor's name (/dev/stdout under a shell's redirection) means the
// descriptor as it stands: the bytes go where it writes next, after what
// came before them and before what comes after, not into a new file renamed
// over the one it holds. Bytes of a save that failed are cut off again
// where they only lengthened a file.
WriteFileResult WriteToDescriptor(int descriptor, const std::function<bool(ByteSink&)>& produce)
{
    Descriptor own = DuplicateForWriting(descriptor);
    if (!own)
        return WriteFileResult::CannotCreate;
    const std::int64_t end = EndWrittenPast(own.get());
    FileHandle file(StreamOf(std::move(own)));
    if (!file)
        return WriteFileResult::CannotWrite;
    const bool produced = Produce(file.get(), produce);
    const bool written = FinishFile(file.release(), false) && produced;
    if (!written && end >= 0)
        CutTo(descriptor, end);
    return written ? WriteFileResult::Written : WriteFileResult::CannotWrite;
}

} // namespace

WriteFileResult WriteFileSafely(const std::string& path, const std::function<bool(ByteSink&)>& produce)
{
    const fs::path given = PathFromUtf8(path);
    if (const int descriptor = DescriptorNamedBy(given); descriptor >= 0)
        return WriteToDescriptor(descriptor, produce);
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
        // A file reached only through another process's descriptor (of a
        // file since deleted, say) has no name to rename over.
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
    const bool produced = Produce(file.get(), produce, true);
    const bool finished = FinishFile(file.release());
    const bool replaced = produced && finished && ReplaceWith(temp, target);
    if (!replaced)
        fs::remove(temp, error);
    ForgetTemporaryFile();
    return replaced ? WriteFileResult::Written : WriteFileResult::CannotWrite;
}

void RemoveTemporaryFilesOnInterrupt()
{
    RemoveTemporaryFileOnInterrupt();
}

} // namespace jbx
