// Voice files written by other programs (sox, ffmpeg), converted by
// `jbxtool convert`, and compared with another reader's decoding of the same
// file. libsndfile reads both sides, so the WAVE image's header is checked by
// a reader that is not ours.
//
// What the peers write (read off their files):
//   sox 8-bit mono       one type 1 block, version 1.10
//   sox 8-bit stereo     type 8 (stereo) + type 1
//   sox 16-bit           one type 9 block whose declared length is 8 bytes
//                        short of its samples (sox 14.4)
//   ffmpeg 8-bit mono    type 1 + type 2 continuations of 1024 bytes, 1.20
//   ffmpeg 8-bit stereo  type 8 + type 1 + type 2 continuations
//   ffmpeg 16-bit        type 9 + type 2 continuations, mono or stereo
//
// The reference is libsndfile's decoding of the voice file where libsndfile
// reads it faithfully; it refuses files with continuation blocks of 8-bit
// data ("incompatible VOC sections") and takes the headers of 16-bit
// continuation blocks for samples. There, and for sox's short 16-bit block,
// which libsndfile reads past, the reference is ffmpeg's decoding of the
// voice file, read back by libsndfile.

#include "tests/cli/runtool.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

enum class Reference {
    LibsndfileReadsTheVoiceFile,
    FfmpegDecodesTheVoiceFile,
};

enum class Check {
    FormatAndSamples,
    // Stereo announced by a type 8 block comes out as one channel at twice
    // the rate: the same bytes at the same speed, a different format.
    SamplesAndSpeed,
};

struct PeerCase {
    std::string name;
    std::string program;
    std::vector<std::string> args;   // "{voc}" stands for the file to write
    Reference reference;
    Check check;
};

std::ostream& operator<<(std::ostream& out, const PeerCase& c)
{
    return out << c.name;
}

const std::string kFfmpegQuiet[] = {"-nostdin", "-v", "error", "-y"};

std::vector<std::string> Ffmpeg(const std::string& source, std::vector<std::string> encode)
{
    std::vector<std::string> args(std::begin(kFfmpegQuiet), std::end(kFfmpegQuiet));
    args.insert(args.end(), {"-f", "lavfi", "-i", source});
    args.insert(args.end(), encode.begin(), encode.end());
    args.insert(args.end(), {"-f", "voc", "{voc}"});
    return args;
}

const PeerCase kCases[] = {
    {"SoxUnsigned8Mono8000", "sox",
        {"-n", "-r", "8000", "-c", "1", "-b", "8", "-e", "unsigned-integer", "{voc}", "synth", "0.3", "sine", "440"},
        Reference::LibsndfileReadsTheVoiceFile, Check::FormatAndSamples},
    {"SoxUnsigned8MonoNoise11025", "sox",
        {"-n", "-r", "11025", "-c", "1", "-b", "8", "-e", "unsigned-integer", "{voc}", "synth", "0.25", "whitenoise"},
        Reference::LibsndfileReadsTheVoiceFile, Check::FormatAndSamples},
    {"SoxUnsigned8Stereo11025", "sox",
        {"-n", "-r", "11025", "-c", "2", "-b", "8", "-e", "unsigned-integer", "{voc}", "synth", "0.2", "sine", "440",
            "sine", "660"},
        Reference::LibsndfileReadsTheVoiceFile, Check::SamplesAndSpeed},
    // The block's declared length ends 4 frames early; what follows it reads
    // as a block of unknown type, where the conversion stops by default.
    {"SoxSigned16Mono22050", "sox",
        {"-n", "-r", "22050", "-c", "1", "-b", "16", "-e", "signed-integer", "{voc}", "synth", "0.1", "sine", "440"},
        Reference::FfmpegDecodesTheVoiceFile, Check::FormatAndSamples},
    {"FfmpegUnsigned8Mono", "ffmpeg",
        Ffmpeg("sine=frequency=440:sample_rate=11025:duration=0.2", {"-ac", "1", "-c:a", "pcm_u8"}),
        Reference::FfmpegDecodesTheVoiceFile, Check::FormatAndSamples},
    {"FfmpegSigned16Mono", "ffmpeg",
        Ffmpeg("sine=frequency=440:sample_rate=22050:duration=0.2", {"-ac", "1", "-c:a", "pcm_s16le"}),
        Reference::FfmpegDecodesTheVoiceFile, Check::FormatAndSamples},
    {"FfmpegSigned16Stereo", "ffmpeg",
        Ffmpeg("aevalsrc=sin(440*2*PI*t)|0.5*sin(660*2*PI*t):s=22050:d=0.2", {"-c:a", "pcm_s16le"}),
        Reference::FfmpegDecodesTheVoiceFile, Check::FormatAndSamples},
    {"FfmpegUnsigned8Stereo", "ffmpeg",
        Ffmpeg("aevalsrc=sin(440*2*PI*t)|0.5*sin(660*2*PI*t):s=11025:d=0.2", {"-c:a", "pcm_u8"}),
        Reference::FfmpegDecodesTheVoiceFile, Check::SamplesAndSpeed},
};

