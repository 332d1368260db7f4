// jbxtool through the real binary: what it prints, where, with which exit
// status, and the files it writes or leaves alone. Banks and voice files are
// made by hand here; the core's own reading is the yardstick for info.

#include "tests/cli/runtool.h"

#include "bank/bankloader.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#ifndef _WIN32
#include <sndfile.h>
#endif

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string kDemoBank = JBX_DEMO_BANK;

// ---------------------------------------------------------------------------
// Hand-made files

struct HandSound {
    std::string name = "(none)";   // raw bytes, at most 8
    Bytes data;
};

struct HandBank {
    std::array<HandSound, kSlotCount> sounds;
    std::string author, description, dateFinished;   // FILEINFO when all three are set
};

void PutEntry(Bytes& out, std::uint32_t offset, std::uint32_t size, std::string_view name)
{
    PutLE32(out, offset);
    PutLE32(out, size);
    for (std::size_t i = 0; i < 8; ++i)
        out.push_back(i < name.size() ? std::uint8_t(name[i]) : 0);
}

Bytes LayOut(const HandBank& bank)
{
    Bytes file;
    PutText(file, "IWAD");
    PutLE32(file, 12);
    PutLE32(file, 0);   // the directory offset, filled in below
    std::array<std::uint32_t, kSlotCount> offsets{};
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        offsets[i] = std::uint32_t(file.size());
        file.insert(file.end(), bank.sounds[i].data.begin(), bank.sounds[i].data.end());
    }
    const bool credits = !bank.author.empty() && !bank.description.empty() && !bank.dateFinished.empty();
    const auto creditsOffset = std::uint32_t(file.size());
    if (credits) {
        for (const std::string* text : {&bank.author, &bank.description, &bank.dateFinished}) {
            PutText(file, *text);
            file.push_back(0);
        }
    }
    const auto creditsSize = std::uint32_t(file.size()) - creditsOffset;
    const auto directory = std::uint32_t(file.size());
    file[8] = std::uint8_t(directory);
    file[9] = std::uint8_t(directory >> 8);
    file[10] = std::uint8_t(directory >> 16);
    file[11] = std::uint8_t(directory >> 24);
    PutEntry(file, 0, 0, "JEERSTRT");
    for (std::size_t i = 0; i < offsets.size(); ++i)
        PutEntry(file, offsets[i], std::uint32_t(bank.sounds[i].data.size()), bank.sounds[i].name);
    PutEntry(file, 0, 0, "JEERSTOP");
    if (credits)
        PutEntry(file, creditsOffset, creditsSize, "FILEINFO");
    return file;
}

Bytes FakeWave(std::size_t n, std::uint8_t seed)
{
    Bytes data = ToBytes("RIFF");
    const Bytes ramp = Ramp(n - 4, seed);
    data.insert(data.end(), ramp.begin(), ramp.end());
    return data;
}

// A one-channel 8-bit voice file holding samples in one sound block.
Bytes SimpleVoiceFile(const Bytes& samples, std::uint8_t minor = 10, std::uint8_t major = 1)
{
    return VoiceFileBuilder(minor, major).soundBlock(166, samples).terminator().build();
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// A WAVE image as the converter lays it out, read field by field; nothing
// when any fixed part or length is off.
struct WaveImage {
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t bytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    Bytes samples;
};

std::optional<WaveImage> ReadWaveImage(const Bytes& file)
{
    auto text = [&](std::size_t at, std::string_view expected) {
        return file.size() >= at + 4 && std::string_view(reinterpret_cast<const char*>(&file[at]), 4) == expected;
    };
    if (file.size() < 44 || !text(0, "RIFF") || !text(8, "WAVE") || !text(12, "fmt ") || !text(36, "data"))
        return std::nullopt;
    const std::uint32_t dataSize = ReadLE32(&file[40]);
    const std::size_t imageSize = 44 + std::size_t(dataSize) + (dataSize & 1);
    if (ReadLE32(&file[4]) + 8 != file.size() || imageSize != file.size() || ReadLE32(&file[16]) != 16
        || ReadLE16(&file[20]) != 1)
        return std::nullopt;
    WaveImage wave;
    wave.channels = ReadLE16(&file[22]);
    wave.sampleRate = ReadLE32(&file[24]);
    wave.bytesPerSecond = ReadLE32(&file[28]);
    wave.blockAlign = ReadLE16(&file[32]);
    wave.bitsPerSample = ReadLE16(&file[34]);
    wave.samples.assign(file.begin() + 44, file.begin() + 44 + std::ptrdiff_t(dataSize));
    return wave;
}

SoundBank LoadWithCore(const std::string& path)
{
    FakeDesktop desktop;
    Session session(desktop);
    session.bank.bankTitle = FileTitleFromPath(path);
    LoadBank(session, path, nullptr);
    EXPECT_THAT(desktop.messages, IsEmpty()) << "the core did not load " << path << " quietly";
    return session.bank;
}

nlohmann::json ParseJson(const std::string& text)
{
    const auto json = nlohmann::json::parse(text, nullptr, false);
    EXPECT_FALSE(json.is_discarded()) << "not JSON:\n" << text;
    return json;
}

bool Exists(const std::string& path)
{
    return fs::exists(fs::path(path));
}

std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}

