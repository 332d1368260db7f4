#include "audio/voiceconvert.h"
#include "audio/voicestream.h"

#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <tuple>
#include <vector>

namespace jbx::testing {
namespace {

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes Image(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& samples)
{
    return WaveImage(1, channels, rate, bits, samples);
}

// 8-bit mono at time constant 166.
Bytes Mono(const Bytes& samples)
{
    return Image(1, 11111, 8, samples);
}

// The image, its size (one less than its length), and nothing written after it.
void ExpectImage(const Bytes& output, std::int32_t size, const Bytes& image, std::uint8_t fill)
{
    ASSERT_LE(image.size(), output.size());
    EXPECT_EQ(Bytes(output.begin(), output.begin() + std::ptrdiff_t(image.size())), image);
    EXPECT_EQ(size, std::int32_t(image.size()) - 1);
    EXPECT_TRUE(std::all_of(output.begin() + std::ptrdiff_t(image.size()), output.end(),
        [fill](std::uint8_t b) { return b == fill; }));
}

class VoiceConvertTest : public ::testing::Test {
protected:
    // Converts into an output of fill bytes, to see what is left alone.
    std::int32_t convert(const Bytes& input, Owner owner = Owner::None, std::uint8_t fill = 0)
    {
        output = Bytes(input.size() + 48, fill);
        std::int32_t size = std::int32_t(input.size());
        result = ConvertVoiceFile({desktop, soundNumber, owner}, output, input, size);
        return size;
    }

