// jbxtool through the real binary: exit status, what it prints and where,
// and the files it writes or leaves alone. The core's own reading of the
// files is the yardstick; the core's tests cover the reading itself.

#include "tests/cli/runtool.h"

#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"
#include "tests/support/memorylimit.h"
#include "tests/support/locked.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

namespace jbx::testing {
namespace {

using ::testing::HasSubstr;

const std::string kDemoBank = JBX_DEMO_BANK;

SoundBank Load(const std::string& path)
{
    FakeDesktop desktop;
    Session session(desktop);
    LoadBank(session, path, Owner::None);
    EXPECT_TRUE(desktop.messages.empty()) << path << " did not load quietly";
    return session.bank;
}

Bytes Sound(const SoundSlot& slot)
{
    return Bytes(slot.data->begin(), slot.data->begin() + slot.size);
}

Bytes Join(Bytes first, const Bytes& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

Bytes Wave(std::size_t n, std::uint8_t seed)
{
    return Join(ToBytes("RIFF"), Ramp(n - 4, seed));
}

// What a stream must hold; empty: nothing at all.
::testing::Matcher<const std::string&> Printed(const std::string& part)
{
    return part.empty() ? ::testing::Matcher<const std::string&>(::testing::IsEmpty()) : HasSubstr(part);
}

[[maybe_unused]] std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

std::size_t FileCount(const TempDir& dir)
{
    const std::filesystem::directory_iterator files{std::filesystem::path(dir.path())};
    return std::size_t(std::distance(begin(files), end(files)));
}

class Jbxtool : public ::testing::Test {
protected:
    std::string write(const std::string& name, const Bytes& bytes)
    {
        WriteBytes(dir.file(name), bytes);
        return dir.file(name);
    }

    TempDir dir;
};

TEST_F(Jbxtool, HelpAndUsageErrors)
{
    const std::string out = dir.file("out.jbx");
    const std::string w = write("w.wav", Wave(20, 1));
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string outHas, errHas;   // empty: nothing printed there
    } cases[] = {
        {{}, 2, "", "Usage: jbxtool COMMAND"},
        {{"--help"}, 0, "Usage: jbxtool COMMAND", ""},
        {{"frobnicate"}, 2, "", "jbxtool: unknown command 'frobnicate'\n"},
        {{"info"}, 2, "", "jbxtool: info takes BANK (0 given)\nUsage: jbxtool info"},
        {{"info", "--colour", kDemoBank}, 2, "", "unknown option '--colour' for info\nUsage: jbxtool info"},
        {{"convert", "--unknown-block=maybe", w, out}, 2, "", "stop, skip or force, not 'maybe'\nUsage: jbxtool convert"},
        {{"extract", kDemoBank, "11", out}, 2, "", "SLOT must be a number from 1 to 10, not '11'\nUsage: jbxtool extract"},
        {{"rename", kDemoBank, "3", "bark"}, 2, "", "rename needs -o OUT, the bank to write\nUsage: jbxtool rename"},
        {{"rename", kDemoBank, "3", "ninechars", "-o", out}, 2, "", "NAME must be 1 to 8 characters, not 'ninechars'"},
        {{"rename", kDemoBank, "3", "\u00DCberraschung", "-o", out}, 2, "", "NAME must be 1 to 8 characters, not '\u00DCberraschung'"},
        {{"extract", kDemoBank, "1\n\x7f", out}, 2, "", "SLOT must be a number from 1 to 10, not '1\\x0a\\x7f'\nUsage"},
        {{"create", w, w, w, w, w, w, w, w, w, w, w, "-o", out}, 2, "", "create takes FILE... (11 given)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const RunResult run = RunJbxtool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_THAT(run.out, Printed(c.outHas));
        EXPECT_THAT(run.err, Printed(c.errHas));
    }
    EXPECT_EQ(FileCount(dir), 1u) << "a usage error writes nothing";
}

TEST_F(Jbxtool, InfoShowsTheBankAsTheCoreReadsIt)
{
    const SoundBank bank = Load(kDemoBank);
    const RunResult json = RunJbxtool({"info", "--json", kDemoBank});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    EXPECT_EQ(json.err, "");
    const auto parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed.at("accepted"), true);
    nlohmann::json slots = nlohmann::json::array();
    for (int n = 1; n <= kSlotCount; ++n)
        slots.push_back({{"slot", n}, {"name", bank.slot(n).name}, {"offset", bank.slot(n).fileOffset}, {"size", bank.slot(n).size}});
    EXPECT_EQ(parsed.at("slots"), slots);
    EXPECT_EQ(parsed.at("credits").at("author"), "JBX Maker");
    EXPECT_EQ(parsed.at("credits").at("dateFinished"), bank.credits.dateFinished);

    const RunResult text = RunJbxtool({"info", kDemoBank});
    EXPECT_THAT(text.out, HasSubstr("Accepted: yes\n"));
    EXPECT_THAT(text.out, ::testing::ContainsRegex("\n +10 +" + bank.slot(10).name + " +"
                              + std::to_string(bank.slot(10).fileOffset) + " +" + std::to_string(bank.slot(10).size)));
}

TEST_F(Jbxtool, RefusalsExitOneAndWriteNothing)
{
    const std::string garbage = write("garbage.jbx", Bytes(300, 'x'));
    const std::string exe = write("program.exe", ToBytes("MZ\x90"));
    const std::string wave = write("w.wav", Wave(20, 1));
    const std::string sparse = dir.file("sparse.jbx");
    ASSERT_EQ(RunJbxtool({"create", wave, "-o", sparse}).exitCode, 0);
    const std::string old = write("old", ToBytes("the file that was here"));
    const std::string missing = dir.file("missing"), noFolder = dir.file("no/out");
    // Voice files that the conversion refuses: a batch run writes no bank
    // with a silent slot in their place. Replace and create put files into
    // slots alike, so each refusal is tried through one of them.
    const std::string nonsense = write("nonsense.voc", ToBytes("Creative nonsense file here"));
    const std::string v115 = write("v115.voc", VoiceFileBuilder(15, 1).soundBlock(166, Ramp(9)).terminator().build());
    const auto refused = [](const std::string& file) { return "jbxtool: '" + file + "' was refused; nothing written\n"; };
    const std::string split = dir.file("no/new\nline.wav");
    // The same two inside a bank: what a command would write from it must
    // not come out silent.
    const std::string voiced = dir.file("voiced.jbx");
    {
        SoundBank bank;
        for (const auto& [slot, file] : {std::pair{1, wave}, std::pair{3, v115}, std::pair{5, nonsense}}) {
            const Bytes lump = ReadBytes(file);
            bank.slot(slot).data = std::make_shared<Bytes>(Join(lump, {0x80}));
            bank.slot(slot).size = std::int32_t(lump.size());
        }
        ASSERT_EQ(WriteBankFile(bank, voiced), WriteFileResult::Written);
    }
    const std::string askedV115 = "jbxtool: Unknown Voice File Version. Process anyway? No (--any-version answers Yes)\n";
    const std::string lumpsRefused = askedV115 + "jbxtool: Not a Creative Voice File\n";
    const auto silent = [&](int slot) {
        return "jbxtool: Slot " + std::to_string(slot) + " of '" + voiced
            + "' holds a voice file that was not converted; nothing written (--any-version writes it as the editor keeps it)\n";
    };
    const struct {
        std::vector<std::string> args;
        std::string err;
        std::string outHas;
    } cases[] = {
        {{"info", "--json", garbage}, "jbxtool: Not a valid JeerBox sound file\n", "\"accepted\": false,\n  \"error\": \"not a bank\",\n"},
        {{"info", "--json", missing}, "jbxtool: Cannot open JBX file\n", "\"accepted\": false,\n  \"error\": \"cannot open\",\n"},
        {{"info", missing}, "jbxtool: Cannot open JBX file\n", "Accepted: no\n"},
        {{"rewrite", garbage, old}, "jbxtool: Not a valid JeerBox sound file\n", ""},
        {{"rewrite", kDemoBank, noFolder}, "jbxtool: Cannot create '" + noFolder + "'\n", ""},
        {{"extract", sparse, "3", old}, "jbxtool: Slot 3 of '" + sparse + "' is empty; nothing written\n", ""},
        {{"extract", kDemoBank, "1", split}, "jbxtool: Cannot write '" + dir.file("no/new\\x0aline.wav") + "'\n", ""},
        {{"convert", exe, old}, "jbxtool: Not a Creative Voice File\njbxtool: '" + exe + "' was not converted; nothing written\n", ""},
        {{"replace", kDemoBank, "1", missing, "-o", old}, "jbxtool: Cannot open sound file\n" + refused(missing), ""},
        {{"create", wave, exe, "-o", old}, "jbxtool: Not a valid sound file\n" + refused(exe), ""},
        {{"replace", kDemoBank, "4", nonsense, "-o", old}, "jbxtool: Not a Creative Voice File\n" + refused(nonsense), ""},
        {{"create", wave, v115, "-o", old}, askedV115 + refused(v115), ""},
        {{"rewrite", voiced, old}, lumpsRefused + silent(3) + silent(5), ""},
        {{"rename", voiced, "1", "x", "-o", old}, lumpsRefused + silent(3) + silent(5), ""},
        {{"replace", voiced, "3", wave, "-o", old}, lumpsRefused + silent(5), ""},
        {{"extract", voiced, "5", old}, lumpsRefused + silent(5), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const RunResult run = RunJbxtool(c.args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_THAT(run.out, Printed(c.outHas));
    }
    EXPECT_EQ(ReadBytes(old), ToBytes("the file that was here"));
    EXPECT_EQ(FileCount(dir), 8u) << "no new file, no temporary file left behind";

    // What is left unharmed goes through: another slot's sound, or the
    // user's word that a silent slot is what they want.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"extract", voiced, "1", dir.file("1.wav")}, {"rewrite", "--any-version", voiced, dir.file("any.jbx")}}) {
        SCOPED_TRACE(::testing::PrintToString(args));
        EXPECT_EQ(RunJbxtool(args).exitCode, 0);
        EXPECT_TRUE(std::filesystem::exists(args.back()));
    }
}

TEST_F(Jbxtool, RewriteIsByteIdenticalAndExtractAddsThePadByte)
{
    const RunResult rewrite = RunJbxtool({"rewrite", kDemoBank, dir.file("copy.jbx")});
    EXPECT_EQ(rewrite.exitCode, 0);
    EXPECT_EQ(rewrite.out + rewrite.err, "");
    EXPECT_EQ(ReadBytes(dir.file("copy.jbx")), ReadBytes(kDemoBank));

    const SoundBank bank = Load(kDemoBank);
    for (int n = 1; n <= kSlotCount; ++n) {
        const std::string out = dir.file(std::to_string(n) + ".wav");
        const RunResult run = RunJbxtool({"extract", kDemoBank, std::to_string(n), out});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out + run.err, "");
        // The byte after the lump, as the editor's Extract writes it.
        EXPECT_EQ(ReadBytes(out), Join(Sound(bank.slot(n)), {0x80})) << "slot " << n;
    }
}

TEST_F(Jbxtool, ConvertAnswersUnknownBlocksAndVersionsAsTold)
{
    const Bytes a = Ramp(7, 0x10), b = Ramp(3, 0xb0), c4 = Ramp(4, 0x60);
    const Bytes unknownBlock = VoiceFileBuilder().soundBlock(166, a).block(12, b).block(2, c4).terminator().build();
    const Bytes version115 = VoiceFileBuilder(15, 1).soundBlock(166, a).terminator().build();
    const std::string blockMessage = "jbxtool: Unknown voice file sound block. (Block ID 12, Block Length 3) ";
    const std::string versionMessage = "jbxtool: Unknown Voice File Version. Process anyway? ";
    const Bytes previous = ToBytes("the file that was here");
    const struct {
        Bytes voice;
        std::string option;
        int exitCode;
        std::string errHas;
        Bytes samples;   // empty: the output is left as it was
    } cases[] = {
        {unknownBlock, "", 0, blockMessage + "Stop Conversion (--unknown-block=skip or force goes on)\n", a},
        {unknownBlock, "--unknown-block=skip", 0, blockMessage + "Skip Block\n", Join(a, c4)},
        {unknownBlock, "--unknown-block=force", 0, blockMessage + "Force Conversion\n", Join(Join(a, b), c4)},
        {version115, "", 1, versionMessage + "No (--any-version answers Yes)\njbxtool: ", {}},
        {version115, "--any-version", 0, versionMessage + "Yes (--any-version)\n", a},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.errHas);
        const std::string out = write("out.wav", previous);
        std::vector<std::string> args{"convert", write("in.voc", c.voice), out};
        if (!c.option.empty())
            args.insert(args.begin() + 1, c.option);
        const RunResult run = RunJbxtool(args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr(c.errHas));
        const Bytes wave = ReadBytes(out);
        if (c.samples.empty()) {
            EXPECT_THAT(run.err, HasSubstr("was not converted; nothing written\n"));
            EXPECT_EQ(wave, previous);
            continue;
        }
        // The whole image, its pad byte included: 44 header bytes, then the samples.
        ASSERT_EQ(wave.size(), 44 + c.samples.size() + (c.samples.size() & 1));
        EXPECT_EQ(ReadLE32(&wave[40]), c.samples.size());
        EXPECT_EQ(Bytes(wave.begin() + 44, wave.begin() + 44 + std::ptrdiff_t(c.samples.size())), c.samples);
    }
}

// Names are typed in UTF-8 and stored as Windows-1252, one byte a
// character; info shows them decoded again, controls escaped.
TEST_F(Jbxtool, RenameStoresWindows1252AndInfoShowsItBack)
{
    const struct {
        std::string typed;
        std::string stored;
        std::string json;   // the parsed JSON string, UTF-8
        std::string text;   // as the listing shows it
    } cases[] = {
        {"caf\u00E9", "caf\xE9", "caf\u00E9", "caf\u00E9"},
        {"\u00DCberrasc", "\xDC" "berrasc", "\u00DCberrasc", "\u00DCberrasc"},
        {"a\t\"\\x41\u20AC", "a\t\"\\x41\x80", "a\t\"\\x41\u20AC", "a\\x09\"\\\\x41\u20AC"},
        {"\u0081\u2122", "\x81\x99", "\u0081\u2122", "\\x81\u2122"},
    };
    const SoundBank before = Load(kDemoBank);
    const std::string out = dir.file("renamed.jbx");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const RunResult run = RunJbxtool({"rename", kDemoBank, "3", c.typed, "-o", out});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const SoundBank after = Load(out);
        for (int n = 1; n <= kSlotCount; ++n) {
            EXPECT_EQ(after.slot(n).name, n == 3 ? c.stored : before.slot(n).name) << n;
            EXPECT_EQ(Sound(after.slot(n)), Sound(before.slot(n))) << n;
        }

        const RunResult json = RunJbxtool({"info", "--json", out});
        EXPECT_EQ(nlohmann::json::parse(json.out).at("slots").at(2).at("name"), c.json);
        const RunResult text = RunJbxtool({"info", out});
        EXPECT_THAT(text.out, HasSubstr("\n   3  " + c.text + " "));
        EXPECT_EQ(std::count(text.out.begin(), text.out.end(), '\n'), 2 + kSlotCount + 3) << "one line a slot";
    }
}

