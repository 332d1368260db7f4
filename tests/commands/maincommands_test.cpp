#include "app/maincommands.h"

#include "bank/bankwriter.h"
#include "seam/desktop.h"
#include "seam/filesystem.h"
#include "bank/soundbank.h"
#include "tests/settings/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace jbx;
using namespace jbx::testing;

namespace {

class CommandTest : public ::testing::Test {
protected:
    CommandTest()
        : session(desktop),
          commands(session, settings, window,
              {[this] { hooks += "credits "; }, [this] { hooks += "options "; }, [this] { hooks += "close "; }}),
          savedDirectory(CurrentDirectory())
    {
        NewBank(session, nullptr);
    }
    ~CommandTest() override { ChangeCurrentDirectory(savedDirectory); }

    // A bank file, written by the program, with one sound: "s4" in slot 4.
    std::string makeBank(const std::string& name)
    {
        Session other(desktop);
        NewBank(other, nullptr);
        other.bank.slot(4).data = MakeSoundData(9);
        *other.bank.slot(4).data = {'R', 'I', 'F', 'F', 1, 2, 3, 4, 0x80};
        other.bank.slot(4).size = 8;
        other.bank.slot(4).name = "s4";
        EXPECT_EQ(WriteBankFile(other.bank, dir.file(name)), SaveResult::Saved);
        return dir.file(name);
    }

    FakeDesktop desktop;
    FakeMainWindow window;
    FakeSettingsStore settings;
    Session session;
    MainCommands commands;
    TempDir dir;
    std::string savedDirectory;
    std::string hooks;
};

} // namespace

TEST_F(CommandTest, StartingTheWindowShowsTheBankAndFocusesSoundOne)
{
    session.bank.currentSlot = 7;
    commands.startWindow();
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
    EXPECT_EQ(session.bank.currentSlot, 1);
    EXPECT_FALSE(window.extractEnabled) << "slot 1 is empty";
    EXPECT_EQ(window.focusedButton, 1);
}

TEST_F(CommandTest, OnlyClicksAndAcceleratorsOnKnownIdsRunAnything)
{
    for (int id : {99, 110, 122, 124, 129, 135, 137, kNameBoxId, kSizeTextId})
        EXPECT_FALSE(commands.run(id)) << id;
    EXPECT_FALSE(commands.run(command::kSound1 + 3, Notification::Other)) << "a focus notice plays nothing";
    EXPECT_FALSE(commands.run(command::kQuit, Notification::Other));
    // No question was scripted: one asked would fail the test.
    EXPECT_TRUE(desktop.played.empty());
    EXPECT_TRUE(commands.run(command::kQuit, Notification::Accelerator));
    EXPECT_TRUE(commands.run(command::kCredits));
    EXPECT_TRUE(commands.run(command::kOptions));
    EXPECT_EQ(hooks, "close credits options ");
}

TEST_F(CommandTest, SoundButtonsSelectAndPlayAndShiftGoesOnToReplace)
{
    commands.dropFiles({makeBank("two.jbx")});
    commands.startWindow();
    EXPECT_TRUE(commands.run(command::kSound1 + 3, Notification::Accelerator));   // F4
    EXPECT_EQ(session.bank.currentSlot, 4);
    ASSERT_EQ(desktop.played.size(), 1u);
    EXPECT_EQ(desktop.played[0], session.bank.slot(4).data);

    desktop.shift = true;
    desktop.fileAnswers.push_back(std::nullopt);
    commands.run(command::kSound1 + 3);
    EXPECT_EQ(desktop.played.size(), 2u) << "Shift still plays first";
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 4");
}

TEST_F(CommandTest, NewAndSaveAskFirst)
{
    const Message newQuestion{"Current changes will be lost.\n\nContinue?", "Warning", MessageButtons::YesNo,
        MessageIcon::Question, Owner::MainWindow};
    const Message creditsQuestion{"You haven't entered any credits for the JBX you just saved.\n\n"
                                  "Click on the \"Credits...\" button in the main window to enter some.\n\n"
                                  "Save anyway?",
        "Warning", MessageButtons::YesNo, MessageIcon::Stop, Owner::MainWindow};
    commands.dropFiles({makeBank("full.jbx")});
    desktop.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    commands.run(command::kNew);
    EXPECT_EQ(session.bank.slot(4).size, 8);
    commands.run(command::kNew);
    EXPECT_EQ(session.bank.slot(4).size, 0);
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
    EXPECT_EQ(desktop.messages, (std::vector<Message>{newQuestion, newQuestion}));

    // After New the credits are unsettled: No cancels before any dialog, Yes goes on.
    desktop.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    desktop.fileAnswers = {std::nullopt, std::nullopt};
    commands.run(command::kSave);
    EXPECT_TRUE(desktop.fileDialogs.empty());
    commands.run(command::kSave);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Save");
    session.bank.creditsConfirmed = true;
    commands.run(command::kSave);
    EXPECT_EQ(desktop.fileDialogs.size(), 2u);
    EXPECT_EQ(desktop.messages, (std::vector<Message>{newQuestion, newQuestion, creditsQuestion, creditsQuestion}));
}

