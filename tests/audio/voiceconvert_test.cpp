#include "audio/voiceconvert.h"

#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

// What a WAVE image must say, with every derived field spelled out so that
// the expectation does not repeat the converter's arithmetic.
struct Wave {
    std::uint16_t channels = 1;
    std::uint32_t sampleRate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint16_t blockAlign = 1;
    std::uint16_t bits = 8;
    Bytes samples;
};

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes ImageOf(const Wave& wave)
{
    const bool odd = wave.samples.size() % 2 == 1;
    Bytes image;
    PutText(image, "RIFF");
    PutLE32(image, std::uint32_t(36 + wave.samples.size() + (odd ? 1 : 0)));
    PutText(image, "WAVE");
    PutText(image, "fmt ");
    PutLE32(image, 16);
    PutLE16(image, 1);
    PutLE16(image, wave.channels);
    PutLE32(image, wave.sampleRate);
    PutLE32(image, wave.bytesPerSecond);
    PutLE16(image, wave.blockAlign);
    PutLE16(image, wave.bits);
    PutText(image, "data");
    PutLE32(image, std::uint32_t(wave.samples.size()));
    image.insert(image.end(), wave.samples.begin(), wave.samples.end());
    if (odd)
        image.push_back(0);
    return image;
}

// A type 9 body: rate, bits, channels, six bytes the converter must not
// take as sound, then the samples.
Bytes NewFormBody(std::uint32_t rate, std::uint8_t bits, std::uint8_t channels, const Bytes& samples)
{
    Bytes body;
    PutLE32(body, rate);
    body.push_back(bits);
    body.push_back(channels);
    body.insert(body.end(), 6, 0x77);
    body.insert(body.end(), samples.begin(), samples.end());
    return body;
}

// Type 8 body for time constant 53,926 (22,049 samples per second).
Bytes Extended22049(std::uint8_t mode)
{
    return {0xA6, 0xD2, 0x00, mode};
}

struct Converted {
    Bytes output;
    std::int32_t size = 0;
};

class VoiceConvertTest : public ::testing::Test {
protected:
    Converted convert(const Bytes& input, MainWindowView* owner = nullptr, std::uint8_t fill = 0)
    {
        Converted result{Bytes(input.size() + 48, fill), std::int32_t(input.size())};
        ConvertVoiceFile(session, result.output, input, result.size, owner);
        return result;
    }

    void expectImage(const Converted& result, const Wave& wave)
    {
        const Bytes image = ImageOf(wave);
        ASSERT_LE(image.size(), result.output.size());
        EXPECT_EQ(Bytes(result.output.begin(), result.output.begin() + std::ptrdiff_t(image.size())), image);
        EXPECT_EQ(result.size, std::int32_t(image.size()) - 1);
        EXPECT_TRUE(std::all_of(result.output.begin() + std::ptrdiff_t(image.size()), result.output.end(),
            [](std::uint8_t b) { return b == 0; }))
            << "bytes after the image must stay zero";
    }

    FakeDesktop desktop;
    Session session{desktop};
    FakeMainWindow window;
};

// ---------------------------------------------------------------------------
// Block types and the parameters they set; the end of the input; short
// blocks. None of these files asks anything.

struct BlockCase {
    std::string name;
    Bytes file;
    Wave wave;
};