// A character Windows-1252 lacks, in a new name or in the file a slot would
// be named after, is named and refused before anything is written.
TEST_F(Jbxtool, TextsTheCodePageLacksAreRefused)
{
    const std::string out = dir.file("out.jbx");
    const std::string ok = write("ok.wav", Wave(20, 1));
    const std::string bug = write("\u0436\u0443\u043A.wav", Wave(20, 1));
    const std::string sun = write("\u65E5.wav", Wave(20, 1));
    const std::string tail = write("eightchr\u0436.wav", Wave(20, 1));
#ifdef _WIN32
    // Arguments reach a Windows program as UTF-16, where the stray byte
    // has already become U+FFFD.
    const std::string notUtf8 = "'caf\uFFFD'";
#else
    const std::string notUtf8 = "'caf\\xe9'";
#endif
    const struct {
        std::vector<std::string> args;
        std::string errHas;
    } cases[] = {
        {{"rename", kDemoBank, "3", "\u0436\u0443\u043A"}, "'\u0436\u0443\u043A' holds '\u0436' (U+0436), which Windows-1252 slot names cannot hold; nothing written\n"},
        {{"rename", kDemoBank, "3", "caf\xE9"}, notUtf8 + " holds bytes that are not UTF-8 (or U+FFFD)"},
        {{"rename", kDemoBank, "3", "x\u0080"}, "holds U+0080,"},
        {{"replace", kDemoBank, "3", bug}, "'" + bug + "' holds '\u0436' (U+0436)"},
        {{"create", ok, sun}, "'" + sun + "' holds '\u65E5' (U+65E5)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", out});
        const RunResult run = RunJbxtool(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr(c.errHas));
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << "said once";
        EXPECT_FALSE(std::filesystem::exists(out));
    }

    // Only the name is encoded: what lies past its eight characters is not.
    const RunResult run = RunJbxtool({"replace", kDemoBank, "3", tail, "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Load(out).slot(3).name, "eightchr");
}

TEST_F(Jbxtool, ReplaceAndCreateNameAndPlaceSoundsAsTheEditorDoes)
{
    const Bytes first = Wave(40, 1), second = Wave(60, 2);
    const std::string made = dir.file("made.jbx");
    RunResult run = RunJbxtool({"create", write("laugh.wav", first), write("boo.wav", second), "-o", made});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    SoundBank bank = Load(made);
    EXPECT_EQ(bank.slot(1).name, "laugh");
    EXPECT_EQ(Sound(bank.slot(1)), first);
    EXPECT_EQ(bank.slot(2).name, "boo");
    EXPECT_EQ(Sound(bank.slot(2)), second);

    const Bytes wave = Wave(500, 3), samples = Ramp(99, 5);
    const std::string out = dir.file("out.jbx");
    run = RunJbxtool({"replace", kDemoBank, "2", write("drum.loop.wav", wave), "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Bytes voice = VoiceFileBuilder().soundBlock(166, samples).terminator().build();
    run = RunJbxtool({"replace", out, "10", write("growl.voc", voice), "--output=" + out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    bank = Load(out);
    EXPECT_EQ(bank.slot(2).name, "drum");
    EXPECT_EQ(Sound(bank.slot(2)), wave);
    EXPECT_EQ(bank.slot(10).name, "growl");
    ASSERT_EQ(bank.slot(10).size, 44 + 99) << "the image without its pad byte";
    EXPECT_EQ(Bytes(bank.slot(10).data->begin() + 44, bank.slot(10).data->begin() + 44 + 99), samples);
    EXPECT_EQ(Sound(bank.slot(1)), Sound(Load(kDemoBank).slot(1)));
}

#ifndef _WIN32
// A bank saved through a link rewrites the file the link points at, and
// the link stays a link.
TEST_F(Jbxtool, SavingThroughALinkWritesItsTarget)
{
    const std::string target = write("target.jbx", ReadBytes(kDemoBank));
    const std::string link = dir.file("link.jbx");
    std::filesystem::create_symlink("target.jbx", link);
    const RunResult run = RunJbxtool({"rename", link, "1", "zzz", "-o", link});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(Load(target).slot(1).name, "zzz");
    EXPECT_EQ(FileCount(dir), 2u) << "a temporary file was left";
}

// A bank or a sound piped in through /dev/stdin, which cannot seek, is read
// as the file itself would be.
TEST_F(Jbxtool, StandardInputMayBeAPipe)
{
    const auto piped = [](const std::string& input, std::vector<std::string> args) {
        args.insert(args.begin(), {"-c", "f=$1; shift; cat \"$f\" | \"$@\"", "sh", input, JbxtoolPath()});
        return RunProgram("sh", args);
    };
    RunResult run = piped(kDemoBank, {"info", "--json", "/dev/stdin"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, RunJbxtool({"info", "--json", kDemoBank}).out);

    const std::string voice = write("in.voc", VoiceFileBuilder().soundBlock(166, Ramp(9)).terminator().build());
    const std::string fromFile = dir.file("file.wav"), fromPipe = dir.file("pipe.wav");
    ASSERT_EQ(RunJbxtool({"convert", voice, fromFile}).exitCode, 0);
    run = piped(voice, {"convert", "/dev/stdin", fromPipe});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadBytes(fromPipe), ReadBytes(fromFile));

    const Bytes wave = Wave(64, 7);
    const std::string out = dir.file("out.jbx");
    run = piped(write("w.wav", wave), {"replace", kDemoBank, "1", "/dev/stdin", "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const SoundBank bank = Load(out);
    EXPECT_EQ(bank.slot(1).name, "stdin");
    EXPECT_EQ(Sound(bank.slot(1)), wave);
}

// A read-only bank is refused, not replaced by a new file behind its back.
TEST_F(Jbxtool, AReadOnlyOutputIsRefused)
{
    const std::string out = write("locked.jbx", ToBytes("the bank that was there"));
    Locked locked(out);
    if (!locked.locked())
        GTEST_SKIP() << "cannot make a file read-only here (as root that takes chattr +i)";
    const RunResult run = RunJbxtool({"rename", kDemoBank, "1", "zzz", "-o", out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "jbxtool: Cannot create '" + out + "'\n");
    EXPECT_EQ(ReadBytes(out), ToBytes("the bank that was there"));
    EXPECT_EQ(FileCount(dir), 1u) << "a temporary file was left";
}

// What strace saw, one event a line: "fsync PATH" or "rename FROM TO",
// the paths of descriptors taken from the opens that made them.
std::vector<std::string> SyncEvents(const std::string& log)
{
    static const std::regex call(R"re(^(\w+)\((.*)\)\s+= (-?\d+))re");
    static const std::regex quoted(R"re("((?:[^"\\]|\\.)*)")re");
    std::map<std::string, std::string> paths;   // descriptor -> path
    std::vector<std::string> events;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_search(line, m, call) || m[3] == "-1")
            continue;
        const std::string name = m[1], args = m[2], value = m[3];
        std::vector<std::string> strings;
        for (std::sregex_iterator q(args.begin(), args.end(), quoted), end; q != end; ++q)
            strings.push_back((*q)[1]);
        if ((name == "openat" || name == "open") && !strings.empty())
            paths[value] = strings[0];
        else if (name == "fsync" || name == "fdatasync")
            events.push_back("fsync " + paths[args]);
        else if (name.starts_with("rename") && strings.size() == 2)
            events.push_back("rename " + strings[0] + " " + strings[1]);
    }
    return events;
}

// A save reaches the disk before it replaces the old file, and the folder
// that records the replacement follows: the temporary file's fsync, then
// the rename, then the folder's fsync.
TEST_F(Jbxtool, ASaveIsFlushedBeforeAndAfterTheRename)
{
    const std::string log = dir.file("strace.log");
    const std::string out = dir.file("out.jbx");
    WriteBytes(out, ToBytes("the bank that was there"));
    // The leak checker of a sanitizer build cannot run under a tracer.
    const RunResult run = RunProgram("strace",
        {"-o", log, "-e", "trace=open,openat,fsync,fdatasync,rename,renameat,renameat2", "-E",
            "ASAN_OPTIONS=detect_leaks=0", JbxtoolPath(), "rename", kDemoBank, "1", "zzz", "-o", out});
    if (run.exitCode == -1)
        GTEST_SKIP() << "strace is not installed (scripts/install-deps installs it)";
    if (run.exitCode != 0 && run.err.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "this machine does not let strace trace: " << run.err;
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> events = SyncEvents(ReadText(log));

    const auto rename = std::find_if(events.begin(), events.end(), [&](const std::string& e) {
        return e.starts_with("rename ") && e.ends_with(" " + out);
    });
    ASSERT_NE(rename, events.end()) << ::testing::PrintToString(events);
    const std::string temp = rename->substr(7, rename->size() - 7 - out.size() - 1);
    EXPECT_EQ(std::filesystem::path(temp).parent_path(), std::filesystem::path(dir.path()));
    EXPECT_NE(std::find(events.begin(), rename, "fsync " + temp), rename)
        << "the temporary file was not flushed before the rename: " << ::testing::PrintToString(events);
    EXPECT_NE(std::find(rename, events.end(), "fsync " + dir.path()), events.end())
        << "the folder was not flushed after the rename: " << ::testing::PrintToString(events);
    EXPECT_EQ(Load(out).slot(1).name, "zzz");
}

// A bank too big for what is left of the disk is refused and the old bank
// stays whole, whether no temporary file can be made beside it or its folder
// takes no new file and it would be written in place. The disk is a small
// tmpfs of this test's own, mounted in a private mount namespace.
TEST_F(Jbxtool, AFullDiskLeavesTheOldBankWhole)
{
    const std::string old = write("old.jbx", ToBytes("the bank that was there"));
    const std::string wave = write("big.wav", Wave(96 << 10, 1));
    const std::string disk = dir.file("disk");
    std::filesystem::create_directory(disk);
    const std::string out = disk + "/out.jbx";
    const std::string script =
        "mount -t tmpfs -o size=64k,nr_inodes=$1 jbx \"$3\" && cp \"$4\" \"$3/out.jbx\" && chmod 666 \"$3/out.jbx\""
        " && chmod $2 \"$3\" || exit 99\n"
        "disk=$3 old=$4; shift 4; \"$@\"; status=$?\n"
        "cmp -s \"$old\" \"$disk/out.jbx\" && echo unchanged; ls -A \"$disk\"; exit $status\n";
    const bool root = geteuid() == 0;
    // Beside the other files, where the other user may read it; the build
    // folder may be the builder's alone.
    const std::string bank = write("demo.jbx", ReadBytes(kDemoBank));
    const std::vector<std::string> save = {JbxtoolPath(), "replace", bank, "1", wave, "-o", out};
    const struct {
        const char* what;
        const char* inodes;
        const char* folderMode;
        std::vector<std::string> as;
    } cases[] = {
        {"no inode left for the temporary file", "2", "755", {}},
        // Only root can become a user whom the folder refuses.
        {"a folder that takes no new file", "8", "555", {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.as.empty() && !root)
            continue;
        std::vector<std::string> args = {root ? "-m" : "-rm", "sh", "-c", script, "sh", c.inodes, c.folderMode, disk, old};
        args.insert(args.end(), c.as.begin(), c.as.end());
        args.insert(args.end(), save.begin(), save.end());
        const RunResult run = RunProgram("unshare", args);
        if (run.exitCode == 99 || run.exitCode == -1 || run.err.starts_with("unshare:"))
            GTEST_SKIP() << "cannot mount a file system of the test's own here: " << run.err;
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "jbxtool: Cannot write '" + out + "'\n");
        EXPECT_EQ(run.out, "unchanged\nout.jbx\n") << "the old bank was damaged, or a temporary file was left";
    }
}

// A save stopped by a signal leaves neither the new file nor its temporary
// file, and jbxtool ends as the signal would have ended it. strace sends
// SIGTERM at the first fsync, the temporary file's.
TEST_F(Jbxtool, AnInterruptedSaveLeavesNoTemporaryFile)
{
    const std::string out = dir.file("out.jbx");
    const RunResult run = RunProgram("sh",
        {"-c", "strace -f -qq -o /dev/null -e trace=fsync -e inject=fsync:signal=TERM \"$@\"; echo $?", "sh", "-E",
            "ASAN_OPTIONS=detect_leaks=0", JbxtoolPath(), "rename", kDemoBank, "1", "zzz", "-o", out});
    if (run.out == "127\n")
        GTEST_SKIP() << "strace is not installed (scripts/install-deps installs it)";
    if (run.err.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "this machine does not let strace trace: " << run.err;
    EXPECT_EQ(run.out, "143\n") << run.err;
    EXPECT_EQ(FileCount(dir), 0u) << "the output or a temporary file was left";
}
#endif

// jbxtool with its address space limited: a sound or bank that does not fit
// is reported once, exit 1, and nothing is written. The big files are sparse.
TEST_F(Jbxtool, RunningOutOfMemoryIsReportedAndWritesNothing)
{
#if !JBX_MEMORY_LIMIT_WORKS
    GTEST_SKIP() << JBX_NO_MEMORY_LIMIT_REASON;
#else
    const std::string limit = "--as=" + std::to_string(std::uint64_t(256) << 20);
    const auto sparse = [&](const std::string& name, const Bytes& start, std::uint64_t length) {
        const std::string path = write(name, start);
        std::filesystem::resize_file(path, length);
        return path;
    };
    const std::string huge = sparse("huge.wav", ToBytes("RIFF"), std::uint64_t(512) << 20);
    const std::string giant = sparse("giant.wav", ToBytes("RIFF"), std::uint64_t(5) << 30);
    const std::string voice = sparse("big.voc", VoiceFileBuilder().soundBlock(166, Ramp(9)).terminator().build(),
        std::uint64_t(160) << 20);
    const std::string overlapping = dir.file("overlap.jbx");
    WriteOverlappingBank(overlapping, std::uint32_t(64) << 20);
    const std::string out = dir.file("out.jbx");
    const auto refused = [](const std::string& file) { return "jbxtool: '" + file + "' was refused; nothing written\n"; };
    const std::string noMemory = "jbxtool: Not enough memory to load the sound file\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"replace", kDemoBank, "1", huge, "-o", out}, noMemory + refused(huge)},
        {{"create", huge, "-o", out}, noMemory + refused(huge)},
        {{"create", voice, "-o", out}, noMemory + refused(voice)},
        {{"replace", kDemoBank, "2", giant, "-o", out}, "jbxtool: Cannot open sound file\n" + refused(giant)},
        {{"convert", voice, out}, "jbxtool: Not enough memory to convert '" + voice + "'\n"},
        {{"rewrite", overlapping, out}, "jbxtool: Not enough memory to load the JBX file\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        std::vector<std::string> args = {limit, "--", JbxtoolPath()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const RunResult run = RunProgram("prlimit", args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // The same tool under the same limit still does ordinary work.
    const RunResult small = RunProgram("prlimit", {limit, "--", JbxtoolPath(), "create", write("w.wav", Wave(64, 1)), "-o", out});
    EXPECT_EQ(small.exitCode, 0) << small.err;
#endif
}

} // namespace
} // namespace jbx::testing
