#include "bank/slotcheck.h"

#include "audio/reshape.h"
#include "bank/slotops.h"

#include <cstdint>
#include <iomanip>
#include <locale>
#include <sstream>
#include <span>

namespace jbx {

namespace {

// slotBytes counts the byte after the sound, which Extract writes and the
// players take as part of the image: a converted voice file with an odd
// count of samples has its RIFF pad byte there. When start is only the
// beginning of the slot, the sizes ReadWaveFormat could not see are
// compared with the slot's here.
bool SizesFitSlot(const WaveFormat& format, std::span<const std::uint8_t> start, std::uint64_t slotBytes)
{
    if (start.size() >= slotBytes)
        return format.sizesFit;
    const std::uint64_t riffEnd = std::uint64_t(ReadLE32(start.data() + 4)) + 8;
    return riffEnd <= slotBytes && format.dataOffset + format.dataLength <= riffEnd;
}

void CheckSound(SlotCheck& check, const SoundSlot& slot, StreamedBank::VoiceLump voice,
    std::span<const std::uint8_t> start)
{
    check.format = ReadWaveFormat(start);
    if (!check.format) {
        check.content = SlotContent::NotASound;
        check.problems.emplace_back(kNotASound);
        return;
    }
    const WaveFormat& format = *check.format;
    if (voice == StreamedBank::VoiceLump::Converted)
        check.content = SlotContent::Voice;
    else
        check.content = format.encoding == SampleEncoding::Pcm ? SlotContent::PcmWave : SlotContent::OtherWave;
    if (format.channels > 1)
        check.problems.emplace_back(kMonoOnly);
    if (format.encoding != SampleEncoding::Pcm)
        check.problems.emplace_back(kPcmOnly);
    if (!SizesFitSlot(format, start, std::uint64_t(slot.size) + 1))
        check.problems.emplace_back(kSizesRunPast);
    if (format.bitsPerSample > 8)
        check.warnings.emplace_back(kMayNeed8Bit);
}

std::string ContentText(const SlotCheck& check)
{
    switch (check.content) {
    case SlotContent::Empty:
        return "empty";
    case SlotContent::PcmWave:
        return "PCM WAVE";
    case SlotContent::OtherWave: {
        if (check.format->encoding == SampleEncoding::Float)
            return "float WAVE";
        std::ostringstream tag;
        tag << "WAVE format 0x" << std::hex << std::setw(4) << std::setfill('0') << check.format->formatTag;
        return tag.str();
    }
    case SlotContent::Voice:
        return "voice file as PCM WAVE";
    case SlotContent::RefusedVoice:
        return "voice file, not converted";
    case SlotContent::NotASound:
        return "not a sound";
    }
    return {};
}

std::string ChannelsText(std::uint16_t channels)
{
    if (channels == 1)
        return "mono";
    if (channels == 2)
        return "stereo";
    return std::to_string(channels) + " channels";
}

} // namespace

std::optional<std::string> GameReadyQuestion(const SoundSlot& slot, int slotNumber)
{
    if (slot.size <= 0 || !slot.data)
        return std::nullopt;
    const auto format = ReadWaveFormat(SlotFileBytes(slot));
    if (!format || !ReshapeTakes(*format))
        return std::nullopt;
    const bool stereo = format->channels > 1;
    const bool pcm = format->encoding == SampleEncoding::Pcm;
    if (!stereo && pcm)
        return std::nullopt;
    std::string text = "Sound " + std::to_string(slotNumber) + " is " + ChannelsText(format->channels) + ", "
        + std::to_string(format->bitsPerSample) + "-bit" + (pcm ? "" : " float") + ". The game plays "
        + (stereo ? "mono " : "") + (pcm ? "" : "PCM ") + "sounds only";
    if (format->bitsPerSample > 8)
        text += ", and may need 8-bit";
    return text + ".\n\nMake it mono and 8-bit?";
}

SlotCheck CheckSlot(const SoundSlot& slot, int slotNumber)
{
    SlotCheck check;
    check.slot = slotNumber;
    check.name = slot.name;
    if (slot.size <= 0 || !slot.data) {
        check.warnings.emplace_back(kEmptySlot);
        return check;
    }
    CheckSound(check, slot, StreamedBank::VoiceLump::None, SlotFileBytes(slot));
    return check;
}

std::string FixedSeconds(double seconds, int decimals)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(decimals) << seconds;
    return text.str();
}

std::string DescribeSound(const SlotCheck& check)
{
    std::string text = ContentText(check);
    if (const auto& f = check.format) {
        text += ", " + std::to_string(f->channels) + (f->channels == 1 ? " channel, " : " channels, ")
            + std::to_string(f->bitsPerSample) + " bits, " + std::to_string(f->sampleRate) + " Hz, "
            + FixedSeconds(f->seconds(), 2) + " s";
    }
    return text;
}

std::vector<SlotCheck> CheckSlots(const SoundBank& bank, StreamedBank& sounds)
{
    std::vector<SlotCheck> checks;
    for (int n = 1; n <= kSlotCount; ++n) {
        const SoundSlot& slot = bank.slot(n);
        SlotCheck& check = checks.emplace_back();
        check.slot = n;
        check.name = slot.name;
        const StreamedBank::VoiceLump voice = sounds.voiceLump(n);
        // A refused voice lump keeps its size but holds only zeros.
        if (voice == StreamedBank::VoiceLump::Refused) {
            check.content = SlotContent::RefusedVoice;
            check.problems.emplace_back(kVoiceRefused);
        } else if (slot.size <= 0) {
            check.content = SlotContent::Empty;
            check.warnings.emplace_back(kEmptySlot);
        } else {
            CheckSound(check, slot, voice, sounds.slotStart(bank, n, kSlotCheckBytes));
        }
    }
    return checks;
}

} // namespace jbx
