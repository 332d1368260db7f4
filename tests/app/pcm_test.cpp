// The player's decoding of slot images and its conversions, without a sound
// server. A slot image comes from a bank file and may be damaged.

#include "app/pcm.h"
#include "tests/app/wavebuilder.h"

#include <gtest/gtest.h>

namespace jbx::testing {
namespace {

using Samples = std::vector<std::int16_t>;

TEST(DecodeWaveTest, DecodesOnlyTheWholeFramesTheImageHolds)
{
    const struct {
        const char* name;
        Bytes image;
        Samples expected;
    } cases[] = {
        // Unsigned bytes 0x80, 0xFF, 0x00, 0x40.
        {"8-bit", MakeWave({22050, 1, 8, {0, 32512, -32768, -16384}, std::nullopt}), {0, 32512, -32768, -16384}},
        {"declared length near 4 GiB", MakeWave({8000, 2, 16, {1, 2, 3, 4}, 0xFFFFFFF0u}), {1, 2, 3, 4}},
        {"odd data length", MakeWave({11025, 1, 16, {100, 200, 300}, 5}), {100, 200}},
    };
    for (const auto& c : cases) {
        const std::optional<Pcm> pcm = DecodeWave(c.image);
        ASSERT_TRUE(pcm.has_value()) << c.name;
        EXPECT_EQ(pcm->samples, c.expected) << c.name;
    }
    EXPECT_FALSE(DecodeWave(MakeWave({22050, 0, 16, {1, 2}, std::nullopt}))) << "no channels";

    // Cut anywhere: never more frames than the bytes after the header hold.
    const Bytes image = MakeWave({8000, 2, 16, {1, 2, 3, 4, 5, 6, 7, 8}, std::nullopt});
    for (std::size_t length = 0; length <= image.size(); ++length) {
        const std::optional<Pcm> pcm = DecodeWave(Bytes(image.begin(), image.begin() + std::ptrdiff_t(length)));
        EXPECT_EQ(pcm ? pcm->frames() : 0, length > 44 ? (length - 44) / 4 : 0) << "length " << length;
    }
}

TEST(ConvertPcmTest, MixesChannelsAndChangesRateWithinTheSampleLimit)
{
    EXPECT_EQ(ConvertPcm({8000, 2, {0, 100, 200, 300}}, 16000, 1).samples, (Samples{50, 150, 250, 250}));
    // 100 seconds at the lowest rate would become 76.8 million frames at the highest.
    const Pcm out = ConvertPcm({kMinSampleRate, 1, Samples(std::size_t(kMinSampleRate) * 100, 7)}, kMaxSampleRate, 1);
    EXPECT_EQ(out.samples.size(), kMaxPcmSamples);
}

} // namespace
} // namespace jbx::testing
