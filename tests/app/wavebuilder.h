#pragma once

// WAVE images made sample by sample, independent of the code under test.

#include "bank/bytes.h"

#include <cstdint>
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
Bytes MakeWave(const WaveSpec& spec);

// A sine tone of half full scale in every channel.
std::vector<std::int16_t> Tone(int rate, int channels, double hertz, double seconds);
Bytes ToneWave(int rate, int channels, int bits, double hertz, double seconds);

// A Sun audio file of 16-bit mono samples: a sound, but not a WAVE image.
Bytes SunAudio(int rate, const std::vector<std::int16_t>& samples);

} // namespace jbx::testing
