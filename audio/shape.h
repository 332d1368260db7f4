#pragma once

// Seeing and shaping a WAVE sound: a peak summary to draw it from, and the
// cuts and level changes people make to a clip before it goes into a bank.
// Every operation takes the sample formats ReshapeWave takes (PCM of 8 to
// 32 bits, float of 32 or 64) and returns a new canonical image of the same
// format, so they chain with each other and with ReshapeWave.

#include "audio/reshape.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace jbx {

// The lowest and highest sample of one channel in one column, on a scale
// where full scale is 1.0: integer samples divided by 2^(bits-1) (8-bit ones
// centred on 128 first), float samples as they are, NaN as silence.
struct Peak {
    float low = 0;
    float high = 0;

    bool operator==(const Peak&) const = default;
};

struct PeakSummary {
    std::uint16_t channels = 0;
    std::size_t columns = 0;
    // Column by column, each column's channels in order:
    // peaks[column * channels + channel].
    std::vector<Peak> peaks;
    // The largest magnitude of any sample, full scale 1.0.
    double peakLevel = 0;
    std::uint64_t frames = 0;

    const Peak& at(std::size_t column, std::uint16_t channel) const { return peaks[column * channels + channel]; }
};

// The sound's frames spread over `columns` columns in one pass: column j
// covers frames [j * frames / columns, (j + 1) * frames / columns), and at
// least the one frame at its start when there are fewer frames than columns.
// With no frames, every column is silence. Nothing for an image ReshapeWave
// does not take.
std::optional<PeakSummary> SoundPeaks(std::span<const std::uint8_t> image, std::size_t columns);

// The frames [first, first + count) of the sound, clipped to the frames it
// has.
ReshapeResult TrimTo(std::span<const std::uint8_t> image, std::uint64_t first, std::uint64_t count);

// Cuts the frames before the first and after the last one where any channel
// reaches thresholdDb (dBFS, full scale as for Peak). A sound that never
// reaches it leaves no frames.
ReshapeResult TrimSilence(std::span<const std::uint8_t> image, double thresholdDb);

// Scales every sample so that the loudest reaches targetDb (dBFS, at most 0),
// rounding as ReshapeWave does and never past full scale. A sound with no
// sample above silence is returned as it is.
ReshapeResult Normalize(std::span<const std::uint8_t> image, double targetDb);

// The whole chain jbxtool offers, in its one order: trim the silence, make
// mono, normalize, make 8-bit. Mono and 8-bit with nothing between them
// round once, as ReshapeWave does.
struct Shaping {
    std::optional<double> trimSilenceDb = {};
    bool mono = false;
    std::optional<double> normalizeDb = {};
    bool eightBit = false;

    bool any() const { return trimSilenceDb || mono || normalizeDb || eightBit; }
};

inline constexpr double kDefaultSilenceDb = -40;
inline constexpr double kDefaultNormalizeDb = -1;
// The lowest of each that people may ask for; both go up to 0 dBFS.
inline constexpr double kLowestSilenceDb = -120;
inline constexpr double kLowestNormalizeDb = -60;

ReshapeResult ShapeWave(std::span<const std::uint8_t> image, const Shaping& shaping);

// A level as people type it, in the Sound window's fields and after
// jbxtool's options: "-40", "−40" (the typographic minus), "-40.5",
// blanks around it and "dB" or "dBFS" after it allowed; nothing for any
// other text or a level outside [lowest, 0].
std::optional<double> ParseDecibels(std::string_view text, double lowest);

// The typographic minus, which levels are written with for people to read.
inline constexpr std::string_view kMinusSign = "\u2212";

// The number of whole frames the image's data chunk holds within the image;
// 0 for an image ReshapeWave does not take.
std::uint64_t WaveFrames(std::span<const std::uint8_t> image);

} // namespace jbx
