#include "audio/voiceconvert.h"

#include "seam/bytes.h"

#include <algorithm>
#include <array>
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

// Where a walk reads the voice file from: all of it in memory.
class MemoryInput {
public:
    explicit MemoryInput(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t size() const { return bytes_.size(); }
    std::uint8_t at(std::size_t position) { return bytes_[position]; }

private:
    std::span<const std::uint8_t> bytes_;
};

// Or a source read a window at a time: only the blocks' headers are read,
// and they are few and small.
class WindowedInput {
public:
    explicit WindowedInput(VoiceSource& source) : source_(source), size_(std::size_t(source.size())) {}
    std::size_t size() const { return size_; }
    std::uint8_t at(std::size_t position)
    {
        if (position < start_ || position - start_ >= length_) {
            start_ = position;
            length_ = source_.read(position, window_);
            // A byte the source could not give reads as zero, as a lump cut
            // short keeps zeros in its buffer.
            if (length_ == 0)
                return 0;
        }
        return window_[position - start_];
    }

private:
    VoiceSource& source_;
    std::size_t size_;
    std::array<std::uint8_t, 4096> window_{};
    std::size_t start_ = 0;
    std::size_t length_ = 0;
};

// What becomes of a sound block's sample bytes: gathered into a buffer,
// only counted, or copied from the source to a sink.
class GatherSamples {
public:
    GatherSamples(std::span<const std::uint8_t> input, std::span<std::uint8_t> samples)
        : input_(input), samples_(samples)
    {
    }
    std::uint64_t written() const { return written_; }
    // What the buffer cannot hold is dropped.
    void take(std::size_t position, std::size_t n)
    {
        const std::size_t store = std::min(n, samples_.size() - written_);
        if (store > 0) {
            std::memcpy(samples_.data() + written_, input_.data() + position, store);
            written_ += store;
        }
    }

private:
    std::span<const std::uint8_t> input_;
    std::span<std::uint8_t> samples_;
    std::size_t written_ = 0;
};

class CountSamples {
public:
    std::uint64_t written() const { return written_; }
    void take(std::size_t, std::size_t n) { written_ += n; }

private:
    std::uint64_t written_ = 0;
};

class CopySamples {
public:
    CopySamples(VoiceSource& source, ByteSink& sink, std::uint64_t limit) : source_(source), sink_(sink), left_(limit) {}
    bool ok() const { return ok_; }
    // Ranges beyond the limit are left out; the first failure ends the copying.
    void take(std::size_t position, std::size_t n)
    {
        const std::uint64_t copy = std::min<std::uint64_t>(n, left_);
        if (ok_ && copy > 0)
            ok_ = source_.copyTo(sink_, position, copy);
        left_ -= copy;
    }

private:
    VoiceSource& source_;
    ByteSink& sink_;
    std::uint64_t left_;
    bool ok_ = true;
};

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
auto AskUser(const ConversionContext& context)
{
    return [&context](std::uint32_t type, std::uint32_t length) {
        return context.desktop.askUnknownBlock(UnknownBlockDetails{context.soundNumber, type, length}, context.owner);
    };
}

// The signature, the length and the version; the header's bytes are the
// input's first kVoiceHeaderSize, or fewer when the input is shorter.
ConvertResult CheckHeader(const ConversionContext& context, std::span<const std::uint8_t> header,
    std::uint64_t inputSize)
{
    if (inputSize < kVoiceHeaderSize || inputSize > kVoiceFileLimit
        || !std::equal(kSignature.begin(), kSignature.end(), header.begin())) {
        Tell(context.desktop, "Not a Creative Voice File", kErrorCaption, MessageButtons::Ok, MessageIcon::Stop);
        return ConvertResult::NotAVoiceFile;
    }
    if (!IsKnownVersion(header)
        && Tell(context.desktop, "Unknown Voice File Version.\n\nProcess anyway?", kErrorCaption,
               MessageButtons::YesNo, MessageIcon::Stop)
            != MessageAnswer::Yes)
        return ConvertResult::VersionRefused;
    return ConvertResult::Converted;
}

// The image's fixed parts, each written where it belongs in the image.
void WriteRiffHeader(std::uint8_t* image, std::uint32_t riffLength)
{
    std::memcpy(image, "RIFF", 4);
    WriteLE32(image + 4, riffLength);
    std::memcpy(image + 8, "WAVE", 4);
}

void WriteFormatChunk(std::uint8_t* fmt, const VoiceFormat& format)
{
    const std::uint16_t channels = format.isMono ? 1 : 2;
    const std::uint16_t blockAlign = std::uint16_t(channels * format.bitsPerSample / 8);
    std::memcpy(fmt, "fmt ", 4);
    WriteLE32(fmt + 4, 16);
    WriteLE16(fmt + 8, kFormatPcm);
    WriteLE16(fmt + 10, channels);
    WriteLE32(fmt + 12, format.sampleRate);
    WriteLE32(fmt + 16, std::uint32_t(blockAlign) * format.sampleRate);
    WriteLE16(fmt + 20, blockAlign);
    WriteLE16(fmt + 22, format.bitsPerSample);
}

void WriteDataHeader(std::uint8_t* chunk, std::uint32_t count)
{
    std::memcpy(chunk, "data", 4);
    WriteLE32(chunk + 4, count);
}

constexpr std::uint32_t RiffLength(std::uint64_t count)
{
    return std::uint32_t(kWaveHeaderSize - 8 + count + count % 2);
}

} // namespace

