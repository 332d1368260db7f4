// jbxtool through the real binary: exit status, what it prints and where,
// and the files it writes or leaves alone. The core's own reading of the
// files is the yardstick; the core's tests cover the reading itself.

#include "tests/cli/runtool.h"

#include "audio/wavefile.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"
#include "tests/support/memorylimit.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <nlohmann/json.hpp>
#endif

#include <algorithm>
#include <tuple>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace jbx::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string kDemoBank = JBX_DEMO_BANK;

SoundBank Load(const std::string& path)
{
    FakeDesktop desktop;
    Session session(desktop);
    LoadBank(session, path, Owner::None);
    EXPECT_TRUE(desktop.messages.empty()) << path << " did not load quietly";
    return session.bank;
}

// A bank holding each lump as it stands in its slot, as no front end would store it.
WriteFileResult WriteBankOf(const std::string& path, const std::vector<std::pair<int, Bytes>>& lumps)
{
    SoundBank bank;
    for (const auto& [slot, lump] : lumps) {
        bank.slot(slot).size = std::int32_t(lump.size());
        bank.slot(slot).data = std::make_shared<Bytes>(lump);
        bank.slot(slot).data->push_back(0x80);
    }
    return WriteBankFile(bank, path);
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

// A name typed in UTF-8 reaches the bank; info shows it decoded again, its
// controls escaped in the listing.
TEST_F(Jbxtool, RenameAndInfoShowTheBankAsTheCoreReadsIt)
{
    const std::string out = dir.file("renamed.jbx");
    const RunResult rename = RunJbxtool({"rename", kDemoBank, "3", "a\t\"\\\u20AC\u0081", "-o", out});
    ASSERT_EQ(rename.exitCode, 0) << rename.err;
    const SoundBank after = Load(out);
    EXPECT_EQ(after.slot(3).name, "a\t\"\\\x80\x81");

    const RunResult text = RunJbxtool({"info", out});
    const SoundSlot& last = after.slot(kSlotCount);
    EXPECT_THAT(text.out, HasSubstr("\n   3  a\\x09\"\\\\\u20AC\\x81 "));
    EXPECT_THAT(text.out, ::testing::ContainsRegex("\n +10 +" + last.name + " +" + std::to_string(last.fileOffset)
                              + " +" + std::to_string(last.size) + "\n"));

#ifndef _WIN32
    const nlohmann::json slots = nlohmann::json::parse(RunJbxtool({"info", "--json", out}).out).at("slots");
    ASSERT_EQ(slots.size(), std::size_t(kSlotCount));
    EXPECT_EQ(slots[2], (nlohmann::json{{"slot", 3}, {"name", "a\t\"\\\u20AC\u0081"},
                            {"offset", after.slot(3).fileOffset}, {"size", after.slot(3).size}}));
#endif
}

// Help goes to standard output, exit 0. A usage error (exit 2) or a
// refusal (exit 1) says why on standard error and writes nothing: no new
// file, no temporary file, and the old file as it was.
TEST_F(Jbxtool, UsageErrorsAndRefusalsSayWhyAndWriteNothing)
{
    const std::string garbage = write("garbage.jbx", Bytes(300, 'x'));
    const std::string wave = write("w.wav", PcmWave(20));
    const std::string bug = write("\u0436\u0443\u043A.wav", PcmWave(20));
    const std::string sparse = dir.file("sparse.jbx");
    ASSERT_EQ(RunJbxtool({"create", wave, "-o", sparse}).exitCode, 0);
    const std::string old = write("old", ToBytes("the file that was here"));
    const std::string missing = dir.file("missing"), noFolder = dir.file("no/out");
    const std::string split = dir.file("no/new\nline.wav");
    // Voice files that the conversion refuses, and a bank that holds them:
    // a batch run writes no bank with a silent slot in their place.
    const std::string nonsense = write("nonsense.voc", ToBytes("Creative nonsense file here"));
    const std::string v115 = write("v115.voc", VoiceFileBuilder(15, 1).soundBlock(166, Ramp(9)).terminator().build());
    const std::string voiced = dir.file("voiced.jbx");
    Bytes adpcmWave = PcmWave(8);
    adpcmWave[20] = 2;   // the format tag
    const std::string adpcm = write("adpcm.wav", adpcmWave);
    const std::string flac = write("damaged.flac", ToBytes("fLaC and nothing a decoder takes"));
    const std::string rubbish = write("rubbish.wav", ToBytes("Rubbish that Replace would store as it stands"));
    const std::string hush = write("hush.wav", WaveImage(1, 1, 11025, 8, {128, 127, 129, 128}));
    ASSERT_EQ(WriteBankOf(voiced, {{1, ReadBytes(wave)}, {3, ReadBytes(v115)}, {5, ReadBytes(nonsense)}}),
        WriteFileResult::Written);
    const auto unheld = [](const std::string& given, const std::string& what) {
        return "jbxtool: " + given + " holds " + what + ", which Windows-1252 slot names cannot hold; nothing written\n";
    };
    const std::string askedV115 = "jbxtool: Unknown Voice File Version. Process anyway? No (--any-version answers Yes)\n";
    const std::string lumpsRefused = askedV115 + "jbxtool: Not a Creative Voice File\n";
    const auto silent = [&](int slot) {
        return "jbxtool: Slot " + std::to_string(slot) + " of '" + voiced
            + "' holds a voice file that was not converted; nothing written (--any-version writes it as the editor keeps it)\n";
    };
    const struct {
        std::vector<std::string> args;
        int exitCode;
        ::testing::Matcher<const std::string&> err, out;
    } cases[] = {
        {{}, 2, HasSubstr("Usage: jbxtool COMMAND"), ""},
        {{"--help"}, 0, "", HasSubstr("Usage: jbxtool COMMAND")},
        {{"frobnicate"}, 2, HasSubstr("jbxtool: unknown command 'frobnicate'\n"), ""},
        {{"info"}, 2, HasSubstr("jbxtool: info takes BANK (0 given)\nUsage: jbxtool info"), ""},
        {{"info", "--colour", kDemoBank}, 2, HasSubstr("unknown option '--colour' for info\nUsage: jbxtool info"), ""},
        {{"convert", "--unknown-block=maybe", wave, old}, 2,
            HasSubstr("stop, skip or force, not 'maybe'\nUsage: jbxtool convert"), ""},
        {{"extract", kDemoBank, "1\n\x7f", old}, 2,
            HasSubstr("SLOT must be a number from 1 to 10, not '1\\x0a\\x7f'\nUsage: jbxtool extract"), ""},
        {{"rename", kDemoBank, "3", "bark"}, 2, HasSubstr("rename needs -o OUT, the bank to write\nUsage: jbxtool rename"), ""},
        {{"rename", kDemoBank, "3", "bark", "-o", old, "--output=" + missing}, 2,
            HasSubstr("one output only: '" + old + "' and '" + missing + "' given\nUsage: jbxtool rename"), ""},
        {{"rename", kDemoBank, "3", "ninechars", "-o", old}, 2,
            HasSubstr("NAME must be 1 to 8 characters, not 'ninechars'"), ""},
        {{"info", "--json", garbage}, 1, "jbxtool: Not a valid JeerBox sound file\n", HasSubstr("\"accepted\": false,\n  \"error\": \"not a bank\",\n")},
        {{"info", missing}, 1, "jbxtool: Cannot open JBX file\n", HasSubstr("Accepted: no\n")},
        {{"rewrite", kDemoBank, noFolder}, 1, "jbxtool: Cannot create '" + noFolder + "'\n", ""},
        {{"extract", sparse, "3", old}, 1, "jbxtool: Slot 3 of '" + sparse + "' is empty; nothing written\n", ""},
        {{"extract", kDemoBank, "1", split}, 1, "jbxtool: Cannot create '" + dir.file("no/new\\x0aline.wav") + "'\n", ""},
        {{"create", wave, v115, "-o", old}, 1, askedV115 + "jbxtool: '" + v115 + "' was not converted; nothing written\n", ""},
        // Characters that Windows-1252 lacks, in a file's title or a new name.
        {{"replace", kDemoBank, "3", bug, "-o", old}, 1, unheld("'" + bug + "'", "'\u0436' (U+0436)"), ""},
        {{"rename", kDemoBank, "3", "x\u0080", "-o", old}, 1, unheld("'x\\xc2\\x80'", "U+0080"), ""},
        // The slot a command overwrites, or the only one it reads, is spared.
        {{"rewrite", voiced, old}, 1, lumpsRefused + silent(3) + silent(5), ""},
        {{"replace", voiced, "3", wave, "-o", old}, 1, lumpsRefused + silent(5), ""},
        {{"extract", voiced, "5", old}, 1, lumpsRefused + silent(5), ""},
        // --mono and --8bit change PCM or float WAVE sounds only; a compressed
        // file that the decoder cannot open says why.
        {{"convert", rubbish, old}, 1, "jbxtool: '" + rubbish + "' is no sound this build reads; nothing written\n", ""},
        {{"create", "--mono", adpcm, "-o", old}, 1,
            "jbxtool: '" + adpcm + "' holds samples that --mono and --8bit do not take (PCM or float); nothing written\n", ""},
        {{"convert", "--normalize=-61", wave, old}, 2,
            HasSubstr("jbxtool: --normalize takes a level from -60 to 0 dBFS, not '-61'\nUsage: jbxtool convert"), ""},
        {{"create", "--trim-silence=-121", wave, "-o", old}, 2,
            HasSubstr("--trim-silence takes a level from -120 to 0 dBFS, not '-121'\nUsage: jbxtool create"), ""},
        {{"create", "--trim-silence=-30", hush, "-o", old}, 1,
            "jbxtool: '" + hush + "' is below -30 dBFS throughout: --trim-silence would leave nothing; nothing written\n", ""},
#ifdef _WIN32
        {{"create", flac, "-o", old}, 1, "jbxtool: Cannot read '" + flac + "': it starts as a FLAC file,"
            " but this system's decoder cannot read it; nothing written\n", ""},
#else
        {{"create", flac, "-o", old}, 1, "jbxtool: '" + flac + "' is damaged: the decoder cannot open it; nothing written\n", ""},
#endif
    };
    const std::size_t files = FileCount(dir);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const RunResult run = RunJbxtool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_THAT(run.err, c.err);
        EXPECT_THAT(run.out, c.out);
    }
    EXPECT_EQ(ReadBytes(old), ToBytes("the file that was here"));
    EXPECT_EQ(FileCount(dir), files) << "no new file, no temporary file left behind";

    // What is left unharmed goes through: a bank, rewritten quietly and byte
    // for byte; another slot's sound, with the byte after it as the editor's
    // Extract writes it; or, on the user's word, a bank with silent slots.
    const RunResult copy = RunJbxtool({"rewrite", kDemoBank, dir.file("copy.jbx")});
    EXPECT_EQ(copy.exitCode, 0);
    EXPECT_EQ(copy.out + copy.err, "");
    EXPECT_EQ(ReadBytes(dir.file("copy.jbx")), ReadBytes(kDemoBank));
    EXPECT_EQ(RunJbxtool({"extract", voiced, "1", dir.file("1.wav")}).exitCode, 0);
    Bytes extracted = ReadBytes(wave);
    extracted.push_back(0x80);
    EXPECT_EQ(ReadBytes(dir.file("1.wav")), extracted);
    EXPECT_EQ(RunJbxtool({"rewrite", "--any-version", voiced, dir.file("any.jbx")}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.file("any.jbx")));
}

