#include "audio/shape.h"

#include "tests/cli/runtool.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// An image's samples on the scale where full scale is 1.0, read without the
// code under test; and its channel count.
struct Decoded {
    std::uint16_t channels = 0;
    std::vector<double> samples;
};

Decoded Decode(const Bytes& image)
{
    const std::optional<WaveFormat> format = ReadWaveFormat(image);
    if (!format)
        return {};
    Decoded out{format->channels, {}};
    const unsigned bytes = format->bitsPerSample / 8u;
    const std::size_t end = std::min<std::size_t>(image.size(), format->dataOffset + format->dataLength);
    for (std::size_t at = format->dataOffset; at + bytes <= end; at += bytes) {
        std::uint64_t word = 0;
        for (unsigned i = 0; i < bytes; ++i)
            word |= std::uint64_t(image[at + i]) << (8 * i);
        if (format->encoding == SampleEncoding::Float)
            out.samples.push_back(bytes == 4 ? std::bit_cast<float>(std::uint32_t(word)) : std::bit_cast<double>(word));
        else if (bytes == 1)
            out.samples.push_back((double(word) - 128) / 128);
        else
            out.samples.push_back(double(std::int64_t(word << (64 - 8 * bytes)) >> (64 - 8 * bytes))
                / std::ldexp(1.0, 8 * bytes - 1));
    }
    return out;
}

// Each sample of actual within tolerance of expected's, the channels alike.
void ExpectNear(const Decoded& actual, const Decoded& expected, double tolerance)
{
    EXPECT_EQ(actual.channels, expected.channels);
    ASSERT_EQ(actual.samples.size(), expected.samples.size());
    for (std::size_t i = 0; i < actual.samples.size(); ++i)
        EXPECT_NEAR(actual.samples[i], expected.samples[i], tolerance) << "sample " << i;
}

// What sox makes of input: sox [options] in.wav out.wav [effects]; nothing
// when sox cannot run.
std::optional<Bytes> Sox(const Bytes& input, const std::vector<std::string>& options,
    const std::vector<std::string>& effects)
{
    TempDir dir;
    WriteBytes(dir.file("in.wav"), input);
    std::vector<std::string> args = options;
    args.push_back(dir.file("in.wav"));
    args.push_back(dir.file("out.wav"));
    args.insert(args.end(), effects.begin(), effects.end());
    if (RunProgram("sox", args).exitCode != 0)
        return std::nullopt;
    return ReadBytes(dir.file("out.wav"));
}

#define SOX_OR_SKIP(result, ...)                                                                                     \
    const std::optional<Bytes> result = Sox(__VA_ARGS__);                                                            \
    if (!result)                                                                                                     \
    GTEST_SKIP() << "sox is not installed (scripts/install-deps installs it)"

// Frames of quiet, then of loud, then of quiet again, on every channel;
// the loud ones' first frame loud on the last channel only.
std::vector<double> QuietLoudQuiet(unsigned channels, unsigned before, unsigned loud, unsigned after)
{
    std::vector<double> values;
    for (unsigned f = 0; f < before + loud + after; ++f) {
        for (unsigned c = 0; c < channels; ++c) {
            const bool isLoud = f >= before && f < before + loud && (f > before || c + 1 == channels);
            // Just below -40 dBFS, in every format's steps.
            const double quiet = (f + c) % 3 == 0 ? 0 : (f % 2 ? 0.0078125 : -0.0078125);
            values.push_back(isLoud ? (f % 2 ? 0.5 : -0.625) + 0.0625 * c : quiet);
        }
    }
    return values;
}

