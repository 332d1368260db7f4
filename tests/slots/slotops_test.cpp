#include "audio/slotops.h"

#include "bank/desktop.h"
#include "bank/filesystem.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace jbx;
using namespace jbx::testing;

namespace {

class SlotTest : public ::testing::Test {
protected:
    SlotTest() : session(desktop)
    {
        NewBank(session, nullptr);
        session.bank.currentSlot = 1;
        savedDirectory = CurrentDirectory();
    }
    ~SlotTest() override { ChangeCurrentDirectory(savedDirectory); }

    // Puts the bytes into slot n as if a bank had been loaded.
    void fillSlot(int n, const Bytes& sound, const std::string& name)
    {
        SoundSlot& slot = session.bank.slot(n);
        slot.data = MakeSoundData(sound.size() + 1);
        std::copy(sound.begin(), sound.end(), slot.data->begin());
        (*slot.data)[sound.size()] = 0x80;
        slot.size = std::int32_t(sound.size());
        slot.name = name;
    }

    // Replaces slot n with a file of the given name and bytes, chosen with
    // the given filter.
    void replaceWith(int n, const std::string& fileName, const Bytes& bytes, int filterIndex = 1)
    {
        const std::string path = dir.file(fileName);
        WriteBytes(path, bytes);
        desktop.fileAnswers.push_back(ChosenFile{path, filterIndex});
        ReplaceSlot(session, window, n);
    }

    void extractTo(const std::string& path, int n)
    {
        desktop.fileAnswers.push_back(ChosenFile{path, 1});
        ExtractSlot(session, window, n);
    }

    FakeDesktop desktop;
    FakeMainWindow window;
    Session session;
    TempDir dir;
    std::string savedDirectory;
};

Bytes WaveLike(std::size_t n)
{
    Bytes bytes = ToBytes("RIFF");
    const Bytes ramp = Ramp(n - 4, 7);
    bytes.insert(bytes.end(), ramp.begin(), ramp.end());
    return bytes;
}

const Message kNotASoundFile{"Not a valid sound file", "Error", MessageButtons::Ok,
    MessageIcon::Stop, Owner::MainWindow};

} // namespace

TEST(SlotSizeText, ChoosesUnitByRangeWithItsOwnMegabyteDivisor)
{
    const std::pair<std::int32_t, const char*> cases[] = {
        {0, "0 bytes"},
        {1023, "1023 bytes"},
        {1024, "1 KB"},
        {2047, "1 KB"},
        {1048575, "1023 KB"},
        {1048576, "1 MB"},
        {2049535, "1 MB"},
        {2049536, "2 MB"},
        {3100000, "3 MB"},
        {16777215, "16 MB"},
        {16777216, "16777216 bytes"},
        {INT32_MAX, "2147483647 bytes"},
    };
    for (const auto& [size, text] : cases)
        EXPECT_EQ(FormatSlotSize(size), text) << size;
}

TEST(SlotNames, AreTheFileNameUpToItsFirstDotAtMostEightCharacters)
{
    const std::pair<const char*, const char*> cases[] = {
        {"laugh.wav", "laugh"},
        {"drum.loop.wav", "drum"},
        {"verylongname.wav", "verylong"},
        {"noextension", "noextens"},
        {".hidden.wav", ".hidden"},
        {"..wav", "."},
        {"a.b", "a"},
    };
    for (const auto& [title, name] : cases)
        EXPECT_EQ(SlotNameFromFileTitle(title), name) << title;
}

TEST_F(SlotTest, SelectingCommitsTypedNameToThePreviousSlotAndPlaysTheNewOne)
{
    fillSlot(5, WaveLike(100), "five");
    session.bank.currentSlot = 2;
    window.name = "bark";

    SelectSlot(session, window, 5);

    EXPECT_EQ(session.bank.slot(2).name, "bark");
    EXPECT_EQ(session.bank.slot(5).name, "five");
    EXPECT_EQ(session.bank.currentSlot, 5);
    EXPECT_EQ(window.focusedButton, 5);
    EXPECT_EQ(window.name, "five");
    EXPECT_EQ(window.sizeText, "100 bytes");
    EXPECT_TRUE(window.extractEnabled);
    ASSERT_EQ(desktop.played.size(), 1u);
    EXPECT_EQ(desktop.played[0], session.bank.slot(5).data);
}

