// The jbxtool commands that change banks: replace, rename and create, through
// the real binary, checked by loading what they wrote with the core.

#include "tests/cli/runtool.h"

#include "bank/bankloader.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace jbx::testing {
namespace {

using ::testing::HasSubstr;

const std::string kDemoBank = JBX_DEMO_BANK;

SoundBank Load(const std::string& path)
{
    FakeDesktop desktop;
    Session session(desktop);
    LoadBank(session, path, nullptr);
    EXPECT_TRUE(desktop.messages.empty()) << path << " did not load quietly";
    return session.bank;
}

Bytes Sound(const SoundSlot& slot)
{
    return Bytes(slot.data->begin(), slot.data->begin() + slot.size);
}

Bytes Wave(std::size_t n, std::uint8_t seed)
{
    Bytes bytes = ToBytes("RIFF");
    const Bytes ramp = Ramp(n - 4, seed);
    bytes.insert(bytes.end(), ramp.begin(), ramp.end());
    return bytes;
}

class JbxtoolEdit : public ::testing::Test {
protected:
    std::string write(const std::string& name, const Bytes& bytes)
    {
        const std::string path = dir.file(name);
        WriteBytes(path, bytes);
        return path;
    }

    TempDir dir;
};

TEST_F(JbxtoolEdit, RenameChangesOneNameAndKeepsEverythingElse)
{
    const std::string out = dir.file("renamed.jbx");
    const RunResult run = RunJbxtool({"rename", kDemoBank, "3", "bark", "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const SoundBank before = Load(kDemoBank);
    const SoundBank after = Load(out);
    for (int n = 1; n <= kSlotCount; ++n) {
        EXPECT_EQ(after.slot(n).name, n == 3 ? "bark" : before.slot(n).name) << n;
        EXPECT_EQ(Sound(after.slot(n)), Sound(before.slot(n))) << n;
    }
    EXPECT_EQ(after.credits.author, before.credits.author);
}

TEST_F(JbxtoolEdit, ReplaceNamesAndClassifiesTheFileAsTheEditorDoes)
{
    const Bytes wave = Wave(500, 3);
    const std::string out = dir.file("out.jbx");
    RunResult run = RunJbxtool({"replace", kDemoBank, "2", write("drum.loop.wav", wave), "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    SoundBank bank = Load(out);
    EXPECT_EQ(bank.slot(2).name, "drum");
    EXPECT_EQ(Sound(bank.slot(2)), wave);

    const Bytes samples = Ramp(99, 5);
    const Bytes voice = VoiceFileBuilder().soundBlock(166, samples).terminator().build();
    run = RunJbxtool({"replace", out, "10", write("growl.voc", voice), "--output=" + out});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    bank = Load(out);
    EXPECT_EQ(bank.slot(10).name, "growl");
    ASSERT_EQ(bank.slot(10).size, 44 + 99) << "the image without its last (pad) byte";
    EXPECT_EQ(Bytes(bank.slot(10).data->begin() + 44, bank.slot(10).data->begin() + 44 + 99), samples);
    EXPECT_EQ(bank.slot(2).name, "drum");
}

TEST_F(JbxtoolEdit, RefusedFilesWriteNothing)
{
    const std::string out = write("existing.jbx", ToBytes("left alone"));
    const struct {
        std::string file;
        std::string message;
    } cases[] = {
        {write("program.exe", ToBytes("MZ\x90\x00")), "Not a valid sound file"},
        {write("empty.wav", {}), "Not a valid sound file"},
        {dir.file("missing.wav"), "Cannot open sound file"},
    };
    for (const auto& c : cases) {
        const RunResult run = RunJbxtool({"replace", kDemoBank, "1", c.file, "-o", out});
        EXPECT_EQ(run.exitCode, 1) << c.file;
        EXPECT_THAT(run.err, HasSubstr(c.message)) << c.file;
        EXPECT_EQ(ReadBytes(out), ToBytes("left alone")) << c.file;
    }
    const RunResult create = RunJbxtool(
        {"create", write("a.wav", Wave(20, 1)), cases[0].file, "-o", dir.file("new.jbx")});
    EXPECT_EQ(create.exitCode, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("new.jbx")));
}

TEST_F(JbxtoolEdit, CreateFillsSlotsInOrderWithoutCredits)
{
    const Bytes first = Wave(40, 1);
    const Bytes second = Wave(60, 2);
    const std::string out = dir.file("made.jbx");
    const RunResult run = RunJbxtool(
        {"create", write("laugh.wav", first), write("boo.wav", second), "-o", out});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const SoundBank bank = Load(out);
    EXPECT_EQ(bank.slot(1).name, "laugh");
    EXPECT_EQ(Sound(bank.slot(1)), first);
    EXPECT_EQ(bank.slot(2).name, "boo");
    EXPECT_EQ(Sound(bank.slot(2)), second);
    for (int n = 3; n <= kSlotCount; ++n) {
        EXPECT_EQ(bank.slot(n).size, 0);
        EXPECT_EQ(bank.slot(n).name, "(none)");
    }
    EXPECT_TRUE(bank.credits.empty());
}

TEST_F(JbxtoolEdit, UsageErrors)
{
    const std::string wave = write("w.wav", Wave(20, 1));
    const std::vector<std::vector<std::string>> cases = {
        {"rename", kDemoBank, "3", "bark"},                          // no -o
        {"rename", kDemoBank, "3", "ninechars", "-o", "x.jbx"},      // name too long
        {"rename", kDemoBank, "3", "", "-o", "x.jbx"},
        {"rename", kDemoBank, "11", "bark", "-o", "x.jbx"},
        {"replace", kDemoBank, "0", wave, "-o", "x.jbx"},
        {"replace", kDemoBank, "1", wave, "-o"},
        {"create", "-o", "x.jbx"},
        {"create", wave, wave, wave, wave, wave, wave, wave, wave, wave, wave, wave, "-o", "x.jbx"},
    };
    for (const auto& args : cases) {
        const RunResult run = RunJbxtool(args);
        EXPECT_EQ(run.exitCode, 2) << args[0] << " " << args.size();
        EXPECT_THAT(run.err, HasSubstr("Usage: jbxtool " + args[0]));
    }
    EXPECT_FALSE(std::filesystem::exists("x.jbx"));
}

} // namespace
} // namespace jbx::testing
