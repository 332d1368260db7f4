#pragma once

// The sound both editors' Sound window benchmarks open: 30 seconds of
// 44.1 kHz, 16-bit stereo, as a slot holds it (the pad byte after it).

#include "audio/reshape.h"
#include "seam/bytes.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace jbx::bench {

// A tone that dies away and starts again twice a second, left and right a
// little apart, so that every column of the waveform holds something to draw.
inline Bytes ThirtySecondsOfStereo()
{
    constexpr std::uint32_t kRate = 44100;
    constexpr std::uint32_t kFrames = 30 * kRate;
    const std::uint32_t dataBytes = kFrames * 2 * 2;
    Bytes image(44 + dataBytes + 1, 0);
    WritePcmWaveHeader(image.data(), 2, kRate, 16, dataBytes);
    std::uint8_t* out = image.data() + 44;
    for (std::uint32_t frame = 0; frame < kFrames; ++frame) {
        const double t = double(frame) / kRate;
        const double envelope = std::exp(-6 * std::fmod(t, 0.5));
        for (const double phase : {0.0, 0.3}) {
            const auto sample
                = std::int16_t(std::lround(26000 * envelope * std::sin(2 * std::numbers::pi * 330 * t + phase)));
            *out++ = std::uint8_t(std::uint16_t(sample) & 0xFF);
            *out++ = std::uint8_t(std::uint16_t(sample) >> 8);
        }
    }
    image.back() = kPadByte;
    return image;
}

} // namespace jbx::bench