// ---------------------------------------------------------------------------
// Usage

struct UsageCase {
    std::vector<std::string> args;
    int exitCode;
    std::string outHas;   // empty: stdout must be empty
    std::string errHas;   // empty: stderr must be empty
};

TEST(JbxtoolUsage, HelpAndUsageErrors)
{
    TempDir dir;
    const std::string out = dir.file("out.wav");
    const UsageCase cases[] = {
        {{}, 2, "", "Usage: jbxtool COMMAND"},
        {{"--help"}, 0, "Usage: jbxtool COMMAND", ""},
        {{"-h"}, 0, "Usage: jbxtool COMMAND", ""},
        {{"info", "--help"}, 0, "Usage: jbxtool info [--json]", ""},
        {{"extract", "x.jbx", "--help"}, 0, "BANK SLOT OUT", ""},
        {{"convert", "--help"}, 0, "IN.voc OUT.wav", ""},
        {{"rewrite", "--help"}, 0, "IN.jbx OUT.jbx", ""},
        {{"frobnicate"}, 2, "", "unknown command 'frobnicate'"},
        {{"--json", "info"}, 2, "", "unknown command '--json'"},
        {{"info"}, 2, "", "info takes BANK (0 given)"},
        {{"info", "a.jbx", "b.jbx"}, 2, "", "(2 given)"},
        {{"info", "--colour", kDemoBank}, 2, "", "unknown option '--colour'"},
        {{"extract", "--json", kDemoBank, "1", out}, 2, "", "unknown option '--json'"},
        {{"convert", "--unknown-block=maybe", "a.voc", out}, 2, "", "stop, skip or force, not 'maybe'"},
        {{"convert", "--unknown-block", "a.voc", out}, 2, "", "--unknown-block needs a value"},
        {{"extract", kDemoBank, "0", out}, 2, "", "SLOT must be a number from 1 to 10, not '0'"},
        {{"extract", kDemoBank, "11", out}, 2, "", "not '11'"},
        {{"extract", kDemoBank, "3x", out}, 2, "", "not '3x'"},
        {{"extract", kDemoBank, "", out}, 2, "", "not ''"},
        {{"extract", kDemoBank, "-1", out}, 2, "", "unknown option '-1'"},
    };
    for (const UsageCase& c : cases) {
        std::string line;
        for (const std::string& arg : c.args)
            line += " '" + arg + "'";
        SCOPED_TRACE("jbxtool" + line);
        const RunResult run = RunJbxtool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        if (c.outHas.empty()) {
            EXPECT_EQ(run.out, "");
        } else {
            EXPECT_THAT(run.out, HasSubstr(c.outHas));
        }
        if (c.errHas.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            EXPECT_THAT(run.err, HasSubstr(c.errHas));
        }
        // A command line that names a command shows that command's usage.
        if (c.exitCode == 2 && !c.args.empty() && c.args[0] == "extract") {
            EXPECT_THAT(run.err, HasSubstr("Usage: jbxtool extract"));
        }
        EXPECT_FALSE(Exists(out));
    }
}

TEST(JbxtoolUsage, HelpNamesEveryCommandAndOption)
{
    const RunResult run = RunJbxtool({"--help"});
    for (const char* word : {"info", "extract", "convert", "rewrite", "--json", "--unknown-block=stop|skip|force",
             "--any-version"})
        EXPECT_THAT(run.out, HasSubstr(word));
}