ConvertResult ParseVoiceFile(const ConversionContext& context, std::span<const std::uint8_t> input,
    std::span<std::uint8_t> samples, VoiceFormat& format)
{
    const ConvertResult checked = CheckHeader(context, input.first(std::min(input.size(), kVoiceHeaderSize)), input.size());
    if (checked != ConvertResult::Converted)
        return checked;
    MemoryInput bytes(input);
    GatherSamples gathered(input, samples);
    WalkBlocks(bytes, ReadLE16(input.data() + kDataOffsetAt), gathered, format, AskUser(context));
    format.sampleCount = std::uint32_t(gathered.written());
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
    WriteRiffHeader(image, 0);

    if (output.size() - kRiffHeaderSize < kFormatChunkSize)
        return fail("Unable to write format chunk", MessageIcon::Stop);
    WriteFormatChunk(image + kRiffHeaderSize, format);

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

    WriteDataHeader(image + dataAt, std::uint32_t(count));
    if (count > 0 && samples.data() != image + kWaveHeaderSize)
        std::memmove(image + kWaveHeaderSize, samples.data(), count);
    if (pad)
        image[kWaveHeaderSize + count] = 0;

    WriteLE32(image + 4, RiffLength(count));
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

std::uint64_t VoiceImagePlan::imageLength() const
{
    return std::uint64_t(RiffLength(format.sampleCount)) + 8;
}

ConvertResult PlanVoiceImage(const ConversionContext& context, VoiceSource& source, VoiceImagePlan& plan)
{
    std::array<std::uint8_t, kVoiceHeaderSize> header{};
    const std::uint64_t size = source.size();
    const std::size_t got = source.read(0, std::span(header).first(std::size_t(std::min<std::uint64_t>(size, header.size()))));
    const ConvertResult checked = CheckHeader(context, std::span(header).first(got), size);
    if (checked != ConvertResult::Converted)
        return checked;

    plan = VoiceImagePlan{};
    plan.dataOffset = ReadLE16(header.data() + kDataOffsetAt);
    WindowedInput input(source);
    CountSamples counted;
    WalkBlocks(input, plan.dataOffset, counted, plan.format, [&](std::uint32_t type, std::uint32_t length) {
        const UnknownBlockChoice choice = AskUser(context)(type, length);
        if (plan.answers.empty() || plan.answers.back().first != choice)
            plan.answers.emplace_back(choice, 0);
        ++plan.answers.back().second;
        return choice;
    });
    // Every sample byte is a byte of the input, which kVoiceFileLimit keeps
    // below the slot's 32-bit size.
    plan.format.sampleCount = std::uint32_t(counted.written());
    return ConvertResult::Converted;
}

bool WriteVoiceImage(VoiceSource& source, const VoiceImagePlan& plan, ByteSink& sink, std::uint64_t length)
{
    const std::uint32_t count = plan.format.sampleCount;
    std::array<std::uint8_t, kWaveHeaderSize> header{};
    WriteRiffHeader(header.data(), RiffLength(count));
    WriteFormatChunk(header.data() + kRiffHeaderSize, plan.format);
    WriteDataHeader(header.data() + kRiffHeaderSize + kFormatChunkSize, count);
    if (!sink.write(std::span(header).first(std::size_t(std::min<std::uint64_t>(length, header.size())))))
        return false;
    if (length <= kWaveHeaderSize)
        return true;

    // The second walk meets the same blocks, so the answers come back in the
    // order they were given.
    auto answer = plan.answers.begin();
    std::uint32_t repeated = 0;
    WindowedInput input(source);
    CopySamples copied(source, sink, length - kWaveHeaderSize);
    VoiceFormat format;
    WalkBlocks(input, plan.dataOffset, copied, format, [&](std::uint32_t, std::uint32_t) {
        if (answer == plan.answers.end())
            return UnknownBlockChoice::StopConversion;
        const UnknownBlockChoice choice = answer->first;
        if (++repeated == answer->second) {
            ++answer;
            repeated = 0;
        }
        return choice;
    });
    if (!copied.ok())
        return false;
    const bool padded = count % 2 == 1 && length > kWaveHeaderSize + count;
    const std::uint8_t pad = 0;
    return !padded || sink.write({&pad, 1});
}

bool StartsWithVoiceMark(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= kVoiceFileMark.size()
        && std::equal(kVoiceFileMark.begin(), kVoiceFileMark.end(), bytes.begin());
}

} // namespace jbx
