#include "seam/filesystem.h"
#include "seam/sounddecoder.h"
#include "tests/support/testfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace jbx {
namespace {

using namespace jbx::testing;
using ::testing::HasSubstr;

const std::string kSounds = JBX_MF_SOUNDS;

// What was in the buffer before: a decode appends after it, and a refused
// one leaves it so.
const Bytes kBefore = {1, 2, 3, 4};

DecodeResult Decode(const std::string& path, Bytes& samples, std::uint64_t limit = UINT32_MAX)
{
    const auto file = InputFile::open(path);
    if (!file) {
        ADD_FAILURE() << "cannot open " << path;
        return {};
    }
    return DecodeSound(*file, samples, limit);
}

int Peak(const Bytes& samples, std::size_t from)
{
    int peak = 0;
    for (std::size_t i = from; i + 1 < samples.size(); i += 2)
        peak = std::max(peak, std::abs(int(std::int16_t(ReadLE16(&samples[i])))));
    return peak;
}

struct Whole {
    const char* file;
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint64_t frames;   // of the source
    std::uint64_t slack;    // frames the codec may add or drop at the ends
};

TEST(SoundDecoderMf, DecodesWholeSoundsInTheirOwnChannelsAndRate)
{
    const Whole cases[] = {
        {"tone.mp3", 2, 44100, 3 * 44100, 2 * 1152},
        {"tone.flac", 1, 22050, 2 * 22050, 0},
        {"tone.ogg", 2, 48000, 72000, 1024},
    };
    for (const Whole& sound : cases) {
        SCOPED_TRACE(sound.file);
        Bytes samples = kBefore;
        const DecodeResult result = Decode(kSounds + "/" + sound.file, samples);
        ASSERT_EQ(result.status, DecodeStatus::Decoded) << result.why;
        EXPECT_EQ(result.channels, sound.channels);
        EXPECT_EQ(result.sampleRate, sound.rate);
        EXPECT_TRUE(std::equal(kBefore.begin(), kBefore.end(), samples.begin()));
        const std::uint64_t bytes = samples.size() - kBefore.size();
        const std::uint64_t frames = bytes / (2 * sound.channels);
        EXPECT_EQ(bytes % (2 * sound.channels), 0u);
        EXPECT_LE(frames, sound.frames + sound.slack);
        EXPECT_GE(frames + sound.slack, sound.frames);
        // The tone is an eighth of full scale, less 3 dB in two channels:
        // sound, not silence or noise.
        EXPECT_NEAR(Peak(samples, kBefore.size()), 32768 / 8, 32768 / 16);
    }
}

TEST(SoundDecoderMf, RefusesWhatItCannotTakeWhole)
{
    TempDir dir;
    Bytes noise(20000);
    std::uint32_t state = 12345;
    for (auto& byte : noise) {
        state = state * 1103515245 + 12345;
        byte = std::uint8_t(state >> 16);
    }
    WriteBytes(dir.file("noise.mp3"), noise);

    const struct {
        std::string path;
        std::uint64_t limit;
        DecodeStatus status;
        const char* why;   // a part of it: the length the file gives
    } cases[] = {
        {kSounds + "/half-tone.flac", UINT32_MAX, DecodeStatus::Damaged, " of 2.0 s"},
        // Its length is the frame count the encoder wrote at its start.
        {kSounds + "/half-tone.mp3", UINT32_MAX, DecodeStatus::Damaged, " of 3.0 s"},
        {dir.file("noise.mp3"), UINT32_MAX, DecodeStatus::Unknown, ""},
        // One byte short of the whole sound.
        {kSounds + "/tone.flac", 2 * 2 * 22050 - 1, DecodeStatus::TooLong, ""},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.path);
        Bytes samples = kBefore;
        const DecodeResult result = Decode(refused.path, samples, refused.limit);
        EXPECT_EQ(result.status, refused.status) << result.why;
        EXPECT_EQ(samples, kBefore);
        EXPECT_THAT(result.why, HasSubstr(refused.why));
    }
}

TEST(SoundDecoderMf, ExactLimitIsEnough)
{
    Bytes samples;
    EXPECT_EQ(Decode(kSounds + "/tone.flac", samples, 2 * 22050 * 2).status, DecodeStatus::Decoded);
}

// Run on its own with Media Foundation switched off (see CMakeLists.txt).
TEST(SoundDecoderMf, WithoutMediaFoundationNamesWhatIsMissing)
{
    if (!std::getenv("JBX_NO_MEDIA_FOUNDATION"))
        GTEST_SKIP() << "Media Foundation is there";
    Bytes samples = kBefore;
    const DecodeResult result = Decode(kSounds + "/tone.flac", samples);
    EXPECT_EQ(result.status, DecodeStatus::NoDecoder);
    EXPECT_EQ(result.why, "mfplat.dll could not be loaded");
    EXPECT_EQ(samples, kBefore);
}

} // namespace
} // namespace jbx
