#include "audio/voiceconvert.h"

#include "audio/blockwalk.h"
#include "seam/bytes.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

namespace jbx {

using namespace voice;

namespace {

constexpr std::string_view kSignature{"Creative Voice File\x1a", 20};
constexpr std::size_t kMinorVersionAt = 22;
constexpr std::size_t kMajorVersionAt = 23;
constexpr std::size_t kCheckLowAt = 24;
constexpr std::size_t kCheckHighAt = 25;

constexpr std::uint8_t kKnownMajor = 1;
constexpr std::uint8_t kKnownMinors[] = {10, 20};

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

// What becomes of a sound block's sample bytes in memory: gathered into
// the buffer the image is built in.
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

} // namespace

namespace voice {

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

} // namespace voice

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

bool StartsWithVoiceMark(std::span<const std::uint8_t> bytes)
{
    return bytes.size() >= kVoiceFileMark.size()
        && std::equal(kVoiceFileMark.begin(), kVoiceFileMark.end(), bytes.begin());
}

} // namespace jbx