    FakeDesktop desktop;
    int soundNumber = 0;
    Bytes output;
    ConvertResult result = ConvertResult::BuildFailed;
};

TEST_F(VoiceConvertTest, BlockTypesShortBlocksAndTheEndOfInput)
{
    using B = VoiceFileBuilder;
    const Bytes stereo22049{0xA6, 0xD2, 0x00, 1};   // type 8: time constant 53,926, stereo
    const std::tuple<const char*, Bytes, Bytes> cases[] = {   // what, voice file, image
        {"odd count is padded; the terminator ends the walk",
            B().soundBlock(166, Ramp(5)).terminator().block(2, Ramp(4)).build(), Mono(Ramp(5))},
        // Rate 44,100, 16 bits, 2 channels, then six bytes that are not sound.
        {"type 9 16-bit stereo; the end of the input ends the walk",
            B(20).block(9, Join({{0x44, 0xAC, 0, 0, 16, 2}, Bytes(6, 0x77), Ramp(8)})).build(),
            Image(2, 44100, 16, Ramp(8))},
        {"walk starts at the data offset; type 7 does not pass over its length",
            B().dataOffset(30).raw({2, 9, 9, 9}).soundBlock(166, Ramp(2)).raw({7, 4, 0, 0})
                .block(2, Ramp(2, 50)).build(),
            Mono(Join({Ramp(2), Ramp(2, 50)}))},
        {"type 8 stereo sets what follows; a three-byte length", B().block(8, stereo22049).block(2, Ramp(70000)).build(),
            Image(2, 22049, 8, Ramp(70000))},
        {"short type 1 and type 9 blocks set nothing",
            B().soundBlock(166, Ramp(3)).block(1, {0xA6}).block(9, {0x44, 0xAC, 0, 0, 16, 2, 0, 0, 0, 0, 0})
                .block(2, Ramp(2, 9)).build(),
            Mono(Join({Ramp(3), Ramp(2, 9)}))},
        {"continuation runs past the end", B().soundBlock(166, Ramp(2)).block(2, 100, Ramp(3, 40)).build(),
            Mono(Join({Ramp(2), Ramp(3, 40)}))},
        {"type 1 without samples sets the rate", B().block(1, {0x9C, 0}).block(2, Ramp(3)).terminator().build(),
            Image(1, 10000, 8, Ramp(3))},
        // Blocks cut off set nothing; an unknown one whose length is cut off is not asked about.
        {"length cut off", B().soundBlock(166, Ramp(2)).raw({10, 5, 0}).build(), Mono(Ramp(2))},
        {"type 8 cut off", B().soundBlock(166, Ramp(2)).raw({8, 4, 0, 0, 0x00, 0xD2, 0}).build(), Mono(Ramp(2))},
        {"type 9 cut off in its unused bytes",
            B().soundBlock(166, Ramp(2)).raw({9, 20, 0, 0, 0x44, 0xAC, 0, 0, 16, 2, 0}).build(), Mono(Ramp(2))},
        {"the header alone", B().build(), Image(1, 0, 8, {})},
        // Only a channels byte of 1 is mono.
        {"type 9 without samples; no channels is two",
            B().block(9, Join({{0x44, 0xAC, 0, 0, 8, 0}, Bytes(6, 0)})).block(2, Ramp(4)).build(),
            Image(2, 44100, 8, Ramp(4))},
        {"silence, marker, text and repeat start are passed over",
            B().soundBlock(166, Ramp(2)).block(3, {0x40, 0x1F, 0xA6}).block(4, {1, 2}).block(5, {'h', 'i', 0})
                .block(6, {3, 0}).block(2, Ramp(2, 50)).terminator().build(),
            Mono(Join({Ramp(2), Ramp(2, 50)}))},
        // Were the mark cleared early, the type 1 block would set 3,906 Hz.
        {"the type 8 mark waits through type 2 and type 9 for a type 1",
            B().block(8, stereo22049).block(2, Ramp(2)).block(9, Join({{0x44, 0xAC, 0, 0, 16, 2}, Bytes(6, 0), Ramp(4, 10)}))
                .block(1, Join({{0, 0}, Ramp(2, 20)})).terminator().build(),
            Image(1, 44100, 16, Join({Ramp(2), Ramp(4, 10), Ramp(2, 20)}))},
    };
    for (const auto& [what, file, image] : cases) {
        SCOPED_TRACE(what);
        ExpectImage(output, convert(file), image, 0);
        EXPECT_EQ(result, ConvertResult::Converted);
    }
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.unknownBlockQuestions.empty());
}

TEST_F(VoiceConvertTest, TheHeaderIsCheckedBeforeAnythingIsWritten)
{
    const Message notVoice{"Not a Creative Voice File", "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::None};
    const Message unknownVersion{"Unknown Voice File Version.\n\nProcess anyway?", "Error", MessageButtons::YesNo,
        MessageIcon::Stop, Owner::None};
    Bytes wrongEnd = VoiceFileBuilder().soundBlock(166, Ramp(3)).build();
    wrongEnd[19] = 0x1B;   // the signature's last byte
    const Bytes v115 = VoiceFileBuilder(15, 1).soundBlock(166, Ramp(3)).build();
    const Bytes checkOf110 = VoiceFileBuilder(20, 1).check(0x29, 0x11).soundBlock(166, Ramp(3)).build();
    const std::tuple<Bytes, Message, MessageAnswer, ConvertResult> cases[] = {
        {Bytes(v115.begin(), v115.begin() + 25), notVoice, {}, ConvertResult::NotAVoiceFile},   // one byte short of a header
        {wrongEnd, notVoice, {}, ConvertResult::NotAVoiceFile},
        {v115, unknownVersion, MessageAnswer::No, ConvertResult::VersionRefused},
        {checkOf110, unknownVersion, MessageAnswer::No, ConvertResult::VersionRefused},
        {v115, unknownVersion, MessageAnswer::Yes, ConvertResult::Converted},
    };
    for (const auto& [input, message, answer, expected] : cases) {
        SCOPED_TRACE(::testing::PrintToString(input));
        desktop.messages.clear();
        if (message.buttons == MessageButtons::YesNo)
            desktop.messageAnswers = {answer};
        const std::int32_t size = convert(input, Owner::MainWindow, 0xEE);
        EXPECT_EQ(result, expected);
        EXPECT_EQ(desktop.messages, std::vector<Message>{message});
        if (answer == MessageAnswer::Yes) {
            ExpectImage(output, size, Mono(Ramp(3)), 0xEE);
        } else {
            EXPECT_EQ(size, std::int32_t(input.size()));
            EXPECT_EQ(output, Bytes(input.size() + 48, 0xEE));
        }
    }
}

TEST_F(VoiceConvertTest, AnUnknownBlockIsSkippedForcedOrStopsTheWalk)
{
    const Bytes file =
        VoiceFileBuilder().soundBlock(166, Ramp(3)).block(10, Ramp(6, 200)).block(2, Ramp(2, 50)).terminator().build();
    const std::tuple<UnknownBlockChoice, Owner, Bytes> cases[] = {   // choice, owner, samples
        {UnknownBlockChoice::SkipBlock, Owner::MainWindow, Join({Ramp(3), Ramp(2, 50)})},
        {UnknownBlockChoice::ForceConversion, Owner::None, Join({Ramp(3), Ramp(6, 200), Ramp(2, 50)})},
        {UnknownBlockChoice::StopConversion, Owner::MainWindow, Ramp(3)},
    };
    soundNumber = 7;
    for (const auto& [choice, owner, samples] : cases) {
        SCOPED_TRACE(int(choice));
        desktop.unknownBlockQuestions.clear();
        desktop.unknownBlockAnswers = {choice};
        ExpectImage(output, convert(file, owner), Mono(samples), 0);
        EXPECT_EQ(result, ConvertResult::Converted) << "stopping keeps the samples so far";
        EXPECT_EQ(desktop.unknownBlockQuestions, (std::vector<std::pair<UnknownBlockDetails, Owner>>{
                                                     {{7, 10, 6}, owner}}));
    }
    EXPECT_TRUE(desktop.messages.empty());
}

TEST_F(VoiceConvertTest, AnOutputTooSmallCutsSamplesOrFailsTheBuild)
{
    const struct {
        std::size_t length;
        const char* error;   // nullptr: built with the first `kept` samples
        MessageIcon icon;
        std::size_t kept;
    } cases[] = {
        {0, "Failed to open wave buffer.", MessageIcon::Asterisk, 0},
        {11, "Unable to write RIFF header", MessageIcon::Stop, 0},
        {12, "Unable to write format chunk", MessageIcon::Stop, 0},
        {36, "Unable to write data chunk", MessageIcon::Stop, 0},
        {44, nullptr, {}, 0},
        {47, nullptr, {}, 2},   // a third sample would leave no room for its pad byte
        {64, nullptr, {}, 9},
    };
    const Bytes samples = Ramp(9, 1);
    VoiceFormat format;
    format.sampleCount = 9;
    format.sampleRate = 8000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        desktop.messages.clear();
        // The bytes after the output stand guard.
        Bytes buffer(c.length + 16, 0xEE);
        std::int32_t size = 12345;
        const bool built = BuildWaveImage(desktop, std::span(buffer).first(c.length), samples, size, format);
        EXPECT_EQ(built, !c.error);
        if (c.error) {
            EXPECT_EQ(size, std::int32_t(c.length));
            EXPECT_EQ(desktop.messages,
                (std::vector<Message>{{c.error, "VOC Conversion Error", MessageButtons::Ok, c.icon, Owner::None}}));
            EXPECT_EQ(Bytes(buffer.begin() + std::ptrdiff_t(c.length), buffer.end()), Bytes(16, 0xEE));
        } else {
            const Bytes kept(samples.begin(), samples.begin() + std::ptrdiff_t(c.kept));
            ExpectImage(buffer, size, Image(1, 8000, 8, kept), 0xEE);
            EXPECT_TRUE(desktop.messages.empty());
        }
    }

    const Bytes file = VoiceFileBuilder().soundBlock(166, samples).terminator().build();
    Bytes small(43, 0);
    std::int32_t size = std::int32_t(file.size());
    EXPECT_EQ(ConvertVoiceFile({desktop}, small, file, size), ConvertResult::BuildFailed);
    EXPECT_EQ(size, 43);
}

// A voice file held in memory, read as a stream would be.
class BytesSource : public VoiceSource {
public:
    explicit BytesSource(const Bytes& bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    std::size_t read(std::uint64_t offset, std::span<std::uint8_t> into) override
    {
        const std::size_t n = std::min<std::size_t>(into.size(), bytes_.size() - std::size_t(offset));
        std::copy_n(bytes_.begin() + std::ptrdiff_t(offset), n, into.begin());
        return n;
    }
    bool copyTo(ByteSink& sink, std::uint64_t offset, std::uint64_t length) override
    {
        ++copies;
        return sink.write(std::span(bytes_).subspan(std::size_t(offset), std::size_t(length)));
    }
    void markChanged() override { changed = true; }
    int copies = 0;
    bool changed = false;

private:
    const Bytes& bytes_;
};

// The streamed conversion writes the image the one in memory builds, whole or cut anywhere, with the same
// questions asked once and their answers replayed: over blocks that cross the walk's read window, many short
// blocks gathered into one write, and long ones copied whole.
TEST_F(VoiceConvertTest, StreamedAsInMemory)
{
    VoiceFileBuilder builder;
    // The second block's header sits just past the walk's first read window.
    builder.soundBlock(166, Ramp(4090)).block(2, Ramp(5000, 1)).block(12, Ramp(7, 9)).block(12, Ramp(3, 5));
    for (int i = 0; i < 300; ++i)
        builder.block(2, Ramp(16, std::uint8_t(i)));
    const Bytes file = builder.block(2, Ramp(70000, 3)).block(2, Ramp(1, 4)).terminator().build();
    desktop.unknownBlockAnswers = {UnknownBlockChoice::ForceConversion, UnknownBlockChoice::ForceConversion};
    const std::int32_t size = convert(file);
    ASSERT_EQ(result, ConvertResult::Converted);
    const auto askedInMemory = desktop.unknownBlockQuestions;

    FakeDesktop streaming;
    streaming.unknownBlockAnswers = {UnknownBlockChoice::ForceConversion, UnknownBlockChoice::ForceConversion};
    Bytes changing = file;
    BytesSource source(changing);
    VoiceImagePlan plan;
    ASSERT_EQ(PlanVoiceImage({streaming}, source, plan), ConvertResult::Converted);
    EXPECT_EQ(streaming.unknownBlockQuestions, askedInMemory);
    ASSERT_EQ(plan.imageLength(), std::uint64_t(size) + 1);
    for (const std::uint64_t length : {plan.imageLength(), plan.imageLength() - 1, std::uint64_t(44 + 5500), std::uint64_t(20)}) {
        SCOPED_TRACE(length);
        MemorySink image;
        source.copies = 0;
        ASSERT_TRUE(WriteVoiceImage(source, plan, image, length));
        EXPECT_EQ(image.data, Bytes(output.begin(), output.begin() + std::ptrdiff_t(length)));
        EXPECT_LE(source.copies, 1) << "only the long block is copied on its own";
    }
    EXPECT_EQ(streaming.unknownBlockQuestions.size(), 2u) << "the second pass asks nothing";
    EXPECT_FALSE(source.changed);

    // Cut between the passes, inside the long block or among the short ones, the file no longer holds the
    // samples the header already written claims.
    for (const std::size_t cut : {file.size() - 30000, std::size_t(4090 + 5000 + 900)}) {
        SCOPED_TRACE(cut);
        changing.resize(cut);
        source.changed = false;
        MemorySink image;
        EXPECT_FALSE(WriteVoiceImage(source, plan, image, plan.imageLength()));
        EXPECT_TRUE(source.changed);
    }
}

} // namespace
} // namespace jbx::testing
