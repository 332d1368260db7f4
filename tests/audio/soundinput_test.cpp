// The one way in for sound files: each kind taken from a file and, where the
// system has them, from a pipe; damaged compressed files refused with why.

#include "audio/soundinput.h"

#include "audio/wavefile.h"
#include "seam/filesystem.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace jbx::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// The file's bytes opened as a file, or fed through a pipe as a shell's
// `cat x |` would; nothing when this system has no pipes to open by name.
std::unique_ptr<InputFile> Open(const std::string& path, bool piped)
{
    if (!piped)
        return InputFile::open(path);
#ifdef _WIN32
    return nullptr;
#else
    int ends[2];
    if (pipe(ends) != 0)
        return nullptr;
    std::thread writer([bytes = ReadBytes(path), in = ends[1]] {
        for (std::size_t at = 0; at < bytes.size();) {
            const ssize_t n = write(in, bytes.data() + at, bytes.size() - at);
            if (n <= 0)
                break;
            at += std::size_t(n);
        }
        close(in);
    });
    auto file = InputFile::open("/dev/fd/" + std::to_string(ends[0]));
    writer.join();
    close(ends[0]);
    return file;
#endif
}

class SoundInputTest : public ::testing::Test {
protected:
    // A sound made by ffmpeg from a 2 s stereo sine, its first half and its
    // first 60 bytes.
    std::string Made(const std::string& name)
    {
        const std::string path = dir.file(name);
        const std::string command = "ffmpeg -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=" + kRate
            + ":duration=2 -ac 2 \"" + path + "\"";
        if (std::system(command.c_str()) != 0)
            return {};
        Bytes bytes = ReadBytes(path);
        bytes.resize(bytes.size() / 2);
        WriteBytes(dir.file("half-" + name), bytes);
        bytes.resize(60);
        WriteBytes(dir.file("start-" + name), bytes);
        return path;
    }

    // The file read as a file and, where this system has pipes to open by
    // name, through one; each reading with what it was.
    std::vector<std::pair<std::string, SoundRead>> Readings(const std::string& name)
    {
        std::vector<std::pair<std::string, SoundRead>> readings;
        for (const bool piped : {false, true}) {
            if (const auto file = Open(dir.file(name), piped))
                readings.emplace_back(name + (piped ? " through a pipe" : ""), ReadSound({desktop}, *file));
        }
        EXPECT_FALSE(readings.empty()) << name;
        return readings;
    }

    static inline const std::string kRate = "48000";
    TempDir dir;
    FakeDesktop desktop;
};

TEST_F(SoundInputTest, WaveAndVoiceFilesComeInAsTheEditorAlwaysTookThem)
{
    const Bytes wave = PcmWave(101);
    const Bytes voice = VoiceFileBuilder().soundBlock(166, Ramp(9)).terminator().build();
    const Bytes rText = ToBytes("Rubbish the editor stores as it stands");
    WriteBytes(dir.file("a.wav"), wave);
    WriteBytes(dir.file("v.voc"), voice);
    WriteBytes(dir.file("r.txt"), rText);
    // What the voice conversion itself makes of the file, in the buffer a slot takes.
    Bytes converted(voice.size() + kWaveImageSlack);
    std::int32_t convertedSize = std::int32_t(voice.size());
    ASSERT_EQ(ConvertVoiceFile({desktop}, converted, voice, convertedSize), ConvertResult::Converted);
    Bytes padded = wave;
    padded.push_back(kPadByte);
    Bytes paddedText = rText;
    paddedText.push_back(kPadByte);

    const struct {
        std::string file;
        SoundKind kind;
        Bytes buffer;
        std::int32_t size;
    } cases[] = {
        {"a.wav", SoundKind::Wave, padded, std::int32_t(wave.size())},
        {"r.txt", SoundKind::AsItStands, paddedText, std::int32_t(rText.size())},
        {"v.voc", SoundKind::Voice, converted, convertedSize},
    };
    for (const auto& c : cases) {
        for (const auto& [how, read] : Readings(c.file)) {
            SCOPED_TRACE(how);
            EXPECT_EQ(read.result, SoundReadResult::Read);
            EXPECT_EQ(read.kind, c.kind);
            EXPECT_EQ(read.size, c.size);
            EXPECT_EQ(read.buffer, c.buffer);
        }
    }
}