// check prints a line for each bank and one for each of its slots, and exits
// 1 when a game cannot play one of them; a file that is not a bank is a
// problem of its own and the banks after it are checked all the same.
TEST_F(Jbxtool, CheckFindsSlotsGamesCannotPlayInEveryBank)
{
    const std::string laugh = write("laugh.wav", PcmWave(11025));
    const std::string growl = write("growl.wav", WaveImage(1, 2, 11025, 16, Bytes(44100, 0)));
    const std::string mono = dir.file("mono.jbx"), mixed = dir.file("mixed.jbx");
    ASSERT_EQ(RunJbxtool({"create", laugh, "-o", mono}).exitCode, 0);
    ASSERT_EQ(RunJbxtool({"create", laugh, growl, "-o", mixed}).exitCode, 0);
    const std::string garbage = write("garbage.jbx", Bytes(300, 'x'));

    RunResult run = RunJbxtool({"check", mono});
    EXPECT_EQ(run.exitCode, 0) << "an empty slot is only a warning";
    EXPECT_THAT(run.out, StartsWith("Bank '" + mono + "': accepted\n"
                                    "Slot 1 \"laugh\": PCM WAVE, 1 channel, 8 bits, 11025 Hz, 1.00 s\n"
                                    "Slot 2 \"(none)\": empty; warning: the slot is empty\n"));

    // A name's quotes are escaped as its backslashes are, so the line still reads one way.
    const std::string quoted = dir.file("quoted.jbx");
    ASSERT_EQ(RunJbxtool({"rename", mono, "1", "l\"a\\", "-o", quoted}).exitCode, 0);
    EXPECT_THAT(RunJbxtool({"check", quoted}).out, HasSubstr("\nSlot 1 \"l\\\"a\\\\\": PCM WAVE"));

    run = RunJbxtool({"check", garbage, mixed});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "jbxtool: Not a valid JeerBox sound file\n");
    EXPECT_THAT(run.out, StartsWith("Bank '" + garbage + "': not accepted; problem: not a bank\n"
                                    "Bank '" + mixed + "': accepted\n"));
    EXPECT_THAT(run.out, HasSubstr("\nSlot 2 \"growl\": PCM WAVE, 2 channels, 16 bits, 11025 Hz, 1.00 s; "
                                   "problem: the game plays mono sounds only; warning: the game may need 8-bit\n"));
    // Put in again made mono and 8-bit, the sound passes.
    const std::string ready = dir.file("ready.jbx");
    ASSERT_EQ(RunJbxtool({"replace", "--mono", "--8bit", mixed, "2", growl, "-o", ready}).exitCode, 0);
    EXPECT_THAT(RunJbxtool({"check", ready}).out, HasSubstr("\nSlot 2 \"growl\": PCM WAVE, 1 channel, 8 bits, 11025 Hz, 1.00 s\n"));

