#pragma once

// Reading and writing the samples of the WAVE images that ReshapeWave and
// the shaping operations take and make; internal to audio/.

#include "audio/reshape.h"
#include "audio/wavefile.h"
#include "seam/bytes.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

namespace jbx::samples {

inline constexpr std::uint16_t kTagPcm = 1;
inline constexpr std::uint16_t kTagFloat = 3;
inline constexpr std::size_t kHeaderBytes = 44;
// The RIFF length counts the header after its first 8 bytes, the data and
// its pad byte, all in 32 bits.
inline constexpr std::uint64_t kMaxDataBytes = std::numeric_limits<std::uint32_t>::max() - (kHeaderBytes - 8) - 1;

inline void WriteHeader(std::uint8_t* p, std::uint16_t tag, std::uint16_t channels, std::uint32_t rate,
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
inline Bytes CanonicalImage(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
    std::uint64_t frames)
{
    const std::uint32_t frameBytes = std::uint32_t(channels) * (bits / 8);
    frames = frameBytes == 0 ? 0 : std::min(frames, kMaxDataBytes / frameBytes);
    const std::uint32_t dataBytes = std::uint32_t(frames * frameBytes);
    Bytes out(kHeaderBytes + dataBytes + (dataBytes & 1));
    WriteHeader(out.data(), tag, channels, rate, bits, dataBytes);
    return out;
}

// The whole frames a canonical image holds.
inline std::uint64_t CanonicalFrames(const Bytes& image)
{
    return ReadLE32(image.data() + 40) / ReadLE16(image.data() + 32);
}

// A sound ReshapeWave takes: its format and the whole frames its data chunk
// holds within the image.
struct Samples {
    WaveFormat format;
    const std::uint8_t* data = nullptr;
    std::uint64_t frames = 0;

    bool isFloat() const { return format.encoding == SampleEncoding::Float; }
    unsigned sampleBytes() const { return format.bitsPerSample / 8u; }
    // The same format in a canonical image of the given frames, zeroed.
    Bytes image(std::uint64_t frameCount) const
    {
        return CanonicalImage(isFloat() ? kTagFloat : kTagPcm, format.channels, format.sampleRate,
            format.bitsPerSample, frameCount);
    }
};

struct TakenSamples {
    std::optional<Samples> samples;
    ReshapeError error = ReshapeError::NotAWave;   // when there are none
};

inline TakenSamples TakeSamples(std::span<const std::uint8_t> image)
{
    const std::optional<WaveFormat> format = ReadWaveFormat(image);
    if (!format)
        return {std::nullopt, ReshapeError::NotAWave};
    if (!ReshapeTakes(*format))
        return {std::nullopt, ReshapeError::UnsupportedFormat};
    const std::uint64_t available = format->dataOffset <= image.size()
        ? std::min<std::uint64_t>(format->dataLength, image.size() - format->dataOffset)
        : 0;
    return {Samples{*format, image.data() + std::min<std::uint64_t>(format->dataOffset, image.size()),
                available / format->blockAlign},
        ReshapeError::NotAWave};
}

// Integer samples centred on zero, so that 8-bit ones round like the rest.
inline std::int64_t ReadInteger(const std::uint8_t* p, unsigned bytes)
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

inline void WriteInteger(std::uint8_t* p, unsigned bytes, std::int64_t value)
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

inline double ReadFloat(const std::uint8_t* p, unsigned bytes)
{
    if (bytes == 4)
        return std::bit_cast<float>(ReadLE32(p));
    return std::bit_cast<double>(std::uint64_t(ReadLE32(p)) | std::uint64_t(ReadLE32(p + 4)) << 32);
}

inline void WriteFloat(std::uint8_t* p, unsigned bytes, double value)
{
    if (bytes == 4) {
        WriteLE32(p, std::bit_cast<std::uint32_t>(float(value)));
        return;
    }
    const auto bits = std::bit_cast<std::uint64_t>(value);
    WriteLE32(p, std::uint32_t(bits));
    WriteLE32(p + 4, std::uint32_t(bits >> 32));
}

// A sample on the scale where full scale is 1.0: integers over 2^(bits-1),
// floats as they are.
inline double ReadScaled(const std::uint8_t* p, unsigned bytes, bool isFloat)
{
    return isFloat ? ReadFloat(p, bytes) : std::ldexp(double(ReadInteger(p, bytes)), 1 - 8 * int(bytes));
}

// sum / divisor to nearest, halves away from zero; divisor > 0.
inline std::int64_t DivideRounded(std::int64_t sum, std::int64_t divisor)
{
    return sum < 0 ? -((-sum + divisor / 2) / divisor) : (sum + divisor / 2) / divisor;
}

} // namespace jbx::samples
