#include "bank/bankwriter.h"

#include "bank/bankformat.h"
#include "seam/filesystem.h"
#include "bank/soundbank.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace jbx {

namespace {

constexpr int kProgressStep = 9;
constexpr int kProgressDone = 100;

// Header, credits, directory and trailer together stay well under this, so
// they reach the sink in a handful of writes.
constexpr std::size_t kSmallPartsBuffer = 1024;

// The sound bytes that a save writes for a slot: its first size bytes, never
// more than its buffer holds.
std::span<const std::uint8_t> StoredSound(const SoundSlot& slot)
{
    if (!slot.data || slot.size <= 0)
        return {};
    const std::size_t size = std::min(std::size_t(slot.size), slot.data->size());
    return {slot.data->data(), size};
}

std::int64_t CreditsLength(const BankCredits& credits)
{
    if (!credits.complete())
        return 0;
    return std::int64_t(credits.author.size() + credits.description.size()
        + credits.dateFinished.size() + 3);
}

// Buffers the small parts of the file; sounds bypass the buffer. Once a
// write has failed, nothing more reaches the sink.
class BankOutput {
public:
    explicit BankOutput(ByteSink& sink) : sink_(sink) {}

    void put(std::span<const std::uint8_t> bytes)
    {
        while (!bytes.empty()) {
            if (used_ == buffer_.size())
                flush();
            const std::size_t n = std::min(bytes.size(), buffer_.size() - used_);
            std::memcpy(buffer_.data() + used_, bytes.data(), n);
            used_ += n;
            bytes = bytes.subspan(n);
        }
    }

    void putText(std::string_view text)
    {
        put({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }

    void putByte(std::uint8_t byte) { put({&byte, 1}); }

    void put32(std::int64_t value)
    {
        std::array<std::uint8_t, 4> bytes{};
        WriteLE32(bytes.data(), std::uint32_t(value));
        put(bytes);
    }

    // A lump name: at most 8 characters, padded with NULs to 8 bytes.
    void putName(std::string_view name)
    {
        std::array<std::uint8_t, kSlotNameLimit> field{};
        const std::size_t n = std::min(name.size(), field.size());
        std::memcpy(field.data(), name.data(), n);
        put(field);
    }

    void putEntry(std::int64_t offset, std::int64_t size, std::string_view name)
    {
        put32(offset);
        put32(size);
        putName(name);
    }

    void putSound(const SoundBank& bank, StoredSounds& sounds, int slotNumber)
    {
        flush();
        if (ok_)
            ok_ = sounds.writeStored(bank, slotNumber, sink_);
    }

    bool flush()
    {
        if (ok_ && used_ > 0)
            ok_ = sink_.write({buffer_.data(), used_});
        used_ = 0;
        return ok_;
    }

private:
    ByteSink& sink_;
    std::array<std::uint8_t, kSmallPartsBuffer> buffer_{};
    std::size_t used_ = 0;
    bool ok_ = true;
};

} // namespace

std::int64_t StoredSounds::storedSize(const SoundBank& bank, int slotNumber) const
{
    return std::int64_t(StoredSound(bank.slot(slotNumber)).size());
}

bool StoredSounds::writeStored(const SoundBank& bank, int slotNumber, ByteSink& sink)
{
    const auto sound = StoredSound(bank.slot(slotNumber));
    return sound.empty() || sink.write(sound);
}

std::int64_t BankFileLength(const SoundBank& bank, const StoredSounds& sounds)
{
    std::int64_t length = kHeaderSize;
    for (int i = 1; i <= kSlotCount; ++i)
        length += sounds.storedSize(bank, i);
    const std::int64_t credits = CreditsLength(bank.credits);
    const std::int64_t entries = kWrittenLumpCount + (credits > 0 ? 1 : 0);
    return length + credits + entries * kEntrySize + std::int64_t(kCreditTrailer.size());
}

bool WriteBank(const SoundBank& bank, ByteSink& sink, const ProgressFunction& progress)
{
    StoredSounds buffers;
    return WriteBank(bank, buffers, sink, progress);
}

bool WriteBank(const SoundBank& bank, StoredSounds& sounds, ByteSink& sink, const ProgressFunction& progress)
{
    const auto report = [&](int position) {
        if (progress)
            progress(position);
    };

    // A bank longer than its 32-bit offsets reach cannot be written at all.
    if (BankFileLength(bank, sounds) > kBankLimit)
        return false;
    std::array<std::int64_t, kSlotCount> lumpOffsets{};
    std::int64_t position = kHeaderSize;
    for (int i = 0; i < kSlotCount; ++i) {
        lumpOffsets[std::size_t(i)] = position;
        position += sounds.storedSize(bank, i + 1);
    }
    const std::int64_t creditsOffset = position;
    const std::int64_t creditsLength = CreditsLength(bank.credits);
    const std::int64_t directoryOffset = creditsOffset + creditsLength;

    BankOutput out(sink);
    out.putText(kBankMagic);
    out.put32(kWrittenLumpCount);
    out.put32(directoryOffset);

    for (int i = 0; i < kSlotCount; ++i) {
        if (!out.flush())
            return false;
        report(kProgressStep * i);
        out.putSound(bank, sounds, i + 1);
    }

    if (creditsLength > 0) {
        out.putText(bank.credits.author);
        out.putByte(0);
        out.putText(bank.credits.description);
        out.putByte(0);
        out.putText(bank.credits.dateFinished);
        out.putByte(0);
    }

    out.putEntry(0, 0, kStartMarker);
    for (int i = 0; i < kSlotCount; ++i) {
        const SoundSlot& slot = bank.slots[std::size_t(i)];
        out.putEntry(lumpOffsets[std::size_t(i)], sounds.storedSize(bank, i + 1), slot.name);
    }
    // The progress bar reaches its end only once the sound entries are out.
    if (!out.flush())
        return false;
    report(kProgressDone);

    out.putEntry(0, 0, kStopMarker);
    if (creditsLength > 0)
        out.putEntry(creditsOffset, creditsLength, kCreditsLumpName);
    out.putText(kCreditTrailer);
    return out.flush() && !sounds.failed();
}

WriteFileResult WriteBankFile(const SoundBank& bank, const std::string& path, const ProgressFunction& progress)
{
    return WriteFileSafely(path, [&](ByteSink& sink) { return WriteBank(bank, sink, progress); });
}

WriteFileResult WriteBankFile(const SoundBank& bank, StoredSounds& sounds, const std::string& path)
{
    return WriteFileSafely(path, [&](ByteSink& sink) { return WriteBank(bank, sounds, sink); });
}

} // namespace jbx
