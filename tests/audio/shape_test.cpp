#include "audio/shape.h"

#include "tests/cli/runtool.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

struct SampleFormat {
    const char* name;
    std::uint16_t tag;   // 1 PCM, 3 float
    std::uint16_t bits;
};

constexpr SampleFormat kFormats[] = {
    {"PCM 8", 1, 8}, {"PCM 16", 1, 16}, {"PCM 24", 1, 24}, {"PCM 32", 1, 32}, {"float 32", 3, 32}, {"float 64", 3, 64},
};

// Samples given on the scale where full scale is 1.0, rounded to the
// format's steps (8-bit ones centred on 128).
Bytes Encode(SampleFormat format, const std::vector<double>& values)
{
    Bytes out;
    const unsigned bytes = format.bits / 8u;
    for (const double v : values) {
        std::uint64_t word;
        if (format.tag == 3 && bytes == 4) {
            word = std::bit_cast<std::uint32_t>(float(v));
        } else if (format.tag == 3) {
            word = std::bit_cast<std::uint64_t>(v);
        } else {
            const double fullScale = std::ldexp(1.0, format.bits - 1);
            const double step = std::clamp(std::round(v * fullScale), -fullScale, fullScale - 1);
            word = std::uint64_t(std::int64_t(step) + (format.bits == 8 ? 128 : 0));
        }
        for (unsigned i = 0; i < bytes; ++i)
            out.push_back(std::uint8_t(word >> (8 * i)));
    }
    return out;
}

Bytes Wave(SampleFormat format, std::uint16_t channels, const std::vector<double>& values)
{
    return WaveImage(format.tag, channels, 11025, format.bits, Encode(format, values));
}

// The columns' peaks of a hand-made sound whose samples every format holds
// exactly, column by column and channel by channel.
TEST(ShapeTest, PeaksOfEachColumn)
{
    using P = Peak;
    for (const SampleFormat& format : kFormats) {
        SCOPED_TRACE(format.name);
        // Five stereo frames in two columns: [0, 2) and [2, 5).
        const std::optional<PeakSummary> stereo =
            SoundPeaks(Wave(format, 2, {0.25, 0, -0.5, 0, 0.75, 0.5, 0, -0.5, -1, 0.125}), 2);
        ASSERT_TRUE(stereo);
        EXPECT_EQ(stereo->channels, 2);
        EXPECT_EQ(stereo->frames, 5u);
        EXPECT_EQ(stereo->peaks, (std::vector<Peak>{P{-0.5, 0.25}, P{0, 0}, P{-1, 0.75}, P{-0.5, 0.5}}));
        EXPECT_EQ(stereo->peakLevel, 1);

        // Fewer frames than columns: each column has at least the frame it
        // starts in, j * 3 / 5.
        const std::optional<PeakSummary> few = SoundPeaks(Wave(format, 1, {0.5, -0.25, 0.125}), 5);
        ASSERT_TRUE(few);
        EXPECT_EQ(few->peaks, (std::vector<Peak>{P{0.5, 0.5}, P{0.5, 0.5}, P{-0.25, -0.25}, P{-0.25, -0.25},
                                  P{0.125, 0.125}}));
        EXPECT_EQ(few->peakLevel, 0.5);
    }
}

TEST(ShapeTest, PeaksOfOddSounds)
{
    using P = Peak;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Bytes floats(4 * 3);
    for (int i = 0; i < 3; ++i) {
        const std::uint32_t word = std::bit_cast<std::uint32_t>(std::array{0.5f, nan, 0.25f}[i]);
        for (int b = 0; b < 4; ++b)
            floats[4 * i + b] = std::uint8_t(word >> (8 * b));
    }
    const struct {
        const char* what;
        Bytes image;
        std::size_t columns;
        std::vector<Peak> peaks;
        double peakLevel;
    } cases[] = {
        {"8-bit centre is silence", WaveImage(1, 1, 11025, 8, {128, 128, 255, 0}), 2,
            {P{0, 0}, P{-1, 127 / 128.0f}}, 1},
        {"NaN is silence", WaveImage(3, 1, 11025, 32, floats), 1, {P{0, 0.5}}, 0.5},
        {"three channels", Wave(kFormats[1], 3, {0.5, -0.25, 0, -0.5, 0.25, 0}), 1,
            {P{-0.5, 0.5}, P{-0.25, 0.25}, P{0, 0}}, 0.5},
        {"no frames", Wave(kFormats[1], 2, {}), 2, std::vector<Peak>(4), 0},
        {"no columns", Wave(kFormats[1], 1, {-0.75}), 0, {}, 0.75},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<PeakSummary> summary = SoundPeaks(c.image, c.columns);
        ASSERT_TRUE(summary);
        EXPECT_EQ(summary->columns, c.columns);
        EXPECT_EQ(summary->peaks, c.peaks);
        EXPECT_EQ(summary->peakLevel, c.peakLevel);
    }
    EXPECT_FALSE(SoundPeaks(WaveImage(2, 1, 11025, 16, {0, 0}), 4)) << "ADPCM";
}

} // namespace
} // namespace jbx::testing
