#pragma once

// The voice file's block walk, shared by the conversion into memory and the
// streamed one: what the blocks are, how a walk reads them, and the parts
// of the image both write. Only the audio folder includes this.

#include "audio/voiceconvert.h"
#include "seam/bytes.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

namespace jbx::voice {

inline constexpr std::size_t kDataOffsetAt = 20;

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
inline constexpr std::uint32_t kSoundDataParams = 2;
inline constexpr std::uint32_t kSoundDataNewParams = 12;
inline constexpr std::uint32_t kSoundDataNewUnused = 6;   // codec word and reserved bytes

inline constexpr std::size_t kRiffHeaderSize = 12;
inline constexpr std::size_t kFormatChunkSize = 8 + 16;

// The block walk over one input: the cursor and the block being handled.
// Every position is checked against the input's end by subtraction; the
// cursor never passes the end once it is inside the input.
template <class Input, class Samples>
class BlockWalk {
public:
    BlockWalk(Input& input, Samples& samples) : input_(input), samples_(samples) {}

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

    // Hands the next n input bytes to the samples, as many as there are;
    // false when the input ended first.
    bool append(std::uint32_t n)
    {
        const std::size_t take = std::min<std::size_t>(n, remaining());
        if (take > 0)
            samples_.take(cursor_, take);
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
        return input_.at(cursor_++);
    }

    Input& input_;
    Samples& samples_;
    std::uint32_t cursor_ = 0;
    std::uint32_t blockType_ = 0;
    std::uint32_t blockLength_ = 0;
};

// Handles the body of the block whose type and length the walk has read;
// ask answers the unknown-block question. False ends the walk.
template <class Walk, class Ask>
bool HandleBlock(Walk& walk, VoiceFormat& format, bool& extended, Ask& ask)
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
        switch (ask(type, length)) {
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

// Walks the blocks from the data offset on, until a terminator, the end of
// the input or a block that ends the walk.
template <class Input, class Samples, class Ask>
void WalkBlocks(Input& input, std::uint32_t dataOffset, Samples& samples, VoiceFormat& format, Ask ask)
{
    BlockWalk walk(input, samples);
    walk.start(dataOffset);
    bool extended = false;
    while (walk.nextBlock()) {
        if (!HandleBlock(walk, format, extended, ask))
            break;
    }
}

// The unknown-block question as the user answers it.
inline auto AskUser(const ConversionContext& context)
{
    return [&context](std::uint32_t type, std::uint32_t length) {
        return context.desktop.askUnknownBlock(UnknownBlockDetails{context.soundNumber, type, length}, context.owner);
    };
}

// The signature, the length and the version; the header's bytes are the
// input's first kVoiceHeaderSize, or fewer when the input is shorter.
// Converted when the walk may go on; the user has been told why not.
ConvertResult CheckHeader(const ConversionContext& context, std::span<const std::uint8_t> header,
    std::uint64_t inputSize);

// The image's fixed parts, each written where it belongs in the image.
void WriteRiffHeader(std::uint8_t* image, std::uint32_t riffLength);
void WriteFormatChunk(std::uint8_t* fmt, const VoiceFormat& format);
void WriteDataHeader(std::uint8_t* chunk, std::uint32_t count);

// The RIFF length of an image of count sample bytes and the pad byte an odd
// count takes.
constexpr std::uint32_t RiffLength(std::uint64_t count)
{
    return std::uint32_t(kWaveHeaderSize - 8 + count + count % 2);
}

} // namespace jbx::voice