TEST_F(SlotTest, SelectingAnEmptySlotShowsNothingPlaysNothingAndKeepsNames)
{
    fillSlot(1, WaveLike(10), "one");
    window.name = "(none)";

    SelectSlot(session, window, 3);
    EXPECT_EQ(session.bank.slot(1).name, "one") << "\"(none)\" in the box renames nothing";
    EXPECT_EQ(window.name, "(none)");
    EXPECT_EQ(window.sizeText, "");
    EXPECT_FALSE(window.extractEnabled);
    EXPECT_TRUE(desktop.played.empty());

    SelectSlot(session, window, 3);
    EXPECT_EQ(session.bank.slot(3).name, "(none)");
}

TEST_F(SlotTest, ReplaceAsksWithItsOwnDialogAndRemembersTheFilter)
{
    replaceWith(3, "laugh.wav", WaveLike(50), 2);

    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    const FileDialogRequest& request = desktop.fileDialogs[0];
    EXPECT_EQ(request.kind, FileDialogKind::Open);
    EXPECT_EQ(request.title, "Replace sound 3");
    EXPECT_EQ(request.filters, (std::vector<FileFilter>{{"Wave Files (*.wav)", "*.wav"},
                                   {"Voice Files (*.voc)", "*.voc"}}));
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_TRUE(request.fileMustExist);
    EXPECT_EQ(request.defaultSuffix, "");
    EXPECT_EQ(request.startDirectory, "");

    replaceWith(4, "again.wav", WaveLike(50));
    EXPECT_EQ(desktop.fileDialogs[1].filterIndex, 2);

    desktop.fileAnswers.push_back(std::nullopt);
    ReplaceSlot(session, window, 4);
    desktop.fileAnswers.push_back(std::nullopt);
    ReplaceSlot(session, window, 4);
    EXPECT_EQ(desktop.fileDialogs[3].filterIndex, 1) << "a cancelled dialog keeps the filter";
}

TEST_F(SlotTest, ReplaceWithAWaveFileKeepsItsBytesAndNamesTheSlot)
{
    const Bytes sound = WaveLike(2000);
    window.extractEnabled = false;
    replaceWith(3, "laugh.wav", sound);

    const SoundSlot& slot = session.bank.slot(3);
    EXPECT_EQ(slot.name, "laugh");
    EXPECT_EQ(slot.size, 2000);
    EXPECT_EQ(slot.fileOffset, 0);
    EXPECT_EQ(Bytes(slot.data->begin(), slot.data->begin() + 2000), sound);
    EXPECT_EQ((*slot.data)[2000], 0x80);
    EXPECT_EQ(window.name, "laugh");
    EXPECT_EQ(window.sizeText, "1 KB");
    EXPECT_FALSE(window.extractEnabled) << "Replace leaves the Extract button alone";
    EXPECT_TRUE(desktop.played.empty()) << "Replace does not play";
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(std::filesystem::path(CurrentDirectory()), std::filesystem::path(dir.path()))
        << "a confirmed dialog moves the current directory to the file's folder";
}

TEST_F(SlotTest, ReplaceClassifiesByTheFirstBytes)
{
    replaceWith(1, "cxyz.snd", ToBytes("Cxyz and more"));
    EXPECT_EQ(session.bank.slot(1).size, 13);
    EXPECT_EQ(session.bank.slot(1).name, "cxyz");
    EXPECT_TRUE(desktop.messages.empty()) << "'C' without \"rea\" is taken as it is";

    replaceWith(2, "crea.snd", ToBytes("Cre"));
    EXPECT_EQ(session.bank.slot(2).size, 3) << "three bytes cannot be a voice file";

    replaceWith(3, "program.exe", ToBytes("MZ\x90"));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], kNotASoundFile);
    EXPECT_EQ(session.bank.slot(3).size, 1);
    EXPECT_EQ(session.bank.slot(3).name, "(none)");
    EXPECT_EQ(window.name, "(none)");
    EXPECT_EQ(window.sizeText, "1 bytes");
}