#ifndef _WIN32
    // One bank per line, each line a JSON document of its own; a path's bytes that are not UTF-8 show as the
    // text output shows them.
    const std::string latin = write("gar\xe7on.jbx", Bytes(300, 'x'));
    run = RunJbxtool({"check", "--json", latin, mixed});
    EXPECT_EQ(run.exitCode, 1);
    std::vector<nlohmann::json> banks;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);)
        banks.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(banks.size(), 2u);
    EXPECT_EQ(banks[0], (nlohmann::json{{"path", dir.file("gar\\xe7on.jbx")}, {"accepted", false}, {"problems", nlohmann::json::array({"not a bank"})},
                            {"slots", nlohmann::json::array()}}));
    const nlohmann::json& slots = banks[1].at("slots");
    ASSERT_EQ(slots.size(), std::size_t(kSlotCount));
    EXPECT_EQ(slots[0].at("channels"), 1);
    EXPECT_EQ(slots[0].at("bits"), 8);
    EXPECT_EQ(slots[1], (nlohmann::json{{"slot", 2}, {"name", "growl"}, {"kind", "pcm-wave"}, {"channels", 2},
                            {"bits", 16}, {"rate", 11025}, {"seconds", 1.0},
                            {"problems", nlohmann::json::array({"the game plays mono sounds only"})},
                            {"warnings", nlohmann::json::array({"the game may need 8-bit"})}}));
