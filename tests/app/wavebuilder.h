#pragma once

// WAVE images made sample by sample, independent of the code under test.

#include "bank/bytes.h"
#include "tests/support/testfiles.h"

#include <cmath>
#include <cstdint>
#include <numbers>
#include <optional>
#include <vector>

namespace jbx::testing {

// A canonical 44-byte-header PCM WAVE image. samples are the frames'
// values, interleaved, in signed 16-bit scale; 8-bit images store them as
// unsigned bytes. dataLength overrides the data chunk's declared length.
struct WaveSpec {
    int rate = 44100;
    int channels = 1;
    int bits = 16;
    std::vector<std::int16_t> samples;
    std::optional<std::uint32_t> dataLength;
};

inline Bytes MakeWave(const WaveSpec& format)
{
    Bytes data;
    for (const std::int16_t s : format.samples) {
        if (format.bits == 8)
            data.push_back(std::uint8_t((s >> 8) + 128));
        else
            PutLE16(data, std::uint16_t(s));
    }
    const auto blockAlign = std::uint32_t(format.bits / 8 * format.channels);
    Bytes image;
    PutText(image, "RIFF");
    PutLE32(image, 36 + std::uint32_t(data.size() + data.size() % 2));
    PutText(image, "WAVEfmt ");
    PutLE32(image, 16);
    PutLE16(image, 1);
    PutLE16(image, std::uint16_t(format.channels));
    PutLE32(image, std::uint32_t(format.rate));
    PutLE32(image, std::uint32_t(format.rate) * blockAlign);
    PutLE16(image, std::uint16_t(blockAlign));
    PutLE16(image, std::uint16_t(format.bits));
    PutText(image, "data");
    PutLE32(image, format.dataLength.value_or(std::uint32_t(data.size())));
    image.insert(image.end(), data.begin(), data.end());
    if (data.size() % 2 != 0)
        image.push_back(0);
    return image;
}

// A sine tone of half full scale in every channel.
inline Bytes ToneWave(int rate, int channels, int bits, double hertz, double seconds)
{
    std::vector<std::int16_t> samples;
    for (long f = 0; f < std::lround(rate * seconds); ++f) {
        const double value = 16384.0 * std::sin(2.0 * std::numbers::pi * hertz * double(f) / rate);
        samples.insert(samples.end(), std::size_t(channels), std::int16_t(std::lround(value)));
    }
    return MakeWave({rate, channels, bits, samples, std::nullopt});
}

} // namespace jbx::testing
