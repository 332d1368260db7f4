#include "audio/voiceconvert.h"

#include "seam/bytes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace jbx {

namespace {

constexpr std::string_view kSignature{"Creative Voice File\x1a", 20};
constexpr std::size_t kDataOffsetAt = 20;
constexpr std::size_t kMinorVersionAt = 22;
constexpr std::size_t kMajorVersionAt = 23;
constexpr std::size_t kCheckLowAt = 24;
constexpr std::size_t kCheckHighAt = 25;

constexpr std::uint8_t kKnownMajor = 1;
constexpr std::uint8_t kKnownMinors[] = {10, 20};

enum BlockType : std::uint8_t {
    kTerminator = 0,
    kSoundData = 1,
    kSoundContinuation = 2,
    kSilence = 3,
    kMarker = 4,
    kText = 5,
    kRepeatStart = 6,
    kRepeatEnd = 7,
    kExtended = 8,
    kSoundDataNew = 9,
};

// Bytes of a block body taken by its parameters before the samples.
constexpr std::uint32_t kSoundDataParams = 2;
constexpr std::uint32_t kSoundDataNewParams = 12;
constexpr std::uint32_t kSoundDataNewUnused = 6;   // codec word and reserved bytes

constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kFormatChunkSize = 8 + 16;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::uint16_t kFormatPcm = 1;
// The most sample bytes an image may hold so that its size still fits the
// slot's 32-bit size.
constexpr std::size_t kWaveDataLimit =
    std::size_t(std::numeric_limits<std::int32_t>::max()) - kWaveHeaderSize;

constexpr std::string_view kBuildErrorCaption = "VOC Conversion Error";

MessageAnswer Tell(Desktop& desktop, std::string_view text, std::string_view caption,
    MessageButtons buttons, MessageIcon icon)
{
    // These boxes have no owner, as the conversion may run before any window.
    return desktop.showMessage(
        Message{std::string(text), std::string(caption), buttons, icon, Owner::None});
}

bool IsKnownVersion(std::span<const std::uint8_t> header)
{
    const std::uint8_t minor = header[kMinorVersionAt];
    const std::uint8_t major = header[kMajorVersionAt];
    if (major != kKnownMajor || std::find(std::begin(kKnownMinors), std::end(kKnownMinors), minor)
            == std::end(kKnownMinors))
        return false;
    return header[kCheckLowAt] == std::uint8_t(0x33 - minor)
        && header[kCheckHighAt] == std::uint8_t(0x12 - major);
}

// The block walk over one input: the cursor, the block being handled and
// the samples gathered so far. Every position is checked against the
// input's end by subtraction; the cursor never passes the end once it is
// inside the input.
class BlockWalk {
public:
    BlockWalk(std::span<const std::uint8_t> input, std::span<std::uint8_t> samples)
        : input_(input), samples_(samples)
    {
    }

    std::size_t written() const { return written_; }
    std::uint32_t blockType() const { return blockType_; }
    std::uint32_t blockLength() const { return blockLength_; }

    // Positions the cursor at the data offset.
    void start(std::uint32_t offset) { cursor_ = offset; }

    // Reads the next block's type and, unless it is the terminator, its
    // length. False when the walk is over: a terminator, or the end of the
    // input, which ends it as a terminator would.
    bool nextBlock()
    {
        const auto type = readByte();
        if (!type)
            return false;
        blockType_ = *type;
        if (blockType_ == kTerminator)
            return false;
        const auto length = readField(3);
        if (!length)
            return false;
        blockLength_ = *length;
        return true;
    }

    // A little-endian field of count bytes; nothing when the input ends
    // inside it.
    std::optional<std::uint32_t> readField(int count)
    {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            const auto byte = readByte();
            if (!byte)
                return std::nullopt;
            value |= std::uint32_t(*byte) << (8 * i);
        }
        return value;
    }

    // Advances past n bytes; false when the input ended first.
    bool passOver(std::uint32_t n)
    {
        if (n > remaining()) {
            if (cursor_ < input_.size())
                cursor_ = std::uint32_t(input_.size());
            return false;
        }
        cursor_ += n;
        return true;
    }

    // Appends the next n input bytes as samples, as many as there are;
    // false when the input ended first. What the scratch area cannot hold
    // is dropped.
    bool append(std::uint32_t n)
    {
        const std::size_t take = std::min<std::size_t>(n, remaining());
        const std::size_t store = std::min(take, samples_.size() - written_);
        if (store > 0) {
            std::memcpy(samples_.data() + written_, input_.data() + cursor_, store);
            written_ += store;
        }
        cursor_ += std::uint32_t(take);
        return take == n;
    }

private:
    std::size_t remaining() const { return cursor_ < input_.size() ? input_.size() - cursor_ : 0; }