#endif
}

// The options answer the conversion's questions, each answer telling how
// many samples come out; the WAVE image is written whole or not at all.
TEST_F(Jbxtool, ConvertAnswersUnknownBlocksAndVersionsAsTold)
{
    const Bytes unknownBlock =
        VoiceFileBuilder().soundBlock(166, Ramp(7)).block(12, Ramp(3)).block(2, Ramp(4)).terminator().build();
    const Bytes version115 = VoiceFileBuilder(15, 1).soundBlock(166, Ramp(7)).terminator().build();
    const std::string blockMessage = "jbxtool: Unknown voice file sound block. (Block ID 12, Block Length 3) ";
    const std::string versionMessage = "jbxtool: Unknown Voice File Version. Process anyway? ";
    const Bytes previous = ToBytes("the file that was here");
    const std::string in = dir.file("in.voc"), out = dir.file("out.wav");
    const struct {
        Bytes voice;
        std::string option;
        int exitCode;
        std::string err;
        std::size_t samples;   // 0: the output is left as it was
    } cases[] = {
        {unknownBlock, "", 0, blockMessage + "Stop Conversion (--unknown-block=skip or force goes on)\n", 7},
        {unknownBlock, "--unknown-block=skip", 0, blockMessage + "Skip Block\n", 7 + 4},
        {unknownBlock, "--unknown-block=force", 0, blockMessage + "Force Conversion\n", 7 + 3 + 4},
        {version115, "", 1,
            versionMessage + "No (--any-version answers Yes)\njbxtool: '" + in + "' was not converted; nothing written\n", 0},
        {version115, "--any-version", 0, versionMessage + "Yes (--any-version)\n", 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.err);
        WriteBytes(in, c.voice);
        WriteBytes(out, previous);
        std::vector<std::string> args{"convert", in, out};
        if (!c.option.empty())
            args.insert(args.begin() + 1, c.option);
        const RunResult run = RunJbxtool(args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
        // 44 header bytes, the samples, and the pad byte an odd count takes.
        EXPECT_EQ(ReadBytes(out).size(), c.samples == 0 ? previous.size() : 44 + c.samples + (c.samples & 1));
    }
}

#ifndef _WIN32
// A bank or a voice file piped in through /dev/stdin, which cannot seek, is
// read as the file itself would be.
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
    // A WAVE file is copied as it stands.
    run = piped(fromFile, {"convert", "/dev/stdin", dir.file("copied.wav")});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ReadBytes(dir.file("copied.wav")), ReadBytes(fromFile));
}