// Peaks column by column and channel by channel, in every format: a column has
// at least the frame it starts in (j * 3 / 5 of five); 37 stereo frames are
// read sixteen samples at a time and the rest one by one; three channels do
// not divide the lanes.
TEST(ShapeTest, PeaksOfEachColumn)
{
    using P = Peak;
    std::vector<double> longer(2 * 37, 0.0625);
    longer[2 * 20] = -0.75;
    longer[2 * 33 + 1] = 0.625;
    longer[2 * 36] = 0.5;
    const struct {
        std::uint16_t channels;
        std::vector<double> values;
        std::size_t columns;
        std::vector<Peak> peaks;
        double peakLevel;
    } cases[] = {
        {2, {0.25, 0, -0.5, 0, 0.75, 0.5, 0, -0.5, -1, 0.125}, 2, {P{-0.5, 0.25}, P{0, 0}, P{-1, 0.75}, P{-0.5, 0.5}},
            1},
        {1, {0.5, -0.25, 0.125}, 5, {P{0.5, 0.5}, P{0.5, 0.5}, P{-0.25, -0.25}, P{-0.25, -0.25}, P{0.125, 0.125}}, 0.5},
        {2, longer, 1, {P{-0.75, 0.5}, P{0.0625, 0.625}}, 0.75},
        {3, {0.5, -0.25, 0, -0.5, 0.25, 0}, 1, {P{-0.5, 0.5}, P{-0.25, 0.25}, P{0, 0}}, 0.5},
        {2, {}, 2, std::vector<Peak>(4), 0},
        {1, {-0.75}, 0, {}, 0.75},
    };
    for (const SampleFormat& format : kFormats) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(format.name) + ", " + std::to_string(c.values.size()) + " samples in "
                + std::to_string(c.columns) + " columns");
            const std::optional<PeakSummary> summary = SoundPeaks(Wave(format, c.channels, c.values), c.columns);
            ASSERT_TRUE(summary);
            EXPECT_EQ(summary->peaks, c.peaks);
            EXPECT_EQ(summary->peakLevel, c.peakLevel);
        }
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(SoundPeaks(Wave(kFormats[4], 1, {0.5, nan, 0.25}), 1).value().peaks, (std::vector<Peak>{P{0, 0.5}}))
        << "NaN is silence";
    EXPECT_FALSE(SoundPeaks(WaveImage(2, 1, 11025, 16, {0, 0}), 4)) << "ADPCM";
}

// Trimming keeps what sox's silence effect keeps, from the start and, reversed,
// from the end. sox measures the RMS of the last 20 ms, not each sample, so
// the loud parts here start and end sharply and the quiet ones stay below the
// threshold by both measures.
TEST(ShapeTest, TrimSilenceKeepsWhatSoxKeeps)
{
    const struct {
        const char* what;
        unsigned before, loud, after;
    } shapes[] = {
        {"quiet around", 20, 30, 17},
        {"nothing quiet", 0, 12, 0},
        {"nothing loud", 25, 0, 10},
    };
    for (const SampleFormat& format : kFormats) {
        for (const std::uint16_t channels : {1, 2}) {
            for (const auto& shape : shapes) {
                SCOPED_TRACE(std::string(format.name) + ", " + std::to_string(channels) + " channels, " + shape.what);
                const Bytes input =
                    Wave(format, channels, QuietLoudQuiet(channels, shape.before, shape.loud, shape.after));
                SOX_OR_SKIP(expected, input, {},
                    {"silence", "1", "1", "-40d", "reverse", "silence", "1", "1", "-40d", "reverse"});
                const ReshapeResult trimmed = TrimSilence(input, kDefaultSilenceDb);
                ASSERT_TRUE(trimmed.image);
                EXPECT_EQ(WaveFrames(*trimmed.image), shape.loud);
                ExpectNear(Decode(*trimmed.image), Decode(*expected), 1e-9);
            }
        }
    }
}

// The threshold on the samples' own scale: -40 dBFS is 327.68 steps of 16
// bits, -6 dBFS 0.501 of full scale; NaN reaches nothing.
TEST(ShapeTest, TrimSilenceThreshold)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        Bytes input;
        double thresholdDb;
        Bytes expected;
    } cases[] = {
        {"16 bits", WaveImage(1, 1, 11025, 16, Bytes{71, 1, 72, 1, 0xB8, 0xFE, 71, 1}), -40,
            WaveImage(1, 1, 11025, 16, Bytes{72, 1, 0xB8, 0xFE})},
        {"float", Wave(kFormats[4], 1, {0.5, nan, 0.502, 0.5}), -6, Wave(kFormats[4], 1, {0.502})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = TrimSilence(c.input, c.thresholdDb);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(*result.image, c.expected);
    }
}

// Normalizing to -1 dBFS gives sox's --norm=-1 within one step of each
// format (sox without dither, which would add steps at random).
TEST(ShapeTest, NormalizeMatchesSox)
{
    const std::vector<double> values{0, 0.1, -0.3, 0.25, 0.001, -0.0123, 0.2999, -0.05};
    for (const SampleFormat& format : kFormats) {
        for (const std::uint16_t channels : {1, 2}) {
            SCOPED_TRACE(std::string(format.name) + ", " + std::to_string(channels) + " channels");
            const Bytes input = Wave(format, channels, values);
            SOX_OR_SKIP(expected, input, {"-D", "--norm=-1"}, {});
            const ReshapeResult normalized = Normalize(input, kDefaultNormalizeDb);
            ASSERT_TRUE(normalized.image);
            ExpectNear(Decode(*normalized.image), Decode(*expected),
                format.tag == 3 ? 1e-6 : std::ldexp(1.0, 1 - format.bits));
        }
    }
}