struct Decoded {
    int channels = 0;
    int sampleRate = 0;
    int subtype = 0;                   // SF_FORMAT_PCM_U8, SF_FORMAT_PCM_16, ...
    std::vector<short> samples;        // all channels, interleaved
};

std::optional<Decoded> Decode(const std::string& path, std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = sf_strerror(nullptr);
        return std::nullopt;
    }
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
    if (!FindOnPath(c.program))
        GTEST_SKIP() << c.program << " is not installed; it writes this case's voice file";
    if (c.reference == Reference::FfmpegDecodesTheVoiceFile && !FindOnPath("ffmpeg"))
        GTEST_SKIP() << "ffmpeg is not installed; it decodes this case's reference";

    TempDir dir;
    const std::string voc = dir.file("peer.voc");
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
        if (arg == "{voc}")
            arg = voc;
    const RunResult made = RunProgram(c.program, args);
    ASSERT_EQ(made.exitCode, 0) << c.program << " failed: " << made.err;

    const RunResult converted = RunJbxtool({"convert", voc, dir.file("ours.wav")});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;

    std::string referencePath = voc;
    if (c.reference == Reference::FfmpegDecodesTheVoiceFile) {
        referencePath = dir.file("reference.wav");
        std::vector<std::string> decode(std::begin(kFfmpegQuiet), std::end(kFfmpegQuiet));
        decode.insert(decode.end(), {"-i", voc, "-c:a", "copy", referencePath});
        const RunResult decoded = RunProgram("ffmpeg", decode);
        ASSERT_EQ(decoded.exitCode, 0) << "ffmpeg could not decode " << voc << ": " << decoded.err;
    }

    std::string error;
    const auto reference = Decode(referencePath, error);
    ASSERT_TRUE(reference) << "libsndfile: " << error;
    const auto ours = Decode(dir.file("ours.wav"), error);
    ASSERT_TRUE(ours) << "libsndfile cannot read our WAVE image: " << error;
    ASSERT_GT(reference->samples.size(), 1000u) << "the peer wrote almost nothing";

    EXPECT_EQ(ours->subtype, reference->subtype);
    if (c.check == Check::FormatAndSamples) {
        EXPECT_EQ(ours->channels, reference->channels);
        EXPECT_EQ(ours->sampleRate, reference->sampleRate);
    } else {
        EXPECT_EQ(reference->channels, 2);
        // Both round a type 8 time constant, the reference per channel.
        EXPECT_NEAR(ours->sampleRate * ours->channels, reference->sampleRate * reference->channels,
            reference->channels);
    }
    ASSERT_EQ(ours->samples.size(), reference->samples.size());
    EXPECT_TRUE(ours->samples == reference->samples) << "the sample data differ";
}

INSTANTIATE_TEST_SUITE_P(VoiceFiles, JbxtoolPeer, ::testing::ValuesIn(kCases),
    [](const ::testing::TestParamInfo<PeerCase>& info) { return info.param.name; });

} // namespace
} // namespace jbx::testing