// A bank too big for what is left of the disk, to be written in place
// because its folder takes no new file, is refused and the old bank stays
// whole. The disk is a small tmpfs of this test's own, mounted in a private
// mount namespace; only root can become a user whom the folder refuses.
TEST_F(Jbxtool, AFullDiskLeavesTheOldBankWhole)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "taking another user's identity needs root";
    const std::string old = write("old.jbx", ToBytes("the bank that was there"));
    const std::string wave = write("big.wav", PcmWave(96 << 10));
    const std::string disk = dir.file("disk");
    std::filesystem::create_directory(disk);
    const std::string out = disk + "/out.jbx";
    const std::string script =
        "mount -t tmpfs -o size=64k jbx \"$1\" && cp \"$2\" \"$1/out.jbx\" && chmod 666 \"$1/out.jbx\""
        " && chmod 555 \"$1\" || exit 99\n"
        "disk=$1 old=$2; shift 2; \"$@\"; status=$?\n"
        "cmp -s \"$old\" \"$disk/out.jbx\" && echo unchanged; ls -A \"$disk\"; exit $status\n";
    // Beside the other files, where the other user may read it; the build
    // folder may be the builder's alone.
    const std::string bank = write("demo.jbx", ReadBytes(kDemoBank));
    const RunResult run = RunProgram("unshare", {"-m", "sh", "-c", script, "sh", disk, old, "setpriv", "--reuid=65534",
        "--regid=65534", "--clear-groups", JbxtoolPath(), "replace", bank, "1", wave, "-o", out});
    if (run.exitCode == 99 || run.exitCode == -1 || run.err.starts_with("unshare:"))
        GTEST_SKIP() << "cannot mount a file system of the test's own here: " << run.err;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "jbxtool: Cannot write '" + out + "'\n");
    EXPECT_EQ(run.out, "unchanged\nout.jbx\n") << "the old bank was damaged, or a temporary file was left";
}

// A save reaches the disk before it replaces the old file, and the folder
// that records the replacement follows: the temporary file's fsync, then
// the rename, then the folder's fsync. A save stopped by a signal at that
// first fsync leaves neither the new file nor its temporary file, and
// jbxtool ends as the signal would have ended it.
TEST_F(Jbxtool, ASaveIsFlushedAroundTheRenameAndAnInterruptedOneLeavesNothing)
{
    const std::string log = dir.file("strace.log");
    const std::string out = write("out.jbx", ToBytes("the bank that was there"));
    const auto traced = [&](std::vector<std::string> args, const std::string& to) {
        args.insert(args.begin(), {"-c", "strace \"$@\"; echo $?", "sh"});
        // The leak checker of a sanitizer build cannot run under a tracer.
        args.insert(args.end(),
            {"-E", "ASAN_OPTIONS=detect_leaks=0", JbxtoolPath(), "rename", kDemoBank, "1", "zzz", "-o", to});
        return RunProgram("sh", args);
    };
    RunResult run = traced({"-y", "-o", log, "-e", "trace=fsync,fdatasync,rename,renameat,renameat2"}, out);
    if (run.out == "127\n")
        GTEST_SKIP() << "strace is not installed (scripts/install-deps installs it)";
    if (run.err.find("ptrace") != std::string::npos)
        GTEST_SKIP() << "this machine does not let strace trace: " << run.err;
    ASSERT_EQ(run.out, "0\n") << run.err;
    const Bytes logged = ReadBytes(log);
    std::string events(logged.begin(), logged.end());
    for (auto at = events.find(dir.path()); at != std::string::npos; at = events.find(dir.path(), at))
        events.replace(at, dir.path().size(), "DIR");
    static const std::regex order(R"(^fsync\(\d+<DIR/([^/>]+)>\) += 0\nrename\w*\(.*"DIR/\1", .*"DIR/out\.jbx"\) += 0\n)"
                                  R"(fsync\(\d+<DIR>\) += 0\n\+\+\+ exited)");
    EXPECT_TRUE(std::regex_search(events, order)) << events;
    EXPECT_EQ(Load(out).slot(1).name, "zzz");

    run = traced({"-f", "-qq", "-o", "/dev/null", "-e", "trace=fsync", "-e", "inject=fsync:signal=TERM"},
        dir.file("stopped.jbx"));
    EXPECT_EQ(run.out, "143\n") << run.err;
    EXPECT_EQ(FileCount(dir), 2u) << "the output or a temporary file was left";
}