TEST_F(SlotTest, AnEmptyFileIsRejectedAndExtractStaysInsideItsBuffer)
{
    replaceWith(6, "empty.wav", {});
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], kNotASoundFile);
    EXPECT_EQ(session.bank.slot(6).size, 1);

    const std::string out = dir.file("out.wav");
    ASSERT_TRUE(WriteSlotFile(session.bank, out, 6));
    EXPECT_EQ(ReadBytes(out), (Bytes{0x80, 0x00}));
}

TEST_F(SlotTest, ReplaceWithAVoiceFileStoresTheImageAndExtractWritesItWhole)
{
    const Bytes samples = Ramp(101, 1);
    const Bytes voice = VoiceFileBuilder().soundBlock(166, samples).terminator().build();
    replaceWith(7, "growl.voc", voice, 2);

    const SoundSlot& slot = session.bank.slot(7);
    const std::size_t imageLength = 44 + samples.size() + 1;   // odd count: a pad byte
    EXPECT_EQ(slot.size, std::int32_t(imageLength - 1));
    EXPECT_EQ(slot.name, "growl");
    EXPECT_EQ(slot.data->size(), voice.size() + 48);

    const std::string out = dir.file("growl.wav");
    extractTo(out, 7);
    const Bytes written = ReadBytes(out);
    ASSERT_EQ(written.size(), imageLength);
    EXPECT_EQ(Bytes(written.begin(), written.begin() + 4), ToBytes("RIFF"));
    EXPECT_EQ(Bytes(written.begin() + 44, written.begin() + 44 + 101), samples);
}

TEST_F(SlotTest, AnUnreadableReplaceFileChangesNothing)
{
    fillSlot(2, WaveLike(30), "keep");
    const SoundData before = session.bank.slot(2).data;
    desktop.fileAnswers.push_back(ChosenFile{dir.file("vanished.wav"), 2});
    ReplaceSlot(session, window, 2);

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], (Message{"Cannot open sound file", "Error", MessageButtons::Ok,
                                       MessageIcon::Stop, Owner::MainWindow}));
    EXPECT_EQ(session.bank.slot(2).data, before);
    EXPECT_EQ(session.bank.slot(2).name, "keep");
    EXPECT_EQ(session.replaceFilterIndex, 0);
}

TEST_F(SlotTest, ASoundStillPlayingSurvivesItsReplacement)
{
    const Bytes first = WaveLike(64);
    fillSlot(1, first, "first");
    SelectSlot(session, window, 1);
    replaceWith(1, "second.wav", WaveLike(80));

    ASSERT_EQ(desktop.played.size(), 1u);
    EXPECT_NE(desktop.played[0], session.bank.slot(1).data);
    EXPECT_EQ(Bytes(desktop.played[0]->begin(), desktop.played[0]->begin() + 64), first);
}

TEST_F(SlotTest, ExtractAsksForAWaveFileAndWritesTheSoundWithTheByteAfterIt)
{
    const Bytes sound = WaveLike(300);
    fillSlot(4, sound, "four");
    const std::string out = dir.file("four");
    WriteBytes(out, ToBytes("an older file with other bytes in it"));
    extractTo(out, 4);

    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    const FileDialogRequest& request = desktop.fileDialogs[0];
    EXPECT_EQ(request.kind, FileDialogKind::Save);
    EXPECT_EQ(request.title, "Extract");
    EXPECT_EQ(request.filters, (std::vector<FileFilter>{{"Wave Files (*.wav)", "*.wav"}}));
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_TRUE(request.confirmOverwrite);
    EXPECT_TRUE(request.pathMustExist);
    EXPECT_EQ(request.defaultSuffix, "") << "a name without extension is used as typed";

    Bytes expected = sound;
    expected.push_back(0x80);
    EXPECT_EQ(ReadBytes(out), expected);
    EXPECT_TRUE(desktop.messages.empty());

    desktop.fileAnswers.push_back(std::nullopt);
    ExtractSlot(session, window, 4);
    EXPECT_EQ(ReadBytes(out), expected);
}

TEST_F(SlotTest, AnUncreatableExtractFileIsReported)
{
    fillSlot(4, WaveLike(10), "four");
    extractTo(dir.file("no/such/folder/four.wav"), 4);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], (Message{"Cannot create sound file", "Error", MessageButtons::Ok,
                                       MessageIcon::Stop, Owner::MainWindow}));
}