TEST_F(CommandTest, OpenAsksForABankAndRemembersItsFolderBeforeLoading)
{
    desktop.fileAnswers = {std::nullopt};
    commands.openBank();
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    const FileDialogRequest& request = desktop.fileDialogs[0];
    EXPECT_EQ(request.title, "Open");
    EXPECT_EQ(request.filters, (std::vector<FileFilter>{{"JeerBox Files (*.jbx)", "*.jbx"}}));
    EXPECT_EQ(request.defaultSuffix, "JBX");
    EXPECT_TRUE(request.fileMustExist);
    EXPECT_EQ(request.startDirectory, ".");
    EXPECT_EQ(settings.values.count("JBXOpenDirectory"), 0u) << "cancelled: nothing remembered";

    WriteBytes(dir.file("notes.txt"), ToBytes("just some text, long enough to have a directory offset"));
    desktop.fileAnswers = {ChosenFile{dir.file("notes.txt"), 1}};
    commands.openBank();
    EXPECT_EQ(window.captions.front(), "JBX Maker - notes.txt") << "the title shows before the load";
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
    EXPECT_EQ(desktop.messages.at(0).owner, Owner::MainWindow);
    EXPECT_EQ(std::filesystem::path(settings.values.at("JBXOpenDirectory")), std::filesystem::path(dir.path()))
        << "remembered although UseLastOpenDir is off and the load failed";
}

TEST_F(CommandTest, DroppingLoadsOnlyTheFirstFileWithoutAsking)
{
    commands.dropFiles({makeBank("first.jbx"), makeBank("second.jbx")});
    EXPECT_EQ(window.caption, "JBX Maker - first.jbx");
    EXPECT_TRUE(desktop.messages.empty());

    commands.dropFiles({dir.path()});
    EXPECT_EQ(desktop.messages.at(0).owner, Owner::None);
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
}

TEST_F(CommandTest, TheCommandLineIsOneBankPathWithBlanksAndQuotes)
{
    PrepareBank(session, JoinArguments({}));
    EXPECT_EQ(session.bank.bankTitle, "Untitled");
    EXPECT_TRUE(desktop.messages.empty());

    const std::string spaced = makeBank("My taunts.jbx");
    PrepareBank(session, JoinArguments({dir.file("My"), "taunts.jbx"}));
    EXPECT_EQ(session.bank.bankTitle, "My taunts.jbx");
    EXPECT_EQ(session.bank.slot(4).name, "s4");
    EXPECT_EQ(session.bank.currentSlot, 0) << "nothing selected before the window starts";

    PrepareBank(session, "\"" + spaced + "\"");   // quotes are part of the path
    EXPECT_EQ(desktop.messages, (std::vector<Message>{{"Cannot open JBX file", "Error", MessageButtons::Ok,
                                    MessageIcon::Stop, Owner::None}}));
    EXPECT_EQ(session.bank.bankTitle, "Untitled");
}

TEST(AcceleratorTable, TheShippedTableIsReadAndABrokenOneRefused)
{
    const Bytes text = ReadBytes(JBX_ACCELERATORS_FILE);
    std::vector<Accelerator> expected{{'A', false, 128}};
    for (bool alt : {true, false})
        for (int i = 0; i < 10; ++i)
            expected.push_back({0x70 + i, alt, 100 + i});   // F1 to F10
    for (int i = 0; i < 10; ++i)
        expected.push_back({i == 9 ? '0' : '1' + i, false, 100 + i});
    EXPECT_EQ(ParseAcceleratorTable(std::string(text.begin(), text.end())), expected);

    std::string whole = "A 128\n";
    for (int i = 1; i <= 30; ++i)
        whole += "F" + std::to_string(i % 10 + 1) + " 100\r\n";
    ASSERT_TRUE(ParseAcceleratorTable(whole));
    const std::string broken[] = {"", whole.substr(0, whole.rfind("F")), whole + "B 128\n",
        "Q128\n" + whole.substr(6), "Ctrl+A 128\n" + whole.substr(6), "F25 100\n" + whole.substr(6),
        "a 128\n" + whole.substr(6), "A 12x\n" + whole.substr(6)};
    for (const std::string& bad : broken)
        EXPECT_FALSE(ParseAcceleratorTable(bad)) << bad.substr(0, 12);
}