// An input that another program cuts while it is being copied fails the
// save, which names it: the old output stays, no temporary file is left. The
// cut comes while the save has its temporary file open, held there by a
// delay strace puts on the permissions it copies from the old output.
TEST_F(Jbxtool, AnInputCutDuringTheSaveFailsIt)
{
    const std::string voice = write("in.voc", VoiceFileBuilder().soundBlock(166, Ramp(60000)).block(2, Ramp(40000)).terminator().build());
    const std::string bank = dir.file("in.jbx");
    ASSERT_EQ(WriteBankOf(bank, {{1, PcmWave(60000)}}), WriteFileResult::Written);
    const std::string out = write("out", ToBytes("the file that was there"));
    const std::string script =
        "in=$1 cut=$2 folder=$3; shift 3\n"
        "strace -f -qq -o /dev/null -e trace=fchmod -e inject=fchmod:delay_enter=1500000 \\\n"
        // The leak checker of a sanitizer build cannot run under a tracer.
        "  -E ASAN_OPTIONS=detect_leaks=0 \"$@\" & job=$!\n"
        "for i in $(seq 600); do ls \"$folder\"/.jbx-*.tmp >/dev/null 2>&1 && break; sleep 0.02; done\n"
        "truncate -s \"$cut\" \"$in\"; wait $job\n";
    const auto cutWhileSaving = [&](const std::string& input, int cut, std::vector<std::string> command) {
        command.insert(command.begin(), {"-c", script, "sh", input, std::to_string(cut), dir.path(), JbxtoolPath()});
        return RunProgram("sh", command);
    };
    for (const auto& [input, cut, command] : {std::tuple{voice, 48100, std::vector<std::string>{"convert", voice, out}},
             std::tuple{bank, 30000, std::vector<std::string>{"rewrite", bank, out}}}) {
        SCOPED_TRACE(command[0]);
        const RunResult run = cutWhileSaving(input, cut, command);
        if (run.exitCode == 127)
            GTEST_SKIP() << "strace is not installed (scripts/install-deps installs it)";
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, "jbxtool: Cannot read '" + input + "': it changed while it was read; nothing written\n");
        EXPECT_EQ(ReadBytes(out), ToBytes("the file that was there"));
        EXPECT_EQ(FileCount(dir), 3u) << "a temporary file was left";
    }
}

#endif

// The sound options, given here in reverse, all reach the one shaping, which
// applies them in its own order.
TEST_F(Jbxtool, SoundOptionsShapeInOneOrder)
{
    Bytes samples;
    for (const int sample : {0, 0, 100, 0, 8192, 0, 0, -4096, 0, 0})
        PutLE16(samples, std::uint16_t(sample));
    const std::string clip = write("clip.wav", WaveImage(1, 2, 11025, 16, samples));
    // 4096 and -2048 of 32768 brought up by 0.891 / 0.125, to 114.1 and -57.0 of 128.
    const Bytes expected = WaveImage(1, 1, 11025, 8, {128 + 114, 128 - 57});
    const std::string converted = dir.file("converted.wav"), bank = dir.file("shaped.jbx");
    const auto shaping = [&](std::vector<std::string> args) {
        for (const char* option : {"--trim-silence", "--mono", "--normalize", "--8bit"})
            args.insert(args.begin() + 1, option);
        return RunJbxtool(args);
    };
    const RunResult convert = shaping({"convert", clip, converted});
    ASSERT_EQ(convert.exitCode, 0) << convert.err;
    EXPECT_EQ(ReadBytes(converted), expected);

    ASSERT_EQ(shaping({"create", clip, "-o", bank}).exitCode, 0);
    const SoundBank shaped = Load(bank);
    const SoundSlot& slot = shaped.slot(1);
    EXPECT_EQ(Bytes(slot.data->begin(), slot.data->begin() + slot.size), expected);
}