TEST(JbxtoolUsage, OperandsAfterDoubleDashMayStartWithADash)
{
    TempDir dir;
    WriteBytes(dir.file("-odd.voc"), SimpleVoiceFile(Ramp(4)));
    const RunResult run = RunJbxtool({"convert", "--", dir.file("-odd.voc"), dir.file("-odd.wav")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(Exists(dir.file("-odd.wav")));
}

// ---------------------------------------------------------------------------
// info

TEST(JbxtoolInfo, ListsTheDemoBankAsTheCoreReadsIt)
{
    const SoundBank bank = LoadWithCore(kDemoBank);
    const RunResult run = RunJbxtool({"info", kDemoBank});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_THAT(run.out, HasSubstr("Accepted: yes\n"));
    for (int n = 1; n <= kSlotCount; ++n) {
        const SoundSlot& slot = bank.slot(n);
        EXPECT_THAT(run.out, ::testing::ContainsRegex("\n *" + std::to_string(n) + " +" + slot.name + " +"
                                 + std::to_string(slot.fileOffset) + " +" + std::to_string(slot.size) + "\n"));
    }
    EXPECT_THAT(run.out, HasSubstr("Author: " + bank.credits.author + "\n"));
    EXPECT_THAT(run.out, HasSubstr("Description: " + bank.credits.description + "\n"));
    EXPECT_THAT(run.out, HasSubstr("Date finished: " + bank.credits.dateFinished + "\n"));
}

TEST(JbxtoolInfo, JsonMatchesTheCore)
{
    const SoundBank bank = LoadWithCore(kDemoBank);
    const RunResult run = RunJbxtool({"info", "--json", kDemoBank});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json json = ParseJson(run.out);
    ASSERT_TRUE(json.is_object());
    EXPECT_EQ(json.at("accepted"), true);
    const nlohmann::json& slots = json.at("slots");
    ASSERT_TRUE(slots.is_array());
    ASSERT_EQ(slots.size(), std::size_t(kSlotCount));
    for (int n = 1; n <= kSlotCount; ++n) {
        SCOPED_TRACE("slot " + std::to_string(n));
        const nlohmann::json& slot = slots.at(std::size_t(n - 1));
        EXPECT_EQ(slot.at("slot"), n);
        EXPECT_EQ(slot.at("name"), bank.slot(n).name);
        EXPECT_EQ(slot.at("offset"), bank.slot(n).fileOffset);
        EXPECT_EQ(slot.at("size"), bank.slot(n).size);
    }
    EXPECT_EQ(json.at("credits").at("author"), bank.credits.author);
    EXPECT_EQ(json.at("credits").at("description"), bank.credits.description);
    EXPECT_EQ(json.at("credits").at("dateFinished"), bank.credits.dateFinished);
}

TEST(JbxtoolInfo, KeepsEveryByteOfNamesAndCredits)
{
    // Each byte stands for the Unicode character of its value.
    struct Text {
        std::string latin1;
        std::string utf8;
    };
    const Text names[] = {
        {"say\"hi\"", "say\"hi\""},
        {"back\\sl", "back\\sl"},
        {"caf\xe9", "caf\xc3\xa9"},
        {"a\nb\tc\r", "a\nb\tc\r"},
        {"\x01\x1f\x7f", "\x01\x1f\x7f"},
        {"\x80\xa0\xff", "\xc2\x80\xc2\xa0\xc3\xbf"},
        {"12345678", "12345678"},
    };
    const Text author{"Ren\xe9\n\"Q\"", "Ren\xc3\xa9\n\"Q\""};
    const Text description{"\xab" "fun\xbb \\o/\t\x02", "\xc2\xab" "fun\xc2\xbb \\o/\t\x02"};
    const Text date{"\xbd past noon", "\xc2\xbd past noon"};

    HandBank hand;
    for (std::size_t i = 0; i < std::size(names); ++i)
        hand.sounds[i] = {names[i].latin1, FakeWave(20, std::uint8_t(i))};
    hand.author = author.latin1;
    hand.description = description.latin1;
    hand.dateFinished = date.latin1;
    TempDir dir;
    WriteBytes(dir.file("odd.jbx"), LayOut(hand));

    const RunResult json = RunJbxtool({"info", "--json", dir.file("odd.jbx")});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json parsed = ParseJson(json.out);
    for (std::size_t i = 0; i < std::size(names); ++i)
        EXPECT_EQ(parsed.at("slots").at(i).at("name"), names[i].utf8) << "slot " << i + 1;
    EXPECT_EQ(parsed.at("credits").at("author"), author.utf8);
    EXPECT_EQ(parsed.at("credits").at("description"), description.utf8);
    EXPECT_EQ(parsed.at("credits").at("dateFinished"), date.utf8);

    // The listing keeps one line per slot, whatever the names hold.
    const RunResult text = RunJbxtool({"info", dir.file("odd.jbx")});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 2 + kSlotCount + 3) << text.out;
    EXPECT_THAT(text.out, HasSubstr("a\\x0ab\\x09c\\x0d"));
    EXPECT_THAT(text.out, HasSubstr("caf\xc3\xa9"));
}

TEST(JbxtoolInfo, RejectedOrUnopenableFilesAreNotAccepted)
{
    TempDir dir;
    WriteBytes(dir.file("garbage.jbx"), Bytes(300, 'x'));
    WriteBytes(dir.file("empty.jbx"), {});
    fs::create_directory(dir.file("folder.jbx"));
    const struct {
        std::string path;
        std::string message;
    } cases[] = {
        {dir.file("garbage.jbx"), "Not a valid JeerBox sound file"},
        {dir.file("empty.jbx"), "Not a valid JeerBox sound file"},
        {dir.file("missing.jbx"), "Cannot open JBX file"},
        {dir.file("folder.jbx"), "Cannot open JBX file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const RunResult json = RunJbxtool({"info", "--json", c.path});
        EXPECT_EQ(json.exitCode, 1);
        EXPECT_EQ(json.err, "jbxtool: " + c.message + "\n");
        const nlohmann::json parsed = ParseJson(json.out);
        EXPECT_EQ(parsed.value("accepted", true), false);
        EXPECT_EQ(parsed.at("slots").size(), std::size_t(kSlotCount));

        const RunResult text = RunJbxtool({"info", c.path});
        EXPECT_EQ(text.exitCode, 1);
        EXPECT_THAT(text.out, HasSubstr("Accepted: no\n"));
        EXPECT_THAT(text.err, HasSubstr(c.message));
    }
}

TEST(JbxtoolInfo, ABankWhoseVoiceLumpAsksStillLoads)
{
    // Slot 2 holds a voice file of version 1.15, which asks before it is
    // converted; the answer comes from --any-version.
    const Bytes samples = Ramp(5, 0x40);
    const Bytes voice = SimpleVoiceFile(samples, 15, 1);
    HandBank hand;
    hand.sounds[0] = {"wave", FakeWave(30, 1)};
    hand.sounds[1] = {"voice", voice};
    TempDir dir;
    WriteBytes(dir.file("voice.jbx"), LayOut(hand));

    const RunResult refused = RunJbxtool({"info", "--json", dir.file("voice.jbx")});
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_EQ(refused.err, "jbxtool: Unknown Voice File Version. Process anyway? No (--any-version answers Yes)\n");
    const nlohmann::json unconverted = ParseJson(refused.out);
    EXPECT_EQ(unconverted.at("accepted"), true);
    EXPECT_EQ(unconverted.at("slots").at(1).at("size"), voice.size());
    EXPECT_EQ(unconverted.at("slots").at(0).at("size"), 30);

    const RunResult converted = RunJbxtool({"info", "--json", "--any-version", dir.file("voice.jbx")});
    EXPECT_EQ(converted.exitCode, 0);
    EXPECT_THAT(converted.err, HasSubstr("Process anyway? Yes"));
    // Five samples make a 44 + 5 + 1 byte image; a slot reports one less.
    EXPECT_EQ(ParseJson(converted.out).at("slots").at(1).at("size"), 49);
}

// ---------------------------------------------------------------------------
// extract

TEST(JbxtoolExtract, EverySlotIsItsLumpFollowedByThePadByte)
{
    const SoundBank bank = LoadWithCore(kDemoBank);
    const Bytes file = ReadBytes(kDemoBank);
    TempDir dir;
    for (int n = 1; n <= kSlotCount; ++n) {
        SCOPED_TRACE("slot " + std::to_string(n));
        const std::string out = dir.file("slot" + std::to_string(n) + ".wav");
        const RunResult run = RunJbxtool({"extract", kDemoBank, std::to_string(n), out});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "");
        const SoundSlot& slot = bank.slot(n);
        ASSERT_LE(std::size_t(slot.fileOffset) + std::size_t(slot.size), file.size());
        Bytes expected(file.begin() + slot.fileOffset, file.begin() + slot.fileOffset + slot.size);
        expected.push_back(0x80);
        EXPECT_EQ(ReadBytes(out), expected);
    }
}

TEST(JbxtoolExtract, AVoiceLumpComesOutAsItsWholeWaveImage)
{
    const Bytes samples = Ramp(7, 0x10);
    HandBank hand;
    hand.sounds[4] = {"voice", SimpleVoiceFile(samples)};
    TempDir dir;
    WriteBytes(dir.file("voice.jbx"), LayOut(hand));

    const RunResult run = RunJbxtool({"extract", dir.file("voice.jbx"), "5", dir.file("voice.wav")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Bytes image = ReadBytes(dir.file("voice.wav"));
    EXPECT_EQ(image.size(), 44u + 7 + 1);
    const auto wave = ReadWaveImage(image);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->samples, samples);
    EXPECT_EQ(image.back(), 0) << "the image's own pad byte, not the bank's 0x80";
}

TEST(JbxtoolExtract, FailuresWriteNothing)
{
    HandBank hand;
    hand.sounds[0] = {"one", FakeWave(16, 3)};   // slot 4 stays empty
    TempDir dir;
    WriteBytes(dir.file("sparse.jbx"), LayOut(hand));
    WriteBytes(dir.file("garbage.jbx"), Bytes(300, 'x'));
    const struct {
        std::vector<std::string> args;
        std::string out;
        std::string message;
    } cases[] = {
        {{dir.file("sparse.jbx"), "4"}, dir.file("empty.wav"), "Slot 4 of " + dir.file("sparse.jbx") + " is empty"},
        {{dir.file("garbage.jbx"), "1"}, dir.file("garbage.wav"), "Not a valid JeerBox sound file"},
        {{dir.file("missing.jbx"), "1"}, dir.file("missing.wav"), "Cannot open JBX file"},
        {{dir.file("sparse.jbx"), "1"}, dir.file("no/such/folder.wav"), "Cannot write " + dir.file("no/such/folder.wav")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args{"extract"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(c.out);
        const RunResult run = RunJbxtool(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(Exists(c.out));
    }
    EXPECT_EQ(Listing(dir.path()).size(), 2u) << "only the two banks";
}

// ---------------------------------------------------------------------------
// convert

struct ConvertRun {
    RunResult run;
    std::optional<WaveImage> wave;
};

ConvertRun Convert(const Bytes& voice, std::vector<std::string> options = {})
{
    TempDir dir;
    WriteBytes(dir.file("in.voc"), voice);
    options.insert(options.begin(), "convert");
    options.push_back(dir.file("in.voc"));
    options.push_back(dir.file("out.wav"));
    ConvertRun result{RunJbxtool(options), std::nullopt};
    if (Exists(dir.file("out.wav")))
        result.wave = ReadWaveImage(ReadBytes(dir.file("out.wav")));
    return result;
}

TEST(JbxtoolConvert, EachAnswerToAnUnknownBlock)
{
    const Bytes a = Ramp(7, 0x10), b = Ramp(3, 0xb0), c = Ramp(4, 0x60);
    const Bytes voice = VoiceFileBuilder().soundBlock(166, a).block(12, b).block(2, c).terminator().build();
    const struct {
        std::vector<std::string> options;
        std::string answer;
        Bytes samples;
    } cases[] = {
        {{}, "Stop Conversion", a},
        {{"--unknown-block=stop"}, "Stop Conversion", a},
        {{"--unknown-block=skip"}, "Skip Block", Concat({a, c})},
        {{"--unknown-block=force"}, "Force Conversion", Concat({a, b, c})},
    };
    for (const auto& t : cases) {
        SCOPED_TRACE(t.answer);
        const ConvertRun r = Convert(voice, t.options);
        EXPECT_EQ(r.run.exitCode, 0);
        EXPECT_EQ(r.run.out, "");
        EXPECT_THAT(r.run.err, HasSubstr("Unknown voice file sound block. (Block ID 12, Block Length 3) " + t.answer));
        ASSERT_TRUE(r.wave) << "no well-formed WAVE image";
        EXPECT_EQ(r.wave->samples, t.samples);
        EXPECT_EQ(r.wave->channels, 1);
        EXPECT_EQ(r.wave->sampleRate, 11111u);   // time constant 166
        EXPECT_EQ(r.wave->bitsPerSample, 8);
    }
}

// Where the conversion's rules deliberately part from other VOC readers:
// stereo announced by a type 8 block comes out as one channel at the
// combined rate, silence is not generated and repeats are not repeated.
TEST(JbxtoolConvert, RulesWhereOtherReadersDiffer)
{
    const Bytes s = Ramp(6, 0x20), t = Ramp(5, 0x90);
    Bytes stereoHeader;   // time constant 53926, codec 0, mode 1 (stereo)
    PutLE16(stereoHeader, 53926);
    stereoHeader.push_back(0);
    stereoHeader.push_back(1);
    Bytes sixteenBitStereo;   // 44,100 Hz, 16 bits, 2 channels, codec and reserved
    PutLE32(sixteenBitStereo, 44100);
    sixteenBitStereo.push_back(16);
    sixteenBitStereo.push_back(2);
    sixteenBitStereo.insert(sixteenBitStereo.end(), 6, 0);
    sixteenBitStereo.insert(sixteenBitStereo.end(), s.begin(), s.end());

    const struct {
        std::string what;
        Bytes voice;
        Bytes samples;
        std::uint16_t channels;
        std::uint32_t rate;
        std::uint16_t blockAlign;
    } cases[] = {
        {"type 8 stereo, then type 1",
            VoiceFileBuilder(20, 1).block(8, stereoHeader).block(1, Concat({{0xff, 0x07}, s})).terminator().build(), s, 1,
            22049, 1},
        {"silence between continuations",
            VoiceFileBuilder().soundBlock(166, s).block(3, {0x10, 0x00, 0x80}).block(2, t).terminator().build(),
            Concat({s, t}), 1, 11111, 1},
        {"repeat blocks",
            VoiceFileBuilder().block(6, {0x03, 0x00}).soundBlock(166, s).block(7, 0, {}).terminator().build(), s, 1,
            11111, 1},
        {"16-bit stereo", VoiceFileBuilder(20, 1).block(9, sixteenBitStereo).terminator().build(), s, 2, 44100, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ConvertRun r = Convert(c.voice);
        EXPECT_EQ(r.run.exitCode, 0) << r.run.err;
        ASSERT_TRUE(r.wave) << "no well-formed WAVE image";
        EXPECT_EQ(r.wave->samples, c.samples);
        EXPECT_EQ(r.wave->channels, c.channels);
        EXPECT_EQ(r.wave->sampleRate, c.rate);
        EXPECT_EQ(r.wave->blockAlign, c.blockAlign);
        EXPECT_EQ(r.wave->bytesPerSecond, c.rate * c.blockAlign);
    }
}

TEST(JbxtoolConvert, UnknownVersionIsConvertedOnlyWhenAllowed)
{
    const Bytes samples = Ramp(8, 0x33);
    const Bytes voice = SimpleVoiceFile(samples, 15, 1);

    const ConvertRun refused = Convert(voice);
    EXPECT_EQ(refused.run.exitCode, 1);
    EXPECT_THAT(refused.run.err, HasSubstr("jbxtool: Unknown Voice File Version. Process anyway? No"));
    EXPECT_THAT(refused.run.err, HasSubstr("nothing written"));
    EXPECT_FALSE(refused.wave);

    const ConvertRun allowed = Convert(voice, {"--any-version"});
    EXPECT_EQ(allowed.run.exitCode, 0);
    EXPECT_THAT(allowed.run.err, HasSubstr("Process anyway? Yes"));
    ASSERT_TRUE(allowed.wave);
    EXPECT_EQ(allowed.wave->samples, samples);

    // A known version asks nothing.
    const ConvertRun known = Convert(SimpleVoiceFile(samples));
    EXPECT_EQ(known.run.exitCode, 0);
    EXPECT_EQ(known.run.err, "");
}

TEST(JbxtoolConvert, ARefusedConversionLeavesTheOutputAlone)
{
    TempDir dir;
    const Bytes previous = ToBytes("the file that was here");
    WriteBytes(dir.file("not.voc"), FakeWave(40, 9));
    WriteBytes(dir.file("old.voc"), SimpleVoiceFile(Ramp(4), 15, 1));
    const struct {
        std::string in;
        std::string message;
    } cases[] = {
        {dir.file("not.voc"), "jbxtool: Not a Creative Voice File\n"},
        {dir.file("old.voc"), "Process anyway? No"},
        {dir.file("missing.voc"), "jbxtool: Cannot open " + dir.file("missing.voc") + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        WriteBytes(dir.file("out.wav"), previous);
        const RunResult run = RunJbxtool({"convert", c.in, dir.file("out.wav")});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_EQ(ReadBytes(dir.file("out.wav")), previous);
    }
    EXPECT_EQ(Listing(dir.path()).size(), 3u) << "no temporary file is left behind";
}

// ---------------------------------------------------------------------------
// rewrite

TEST(JbxtoolRewrite, TheDemoBankComesBackByteForByte)
{
    TempDir dir;
    const RunResult run = RunJbxtool({"rewrite", kDemoBank, dir.file("copy.jbx")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ReadBytes(dir.file("copy.jbx")), ReadBytes(kDemoBank));
}

TEST(JbxtoolRewrite, FailuresLeaveNothingBehind)
{
    TempDir dir;
    const RunResult missingFolder = RunJbxtool({"rewrite", kDemoBank, dir.file("missing/copy.jbx")});
    EXPECT_EQ(missingFolder.exitCode, 1);
    EXPECT_EQ(missingFolder.err, "jbxtool: Cannot create " + dir.file("missing/copy.jbx") + "\n");
    EXPECT_THAT(Listing(dir.path()), IsEmpty());

    // A bank that is not accepted is not written over an existing file.
    const Bytes previous = ToBytes("an older bank");
    WriteBytes(dir.file("garbage.jbx"), Bytes(300, 'x'));
    WriteBytes(dir.file("copy.jbx"), previous);
    const RunResult rejected = RunJbxtool({"rewrite", dir.file("garbage.jbx"), dir.file("copy.jbx")});
    EXPECT_EQ(rejected.exitCode, 1);
    EXPECT_EQ(rejected.err, "jbxtool: Not a valid JeerBox sound file\n");
    EXPECT_EQ(ReadBytes(dir.file("copy.jbx")), previous);
    EXPECT_EQ(Listing(dir.path()).size(), 2u);
}

// ---------------------------------------------------------------------------
// The demo bank that the build makes

TEST(DemoBank, TenDistinctShortSoundsAndItsCredits)
{
    const SoundBank bank = LoadWithCore(kDemoBank);
    EXPECT_EQ(bank.credits.author, "JBX Maker");
    EXPECT_FALSE(bank.credits.description.empty());
    EXPECT_EQ(bank.credits.description.find('\n'), std::string::npos);
    EXPECT_FALSE(bank.credits.dateFinished.empty());

    std::set<std::string> names;
    std::set<Bytes> sounds;
    TempDir dir;
    for (int n = 1; n <= kSlotCount; ++n) {
        SCOPED_TRACE("slot " + std::to_string(n));
        const SoundSlot& slot = bank.slot(n);
        EXPECT_LE(slot.name.size(), kSlotNameLimit);
        EXPECT_NE(slot.name, kNoName);
        names.insert(slot.name);
        sounds.insert(Bytes(slot.data->begin(), slot.data->begin() + slot.size));

#ifndef _WIN32
        // An independent WAVE reader agrees on what each sound is. (There is
        // none for Windows here; that build's demo bank is compared with this
        // one byte for byte instead.)
        const std::string out = dir.file(slot.name + ".wav");
        WriteBytes(out, Bytes(slot.data->begin(), slot.data->begin() + slot.size));
        SF_INFO info{};
        SNDFILE* file = sf_open(out.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        sf_close(file);
        EXPECT_EQ(info.channels, 1);
        EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
        EXPECT_TRUE(info.samplerate == 11025 || info.samplerate == 22050) << info.samplerate;
        EXPECT_GT(info.frames, info.samplerate / 20);
        EXPECT_LT(info.frames, info.samplerate);
#endif
    }
    EXPECT_EQ(names.size(), std::size_t(kSlotCount));
    EXPECT_EQ(sounds.size(), std::size_t(kSlotCount));
}

} // namespace
} // namespace jbx::testing
