#pragma once

// Sound samples ready for an audio output: a WAVE image from memory decoded
// to 16-bit PCM, and the simple conversions a picky output may need.

#include "seam/bytes.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace jbx {

// Limits beyond which an image is not worth playing: a sound slower than
// kMinSampleRate or faster than kMaxSampleRate is silence, and so is one with
// more than kMaxChannels channels. Decoding stops after kMaxPcmSamples
// samples (all channels counted), about 12 minutes of 44.1 kHz stereo.
inline constexpr int kMinSampleRate = 1000;
inline constexpr int kMaxSampleRate = 768000;
inline constexpr int kMaxChannels = 8;
inline constexpr std::size_t kMaxPcmSamples = std::size_t(64) * 1024 * 1024;

// Interleaved signed 16-bit samples.
struct Pcm {
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;

    std::size_t frames() const { return channels > 0 ? samples.size() / std::size_t(channels) : 0; }
};

// Decodes the RIFF WAVE image at the start of image: any encoding the sound
// library reads (8-bit unsigned and 16-bit PCM among them), any channel count
// up to kMaxChannels, any rate within the limits above. Bytes after the image
// are ignored, and an image shorter than its header claims decodes as far as
// its bytes go. Nothing for anything else (another container, garbage, an
// empty span) and for an image without one complete frame.
std::optional<Pcm> DecodeWave(std::span<const std::uint8_t> image);

// The same sound at another rate and channel count, for an output that
// refuses the sound's own format: one channel is copied to all, several are
// averaged into one, and otherwise each output channel takes the input
// channel of its number (or the last one); the rate changes by linear
// interpolation. channels and rate must be positive. The result never holds
// more than kMaxPcmSamples samples.
Pcm ConvertPcm(const Pcm& pcm, int rate, int channels);

// How an output wants each sample stored, native byte order.
enum class OutputSampleFormat { Unsigned8, Signed16, Signed32, Float32 };

// The samples of pcm encoded for an output.
Bytes EncodeSamples(const Pcm& pcm, OutputSampleFormat sampleFormat);

} // namespace jbx