#ifndef _WIN32
// A FLAC file goes into a slot decoded to a 16-bit PCM WAVE of the same
// frames, or 8-bit with --8bit; convert decodes it to a file alike. Every
// input may come through a pipe.
TEST_F(Jbxtool, CompressedSoundsAreDecodedFromFilesAndPipes)
{
    const std::string wave = dir.file("stereo.wav"), flac = dir.file("stereo.flac");
    const RunResult made = RunProgram("sox", {"-n", "-r", "11025", "-c", "2", "-b", "16", wave, "synth", "0.1", "sine", "440"});
    if (made.exitCode != 0 || RunProgram("sox", {wave, flac}).exitCode != 0)
        GTEST_SKIP() << "sox is not installed (scripts/install-deps installs it): " << made.err;
    const auto formatOf = [](const Bytes& image) {
        const WaveFormat format = ReadWaveFormat(image).value_or(WaveFormat{});
        return std::tuple(format.encoding, format.channels, format.bitsPerSample, format.dataLength);
    };
    const auto piped = [](const std::string& input, const std::string& command) {
        return RunProgram("sh", {"-c", "cat \"$1\" | \"$2\" " + command, "sh", input, JbxtoolPath()});
    };
    const std::uint32_t frames = std::get<3>(formatOf(ReadBytes(wave))) / 4;
    const std::string bank = dir.file("decoded.jbx"), replaced = dir.file("replaced.jbx"),
                      converted = dir.file("converted.wav");
    ASSERT_EQ(RunJbxtool({"create", "--8bit", flac, "-o", bank}).exitCode, 0);
    ASSERT_EQ(piped(flac, "replace " + bank + " 2 /dev/stdin -o " + replaced).exitCode, 0);
    ASSERT_EQ(piped(wave, "replace " + replaced + " 3 /dev/stdin -o " + replaced).exitCode, 0);
    const SoundBank decoded = Load(replaced);
    const auto slotFormat = [&](int n) {
        const SoundSlot& slot = decoded.slot(n);
        return formatOf(Bytes(slot.data->begin(), slot.data->end()));
    };
    EXPECT_EQ(slotFormat(1), std::tuple(SampleEncoding::Pcm, 2, 8, frames * 2));
    EXPECT_EQ(slotFormat(2), std::tuple(SampleEncoding::Pcm, 2, 16, frames * 4));
    EXPECT_EQ(slotFormat(3), formatOf(ReadBytes(wave)));
    ASSERT_EQ(piped(flac, "convert /dev/stdin " + converted).exitCode, 0);
    EXPECT_EQ(formatOf(ReadBytes(converted)), std::tuple(SampleEncoding::Pcm, 2, 16, frames * 4));
}
#endif

#ifdef _WIN32
// Windows decodes through Media Foundation: an MP3 becomes a 16-bit PCM
// WAVE of its own channels and rate, and one cut in half is refused with
// nothing written. The sounds are made by the build machine's ffmpeg.
TEST_F(Jbxtool, CompressedSoundsAreDecodedByTheSystem)
{
    const std::string sounds = JBX_MF_SOUNDS;
    const std::string converted = dir.file("converted.wav");
    const RunResult run = RunJbxtool({"convert", sounds + "/tone.mp3", converted});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const WaveFormat format = ReadWaveFormat(ReadBytes(converted)).value_or(WaveFormat{});
    EXPECT_EQ(std::tuple(format.formatTag, format.channels, format.sampleRate, format.bitsPerSample),
        std::tuple(std::uint16_t(1), std::uint16_t(2), 44100u, std::uint16_t(16)));
    // Three seconds, give or take the codec's padding.
    EXPECT_NEAR(format.dataLength / 4.0, 3 * 44100, 2 * 1152);

    const std::string cut = sounds + "/half-tone.mp3", notWritten = dir.file("cut.wav");
    const RunResult refused = RunJbxtool({"convert", cut, notWritten});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_THAT(refused.err, HasSubstr("is damaged: its sound ends at 1.5 s of 3.0 s"));
    EXPECT_FALSE(std::filesystem::exists(notWritten));
}
#endif

