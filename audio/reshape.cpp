#include "audio/reshape.h"

#include "audio/wavefile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace jbx {

namespace {

constexpr std::uint16_t kTagPcm = 1;
constexpr std::uint16_t kTagFloat = 3;
constexpr std::size_t kHeaderBytes = 44;
// The RIFF length counts the header after its first 8 bytes, the data and
// its pad byte, all in 32 bits.
constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - (kHeaderBytes - 8) - 1;

void WriteHeader(std::uint8_t* p, std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
    std::uint16_t bits, std::uint32_t dataBytes)
{
    const std::uint32_t frameBytes = std::uint32_t(channels) * (bits / 8);
    const std::uint64_t bytesPerSecond = std::uint64_t(rate) * frameBytes;
    std::copy_n("RIFF", 4, p);
    WriteLE32(p + 4, std::uint32_t(kHeaderBytes - 8) + dataBytes + (dataBytes & 1));
    std::copy_n("WAVEfmt ", 8, p + 8);
    WriteLE32(p + 16, 16);
    WriteLE16(p + 20, tag);
    WriteLE16(p + 22, channels);
    WriteLE32(p + 24, rate);
    // Only a player's buffer sizing reads it: saturating beats wrapping.
    WriteLE32(p + 28, std::uint32_t(std::min<std::uint64_t>(bytesPerSecond, 0xFFFFFFFF)));
    WriteLE16(p + 32, std::uint16_t(frameBytes));
    WriteLE16(p + 34, bits);
    std::copy_n("data", 4, p + 36);
    WriteLE32(p + 40, dataBytes);
}

// A canonical image with its data zeroed, pad byte included; at most as many
// whole frames as a RIFF length can count.
Bytes CanonicalImage(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
    std::uint64_t frames)
{
    const std::uint32_t frameBytes = std::uint32_t(channels) * (bits / 8);
    frames = frameBytes == 0 ? 0 : std::min(frames, kMaxDataBytes / frameBytes);
    const std::uint32_t dataBytes = std::uint32_t(frames * frameBytes);
    Bytes out(kHeaderBytes + dataBytes + (dataBytes & 1));
    WriteHeader(out.data(), tag, channels, rate, bits, dataBytes);
    return out;
}

// Integer samples centred on zero, so that 8-bit ones round like the rest.
std::int64_t ReadInteger(const std::uint8_t* p, unsigned bytes)
{
    switch (bytes) {
    case 1:
        return std::int64_t(p[0]) - 128;
    case 2:
        return std::int16_t(ReadLE16(p));
    case 3:
        return std::int32_t(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 24) >> 8;
    default:
        return std::int32_t(ReadLE32(p));
    }
}

void WriteInteger(std::uint8_t* p, unsigned bytes, std::int64_t value)
{
    switch (bytes) {
    case 1:
        p[0] = std::uint8_t(value + 128);
        break;
    case 2:
        WriteLE16(p, std::uint16_t(value));
        break;
    case 3:
        p[0] = std::uint8_t(value);
        p[1] = std::uint8_t(value >> 8);
        p[2] = std::uint8_t(value >> 16);
        break;
    default:
        WriteLE32(p, std::uint32_t(value));
        break;
    }
}

double ReadFloat(const std::uint8_t* p, unsigned bytes)
{
    if (bytes == 4)
        return std::bit_cast<float>(ReadLE32(p));
    return std::bit_cast<double>(std::uint64_t(ReadLE32(p)) | std::uint64_t(ReadLE32(p + 4)) << 32);
}

void WriteFloat(std::uint8_t* p, unsigned bytes, double value)
{
    if (bytes == 4) {
        WriteLE32(p, std::bit_cast<std::uint32_t>(float(value)));
        return;
    }
    const auto bits = std::bit_cast<std::uint64_t>(value);
    WriteLE32(p, std::uint32_t(bits));
    WriteLE32(p + 4, std::uint32_t(bits >> 32));
}

// sum / divisor to nearest, halves away from zero; divisor > 0.
std::int64_t DivideRounded(std::int64_t sum, std::int64_t divisor)
{
    return sum < 0 ? -((-sum + divisor / 2) / divisor) : (sum + divisor / 2) / divisor;
}

} // namespace