// The rules sox's normalizing leaves open: full scale is never passed, a
// level above 0 dBFS is 0 dBFS, silence stays as it is.
TEST(ShapeTest, NormalizeEdges)
{
    const SampleFormat pcm16 = kFormats[1], float32 = kFormats[4];
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* what;
        Bytes input;
        double targetDb;
        Bytes expected;
    } cases[] = {
        {"a positive peak stops a step short of full scale", Wave(pcm16, 1, {0.5, -0.25}), 0,
            Wave(pcm16, 1, {1, -0.5})},
        {"a negative one reaches it", Wave(pcm16, 1, {-0.5, 0.25}), 0, Wave(pcm16, 1, {-1, 0.5})},
        {"above 0 dBFS is 0 dBFS", Wave(float32, 1, {0.5, -0.25}), 6, Wave(float32, 1, {1, -0.5})},
        {"float beyond full scale comes down", Wave(float32, 1, {2, -1}), 0, Wave(float32, 1, {1, -0.5})},
        // 8 bits: 96 steps come to full scale, -38 to -50.67.
        {"to the nearest step", WaveImage(1, 1, 11025, 8, {128 + 96, 128 - 38}), 0,
            WaveImage(1, 1, 11025, 8, {255, 128 - 51})},
        {"silence as it is", Wave(float32, 1, {0, 0}), -1, Wave(float32, 1, {0, 0})},
        {"an infinite peak as it is", Wave(float32, 1, {-inf, 0.5}), -1, Wave(float32, 1, {-inf, 0.5})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = Normalize(c.input, c.targetDb);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(*result.image, c.expected);
    }
}

TEST(ShapeTest, TrimToClipsToTheFrames)
{
    const SampleFormat pcm16 = kFormats[1];
    const Bytes input = Wave(pcm16, 2, {0.125, 0.25, 0.375, 0.5, 0.625, 0.75});
    const struct {
        std::uint64_t first, count;
        std::vector<double> kept;
    } cases[] = {
        {1, 1, {0.375, 0.5}},
        {1, 5, {0.375, 0.5, 0.625, 0.75}},
        {0, std::numeric_limits<std::uint64_t>::max(), {0.125, 0.25, 0.375, 0.5, 0.625, 0.75}},
        {3, 1, {}},
        {std::numeric_limits<std::uint64_t>::max(), 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.first) + " " + std::to_string(c.count));
        const ReshapeResult result = TrimTo(input, c.first, c.count);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(*result.image, Wave(pcm16, 2, c.kept));
    }
    EXPECT_EQ(TrimTo(WaveImage(2, 1, 11025, 16, {0, 0}), 0, 1).error, ReshapeError::UnsupportedFormat);
}

// Each step of the chain sees what the one before made: trimming the
// channels as they are, normalizing the mono sound and before the 8 bits.
TEST(ShapeTest, ShapeWaveOrder)
{
    const SampleFormat pcm16 = kFormats[1];
    const Shaping all{kDefaultSilenceDb, true, 0.0, true};
    const struct {
        const char* what;
        Bytes input;
        Shaping shaping;
        Bytes expected;
    } cases[] = {
        // Mono first would cut the first frame, whose channels cancel out;
        // normalizing first would keep the last, which trimming cuts.
        {"trim, mono, normalize, 8-bit", Wave(pcm16, 2, {0.5, -0.5, 0.25, 0, 0.0625, 0, 0.005, 0}), all,
            WaveImage(1, 1, 11025, 8, {128, 255, 128 + 32})},
        // 8 bits first would make the quiet sample silence.
        {"normalize before 8-bit", Wave(pcm16, 1, {0.5, 0.003}), Shaping{std::nullopt, false, 0.0, true},
            WaveImage(1, 1, 11025, 8, {255, 129})},
        // 255 over two channels and 256 steps is just under half a step.
        {"mono and 8-bit round once", Wave(pcm16, 2, {255 / 32768.0, 0}),
            Shaping{std::nullopt, true, std::nullopt, true}, WaveImage(1, 1, 11025, 8, {128})},
        {"nothing asked", Wave(pcm16, 2, {0.5, -0.5}), Shaping{}, Wave(pcm16, 2, {0.5, -0.5})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = ShapeWave(c.input, c.shaping);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(*result.image, c.expected);
    }
    EXPECT_EQ(ShapeWave(ToBytes("RIFF"), all).error, ReshapeError::NotAWave);
}

} // namespace
} // namespace jbx::testing