    // The byte at the cursor, advancing it; nothing (and the cursor stays)
    // at the end of the input.
    std::optional<std::uint8_t> readByte()
    {
        if (cursor_ >= input_.size())
            return std::nullopt;
        return input_[cursor_++];
    }

    std::span<const std::uint8_t> input_;
    std::span<std::uint8_t> samples_;
    std::uint32_t cursor_ = 0;
    std::uint32_t blockType_ = 0;
    std::uint32_t blockLength_ = 0;
    std::size_t written_ = 0;
};

// Asks the user what to do with the block of unknown type that the walk
// has just read.
UnknownBlockChoice AskUnknownBlock(const ConversionContext& context, const BlockWalk& walk)
{
    const UnknownBlockDetails details{context.soundNumber, walk.blockType(), walk.blockLength()};
    return context.desktop.askUnknownBlock(details, context.owner);
}

// Handles the body of the block whose type and length the walk has read.
// False ends the walk.
bool HandleBlock(const ConversionContext& context, BlockWalk& walk, VoiceFormat& format, bool& extended)
{
    const std::uint32_t type = walk.blockType();
    const std::uint32_t length = walk.blockLength();

    switch (type) {
    case kSoundData: {
        // Too short for its own parameters: nothing in it can be trusted.
        if (length < kSoundDataParams)
            return walk.passOver(length);
        if (extended) {
            // The rate and codec of the extended block stand.
            if (!walk.passOver(kSoundDataParams))
                return false;
            extended = false;
        } else {
            const auto timeConstant = walk.readField(1);
            const auto codec = walk.readField(1);
            if (!timeConstant || !codec)
                return false;
            format.sampleRate = 1'000'000 / (256 - *timeConstant);
            format.codec = *codec;
        }
        // Also after an extended block that announced stereo: its rate is
        // that of both channels together, so one channel plays at the right
        // speed.
        format.isMono = true;
        return walk.append(length - kSoundDataParams);
    }
    case kSoundContinuation:
        return walk.append(length);
    case kSilence:
    case kMarker:
    case kText:
    case kRepeatStart:
        return walk.passOver(length);
    case kRepeatEnd:
        // Its declared length is not a body of its own.
        return true;
    case kExtended: {
        // Exactly four bytes, whatever the declared length says.
        const auto timeConstant = walk.readField(2);
        const auto codec = walk.readField(1);
        const auto mode = walk.readField(1);
        if (!timeConstant || !codec || !mode)
            return false;
        extended = true;
        format.sampleRate = 256'000'000 / (65536 - *timeConstant);
        format.codec = *codec;
        format.isMono = *mode == 0;
        return true;
    }
    case kSoundDataNew: {
        if (length < kSoundDataNewParams)
            return walk.passOver(length);
        const auto rate = walk.readField(4);
        const auto bits = walk.readField(1);
        const auto channels = walk.readField(1);
        if (!rate || !bits || !channels || !walk.passOver(kSoundDataNewUnused))
            return false;
        format.sampleRate = *rate;
        format.bitsPerSample = std::uint16_t(*bits);
        format.isMono = *channels == 1;
        return walk.append(length - kSoundDataNewParams);
    }
    default:
        switch (AskUnknownBlock(context, walk)) {
        case UnknownBlockChoice::SkipBlock:
            return walk.passOver(length);
        case UnknownBlockChoice::ForceConversion:
            return walk.append(length);
        case UnknownBlockChoice::StopConversion:
            break;
        }
        return false;
    }
}

} // namespace

ConvertResult ParseVoiceFile(const ConversionContext& context, std::span<const std::uint8_t> input,
    std::span<std::uint8_t> samples, VoiceFormat& format)
{
    if (input.size() < kVoiceHeaderSize || input.size() > kVoiceFileLimit
        || !std::equal(kSignature.begin(), kSignature.end(), input.begin())) {
        Tell(context.desktop, "Not a Creative Voice File", kErrorCaption, MessageButtons::Ok, MessageIcon::Stop);
        return ConvertResult::NotAVoiceFile;
    }
    if (!IsKnownVersion(input)
        && Tell(context.desktop, "Unknown Voice File Version.\n\nProcess anyway?", kErrorCaption,
               MessageButtons::YesNo, MessageIcon::Stop)
            != MessageAnswer::Yes)
        return ConvertResult::VersionRefused;

    BlockWalk walk(input, samples);
    walk.start(ReadLE16(input.data() + kDataOffsetAt));
    bool extended = false;
    while (walk.nextBlock()) {
        if (!HandleBlock(context, walk, format, extended))
            break;
    }
    format.sampleCount = std::uint32_t(walk.written());
    return ConvertResult::Converted;
}