std::vector<BlockCase> BlockCases()
{
    using B = VoiceFileBuilder;
    const Wave mono11111{1, 11111, 11111, 1, 8, {}};
    auto with = [](Wave w, Bytes samples) {
        w.samples = std::move(samples);
        return w;
    };
    return {
        {"SoundBlockOddCountIsPadded", B().soundBlock(166, Ramp(5)).terminator().build(),
            with(mono11111, Ramp(5))},
        {"SoundBlockEvenCount", B().soundBlock(156, Ramp(6)).terminator().build(),
            {1, 10000, 10000, 1, 8, Ramp(6)}},
        {"ExtendedStereoThenSoundBlockIsMonoAtExtendedRate",
            // The type 1 parameters would give 3,906 if they were read.
            B().block(8, Extended22049(1)).block(1, Join({{0, 0}, Ramp(4)})).terminator().build(),
            {1, 22049, 22049, 1, 8, Ramp(4)}},
        {"ExtendedReadsFourBytesWhateverItsLength",
            B().raw({8, 10, 0, 0, 0x53, 0xE9, 0, 0}).block(1, Join({{0, 0}, Ramp(3)})).terminator().build(),
            {1, 44099, 44099, 1, 8, Ramp(3)}},
        {"ExtendedMarkServesOneSoundBlock",
            B().block(8, Extended22049(1))
                .block(1, Join({{0, 0}, Ramp(2)}))
                .soundBlock(166, Ramp(2, 10))
                .terminator()
                .build(),
            with(mono11111, Join({Ramp(2), Ramp(2, 10)}))},
        {"ContinuationDoesNotUseUpExtendedMark",
            B().block(8, Extended22049(1))
                .block(2, Ramp(3))
                .block(1, Join({{0, 0}, Ramp(2, 10)}))
                .terminator()
                .build(),
            {1, 22049, 22049, 1, 8, Join({Ramp(3), Ramp(2, 10)})}},
        {"ExtendedStereoWithoutSoundBlockStaysStereo",
            B().block(8, Extended22049(1)).block(2, Ramp(4)).terminator().build(),
            {2, 22049, 44098, 2, 8, Ramp(4)}},
        {"NewFormStereo16Bit", B(20).block(9, NewFormBody(44100, 16, 2, Ramp(8))).terminator().build(),
            {2, 44100, 176400, 4, 16, Ramp(8)}},
        {"NewFormMono8Bit", B(20).block(9, NewFormBody(22050, 8, 1, Ramp(3))).terminator().build(),
            {1, 22050, 22050, 1, 8, Ramp(3)}},
        {"NewFormAnyOtherChannelCountIsStereo",
            B(20).block(9, NewFormBody(8000, 8, 4, Ramp(2))).terminator().build(),
            {2, 8000, 16000, 2, 8, Ramp(2)}},
        {"LastParametersWin",
            B().soundBlock(166, Ramp(2)).block(9, NewFormBody(8000, 16, 1, Ramp(2, 10))).terminator().build(),
            {1, 8000, 16000, 2, 16, Join({Ramp(2), Ramp(2, 10)})}},
        {"SilenceBetweenContinuationsAddsNothing",
            B().soundBlock(166, Ramp(3)).block(3, {0x40, 0x1F, 0xA6}).block(2, Ramp(4, 100)).terminator().build(),
            with(mono11111, Join({Ramp(3), Ramp(4, 100)}))},
        {"MarkerTextAndRepeatStartArePassedOver",
            B().soundBlock(166, Ramp(2))
                .block(4, {1, 0})
                .block(5, ToBytes(std::string("hi", 3)))
                .block(6, {0xFF, 0xFF})
                .block(2, Ramp(2, 50))
                .terminator()
                .build(),
            with(mono11111, Join({Ramp(2), Ramp(2, 50)}))},
        {"RepeatEndDoesNotPassOverItsLength",
            B().soundBlock(166, Ramp(2)).raw({7, 4, 0, 0}).block(2, Ramp(2, 50)).terminator().build(),
            with(mono11111, Join({Ramp(2), Ramp(2, 50)}))},
        {"ContinuationWithThreeByteLength", B().block(2, Ramp(70000)).terminator().build(),
            {1, 0, 0, 1, 8, Ramp(70000)}},
        {"NoFormatBlockIsMono", B().block(2, Ramp(3)).terminator().build(), {1, 0, 0, 1, 8, Ramp(3)}},
        {"WalkStartsAtDataOffset",
            B().dataOffset(30).raw({2, 9, 9, 9}).soundBlock(166, Ramp(3)).terminator().build(),
            with(mono11111, Ramp(3))},
        {"TerminatorEndsWalk", B().soundBlock(166, Ramp(3)).terminator().block(2, Ramp(4)).build(),
            with(mono11111, Ramp(3))},
        {"HeaderOnly", B().build(), {1, 0, 0, 1, 8, {}}},

        // A type 1 block below 2 bytes or a type 9 block below 12 is passed
        // over by its declared length and sets nothing.
        {"ShortSoundBlockChangesNothing",
            B(20).block(9, NewFormBody(8000, 16, 2, Ramp(4)))
                .block(1, {0xA6})
                .block(1, {})
                .block(2, Ramp(2, 9))
                .terminator()
                .build(),
            {2, 8000, 32000, 4, 16, Join({Ramp(4), Ramp(2, 9)})}},
        {"ShortNewFormBlockChangesNothing",
            B().soundBlock(166, Ramp(3))
                .block(9, {0x44, 0xAC, 0, 0, 16, 2, 0, 0, 0, 0, 0})
                .block(2, Ramp(2, 9))
                .terminator()
                .build(),
            with(mono11111, Join({Ramp(3), Ramp(2, 9)}))},

        // The end of the input acts as a terminator.
        {"EndWithoutTerminator", B().soundBlock(166, Ramp(5)).build(), with(mono11111, Ramp(5))},
        {"SoundBodyRunsPastEnd", B().block(1, 12, Join({{166, 0}, Ramp(4)})).build(), with(mono11111, Ramp(4))},
        {"ContinuationRunsPastEnd", B().soundBlock(166, Ramp(2)).block(2, 100, Ramp(3, 40)).build(),
            with(mono11111, Join({Ramp(2), Ramp(3, 40)}))},
        {"ForcedSilenceRunsPastEnd", B().soundBlock(166, Ramp(2)).block(3, 100, {0, 0}).build(),
            with(mono11111, Ramp(2))},
        {"LengthCutOff", B().soundBlock(166, Ramp(2)).raw({2, 5}).build(), with(mono11111, Ramp(2))},
        {"SoundParametersCutOff", B().soundBlock(166, Ramp(2)).raw({1, 4, 0, 0, 0x9C}).build(),
            with(mono11111, Ramp(2))},
        {"ExtendedCutOff", B().soundBlock(166, Ramp(2)).raw({8, 4, 0, 0, 0xA6, 0xD2, 0}).build(),
            with(mono11111, Ramp(2))},
        {"NewFormParametersCutOff",
            B().soundBlock(166, Ramp(2)).raw({9, 20, 0, 0, 0x44, 0xAC, 0, 0, 16, 2, 0, 0}).build(),
            with(mono11111, Ramp(2))},
        {"DataOffsetBeyondInput", B().dataOffset(500).soundBlock(166, Ramp(3)).build(), {1, 0, 0, 1, 8, {}}},
    };
}

