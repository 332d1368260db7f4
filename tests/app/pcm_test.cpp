#include "app/pcm.h"
#include "tests/app/wavebuilder.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstring>

namespace jbx::testing {
namespace {

using Samples = std::vector<std::int16_t>;

Bytes With(Bytes image, const Bytes& tail)
{
    image.insert(image.end(), tail.begin(), tail.end());
    return image;
}

Bytes Patched32(Bytes image, std::size_t offset, std::uint32_t value)
{
    WriteLE32(image.data() + offset, value);
    return image;
}

struct DecodeCase {
    const char* name;
    Bytes image;
    int rate;
    int channels;
    Samples expected;
};

TEST(DecodeWaveTest, DecodesWhatTheImageHolds)
{
    const Samples stereo{1000, -1000, 32767, -32768, 0, 5};
    const Bytes mono16 = MakeWave({11025, 1, 16, {100, 200, 300}, std::nullopt});
    Bytes listChunk;   // claims a kilobyte, holds four bytes
    PutText(listChunk, "LIST");
    PutLE32(listChunk, 1000);
    PutText(listChunk, "INFO");
    const Bytes voiceImage = MakeWave({11111, 1, 8, {0, 256, -256}, std::nullopt});
    const DecodeCase cases[] = {
        // Unsigned bytes 0x80, 0xFF, 0x00, 0x40.
        {"8-bit mono", MakeWave({22050, 1, 8, {0, 32512, -32768, -16384}, std::nullopt}), 22050, 1,
            {0, 32512, -32768, -16384}},
        {"16-bit stereo", MakeWave({48000, 2, 16, stereo, std::nullopt}), 48000, 2, stereo},
        {"followed by a slot's 0x80 byte", With(mono16, Bytes{0x80}), 11025, 1, {100, 200, 300}},
        {"in a zero-filled conversion buffer", With(voiceImage, Bytes(48, 0)), 11111, 1, {0, 256, -256}},
        {"data shorter than declared", MakeWave({8000, 1, 16, {7, 8, 9, 10}, 2000}), 8000, 1, {7, 8, 9, 10}},
        {"declared length near 4 GiB", MakeWave({8000, 2, 16, {1, 2, 3, 4}, 0xFFFFFFF0u}), 8000, 2, {1, 2, 3, 4}},
        {"odd data length drops the half sample", MakeWave({11025, 1, 16, {100, 200, 300}, 5}), 11025, 1, {100, 200}},
        {"RIFF length zero", Patched32(mono16, 4, 0), 11025, 1, {100, 200, 300}},
        {"RIFF length too large", Patched32(mono16, 4, 0x7FFFFFFF), 11025, 1, {100, 200, 300}},
        {"cut inside a chunk after the data", With(mono16, listChunk), 11025, 1, {100, 200, 300}},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<Pcm> pcm = DecodeWave(c.image);
        ASSERT_TRUE(pcm.has_value());
        EXPECT_EQ(pcm->sampleRate, c.rate);
        EXPECT_EQ(pcm->channels, c.channels);
        EXPECT_EQ(pcm->samples, c.expected);
    }
}

TEST(DecodeWaveTest, RefusesWhatIsNoPlayableWave)
{
    const Bytes tone = ToneWave(22050, 1, 8, 440, 0.1);
    const struct {
        const char* name;
        Bytes image;
    } cases[] = {
        {"empty", {}},
        {"garbage", Ramp(1000)},
        {"header only", MakeWave({22050, 1, 8, {}, std::nullopt})},
        {"cut inside the header", Bytes(tone.begin(), tone.begin() + 30)},
        {"one byte of a 16-bit frame", MakeWave({22050, 1, 16, {0x1234}, 1})},
        {"rate 0", MakeWave({0, 1, 16, {1, 2}, std::nullopt})},
        {"rate below the limit", MakeWave({kMinSampleRate - 1, 1, 16, {1, 2}, std::nullopt})},
        {"rate above the limit", MakeWave({kMaxSampleRate + 1, 1, 16, {1, 2}, std::nullopt})},
        {"channels 0", MakeWave({22050, 0, 16, {1, 2}, std::nullopt})},
        {"too many channels", MakeWave({22050, kMaxChannels + 1, 16, Samples(std::size_t(kMaxChannels + 1), 1), std::nullopt})},
        {"voice file", VoiceFileBuilder().soundBlock(166, Ramp(800, 0x40)).terminator().build()},
        {"Sun audio", SunAudio(8000, Tone(8000, 1, 440, 0.1))},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(DecodeWave(c.image).has_value()) << c.name;
}

TEST(DecodeWaveTest, NeverReadsPastTheImage)
{
    // Every prefix of an image: a truncation anywhere decodes what is there
    // or nothing, and never more frames than the bytes after the header hold.
    const Bytes image = MakeWave({8000, 2, 16, {1, 2, 3, 4, 5, 6, 7, 8}, std::nullopt});
    for (std::size_t length = 0; length <= image.size(); ++length) {
        const std::vector<std::uint8_t> prefix(image.begin(), image.begin() + std::ptrdiff_t(length));
        const std::optional<Pcm> pcm = DecodeWave(prefix);
        const std::size_t whole = length > 44 ? (length - 44) / 4 : 0;
        if (whole == 0) {
            EXPECT_FALSE(pcm.has_value()) << "length " << length;
        } else {
            ASSERT_TRUE(pcm.has_value()) << "length " << length;
            EXPECT_EQ(pcm->frames(), whole) << "length " << length;
        }
    }
}

struct ConvertCase {
    const char* name;
    Pcm input;
    int rate;
    int channels;
    Samples expected;
};

TEST(ConvertPcmTest, MixesChannelsAndChangesRate)
{
    const ConvertCase cases[] = {
        {"unchanged", {8000, 2, {1, 2, 3, 4}}, 8000, 2, {1, 2, 3, 4}},
        {"mono to stereo copies", {8000, 1, {10, -20}}, 8000, 2, {10, 10, -20, -20}},
        {"stereo to mono averages", {8000, 2, {10, 20, -30, -50}}, 8000, 1, {15, -40}},
        {"three to two keeps the first two", {8000, 3, {1, 2, 3, 4, 5, 6}}, 8000, 2, {1, 2, 4, 5}},
        {"two to three repeats the last", {8000, 2, {1, 2}}, 8000, 3, {1, 2, 2}},
        {"double rate interpolates", {8000, 1, {0, 100, 200}}, 16000, 1, {0, 50, 100, 150, 200, 200}},
        {"half rate takes every other", {16000, 1, {0, 10, 20, 30}}, 8000, 1, {0, 20}},
        {"both at once", {8000, 2, {0, 100, 200, 300}}, 16000, 1, {50, 150, 250, 250}},
        {"empty stays empty", {8000, 1, {}}, 44100, 2, {}},
    };
    for (const ConvertCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Pcm out = ConvertPcm(c.input, c.rate, c.channels);
        EXPECT_EQ(out.sampleRate, c.rate);
        EXPECT_EQ(out.channels, c.channels);
        EXPECT_EQ(out.samples, c.expected);
    }
}

TEST(ConvertPcmTest, StaysWithinTheSampleLimit)
{
    // 100 seconds at the lowest rate would become 76.8 million frames at the highest.
    const Pcm slow{kMinSampleRate, 1, Samples(std::size_t(kMinSampleRate) * 100, 7)};
    const Pcm out = ConvertPcm(slow, kMaxSampleRate, 1);
    EXPECT_EQ(out.samples.size(), kMaxPcmSamples);
    EXPECT_EQ(out.samples.back(), 7);
}

template <typename T>
std::vector<T> Unpack(const Bytes& bytes)
{
    std::vector<T> values(bytes.size() / sizeof(T));
    std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
    return values;
}

TEST(EncodeSamplesTest, ScalesToEachEncoding)
{
    const Pcm pcm{8000, 1, {-32768, -256, 0, 256, 32767}};
    EXPECT_EQ(EncodeSamples(pcm, SampleEncoding::Unsigned8), (Bytes{0x00, 0x7F, 0x80, 0x81, 0xFF}));
    EXPECT_EQ(Unpack<std::int16_t>(EncodeSamples(pcm, SampleEncoding::Signed16)), pcm.samples);
    EXPECT_EQ(Unpack<std::int32_t>(EncodeSamples(pcm, SampleEncoding::Signed32)),
        (std::vector<std::int32_t>{INT32_MIN, -256 * 65536, 0, 256 * 65536, 32767 * 65536}));
    EXPECT_EQ(Unpack<float>(EncodeSamples(pcm, SampleEncoding::Float32)),
        (std::vector<float>{-1.0f, -256.0f / 32768, 0.0f, 256.0f / 32768, 32767.0f / 32768}));
}

} // namespace
} // namespace jbx::testing
