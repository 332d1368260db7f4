#pragma once

// Making a WAVE sound fit for the games: they play one channel only, and some
// of them 8-bit samples only.

#include "audio/wavefile.h"
#include "seam/bytes.h"

#include <cstdint>
#include <optional>
#include <span>

namespace jbx {

// What a reshaping asks for. Integer samples are rounded to nearest, halves
// away from silence (the 8-bit midpoint 128 counts as silence), without
// dither. Both asked together round once: the channels' sum goes straight to
// 8 bits.
struct Reshape {
    // The channels averaged into one: their sum divided by their count, so it
    // never clips.
    bool mono = false;
    // 16-, 24- and 32-bit samples, integer or float, to 8-bit unsigned. Full
    // scale is 128 steps either way, as for the integer widths, so a float
    // of 1.0 or beyond clamps to 255.
    bool eightBit = false;
};

enum class ReshapeError {
    NotAWave,            // no RIFF/WAVE image with a fmt and a data chunk
    UnsupportedFormat,   // neither PCM of 8, 16, 24 or 32 bits nor float of 32 or 64
};

struct ReshapeResult {
    std::optional<Bytes> image;
    ReshapeError error = ReshapeError::NotAWave;   // when there is no image
};

// Whether ReshapeWave takes a sound of this format.
bool ReshapeTakes(const WaveFormat& format);

// A new WAVE image at the same rate, with one channel and 8-bit samples if
// asked; what is not asked for is kept (a float sound made mono stays float of
// its width). Only the whole frames the data chunk holds within image are
// taken. The image has a canonical 44-byte header: a 16-byte fmt chunk, format
// tag 1 for PCM, 3 for float, extensible inputs included.
ReshapeResult ReshapeWave(std::span<const std::uint8_t> image, const Reshape& reshape);

// Writes the canonical 44-byte header of a WAVE image of integer PCM
// samples, dataBytes long, without its pad byte, into header.
void WritePcmWaveHeader(std::uint8_t* header, std::uint16_t channels, std::uint32_t sampleRate,
    std::uint16_t bitsPerSample, std::uint32_t dataBytes);

} // namespace jbx
