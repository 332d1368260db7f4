#include "audio/wavefile.h"

#include <algorithm>
#include <cstring>

namespace jbx {

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::uint16_t kTagExtensible = 0xFFFE;
// The extensible chunk's sub-format sits after the 16 common bytes, the
// extension's size, valid bits and channel mask.
constexpr std::size_t kSubFormatAt = 24;

bool IdIs(const std::uint8_t* p, const char* id)
{
    return std::memcmp(p, id, 4) == 0;
}

SampleEncoding EncodingOf(std::uint16_t tag)
{
    if (tag == kTagPcm)
        return SampleEncoding::Pcm;
    if (tag == kTagFloat)
        return SampleEncoding::Float;
    return SampleEncoding::Other;
}

} // namespace

double WaveFormat::seconds() const
{
    if (sampleRate == 0 || blockAlign == 0)
        return 0;
    return double(dataLength / blockAlign) / sampleRate;
}

std::optional<WaveFormat> ReadWaveFormat(std::span<const std::uint8_t> image)
{
    if (image.size() < 12 || !IdIs(image.data(), "RIFF") || !IdIs(image.data() + 8, "WAVE"))
        return std::nullopt;
    const std::uint64_t riffEnd = std::uint64_t(ReadLE32(image.data() + 4)) + 8;
    WaveFormat format;
    bool haveFormat = false;
    bool allFit = riffEnd <= image.size();
    // Chunks are walked by their headers up to the data chunk, within the
    // RIFF length and the bytes given.
    for (std::uint64_t at = 12; at + 8 <= std::min<std::uint64_t>(riffEnd, image.size());) {
        const std::uint8_t* chunk = image.data() + at;
        const std::uint32_t size = ReadLE32(chunk + 4);
        const std::uint64_t body = at + 8;
        const bool fits = body + size <= std::min<std::uint64_t>(riffEnd, image.size());
        if (IdIs(chunk, "fmt ")) {
            if (size < 16 || body + 16 > image.size())
                return std::nullopt;
            const std::uint8_t* fmt = image.data() + body;
            format.formatTag = ReadLE16(fmt);
            format.channels = ReadLE16(fmt + 2);
            format.sampleRate = ReadLE32(fmt + 4);
            format.blockAlign = ReadLE16(fmt + 12);
            format.bitsPerSample = ReadLE16(fmt + 14);
            format.encoding = EncodingOf(format.formatTag);
            if (format.formatTag == kTagExtensible) {
                format.encoding = SampleEncoding::Other;
                if (size >= kSubFormatAt + 2 && body + kSubFormatAt + 2 <= image.size())
                    format.encoding = EncodingOf(ReadLE16(fmt + kSubFormatAt));
            }
            haveFormat = true;
        } else if (IdIs(chunk, "data")) {
            if (!haveFormat)
                return std::nullopt;
            format.dataOffset = body;
            format.dataLength = size;
            format.sizesFit = allFit && fits;
            return format;
        }
        allFit = allFit && fits;
        at = body + size + (size & 1);
    }
    return std::nullopt;
}

std::optional<std::string_view> CompressedSoundFormat(std::span<const std::uint8_t> start)
{
    const auto startsWith = [&](std::string_view mark) {
        return start.size() >= mark.size() && std::equal(mark.begin(), mark.end(), start.begin());
    };
    if (startsWith("fLaC"))
        return "FLAC";
    if (startsWith("OggS"))
        return "Ogg";
    // An ID3 tag, or an MPEG audio frame's sync word (eleven bits set).
    if (startsWith("ID3") || (start.size() >= 2 && start[0] == 0xFF && (start[1] & 0xE0) == 0xE0))
        return "MP3";
    return std::nullopt;
}

} // namespace jbx