bool ReshapeTakes(const WaveFormat& format)
{
    if (format.channels == 0 || format.bitsPerSample % 8 != 0
        || format.blockAlign != std::uint32_t(format.channels) * (format.bitsPerSample / 8))
        return false;
    switch (format.encoding) {
    case SampleEncoding::Pcm:
        return format.bitsPerSample >= 8 && format.bitsPerSample <= 32;
    case SampleEncoding::Float:
        return format.bitsPerSample == 32 || format.bitsPerSample == 64;
    default:
        return false;
    }
}

ReshapeResult ReshapeWave(std::span<const std::uint8_t> image, const Reshape& reshape)
{
    const std::optional<WaveFormat> format = ReadWaveFormat(image);
    if (!format)
        return {std::nullopt, ReshapeError::NotAWave};
    if (!ReshapeTakes(*format))
        return {std::nullopt, ReshapeError::UnsupportedFormat};

    const bool isFloat = format->encoding == SampleEncoding::Float;
    const unsigned inChannels = format->channels;
    const unsigned inBytes = format->bitsPerSample / 8;
    const unsigned outChannels = reshape.mono ? 1 : inChannels;
    const unsigned outBytes = reshape.eightBit ? 1 : inBytes;
    // Each output sample is the sum of `mixed` input samples.
    const unsigned mixed = inChannels / outChannels;

    const std::uint64_t available = format->dataOffset <= image.size()
        ? std::min<std::uint64_t>(format->dataLength, image.size() - format->dataOffset)
        : 0;
    const std::uint16_t outTag = isFloat && !reshape.eightBit ? kTagFloat : kTagPcm;
    Bytes out = CanonicalImage(outTag, std::uint16_t(outChannels), format->sampleRate,
        std::uint16_t(outBytes * 8), available / format->blockAlign);
    const std::uint64_t frames = ReadLE32(out.data() + 40) / (outChannels * outBytes);

    const std::uint8_t* in = image.data() + format->dataOffset;
    std::uint8_t* to = out.data() + kHeaderBytes;
    if (isFloat && !reshape.eightBit) {
        for (std::uint64_t f = 0; f < frames; ++f) {
            for (unsigned c = 0; c < outChannels; ++c, to += outBytes) {
                double sum = 0;
                for (unsigned m = 0; m < mixed; ++m, in += inBytes)
                    sum += ReadFloat(in, inBytes);
                WriteFloat(to, outBytes, sum / mixed);
            }
        }
    } else if (isFloat) {
        for (std::uint64_t f = 0; f < frames; ++f) {
            for (unsigned c = 0; c < outChannels; ++c, ++to) {
                double sum = 0;
                for (unsigned m = 0; m < mixed; ++m, in += inBytes)
                    sum += ReadFloat(in, inBytes);
                double value = std::round(sum * 128 / mixed);
                if (std::isnan(value))
                    value = 0;
                *to = std::uint8_t(std::clamp(value, -128.0, 127.0) + 128);
            }
        }
    } else {
        // Averaging and narrowing in one division keeps to one rounding.
        const std::int64_t divisor = std::int64_t(mixed) << (8 * (inBytes - outBytes));
        const std::int64_t highest = (std::int64_t(1) << (8 * outBytes - 1)) - 1;
        for (std::uint64_t f = 0; f < frames; ++f) {
            for (unsigned c = 0; c < outChannels; ++c, to += outBytes) {
                std::int64_t sum = 0;
                for (unsigned m = 0; m < mixed; ++m, in += inBytes)
                    sum += ReadInteger(in, inBytes);
                // Only rounding up next to full scale can overshoot, never below.
                WriteInteger(to, outBytes, std::min(DivideRounded(sum, divisor), highest));
            }
        }
    }
    return {std::move(out), ReshapeError::NotAWave};
}

void WritePcmWaveHeader(std::uint8_t* header, std::uint16_t channels, std::uint32_t sampleRate,
    std::uint16_t bitsPerSample, std::uint32_t dataBytes)
{
    WriteHeader(header, kTagPcm, channels, sampleRate, bitsPerSample, dataBytes);
}

} // namespace jbx
