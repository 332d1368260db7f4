#include "bank/bankstream.h"

#include "bank/bankformat.h"
#include "bank/slotops.h"

#include <algorithm>
#include <array>

namespace jbx {

namespace {

// What a loaded slot's buffer holds after the last byte of a plain lump.

bool WriteZeros(ByteSink& sink, std::uint64_t count)
{
    static constexpr std::array<std::uint8_t, 1 << 16> kZeros{};
    while (count > 0) {
        const std::size_t n = std::size_t(std::min<std::uint64_t>(count, kZeros.size()));
        if (!sink.write(std::span(kZeros).first(n)))
            return false;
        count -= n;
    }
    return true;
}

} // namespace

std::size_t LumpSource::read(std::uint64_t offset, std::span<std::uint8_t> into)
{
    if (offset >= std::uint64_t(size_))
        return 0;
    const std::size_t wanted = std::size_t(std::min<std::uint64_t>(into.size(), std::uint64_t(size_) - offset));
    const std::int64_t at = offset_ + std::int64_t(offset);
    const std::int64_t inFile = std::clamp<std::int64_t>(file_.size() - at, 0, std::int64_t(wanted));
    std::size_t got = 0;
    if (inFile > 0) {
        file_.seek(at);
        got = file_.read(into.data(), std::size_t(inFile));
        if (got < std::size_t(inFile))
            return got;
    }
    std::fill(into.begin() + std::ptrdiff_t(got), into.begin() + std::ptrdiff_t(wanted), std::uint8_t(0));
    return wanted;
}

bool LumpSource::copyTo(ByteSink& sink, std::uint64_t offset, std::uint64_t length)
{
    if (offset > std::uint64_t(size_) || length > std::uint64_t(size_) - offset)
        return false;
    const std::int64_t at = offset_ + std::int64_t(offset);
    const std::int64_t inFile = std::clamp<std::int64_t>(file_.size() - at, 0, std::int64_t(length));
    return (inFile == 0 || file_.copyTo(sink, at, inFile)) && WriteZeros(sink, length - std::uint64_t(inFile));
}

LoadOutcome StreamedBank::open(Session& session, const std::string& path, Owner owner)
{
    lumps_ = {};
    file_ = InputFile::open(path);
    LoadOutcome outcome = LoadBankFrom(session, file_.get(), owner,
        [this](Session& s, InputFile& file, Owner o) { return planLumps(s, file, o); });
    // A bank that did not load is the empty one, whose slots are buffers.
    if (outcome.result != LoadResult::Loaded)
        lumps_ = {};
    return outcome;
}

std::vector<int> StreamedBank::planLumps(Session& session, InputFile& file, Owner owner)
{
    std::vector<int> refused;
    for (int number = 1; number <= kSlotCount; ++number) {
        SoundSlot& slot = session.bank.slot(number);
        Lump& lump = lumps_[std::size_t(number - 1)];
        if (SoundEntryIsDamaged(slot.fileOffset, slot.size, file.size()))
            slot.size = 0;
        slot.data = MakeSoundData(1);
        lump = Lump{Lump::Kind::Range, slot.fileOffset, slot.size, {}};

        LumpSource source(file, lump.offset, lump.size);
        std::array<std::uint8_t, kVoiceFileMark.size()> start{};
        source.read(0, start);
        if (!IsVoiceLump(slot.size, std::span(start).first(std::min<std::size_t>(start.size(), std::size_t(slot.size)))))
            continue;
        const ConversionContext context{session.desktop, session.bank.currentSlot, owner};
        if (PlanVoiceImage(context, source, lump.plan) == ConvertResult::Converted) {
            lump.kind = Lump::Kind::VoiceImage;
            slot.size = std::int32_t(lump.plan.imageLength() - 1);
        } else {
            lump.kind = Lump::Kind::Zeros;
            refused.push_back(number);
        }
    }
    return refused;
}

void StreamedBank::useBuffer(int slotNumber)
{
    lumps_[std::size_t(slotNumber - 1)].kind = Lump::Kind::Buffer;
}

StreamedBank::VoiceLump StreamedBank::voiceLump(int slotNumber) const
{
    switch (lumps_[std::size_t(slotNumber - 1)].kind) {
    case Lump::Kind::VoiceImage:
        return VoiceLump::Converted;
    case Lump::Kind::Zeros:
        return VoiceLump::Refused;
    case Lump::Kind::Buffer:
    case Lump::Kind::Range:
        break;
    }
    return VoiceLump::None;
}

std::int64_t StreamedBank::storedSize(const SoundBank& bank, int slotNumber) const
{
    if (lumps_[std::size_t(slotNumber - 1)].kind == Lump::Kind::Buffer)
        return StoredSounds::storedSize(bank, slotNumber);
    return std::max(bank.slot(slotNumber).size, 0);
}

bool StreamedBank::writeStored(const SoundBank& bank, int slotNumber, ByteSink& sink)
{
    return writeBytes(bank, slotNumber, sink, storedSize(bank, slotNumber));
}

bool StreamedBank::writeSlot(const SoundBank& bank, int slotNumber, ByteSink& sink)
{
    if (lumps_[std::size_t(slotNumber - 1)].kind == Lump::Kind::Buffer)
        return sink.write(SlotFileBytes(bank.slot(slotNumber)));
    return writeBytes(bank, slotNumber, sink, std::int64_t(bank.slot(slotNumber).size) + 1);
}

Bytes StreamedBank::slotStart(const SoundBank& bank, int slotNumber, std::size_t limit)
{
    const std::int64_t size = std::max(bank.slot(slotNumber).size, 0);
    const std::int64_t count = std::min<std::int64_t>(size + 1, std::int64_t(limit));
    if (lumps_[std::size_t(slotNumber - 1)].kind == Lump::Kind::Buffer) {
        const auto bytes = SlotFileBytes(bank.slot(slotNumber));
        return Bytes(bytes.begin(), bytes.begin() + std::min<std::ptrdiff_t>(std::ptrdiff_t(bytes.size()), count));
    }
    MemorySink start;
    if (!writeBytes(bank, slotNumber, start, count))
        start.data.clear();
    return start.data;
}

WriteFileResult StreamedBank::writeSlotFile(const SoundBank& bank, int slotNumber, const std::string& path)
{
    return WriteFileSafely(path, [&](ByteSink& sink) { return writeSlot(bank, slotNumber, sink) && !failed(); });
}

bool StreamedBank::writeBytes(const SoundBank& bank, int slotNumber, ByteSink& sink, std::int64_t count)
{
    Lump& lump = lumps_[std::size_t(slotNumber - 1)];
    switch (lump.kind) {
    case Lump::Kind::Buffer:
        return StoredSounds::writeStored(bank, slotNumber, sink);
    case Lump::Kind::Range: {
        const std::int64_t sound = std::min(count, lump.size);
        LumpSource source(*file_, lump.offset, lump.size);
        return (sound == 0 || source.copyTo(sink, 0, std::uint64_t(sound)))
            && (count == sound || sink.write({&kPadByte, 1}));
    }
    case Lump::Kind::VoiceImage: {
        LumpSource source(*file_, lump.offset, lump.size);
        return WriteVoiceImage(source, lump.plan, sink, std::uint64_t(count));
    }
    case Lump::Kind::Zeros:
        return WriteZeros(sink, std::uint64_t(count));
    }
    return false;
}

} // namespace jbx