TEST_F(SoundInputTest, OtherFormatsAreDecodedOrRefusedWithTheirReason)
{
    const std::string flac = Made("s.flac"), ogg = Made("s.ogg"), mp3 = Made("s.mp3");
    if (flac.empty() || ogg.empty() || mp3.empty())
        GTEST_SKIP() << "ffmpeg is needed to make the compressed sounds";
    WriteBytes(dir.file("text.txt"), ToBytes("plain text, no sound"));
    WriteBytes(dir.file("fake.flac"), ToBytes("fLaC and nothing a decoder takes"));
    const struct {
        std::string file;
        SoundReadResult result;
        std::string why;   // the start of it
    } cases[] = {
        {"s.flac", SoundReadResult::Read, ""},
        {"s.ogg", SoundReadResult::Read, ""},
        {"s.mp3", SoundReadResult::Read, ""},
        {"half-s.flac", SoundReadResult::Damaged, "its sound ends at 0."},
        {"half-s.ogg", SoundReadResult::Damaged, "its end is missing"},
        {"half-s.mp3", SoundReadResult::Damaged, "its sound ends at 1.0 s of 2.0 s"},
        {"start-s.flac", SoundReadResult::Damaged, "the decoder cannot open it"},
        {"start-s.ogg", SoundReadResult::Damaged, "the decoder cannot open it"},
        {"fake.flac", SoundReadResult::Damaged, "the decoder cannot open it"},
        {"text.txt", SoundReadResult::NotASound, ""},
    };
    for (const auto& c : cases) {
        for (const auto& [how, read] : Readings(c.file)) {
            SCOPED_TRACE(how);
            EXPECT_EQ(read.kind, SoundKind::Decoded);
            EXPECT_EQ(read.result, c.result);
            EXPECT_THAT(read.why, StartsWith(c.why));
            if (c.result != SoundReadResult::Read) {
                EXPECT_TRUE(read.buffer.empty());
                continue;
            }
            // A 16-bit stereo WAVE of the file's rate, two seconds give or
            // take an encoder's padding, and the pad byte behind it.
            ASSERT_EQ(read.buffer.size(), std::size_t(read.size) + 1);
            EXPECT_EQ(read.buffer.back(), kPadByte);
            const auto format = ReadWaveFormat(std::span(read.buffer.data(), std::size_t(read.size)));
            ASSERT_TRUE(format);
            EXPECT_EQ(format->encoding, SampleEncoding::Pcm);
            EXPECT_EQ(format->channels, 2);
            EXPECT_EQ(format->bitsPerSample, 16);
            EXPECT_EQ(format->sampleRate, std::stoul(kRate));
            EXPECT_TRUE(format->sizesFit);
            EXPECT_NEAR(format->seconds(), 2.0, 0.06);
        }
    }
    EXPECT_TRUE(desktop.messages.empty()) << "refusals are the front end's to word";
}

TEST_F(SoundInputTest, RefusalsLeaveNothingBehind)
{
    // A voice file whose version the user would not have processed.
    WriteBytes(dir.file("v115.voc"), VoiceFileBuilder(15, 1).soundBlock(166, Ramp(9)).terminator().build());
    desktop.messageAnswers = {MessageAnswer::No};
    auto voice = InputFile::open(dir.file("v115.voc"));
    ASSERT_TRUE(voice);
    SoundRead read = ReadSound({desktop}, *voice);
    EXPECT_EQ(read.result, SoundReadResult::NotConverted);
    EXPECT_TRUE(read.buffer.empty());
    ASSERT_EQ(desktop.messages.size(), 1u);

    // A WAVE longer than a slot holds is refused before a byte of it is read:
    // the file is a hole that takes no disk.
    const std::string big = dir.file("big.wav");
    WriteBytes(big, ToBytes("RIFF"));
    std::filesystem::resize_file(big, kVoiceFileLimit + 1);
    read = ReadSound({desktop}, *InputFile::open(big));
    EXPECT_EQ(read.result, SoundReadResult::TooLarge);
    EXPECT_TRUE(read.buffer.empty());
}

} // namespace
} // namespace jbx::testing