void PrintTo(const BlockCase& c, std::ostream* out)
{
    *out << c.name;
}

class BlockTypes : public VoiceConvertTest, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BlockTypes, BuildsTheImage)
{
    const BlockCase& c = GetParam();
    const Converted result = convert(c.file);
    expectImage(result, c.wave);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.unknownBlockQuestions.empty());
}

INSTANTIATE_TEST_SUITE_P(VoiceConvert, BlockTypes, ::testing::ValuesIn(BlockCases()),
    [](const ::testing::TestParamInfo<BlockCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// The header: signature and version.

const Message kNotVoiceFile{"Not a Creative Voice File", "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::None};
const Message kUnknownVersion{"Unknown Voice File Version.\n\nProcess anyway?", "Error", MessageButtons::YesNo,
    MessageIcon::Stop, Owner::None};

TEST_F(VoiceConvertTest, RefusesWhatIsNotAVoiceFile)
{
    const Bytes good = VoiceFileBuilder().soundBlock(166, Ramp(4)).terminator().build();
    Bytes wrongLetter = good;
    wrongLetter[0] = 'c';
    Bytes wrongEnd = good;
    wrongEnd[19] = 0x1B;
    const std::vector<Bytes> inputs{
        {},
        Bytes(good.begin(), good.begin() + 25),   // one byte short of a header
        wrongLetter,
        wrongEnd,
        ToBytes("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x11\x2b\0\0"),
    };
    for (const Bytes& input : inputs) {
        SCOPED_TRACE(::testing::PrintToString(input));
        desktop.messages.clear();
        const Converted result = convert(input, &window, 0xEE);
        EXPECT_EQ(desktop.messages, std::vector<Message>{kNotVoiceFile});
        EXPECT_EQ(result.size, std::int32_t(input.size()));
        EXPECT_EQ(result.output, Bytes(input.size() + 48, 0xEE));
    }
}

// Version bytes other than 1.10 and 1.20 with their check word.
struct VersionCase {
    std::string name;
    std::uint8_t minor, major;
    std::optional<std::pair<std::uint8_t, std::uint8_t>> check;   // else the matching one
};

void PrintTo(const VersionCase& c, std::ostream* out)
{
    *out << c.name;
}

class UnknownVersion : public VoiceConvertTest, public ::testing::WithParamInterface<VersionCase> {
protected:
    Bytes file() const
    {
        const VersionCase& c = GetParam();
        VoiceFileBuilder builder(c.minor, c.major);
        if (c.check)
            builder.check(c.check->first, c.check->second);
        return builder.soundBlock(166, Ramp(3)).terminator().build();
    }
};

TEST_P(UnknownVersion, YesConvertsAsForAKnownVersion)
{
    desktop.messageAnswers.push_back(MessageAnswer::Yes);
    const Converted result = convert(file());
    expectImage(result, {1, 11111, 11111, 1, 8, Ramp(3)});
    EXPECT_EQ(desktop.messages, std::vector<Message>{kUnknownVersion});
}

TEST_P(UnknownVersion, NoLeavesOutputAndSizeAlone)
{
    desktop.messageAnswers.push_back(MessageAnswer::No);
    const Bytes input = file();
    const Converted result = convert(input, nullptr, 0xEE);
    EXPECT_EQ(desktop.messages, std::vector<Message>{kUnknownVersion});
    EXPECT_EQ(result.size, std::int32_t(input.size()));
    EXPECT_EQ(result.output, Bytes(input.size() + 48, 0xEE));
}

using CheckWord = std::pair<std::uint8_t, std::uint8_t>;

INSTANTIATE_TEST_SUITE_P(VoiceConvert, UnknownVersion,
    ::testing::Values(VersionCase{"V1_15", 15, 1, std::nullopt},
        VersionCase{"V2_10", 10, 2, std::nullopt},
        VersionCase{"V1_10WrongCheckHigh", 10, 1, CheckWord{0x29, 0x12}},
        VersionCase{"V1_20WithCheckOf1_10", 20, 1, CheckWord{0x29, 0x11}}),
    [](const ::testing::TestParamInfo<VersionCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Blocks of unknown type.

struct UnknownCase {
    std::string name;
    UnknownBlockChoice choice;
    Bytes samples;
};

void PrintTo(const UnknownCase& c, std::ostream* out)
{
    *out << c.name;
}

class UnknownBlock : public VoiceConvertTest, public ::testing::WithParamInterface<UnknownCase> {
protected:
    const Bytes file = VoiceFileBuilder()
                           .soundBlock(166, Ramp(3))
                           .block(12, Ramp(6, 200))
                           .block(2, Ramp(2, 50))
                           .terminator()
                           .build();
};

TEST_P(UnknownBlock, ActsOnTheChoiceAndShowsTheDetails)
{
    session.bank.currentSlot = 7;
    for (MainWindowView* owner : {static_cast<MainWindowView*>(&window), static_cast<MainWindowView*>(nullptr)}) {
        SCOPED_TRACE(owner ? "with window" : "without window");
        desktop.unknownBlockQuestions.clear();
        desktop.unknownBlockAnswers = {GetParam().choice};
        const Converted result = convert(file, owner);
        expectImage(result, {1, 11111, 11111, 1, 8, GetParam().samples});
        ASSERT_EQ(desktop.unknownBlockQuestions.size(), 1u);
        EXPECT_EQ(desktop.unknownBlockQuestions[0].first, (UnknownBlockDetails{7, 12, 6}));
        EXPECT_EQ(desktop.unknownBlockQuestions[0].second, owner ? Owner::MainWindow : Owner::None);
    }
    EXPECT_TRUE(desktop.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(VoiceConvert, UnknownBlock,
    ::testing::Values(UnknownCase{"Skip", UnknownBlockChoice::SkipBlock, Join({Ramp(3), Ramp(2, 50)})},
        UnknownCase{"Force", UnknownBlockChoice::ForceConversion, Join({Ramp(3), Ramp(6, 200), Ramp(2, 50)})},
        UnknownCase{"Stop", UnknownBlockChoice::StopConversion, Ramp(3)}),
    [](const ::testing::TestParamInfo<UnknownCase>& info) { return info.param.name; });

TEST_F(VoiceConvertTest, StopLeavesTheUnknownBodyUnread)
{
    desktop.unknownBlockAnswers = {UnknownBlockChoice::StopConversion};
    convert(VoiceFileBuilder().soundBlock(166, Ramp(3)).block(12, Ramp(6)).terminator().build());
    // Header 26, sound block 4 + 5, then the unknown block's type and length.
    EXPECT_EQ(session.voice.voiceCursor, 26u + 9u + 4u);
    EXPECT_EQ(session.voice.voiceBlockType, 12u);
    EXPECT_EQ(session.voice.voiceBlockLength, 6u);
}

TEST_F(VoiceConvertTest, EveryTypeAboveNineIsUnknown)
{
    for (std::uint8_t type : {10, 255}) {
        desktop.unknownBlockQuestions.clear();
        desktop.unknownBlockAnswers = {UnknownBlockChoice::SkipBlock};
        const Converted result = convert(
            VoiceFileBuilder().block(type, Ramp(5)).soundBlock(166, Ramp(3)).terminator().build());
        expectImage(result, {1, 11111, 11111, 1, 8, Ramp(3)});
        ASSERT_EQ(desktop.unknownBlockQuestions.size(), 1u);
        EXPECT_EQ(desktop.unknownBlockQuestions[0].first.blockType, type);
        EXPECT_EQ(desktop.unknownBlockQuestions[0].first.blockLength, 5u);
    }
}

TEST_F(VoiceConvertTest, ForcedBodyRunningPastEndTakesWhatThereIs)
{
    desktop.unknownBlockAnswers = {UnknownBlockChoice::ForceConversion};
    const Converted result =
        convert(VoiceFileBuilder().soundBlock(166, Ramp(2)).block(40, 1000, Ramp(5, 90)).build());
    expectImage(result, {1, 11111, 11111, 1, 8, Join({Ramp(2), Ramp(5, 90)})});
}

// ---------------------------------------------------------------------------
// The parse state that the dialog shows.

TEST_F(VoiceConvertTest, TerminatorKeepsThePreviousLengthAcrossConversions)
{
    convert(VoiceFileBuilder().soundBlock(166, Ramp(5)).terminator().build());
    EXPECT_EQ(session.voice.voiceBlockType, 0u);
    EXPECT_EQ(session.voice.voiceBlockLength, 7u);
    EXPECT_EQ(session.voice.voiceCursor, 26u + 4u + 7u + 1u);

    const Converted result = convert(VoiceFileBuilder().dataOffset(27).raw({0x55}).terminator().build());
    expectImage(result, {1, 0, 0, 1, 8, {}});
    EXPECT_EQ(session.voice.voiceBlockType, 0u);
    EXPECT_EQ(session.voice.voiceBlockLength, 7u);
    EXPECT_EQ(session.voice.voiceCursor, 28u);
}

TEST_F(VoiceConvertTest, ReadVoiceByteStopsAtTheEnd)
{
    const Bytes input{0x10, 0xF0};
    session.voice.voiceCursor = 1;
    EXPECT_EQ(ReadVoiceByte(session, input), std::optional<std::uint8_t>(0xF0));
    EXPECT_EQ(session.voice.voiceCursor, 2u);
    EXPECT_EQ(ReadVoiceByte(session, input), std::nullopt);
    EXPECT_EQ(session.voice.voiceCursor, 2u);
}

// ---------------------------------------------------------------------------
// Building into an output that is too small.

Message BuildError(const std::string& text, MessageIcon icon)
{
    return {text, "VOC Conversion Error", MessageButtons::Ok, icon, Owner::None};
}

struct ShortOutputCase {
    std::size_t length;
    std::string text;
    MessageIcon icon;
};

TEST_F(VoiceConvertTest, OutputTooSmallForTheHeadersFailsTheBuild)
{
    const std::vector<ShortOutputCase> cases{
        {0, "Failed to open wave buffer.", MessageIcon::Asterisk},
        {1, "Unable to write RIFF header", MessageIcon::Stop},
        {11, "Unable to write RIFF header", MessageIcon::Stop},
        {12, "Unable to write format chunk", MessageIcon::Stop},
        {35, "Unable to write format chunk", MessageIcon::Stop},
        {36, "Unable to write data chunk", MessageIcon::Stop},
        {43, "Unable to write data chunk", MessageIcon::Stop},
    };
    const Bytes samples = Ramp(9);
    VoiceFormat format;
    format.sampleCount = 9;
    format.sampleRate = 11111;
    for (const ShortOutputCase& c : cases) {
        SCOPED_TRACE(c.length);
        desktop.messages.clear();
        // The bytes after the output stand guard.
        Bytes buffer(c.length + 16, 0);
        std::int32_t size = 12345;
        BuildWaveImage(session, std::span(buffer).first(c.length), samples, size, format);
        EXPECT_EQ(size, std::int32_t(c.length));
        EXPECT_EQ(desktop.messages, std::vector<Message>{BuildError(c.text, c.icon)});
        EXPECT_TRUE(std::all_of(buffer.begin() + std::ptrdiff_t(c.length), buffer.end(),
            [](std::uint8_t b) { return b == 0; }));
    }
}

TEST_F(VoiceConvertTest, ConvertIntoTooSmallOutputReportsItsLength)
{
    const Bytes input = VoiceFileBuilder().soundBlock(166, Ramp(4)).terminator().build();
    Bytes output(40, 0);
    std::int32_t size = std::int32_t(input.size());
    ConvertVoiceFile(session, output, input, size, nullptr);
    EXPECT_EQ(size, 40);
    EXPECT_EQ(desktop.messages,
        std::vector<Message>{BuildError("Unable to write data chunk", MessageIcon::Stop)});
}

TEST_F(VoiceConvertTest, BuildWritesThePadByteAndNothingAfterIt)
{
    const Bytes samples = Ramp(3, 7);
    VoiceFormat format;
    format.sampleCount = 3;
    format.sampleRate = 8000;
    Bytes output(64, 0xEE);
    std::int32_t size = 0;
    BuildWaveImage(session, output, samples, size, format);
    const Bytes image = ImageOf({1, 8000, 8000, 1, 8, samples});
    ASSERT_EQ(image.size(), 48u);
    EXPECT_EQ(Bytes(output.begin(), output.begin() + 48), image);
    EXPECT_EQ(size, 47);
    EXPECT_EQ(Bytes(output.begin() + 48, output.end()), Bytes(16, 0xEE));
}

TEST_F(VoiceConvertTest, SamplesThatDoNotFitAreCutOff)
{
    const Bytes samples = Ramp(10, 1);
    VoiceFormat format;
    format.sampleCount = 10;
    format.sampleRate = 8000;
    // An odd count that fills the output leaves no room for its pad byte, so
    // the last sample goes too.
    for (const auto& [length, kept] : std::vector<std::pair<std::size_t, std::size_t>>{{47, 2}, {48, 4}, {44, 0}}) {
        SCOPED_TRACE(length);
        Bytes buffer(length + 16, 0);
        std::int32_t size = 0;
        BuildWaveImage(session, std::span(buffer).first(length), samples, size, format);
        const Bytes image = ImageOf({1, 8000, 8000, 1, 8, Bytes(samples.begin(), samples.begin() + std::ptrdiff_t(kept))});
        EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + std::ptrdiff_t(image.size())), image);
        EXPECT_EQ(size, std::int32_t(image.size()) - 1);
        EXPECT_TRUE(std::all_of(buffer.begin() + std::ptrdiff_t(image.size()), buffer.end(),
            [](std::uint8_t b) { return b == 0; }));
    }
    EXPECT_TRUE(desktop.messages.empty());
}

} // namespace
} // namespace jbx::testing
