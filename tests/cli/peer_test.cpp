// Voice files written by other programs (sox, ffmpeg), converted by
// `jbxtool convert`, and compared with another reader's decoding of the same
// file; libsndfile reads both sides, so our WAVE header is checked by a
// reader that is not ours. libsndfile refuses continuation blocks of 8-bit
// data (ffmpeg writes them), takes the headers of 16-bit continuation blocks
// for samples, and reads past the 16-bit block that sox declares 8 bytes
// short; for those files the reference is ffmpeg's decoding.

#include "tests/cli/runtool.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>
#include <sndfile.hh>

#include <sstream>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

struct PeerCase {
    std::string name;
    std::string program;
    std::string args;   // separated by spaces; "{voc}" stands for the voice file
    bool ffmpegReference;
    // Stereo announced by a type 8 block comes out as one channel at twice
    // the rate: the same bytes at the same speed, another format.
    bool stereoAsMono;
};

const std::string kFfmpeg = "-nostdin -v error -y ";
const std::string kFfmpegSine = kFfmpeg + "-f lavfi -i sine=frequency=440:sample_rate=11025:duration=0.2 ";
const std::string kFfmpegStereo = kFfmpeg + "-f lavfi -i aevalsrc=sin(440*2*PI*t)|0.5*sin(660*2*PI*t):d=0.2:s=";

const PeerCase kCases[] = {
    {"SoxUnsigned8Mono", "sox", "-n -r 11025 -c 1 -b 8 -e unsigned-integer {voc} synth 0.25 whitenoise", false, false},
    {"SoxUnsigned8Stereo", "sox", "-n -r 11025 -c 2 -b 8 -e unsigned-integer {voc} synth 0.2 sine 440 sine 660",
        false, true},
    {"SoxSigned16Mono", "sox", "-n -r 22050 -c 1 -b 16 -e signed-integer {voc} synth 0.1 sine 440", true, false},
    {"FfmpegUnsigned8Mono", "ffmpeg", kFfmpegSine + "-c:a pcm_u8 -f voc {voc}", true, false},
    {"FfmpegUnsigned8Stereo", "ffmpeg", kFfmpegStereo + "11025 -c:a pcm_u8 -f voc {voc}", true, true},
    {"FfmpegSigned16Stereo", "ffmpeg", kFfmpegStereo + "22050 -c:a pcm_s16le -f voc {voc}", true, false},
};

RunResult RunWords(const std::string& program, const std::string& args, const std::string& voc, const std::string& wav = "")
{
    std::istringstream words(args);
    std::vector<std::string> argv;
    for (std::string word; words >> word;)
        argv.push_back(word == "{voc}" ? voc : word == "{wav}" ? wav : word);
    return RunProgram(program, argv);
}

struct Decoded {
    int channels = 0, sampleRate = 0, subtype = 0;
    std::vector<short> samples;   // all channels, interleaved
};

Decoded Decode(const std::string& path)
{
    SndfileHandle file(path);
    EXPECT_EQ(file.error(), 0) << "libsndfile cannot read " << path << ": " << file.strError();
    Decoded decoded{file.channels(), file.samplerate(), file.format() & SF_FORMAT_SUBMASK, {}};
    decoded.samples.resize(std::size_t(file.frames()) * std::size_t(file.channels()));
    decoded.samples.resize(std::size_t(file.readf(decoded.samples.data(), file.frames())) * std::size_t(file.channels()));
    return decoded;
}

class JbxtoolPeer : public ::testing::TestWithParam<PeerCase> {};

TEST_P(JbxtoolPeer, ConvertsAsAnotherReaderDecodes)
{
    const PeerCase& c = GetParam();
    TempDir dir;
    const std::string voc = dir.file("peer.voc"), ours = dir.file("ours.wav");
    std::string reference = voc;
    const RunResult made = RunWords(c.program, c.args, voc);
    if (made.exitCode < 0)
        GTEST_SKIP() << c.program << " is not installed; it writes this case's voice file";
    ASSERT_EQ(made.exitCode, 0) << c.program << " failed: " << made.err;
    const RunResult converted = RunJbxtool({"convert", voc, ours});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    if (c.ffmpegReference) {
        reference = dir.file("reference.wav");
        const RunResult decoded = RunWords("ffmpeg", kFfmpeg + "-i {voc} -c:a copy {wav}", voc, reference);
        if (decoded.exitCode < 0)
            GTEST_SKIP() << "ffmpeg is not installed; it decodes this case's reference";
        ASSERT_EQ(decoded.exitCode, 0) << "ffmpeg could not decode " << voc << ": " << decoded.err;
    }

    const Decoded want = Decode(reference), got = Decode(ours);
    ASSERT_GT(want.samples.size(), 1000u) << "the peer wrote almost nothing";
    EXPECT_EQ(got.subtype, want.subtype);
    if (c.stereoAsMono) {
        EXPECT_EQ(want.channels, 2);
        // Both round a type 8 time constant, the reference per channel.
        EXPECT_NEAR(got.sampleRate * got.channels, want.sampleRate * want.channels, want.channels);
    } else {
        EXPECT_EQ(got.channels, want.channels);
        EXPECT_EQ(got.sampleRate, want.sampleRate);
    }
    EXPECT_TRUE(got.samples == want.samples) << "the sample data differ";
}

INSTANTIATE_TEST_SUITE_P(VoiceFiles, JbxtoolPeer, ::testing::ValuesIn(kCases),
    [](const ::testing::TestParamInfo<PeerCase>& info) { return info.param.name; });

} // namespace
} // namespace jbx::testing
