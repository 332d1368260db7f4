#pragma once

// The WAVE image our sound generators write: 8-bit mono PCM.

#include "seam/bytes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace jbx {

// Samples in -1..1 (clipped) as an 8-bit mono PCM WAVE file image.
inline Bytes EightBitMonoWave(const std::vector<double>& wave, std::uint32_t sampleRate)
{
    constexpr std::size_t kHeaderSize = 44;
    const auto dataSize = std::uint32_t(wave.size());
    const std::uint32_t padded = dataSize + (dataSize & 1);
    Bytes image(kHeaderSize + padded);
    auto put = [&image](std::size_t at, const char* tag) {
        std::copy(tag, tag + 4, image.begin() + std::ptrdiff_t(at));
    };
    put(0, "RIFF");
    WriteLE32(&image[4], std::uint32_t(kHeaderSize - 8) + padded);
    put(8, "WAVE");
    put(12, "fmt ");
    WriteLE32(&image[16], 16);
    WriteLE16(&image[20], 1);               // PCM
    WriteLE16(&image[22], 1);               // mono
    WriteLE32(&image[24], sampleRate);
    WriteLE32(&image[28], sampleRate);      // bytes per second
    WriteLE16(&image[32], 1);               // block align
    WriteLE16(&image[34], 8);               // bits per sample
    put(36, "data");
    WriteLE32(&image[40], dataSize);
    for (std::size_t i = 0; i < wave.size(); ++i) {
        const double v = std::clamp(wave[i], -1.0, 1.0);
        image[kHeaderSize + i] = std::uint8_t(std::lround(128 + 127 * v));
    }
    return image;
}

} // namespace jbx
