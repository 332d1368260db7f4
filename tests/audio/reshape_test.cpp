#include "audio/reshape.h"

#include "tests/cli/runtool.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace jbx::testing {
namespace {

struct Layout {
    std::uint16_t tag;        // 1 PCM, 3 float, 0xFFFE extensible
    std::uint16_t channels;
    std::uint16_t bits;
};

// A WAVE image at 11025 Hz; an extensible one names its sub-format in the tag's place.
Bytes Wave(Layout layout, const Bytes& samples, std::uint16_t subFormat = 1)
{
    const bool extensible = layout.tag == 0xFFFE;
    const std::uint32_t blockAlign = layout.channels * layout.bits / 8u;
    const std::uint32_t pad = samples.size() % 2;
    Bytes image;
    PutText(image, "RIFF");
    PutLE32(image, std::uint32_t((extensible ? 60 : 36) + samples.size() + pad));
    PutText(image, "WAVEfmt ");
    PutLE32(image, extensible ? 40 : 16);
    PutLE16(image, layout.tag);
    PutLE16(image, layout.channels);
    PutLE32(image, 11025);
    PutLE32(image, 11025 * blockAlign);
    PutLE16(image, std::uint16_t(blockAlign));
    PutLE16(image, layout.bits);
    if (extensible) {
        PutLE16(image, 22);
        PutLE16(image, layout.bits);
        PutLE32(image, 0);
        PutLE16(image, subFormat);
        PutText(image, std::string_view("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14));
    }
    PutText(image, "data");
    PutLE32(image, std::uint32_t(samples.size()));
    image.insert(image.end(), samples.begin(), samples.end());
    if (pad)
        image.push_back(0);
    return image;
}

Bytes S16(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values)
        PutLE16(out, std::uint16_t(v));
    return out;
}

Bytes S24(std::initializer_list<int> values)
{
    Bytes out;
    for (int v : values) {
        for (int shift : {0, 8, 16})
            out.push_back(std::uint8_t(v >> shift));
    }
    return out;
}

Bytes F32(std::initializer_list<float> values)
{
    Bytes out;
    for (float v : values)
        PutLE32(out, std::bit_cast<std::uint32_t>(v));
    return out;
}

constexpr Reshape kMono{true, false};
constexpr Reshape kEightBit{false, true};
constexpr Reshape kBoth{true, true};
constexpr Reshape kNothing{false, false};

TEST(ReshapeTest, RoundingClampingAndWhatIsKept)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        Bytes input;
        Reshape reshape;
        Bytes expected;
    } cases[] = {
        {"16-bit halves round away from zero, extremes stay", Wave({1, 2, 16}, S16({1, 2, -1, -2, 32767, -32768,
            32767, 32767, -32768, -32768})), kMono, Wave({1, 1, 16}, S16({2, -2, -1, 32767, -32768}))},
        {"three channels", Wave({1, 3, 16}, S16({1, 1, 0, -1, -1, 0, 32767, 32767, 32766})), kMono,
            Wave({1, 1, 16}, S16({1, -1, 32767}))},
        {"8-bit halves round away from silence", Wave({1, 2, 8}, {0, 1, 255, 254, 127, 128}), kMono,
            Wave({1, 1, 8}, {0, 255, 127})},
        {"16 to 8 bits", Wave({1, 1, 16}, S16({32767, -32768, 128, -128, 127, -129})), kEightBit,
            Wave({1, 1, 8}, {255, 0, 129, 127, 128, 127})},
        {"float to 8 bits clamps beyond full scale", Wave({3, 1, 32}, F32({1.5f, 1.0f, -2.0f, 0.5f, 1 / 256.0f,
            -1 / 256.0f, nan})), kEightBit, Wave({1, 1, 8}, {255, 255, 0, 192, 129, 127, 128})},
        {"both at once round once", Wave({1, 2, 16}, S16({255, 0, 256, 0, 32767, 32767, -32768, -32768})), kBoth,
            Wave({1, 1, 8}, {128, 129, 255, 0})},
        {"float mono of three stays float", Wave({3, 3, 32}, F32({0.25f, 0.5f, 1.5f})), kMono,
            Wave({3, 1, 32}, F32({0.75f}))},
        {"extensible comes out plain, an odd data chunk padded", Wave({0xFFFE, 2, 24}, S24({1, 2}), 1), kMono,
            Wave({1, 1, 24}, S24({2}))},
        {"extensible float", Wave({0xFFFE, 1, 32}, F32({-0.5f}), 3), kNothing, Wave({3, 1, 32}, F32({-0.5f}))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = ReshapeWave(c.input, c.reshape);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(*result.image, c.expected);
    }
}

TEST(ReshapeTest, OnlyWholeFramesWithinTheImageAreTaken)
{
    const Bytes whole = Wave({1, 2, 16}, S16({1, 2, 3, 4, 5, 6}));
    const struct {
        const char* what;
        Bytes input;
        Bytes expected;
    } cases[] = {
        {"data chunk cut short", Bytes(whole.begin(), whole.end() - 5), Wave({1, 2, 16}, S16({1, 2}))},
        {"a partial frame", Wave({1, 2, 16}, S16({1, 2, 3})), Wave({1, 2, 16}, S16({1, 2}))},
        {"no data", Bytes(whole.begin(), whole.begin() + 44), Wave({1, 2, 16}, {})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = ReshapeWave(c.input, kNothing);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(*result.image, c.expected);
    }
}

TEST(ReshapeTest, WhatCannotBeReshaped)
{
    Bytes blockAlignOff = Wave({1, 2, 16}, S16({1, 2}));
    blockAlignOff[32] = 2;
    const struct {
        const char* what;
        Bytes input;
        ReshapeError error;
    } cases[] = {
        {"no WAVE", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, ReshapeError::NotAWave},
        {"ADPCM", Wave({2, 1, 16}, S16({0})), ReshapeError::UnsupportedFormat},
        {"12-bit PCM", Wave({1, 1, 12}, {0, 0}), ReshapeError::UnsupportedFormat},
        {"40-bit PCM", Wave({1, 1, 40}, Bytes(5, 0)), ReshapeError::UnsupportedFormat},
        {"16-bit float", Wave({3, 1, 16}, S16({0})), ReshapeError::UnsupportedFormat},
        {"no channels", Wave({1, 0, 16}, S16({0})), ReshapeError::UnsupportedFormat},
        {"frame size not the channels' samples", blockAlignOff, ReshapeError::UnsupportedFormat},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = ReshapeWave(c.input, kBoth);
        EXPECT_FALSE(result.image);
        EXPECT_EQ(result.error, c.error);
    }
}

TEST(ReshapeTest, PcmWaveImageTakesWholeFrames)
{
    const std::int16_t samples[] = {1, -1, 32767, -32768, 5};
    EXPECT_EQ(PcmWaveImage(samples, 2, 11025), Wave({1, 2, 16}, S16({1, -1, 32767, -32768})));
    EXPECT_EQ(PcmWaveImage(samples, 0, 11025), Wave({1, 0, 16}, {}));
}

// A canonical image's or a raw file's samples in steps of their format.
std::vector<double> Samples(const std::uint8_t* data, std::size_t length, int bits, bool isFloat)
{
    std::vector<double> out;
    const std::size_t bytes = std::size_t(bits) / 8;
    for (std::size_t at = 0; at + bytes <= length; at += bytes) {
        const std::uint8_t* p = data + at;
        if (isFloat) {
            out.push_back(bits == 64 ? std::bit_cast<double>(ReadLE32(p) | std::uint64_t(ReadLE32(p + 4)) << 32)
                                     : std::bit_cast<float>(ReadLE32(p)));
            continue;
        }
        std::int64_t value = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            value |= std::int64_t(p[i]) << (8 * i);
        if (bits == 8)
            value -= 128;
        else if (value >= std::int64_t(1) << (bits - 1))
            value -= std::int64_t(1) << bits;
        out.push_back(double(value));
    }
    return out;
}

// Sources made and converted by sox with dither off. sox rounds halves up
// where this program rounds them away from silence, so negative halves come
// out one step apart; nothing may be further off.
TEST(ReshapeTest, MatchesSox)
{
    if (RunProgram("sox", {"--version"}).exitCode != 0)
        GTEST_SKIP() << "sox is not installed";
    const struct {
        const char* what;
        std::vector<std::string> encoding;
        int bits;
        bool isFloat;
        int channels;
    } sources[] = {
        {"8-bit", {"-b", "8", "-e", "unsigned-integer"}, 8, false, 2},
        {"16-bit", {"-b", "16", "-e", "signed-integer"}, 16, false, 2},
        {"16-bit, 3 channels", {"-b", "16", "-e", "signed-integer"}, 16, false, 3},
        {"24-bit", {"-b", "24", "-e", "signed-integer"}, 24, false, 2},
        {"32-bit", {"-b", "32", "-e", "signed-integer"}, 32, false, 2},
        {"float", {"-b", "32", "-e", "floating-point"}, 32, true, 2},
        {"64-bit float", {"-b", "64", "-e", "floating-point"}, 64, true, 2},
    };
    const struct {
        const char* what;
        Reshape reshape;
        std::vector<std::string> options;
    } conversions[] = {
        {"mono", kMono, {"-c", "1"}},
        {"8-bit", kEightBit, {"-b", "8", "-e", "unsigned-integer"}},
        {"both", kBoth, {"-c", "1", "-b", "8", "-e", "unsigned-integer"}},
    };
    TempDir dir;
    const std::string source = dir.file("source.wav");
    const std::string converted = dir.file("converted.raw");
    for (const auto& s : sources) {
        std::vector<std::string> make{"-n", "-r", "11025", "-c", std::to_string(s.channels)};
        make.insert(make.end(), s.encoding.begin(), s.encoding.end());
        make.insert(make.end(), {source, "synth", "0.05"});
        const char* frequencies[] = {"440", "660", "1000"};
        for (int i = 0; i < s.channels; ++i)
            make.insert(make.end(), {"sine", frequencies[i]});
        ASSERT_EQ(RunProgram("sox", make).exitCode, 0) << s.what;
        const Bytes input = ReadBytes(source);
        for (const auto& c : conversions) {
            SCOPED_TRACE(std::string(s.what) + " made " + c.what);
            std::vector<std::string> convert{"-D", source};
            convert.insert(convert.end(), c.options.begin(), c.options.end());
            convert.push_back(converted);
            ASSERT_EQ(RunProgram("sox", convert).exitCode, 0);
            const Bytes expectedBytes = ReadBytes(converted);

            const ReshapeResult result = ReshapeWave(input, c.reshape);
            ASSERT_TRUE(result.image);
            const Bytes& image = *result.image;
            const int bits = c.reshape.eightBit ? 8 : s.bits;
            const bool isFloat = s.isFloat && !c.reshape.eightBit;
            const std::vector<double> ours = Samples(image.data() + 44, ReadLE32(image.data() + 40), bits, isFloat);
            const std::vector<double> theirs = Samples(expectedBytes.data(), expectedBytes.size(), bits, isFloat);
            ASSERT_EQ(ours.size(), theirs.size());
            // sox's float path goes through 32-bit integers.
            const double step = isFloat ? 1e-6 : 1;
            double worst = 0;
            for (std::size_t i = 0; i < ours.size(); ++i)
                worst = std::max(worst, std::abs(ours[i] - theirs[i]));
            EXPECT_LE(worst, step);
        }
    }
}

} // namespace
} // namespace jbx::testing
