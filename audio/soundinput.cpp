#include "audio/soundinput.h"

#include "audio/reshape.h"
#include "audio/wavefile.h"
#include "seam/filesystem.h"
#include "seam/sounddecoder.h"

#include <algorithm>
#include <string_view>
#include <new>

namespace jbx {

SoundKind SoundKindOf(std::span<const std::uint8_t> start)
{
    if (StartsWithVoiceMark(start))
        return SoundKind::Voice;
    constexpr std::string_view kRiff = "RIFF";
    if (start.size() >= kRiff.size() && std::equal(kRiff.begin(), kRiff.end(), start.begin()))
        return SoundKind::Wave;
    if (!start.empty() && (start[0] == 'C' || start[0] == 'R'))
        return SoundKind::AsItStands;
    return SoundKind::Decoded;
}

namespace {

// The whole file, with room for one byte more, whose slot is left zero.
bool ReadWhole(InputFile& file, Bytes& into, std::size_t extra)
{
    const std::size_t length = std::size_t(file.size());
    into.assign(length + extra, 0);
    file.seek(0);
    return file.read(into.data(), length) == length && !file.failed();
}

void ReadAsItStands(InputFile& file, SoundRead& read)
{
    if (!ReadWhole(file, read.buffer, 1)) {
        read.result = SoundReadResult::Unreadable;
        return;
    }
    read.size = std::int32_t(file.size());
    read.buffer[std::size_t(read.size)] = kPadByte;
    read.result = SoundReadResult::Read;
}

void ReadVoice(const ConversionContext& context, InputFile& file, SoundRead& read)
{
    Bytes input;
    if (!ReadWhole(file, input, 0)) {
        read.result = SoundReadResult::Unreadable;
        return;
    }
    read.buffer.assign(input.size() + kWaveImageSlack, 0);
    read.size = std::int32_t(input.size());
    if (ConvertVoiceFile(context, read.buffer, input, read.size) != ConvertResult::Converted) {
        read.buffer = {};
        read.result = SoundReadResult::NotConverted;
        return;
    }
    read.result = SoundReadResult::Read;
}

void ReadDecoded(InputFile& file, std::span<const std::uint8_t> start, SoundRead& read)
{
    // The samples land straight behind the room left for the header: a long
    // sound is never held twice.
    Bytes& image = read.buffer;
    image.assign(kWaveHeaderSize, 0);
    const DecodeResult decoded = DecodeSound(file, image, kVoiceFileLimit - kWaveHeaderSize);
    read.why = decoded.why;
    switch (decoded.status) {
    case DecodeStatus::Decoded:
        break;
    case DecodeStatus::Unknown:
        // A format people know by name is named, since the file then looks
        // like a sound: this system's decoder lacks its codec, or it is
        // damaged beyond opening.
        if (const auto format = CompressedSoundFormat(start))
            read.why = "it starts as " + std::string(*format == "FLAC" ? "a " : "an ") + std::string(*format)
                + " file, but this system's decoder cannot read it";
        read.result = SoundReadResult::NotASound;
        return;
    case DecodeStatus::Damaged:
        read.result = SoundReadResult::Damaged;
        return;
    case DecodeStatus::TooLong:
        read.result = SoundReadResult::TooLarge;
        return;
    case DecodeStatus::NoDecoder:
        read.result = SoundReadResult::NoDecoder;
        return;
    }
    WritePcmWaveHeader(image.data(), decoded.channels, decoded.sampleRate, 16,
        std::uint32_t(image.size() - kWaveHeaderSize));
    read.size = std::int32_t(image.size());
    image.push_back(kPadByte);
    read.result = SoundReadResult::Read;
}

} // namespace

SoundRead ReadSound(const ConversionContext& context, InputFile& file)
{
    SoundRead read;
    std::uint8_t mark[kSoundMarkLength] = {};
    file.seek(0);
    const std::span<const std::uint8_t> start(mark, file.read(mark, sizeof mark));
    read.kind = SoundKindOf(start);
    // Its length is known before anything more is read: a file that a
    // slot's 32-bit size (or a voice file's image) cannot hold is refused
    // unread. A decoded one is measured by what it decodes to.
    if (read.kind != SoundKind::Decoded && std::uint64_t(file.size()) > kVoiceFileLimit) {
        read.result = SoundReadResult::TooLarge;
        return read;
    }
    try {
        switch (read.kind) {
        case SoundKind::Wave:
        case SoundKind::AsItStands:
            ReadAsItStands(file, read);
            break;
        case SoundKind::Voice:
            ReadVoice(context, file, read);
            break;
        case SoundKind::Decoded:
            ReadDecoded(file, start, read);
            break;
        }
    } catch (const std::bad_alloc&) {
        read.buffer = {};
        read.result = SoundReadResult::OutOfMemory;
    }
    if (read.result != SoundReadResult::Read) {
        read.buffer = {};
        read.size = 0;
    }
    return read;
}

} // namespace jbx
