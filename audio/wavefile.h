#pragma once

// What a WAVE image says of its sound: how its samples are stored and
// where they lie.

#include "seam/bytes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace jbx {

enum class SampleEncoding {
    Pcm,     // integer samples: 8-bit unsigned, wider ones signed
    Float,   // IEEE float samples, 32 or 64 bits
    Other,   // any other format tag (ADPCM, A-law, ...)
};

// The fmt chunk and where the data chunk lies, as the image declares them.
// A WAVE_FORMAT_EXTENSIBLE chunk is read for its sub-format.
struct WaveFormat {
    SampleEncoding encoding = SampleEncoding::Pcm;
    std::uint16_t formatTag = 0;       // as written (1 PCM, 3 float, 0xFFFE extensible, ...)
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t blockAlign = 0;
    std::uint64_t dataOffset = 0;      // of the data chunk's first byte
    std::uint32_t dataLength = 0;      // as the data chunk declares it
    // Whether the RIFF length and every chunk, the data chunk included, lie
    // within the bytes given.
    bool sizesFit = false;

    // The sound's length in seconds (0 without a rate or frame size).
    double seconds() const;
};

// The format of a RIFF/WAVE image with a fmt and a data chunk; nothing when
// the bytes are no such image. Only as many bytes as the chunks' headers
// need are read: a prefix of a long image gives its format, with sizesFit
// false when the image goes on past the prefix.
std::optional<WaveFormat> ReadWaveFormat(std::span<const std::uint8_t> image);

// The name of the compressed sound format that bytes (a file's start) are
// in, for the ones people most often have: "FLAC", "Ogg" (Vorbis or Opus) or
// "MP3"; nothing for any other bytes.
std::optional<std::string_view> CompressedSoundFormat(std::span<const std::uint8_t> start);

} // namespace jbx
