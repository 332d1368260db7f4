// Voice files written by other programs (sox, ffmpeg), converted by
// `jbxtool convert`, and compared with another reader's decoding of the same
// file. libsndfile reads both sides, so our WAVE header is checked by a
// reader that is not ours.
//
// What the peers write (read off their files):
//   sox 8-bit mono       one type 1 block, version 1.10
//   sox 8-bit stereo     type 8 (stereo) + type 1
//   sox 16-bit           one type 9 block whose declared length is 8 bytes
//                        short of its samples (sox 14.4)
//   ffmpeg 8-bit         type 1 or 8 + 1, then type 2 continuations, 1.20
//   ffmpeg 16-bit        type 9 + type 2 continuations
//
// libsndfile refuses continuation blocks of 8-bit data, takes the headers of
// 16-bit continuation blocks for samples and reads past sox's short block;
// for those files the reference is ffmpeg's decoding, read by libsndfile.

#include "tests/cli/runtool.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <optional>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

struct PeerCase {
    std::string name;
    std::string program;
    std::vector<std::string> args;   // "{voc}" stands for the file to write
    bool ffmpegReference;
    // Stereo announced by a type 8 block comes out as one channel at twice
    // the rate: the same bytes at the same speed, another format.
    bool stereoAsMono;
};

std::ostream& operator<<(std::ostream& out, const PeerCase& c)
{
    return out << c.name;
}

const std::vector<std::string> kFfmpegQuiet = {"-nostdin", "-v", "error", "-y"};

std::vector<std::string> Ffmpeg(const std::string& source, const std::string& codec)
{
    std::vector<std::string> args = kFfmpegQuiet;
    args.insert(args.end(), {"-f", "lavfi", "-i", source, "-c:a", codec, "-f", "voc", "{voc}"});
    return args;
}

std::vector<std::string> Sox(const std::string& rate, const std::string& channels, const std::string& bits,
    const std::string& encoding, std::vector<std::string> synth)
{
    std::vector<std::string> args = {"-n", "-r", rate, "-c", channels, "-b", bits, "-e", encoding, "{voc}", "synth"};
    args.insert(args.end(), synth.begin(), synth.end());
    return args;
}

const std::string kStereoSource = "aevalsrc=sin(440*2*PI*t)|0.5*sin(660*2*PI*t):d=0.2:s=";

const PeerCase kCases[] = {
    {"SoxUnsigned8Mono", "sox", Sox("11025", "1", "8", "unsigned-integer", {"0.25", "whitenoise"}), false, false},
    {"SoxUnsigned8Stereo", "sox", Sox("11025", "2", "8", "unsigned-integer", {"0.2", "sine", "440", "sine", "660"}),
        false, true},
    {"SoxSigned16Mono", "sox", Sox("22050", "1", "16", "signed-integer", {"0.1", "sine", "440"}), true, false},
    {"FfmpegUnsigned8Mono", "ffmpeg", Ffmpeg("sine=frequency=440:sample_rate=11025:duration=0.2", "pcm_u8"), true,
        false},
    {"FfmpegUnsigned8Stereo", "ffmpeg", Ffmpeg(kStereoSource + "11025", "pcm_u8"), true, true},
    {"FfmpegSigned16Stereo", "ffmpeg", Ffmpeg(kStereoSource + "22050", "pcm_s16le"), true, false},
};

struct Decoded {
    int channels = 0;
    int sampleRate = 0;
    int subtype = 0;              // SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, ...
    std::vector<short> samples;   // all channels, interleaved
};

std::optional<Decoded> Decode(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file)
        return std::nullopt;
    Decoded decoded{info.channels, info.samplerate, info.format & SF_FORMAT_SUBMASK, {}};
    decoded.samples.resize(std::size_t(info.frames) * std::size_t(info.channels));
    const sf_count_t got = sf_readf_short(file, decoded.samples.data(), info.frames);
    sf_close(file);
    decoded.samples.resize(std::size_t(got) * std::size_t(info.channels));
    return decoded;
}

class JbxtoolPeer : public ::testing::TestWithParam<PeerCase> {};

TEST_P(JbxtoolPeer, ConvertsAsAnotherReaderDecodes)
{
    const PeerCase& c = GetParam();
    TempDir dir;
    const std::string voc = dir.file("peer.voc");
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
        if (arg == "{voc}")
            arg = voc;
    const RunResult made = RunProgram(c.program, args);
    if (made.exitCode < 0)
        GTEST_SKIP() << c.program << " is not installed; it writes this case's voice file";
    ASSERT_EQ(made.exitCode, 0) << c.program << " failed: " << made.err;

    const RunResult converted = RunJbxtool({"convert", voc, dir.file("ours.wav")});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;

    std::string referencePath = voc;
    if (c.ffmpegReference) {
        referencePath = dir.file("reference.wav");
        std::vector<std::string> decode = kFfmpegQuiet;
        decode.insert(decode.end(), {"-i", voc, "-c:a", "copy", referencePath});
        const RunResult decoded = RunProgram("ffmpeg", decode);
        if (decoded.exitCode < 0)
            GTEST_SKIP() << "ffmpeg is not installed; it decodes this case's reference";
        ASSERT_EQ(decoded.exitCode, 0) << "ffmpeg could not decode " << voc << ": " << decoded.err;
    }

    const auto reference = Decode(referencePath);
    ASSERT_TRUE(reference) << "libsndfile: " << sf_strerror(nullptr);
    const auto ours = Decode(dir.file("ours.wav"));
    ASSERT_TRUE(ours) << "libsndfile cannot read our WAVE image: " << sf_strerror(nullptr);
    ASSERT_GT(reference->samples.size(), 1000u) << "the peer wrote almost nothing";

    EXPECT_EQ(ours->subtype, reference->subtype);
    if (c.stereoAsMono) {
        EXPECT_EQ(reference->channels, 2);
        // Both round a type 8 time constant, the reference per channel.
        EXPECT_NEAR(ours->sampleRate * ours->channels, reference->sampleRate * reference->channels,
            reference->channels);
    } else {
        EXPECT_EQ(ours->channels, reference->channels);
        EXPECT_EQ(ours->sampleRate, reference->sampleRate);
    }
    EXPECT_TRUE(ours->samples == reference->samples) << "the sample data differ";
}

INSTANTIATE_TEST_SUITE_P(VoiceFiles, JbxtoolPeer, ::testing::ValuesIn(kCases),
    [](const ::testing::TestParamInfo<PeerCase>& info) { return info.param.name; });

} // namespace
} // namespace jbx::testing
