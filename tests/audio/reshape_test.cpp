#include "audio/reshape.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>

namespace jbx::testing {
namespace {

struct Layout {
    std::uint16_t tag;        // 1 PCM, 3 float, 0xFFFE extensible
    std::uint16_t channels;
    std::uint16_t bits;
};

// At 11025 Hz; an extensible image names its sub-format in the tag's place.
Bytes Wave(Layout layout, const Bytes& samples, std::uint16_t subFormat = 1)
{
    return WaveImage(layout.tag, layout.channels, 11025, layout.bits, samples, subFormat);
}

// Little-endian samples of the given width in bytes.
Bytes S(unsigned width, std::initializer_list<std::int64_t> values)
{
    Bytes out;
    for (const std::int64_t v : values) {
        for (unsigned i = 0; i < width; ++i)
            out.push_back(std::uint8_t(v >> (8 * i)));
    }
    return out;
}

Bytes F32(std::initializer_list<float> values)
{
    Bytes out;
    for (const float v : values)
        PutLE32(out, std::bit_cast<std::uint32_t>(v));
    return out;
}

Bytes F64(std::initializer_list<double> values)
{
    Bytes out;
    for (const double v : values) {
        const Bytes one = S(8, {std::bit_cast<std::int64_t>(v)});
        out.insert(out.end(), one.begin(), one.end());
    }
    return out;
}

constexpr Reshape kMono{true, false};
constexpr Reshape kEightBit{false, true};
constexpr Reshape kBoth{true, true};
constexpr Reshape kNothing{false, false};

TEST(ReshapeTest, RoundingClampingAndWhatIsKept)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Bytes whole = Wave({1, 2, 16}, S(2, {1, 2, 3, 4, 5, 6}));
    const struct {
        const char* what;
        Bytes input;
        Reshape reshape;
        Bytes expected;
    } cases[] = {
        {"16-bit halves round away from zero, extremes stay", Wave({1, 2, 16}, S(2, {1, 2, -1, -2, 32767, -32768,
            32767, 32767, -32768, -32768})), kMono, Wave({1, 1, 16}, S(2, {2, -2, -1, 32767, -32768}))},
        {"three channels", Wave({1, 3, 16}, S(2, {1, 1, 0, -1, -1, 0, 32767, 32767, 32766})), kMono,
            Wave({1, 1, 16}, S(2, {1, -1, 32767}))},
        {"8-bit halves round away from silence", Wave({1, 2, 8}, {0, 1, 255, 254, 127, 128}), kMono,
            Wave({1, 1, 8}, {0, 255, 127})},
        {"16 to 8 bits", Wave({1, 1, 16}, S(2, {32767, -32768, 128, -128, 127, -129})), kEightBit,
            Wave({1, 1, 8}, {255, 0, 129, 127, 128, 127})},
        {"24 to 8 bits", Wave({1, 1, 24}, S(3, {0x7FFFFF, -0x800000, 0x8000, -0x8000})), kEightBit,
            Wave({1, 1, 8}, {255, 0, 129, 127})},
        {"32-bit halves and extremes", Wave({1, 2, 32}, S(4, {0x7FFFFFFF, 0x7FFFFFFF, -0x80000000LL, -0x7FFFFFFF, 1,
            2})), kMono, Wave({1, 1, 32}, S(4, {0x7FFFFFFF, -0x80000000LL, 2}))},
        {"32 to 8 bits", Wave({1, 1, 32}, S(4, {0x7FFFFFFF, -0x80000000LL, 0x800000, -0x800000})), kEightBit,
            Wave({1, 1, 8}, {255, 0, 129, 127})},
        {"float to 8 bits clamps beyond full scale", Wave({3, 1, 32}, F32({1.5f, 1.0f, -2.0f, 0.5f, 1 / 256.0f,
            -1 / 256.0f, nan})), kEightBit, Wave({1, 1, 8}, {255, 255, 0, 192, 129, 127, 128})},
        {"both at once round once", Wave({1, 2, 16}, S(2, {255, 0, 256, 0, 32767, 32767, -32768, -32768})), kBoth,
            Wave({1, 1, 8}, {128, 129, 255, 0})},
        {"float mono of three stays float", Wave({3, 3, 32}, F32({0.25f, 0.5f, 1.5f})), kMono,
            Wave({3, 1, 32}, F32({0.75f}))},
        {"64-bit float mono", Wave({3, 2, 64}, F64({0.25, 0.5, -1.0, 3.0})), kMono, Wave({3, 1, 64}, F64({0.375, 1.0}))},
        {"64-bit float to 8 bits", Wave({3, 1, 64}, F64({1.0, -1.0, 0.5})), kEightBit, Wave({1, 1, 8}, {255, 0, 192})},
        {"extensible comes out plain, an odd data chunk padded", Wave({0xFFFE, 2, 24}, S(3, {1, 2}), 1), kMono,
            Wave({1, 1, 24}, S(3, {2}))},
        {"extensible float", Wave({0xFFFE, 1, 32}, F32({-0.5f}), 3), kNothing, Wave({3, 1, 32}, F32({-0.5f}))},
        // Only whole frames within the image are taken.
        {"data chunk cut short", Bytes(whole.begin(), whole.end() - 5), kNothing, Wave({1, 2, 16}, S(2, {1, 2}))},
        {"a partial frame", Wave({1, 2, 16}, S(2, {1, 2, 3})), kNothing, Wave({1, 2, 16}, S(2, {1, 2}))},
        {"no data", Bytes(whole.begin(), whole.begin() + 44), kNothing, Wave({1, 2, 16}, {})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = ReshapeWave(c.input, c.reshape);
        ASSERT_TRUE(result.image);
        EXPECT_EQ(*result.image, c.expected);
    }
}

TEST(ReshapeTest, WhatCannotBeReshaped)
{
    Bytes blockAlignOff = Wave({1, 2, 16}, S(2, {1, 2}));
    blockAlignOff[32] = 2;
    const struct {
        const char* what;
        Bytes input;
        ReshapeError error;
    } cases[] = {
        {"no WAVE", Bytes{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '}, ReshapeError::NotAWave},
        {"ADPCM", Wave({2, 1, 16}, S(2, {0})), ReshapeError::UnsupportedFormat},
        {"12-bit PCM", Wave({1, 1, 12}, {0, 0}), ReshapeError::UnsupportedFormat},
        {"40-bit PCM", Wave({1, 1, 40}, Bytes(5, 0)), ReshapeError::UnsupportedFormat},
        {"16-bit float", Wave({3, 1, 16}, S(2, {0})), ReshapeError::UnsupportedFormat},
        {"no channels", Wave({1, 0, 16}, S(2, {0})), ReshapeError::UnsupportedFormat},
        {"frame size not the channels' samples", blockAlignOff, ReshapeError::UnsupportedFormat},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ReshapeResult result = ReshapeWave(c.input, kBoth);
        EXPECT_FALSE(result.image);
        EXPECT_EQ(result.error, c.error);
    }
}

} // namespace
} // namespace jbx::testing