// Files bigger than the memory jbxtool may use go through all the same:
// a voice file's blocks are walked by their headers and its samples copied
// behind the WAVE header, and a bank's sounds stay in the file until they
// are written. The files are sparse: a voice file of eight sound blocks of
// 16 MiB, and a bank whose ten sounds each cover all of it.
TEST_F(Jbxtool, FilesBiggerThanMemoryStream)
{
#if !JBX_MEMORY_LIMIT_WORKS
    GTEST_SKIP() << JBX_NO_MEMORY_LIMIT_REASON;
#else
    constexpr std::uint32_t kBlockLength = 0xFFFFFF;
    constexpr int kBlocks = 8;
    const std::string voice = write("big.voc", VoiceFileBuilder().block(1, kBlockLength, {166, 0}).build());
    const std::uint64_t samples = kBlocks * std::uint64_t(kBlockLength) - 2;
    {
        std::fstream file(voice, std::ios::in | std::ios::out | std::ios::binary);
        for (int i = 1; i < kBlocks; ++i) {
            file.seekp(std::streamoff(26 + i * (4 + std::uint64_t(kBlockLength))));
            file.write("\x02\xff\xff\xff", 4);
        }
        // The last sample byte, and nothing (a terminator) after it.
        file.seekp(std::streamoff(26 + kBlocks * (4 + std::uint64_t(kBlockLength)) - 1));
        file.write("\x7f\0", 2);
        ASSERT_TRUE(file.good());
    }
    const auto limited = [](std::vector<std::string> args) {
        args.insert(args.begin(), {"--as=" + std::to_string(std::uint64_t(64) << 20), "--", JbxtoolPath()});
        return RunProgram("prlimit", args);
    };
    const std::string out = dir.file("out.wav");
    RunResult run = limited({"convert", voice, out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::ifstream image(out, std::ios::binary | std::ios::ate);
    EXPECT_EQ(std::uint64_t(image.tellg()), 44 + samples);
    image.seekg(std::streamoff(44 + samples - 1));
    EXPECT_EQ(image.get(), 0x7f);

    constexpr std::uint32_t kBankLength = 160 << 20;
    const std::string bank = dir.file("big.jbx");
    WriteOverlappingBank(bank, kBankLength);
    run = limited({"info", bank});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr(" " + std::to_string(kBankLength) + "\nAuthor"));
    run = limited({"extract", bank, "10", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(std::filesystem::file_size(out), kBankLength + 1u);

    // A bank is at most 2 GiB, its offsets being signed 32-bit: a bank that would outgrow them, or a file no slot
    // holds, is refused by its size before anything is read, with the limit named.
    const auto sparse = [&](const std::string& name, const std::string& start, std::uint64_t size) {
        const std::string path = write(name, ToBytes(start));
        std::filesystem::resize_file(path, size);
        return path;
    };
    const std::string wave1 = sparse("one.wav", "RIFF", 1'200'000'000), wave2 = sparse("two.wav", "RIFF", 1'200'000'000);
    const std::string hugeVoice = sparse("huge.voc", "Creative Voice File\x1a", 2'200'000'000);
    const std::string made = dir.file("made.jbx");
    run = limited({"create", wave1, wave2, "-o", made});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "jbxtool: '" + made + "' would be 2.3 GiB; a bank holds at most 2 GiB; nothing written\n");
    run = limited({"replace", bank, "3", hugeVoice, "-o", made});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "jbxtool: '" + hugeVoice + "' is 2.1 GiB; a slot holds at most 2 GiB; nothing written\n");
    run = limited({"convert", hugeVoice, out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "jbxtool: '" + hugeVoice + "' is 2.1 GiB; a voice file of at most 2 GiB, what a slot holds,"
                       " is converted; nothing written\n");
    EXPECT_FALSE(std::filesystem::exists(made));
#endif
}

} // namespace
} // namespace jbx::testing
