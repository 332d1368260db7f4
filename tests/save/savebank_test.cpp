#include "bank/savebank.h"

#include "bank/bankwriter.h"
#include "bank/desktop.h"
#include "bank/filesystem.h"
#include "bank/soundbank.h"
#include "tests/settings/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace jbx;
using namespace jbx::testing;

namespace {

class SaveTest : public ::testing::Test {
protected:
    SaveTest() : session(desktop)
    {
        savedDirectory = CurrentDirectory();
        NewBank(session, nullptr);
        SoundSlot& slot = session.bank.slot(2);
        slot.data = MakeSoundData(6);
        *slot.data = {'R', 'I', 'F', 'F', 1, 0x80};
        slot.size = 5;
        slot.name = "two";
        session.bank.bankTitle = "before.jbx";
    }
    ~SaveTest() override { ChangeCurrentDirectory(savedDirectory); }

    Bytes expectedFile() const
    {
        MemorySink sink;
        EXPECT_TRUE(WriteBank(session.bank, sink));
        return sink.data;
    }

    void saveAs(const std::string& path)
    {
        desktop.fileAnswers.push_back(ChosenFile{path, 1});
        SaveBank(session, settings, window);
    }

    FakeDesktop desktop;
    FakeMainWindow window;
    FakeSettingsStore settings;
    Session session;
    TempDir dir;
    std::string savedDirectory;
};

} // namespace

TEST_F(SaveTest, AsksWithTheSaveDialogStartingWhereTheSettingsSay)
{
    desktop.fileAnswers.push_back(std::nullopt);
    SaveBank(session, settings, window);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    const FileDialogRequest& request = desktop.fileDialogs[0];
    EXPECT_EQ(request.kind, FileDialogKind::Save);
    EXPECT_EQ(request.title, "Save");
    EXPECT_EQ(request.filters, (std::vector<FileFilter>{{"JeerBox Files (*.jbx)", "*.jbx"}}));
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_TRUE(request.confirmOverwrite);
    EXPECT_TRUE(request.pathMustExist);
    EXPECT_EQ(request.defaultSuffix, "");
    EXPECT_EQ(request.startDirectory, ".");

    settings.values = {{"UseLastSaveDir", "yes"}, {"JBXSaveDirectory", "/banks/mine"}};
    desktop.fileAnswers.push_back(std::nullopt);
    SaveBank(session, settings, window);
    EXPECT_EQ(desktop.fileDialogs[1].startDirectory, "/banks/mine");
}

TEST_F(SaveTest, CancellingWritesAndRemembersNothing)
{
    settings.values = {{"UseLastSaveDir", "no"}};
    desktop.fileAnswers.push_back(std::nullopt);
    SaveBank(session, settings, window);

    EXPECT_EQ(settings.values.count("JBXSaveDirectory"), 0u);
    EXPECT_EQ(session.bank.bankTitle, "before.jbx");
    EXPECT_EQ(window.captionChanges, 0);
    EXPECT_TRUE(desktop.progress.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(SaveTest, WritesTheBankWithProgressAndTakesTheFileNameAsTitle)
{
    const std::string path = dir.file("taunts");   // no extension is added
    saveAs(path);

    EXPECT_EQ(ReadBytes(path), expectedFile());
    EXPECT_EQ(desktop.progress,
        (std::vector<int>{-1, 0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 100, -2}));
    EXPECT_EQ(session.bank.bankTitle, "taunts");
    EXPECT_EQ(window.caption, "JBX Maker - taunts");
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(std::filesystem::path(settings.values.at("JBXSaveDirectory")),
        std::filesystem::path(dir.path()))
        << "the chosen folder is remembered even with UseLastSaveDir off";
    EXPECT_FALSE(session.bank.creditsConfirmed) << "saving settles nothing else";
    EXPECT_EQ(session.bank.slot(2).fileOffset, 0);
}

TEST_F(SaveTest, AFileThatCannotBeCreatedIsReportedAndTheTitleStays)
{
    const std::string blocker = dir.file("plain-file");
    WriteBytes(blocker, ToBytes("in the way"));
    saveAs(blocker + "/bank.jbx");

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], (Message{"Cannot create JBX file", "Error", MessageButtons::Ok,
                                       MessageIcon::Stop, Owner::MainWindow}));
    EXPECT_EQ(session.bank.bankTitle, "before.jbx");
    EXPECT_EQ(ReadBytes(blocker), ToBytes("in the way"));
    EXPECT_EQ(desktop.progress.back(), -2) << "the progress window closes on failure too";
}

TEST_F(SaveTest, AFailedReplacementLeavesWhatWasThereAndNoTemporaryFile)
{
    // A folder with the chosen name: the bytes are written, but the folder
    // cannot be replaced by them.
    const std::string target = dir.file("folder.jbx");
    std::filesystem::create_directory(target);
    WriteBytes(target + "/inside", ToBytes("kept"));
    saveAs(target);

    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot write JBX file");
    EXPECT_EQ(ReadBytes(target + "/inside"), ToBytes("kept"));
    EXPECT_EQ(session.bank.bankTitle, "before.jbx");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 1) << "no temporary file is left behind";
}
