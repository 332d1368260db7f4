#include "audio/waveimage.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <utility>

namespace jbx::testing {
namespace {

TEST(WaveImage, FitsOnlyWhenEveryLengthStaysInsideTheBuffer)
{
    const Bytes good = PcmWave(64);
    Bytes dataPastTheEnd = good, bodyMissing = good;
    dataPastTheEnd[40] = 0xFF;
    const Bytes junkHeader{'j', 'u', 'n', 'k', 2, 0, 0, 0};   // a chunk header that ends the image
    bodyMissing.insert(bodyMissing.end(), junkHeader.begin(), junkHeader.end());
    WriteLE32(&bodyMissing[4], ReadLE32(&good[4]) + 8);
    const std::pair<Bytes, bool> images[] = {
        {good, true},
        {PcmWave(63), true},   // an odd data chunk without its pad byte
        {Bytes(good.begin(), good.end() - 1), false},
        {dataPastTheEnd, false},
        {bodyMissing, false},
        {ToBytes("Creative Voice File"), false},
        {{}, false},
    };
    for (const auto& i : images)
        EXPECT_EQ(WaveImageFits(i.first), i.second) << "image " << &i - images;
    for (std::size_t wrong = 0; wrong < 4; ++wrong) {
        Bytes b = good;
        b[wrong] = 'X';
        EXPECT_FALSE(WaveImageFits(b)) << "RIFF with byte " << wrong << " wrong";
    }
}

} // namespace
} // namespace jbx::testing