bool BuildWaveImage(Desktop& desktop, std::span<std::uint8_t> output,
    std::span<const std::uint8_t> samples, std::int32_t& size, const VoiceFormat& format)
{
    const auto fail = [&](std::string_view text, MessageIcon icon) {
        Tell(desktop, text, kBuildErrorCaption, MessageButtons::Ok, icon);
        // Failures arise only below the 44-byte header, so the length fits.
        size = std::int32_t(output.size());
        return false;
    };

    std::uint8_t* const image = output.data();
    if (output.empty())
        return fail("Failed to open wave buffer.", MessageIcon::Asterisk);
    if (output.size() < kRiffHeaderSize)
        return fail("Unable to write RIFF header", MessageIcon::Stop);
    // The RIFF length is known only when the data are in.
    std::memcpy(image, "RIFF", 4);
    WriteLE32(image + 4, 0);
    std::memcpy(image + 8, "WAVE", 4);

    if (output.size() - kRiffHeaderSize < kFormatChunkSize)
        return fail("Unable to write format chunk", MessageIcon::Stop);
    const std::uint16_t channels = format.isMono ? 1 : 2;
    const std::uint16_t blockAlign = std::uint16_t(channels * format.bitsPerSample / 8);
    std::uint8_t* const fmt = image + kRiffHeaderSize;
    std::memcpy(fmt, "fmt ", 4);
    WriteLE32(fmt + 4, 16);
    WriteLE16(fmt + 8, kFormatPcm);
    WriteLE16(fmt + 10, channels);
    WriteLE32(fmt + 12, format.sampleRate);
    WriteLE32(fmt + 16, std::uint32_t(blockAlign) * format.sampleRate);
    WriteLE16(fmt + 20, blockAlign);
    WriteLE16(fmt + 22, format.bitsPerSample);

    const std::size_t dataAt = kRiffHeaderSize + kFormatChunkSize;
    if (output.size() - dataAt < kChunkHeaderSize)
        return fail("Unable to write data chunk", MessageIcon::Stop);

    // Cut off what does not fit, keeping room for the pad byte, so that the
    // headers describe the image as written and it ends inside output.
    const std::size_t room = output.size() - kWaveHeaderSize;
    std::size_t count = std::min({std::size_t(format.sampleCount), samples.size(), room, kWaveDataLimit});
    if (count % 2 == 1 && count == room)
        --count;
    const std::size_t pad = count % 2;

    std::memcpy(image + dataAt, "data", 4);
    WriteLE32(image + dataAt + 4, std::uint32_t(count));
    if (count > 0 && samples.data() != image + kWaveHeaderSize)
        std::memmove(image + kWaveHeaderSize, samples.data(), count);
    if (pad)
        image[kWaveHeaderSize + count] = 0;

    const std::uint32_t riffLength = std::uint32_t(kWaveHeaderSize - 8 + count + pad);
    WriteLE32(image + 4, riffLength);
    // One less than the image length: Extract writes the byte at index size too.
    size = std::int32_t(ReadLE32(image + 4) + 7);
    return true;
}

ConvertResult ConvertVoiceFile(const ConversionContext& context, std::span<std::uint8_t> output,
    std::span<const std::uint8_t> input, std::int32_t& size)
{
    // The samples are gathered where the image's data belong, so the image
    // needs no second copy of them.
    std::span<std::uint8_t> samples;
    if (output.size() > kWaveHeaderSize)
        samples = output.subspan(kWaveHeaderSize, std::min(input.size(), output.size() - kWaveHeaderSize));

    VoiceFormat format;
    const ConvertResult parsed = ParseVoiceFile(context, input, samples, format);
    if (parsed != ConvertResult::Converted)
        return parsed;
    if (!BuildWaveImage(context.desktop, output, samples, size, format))
        return ConvertResult::BuildFailed;
    return ConvertResult::Converted;
}

bool StartsWithVoiceMark(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= kVoiceFileMark.size()
        && std::equal(kVoiceFileMark.begin(), kVoiceFileMark.end(), bytes.begin());
}

} // namespace jbx
