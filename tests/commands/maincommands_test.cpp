#include "app/maincommands.h"

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

const Message kNewQuestion{"Current changes will be lost.\n\nContinue?", "Warning",
    MessageButtons::YesNo, MessageIcon::Question, Owner::MainWindow};
const Message kCreditsQuestion{
    "You haven't entered any credits for the JBX you just saved.\n\n"
    "Click on the \"Credits...\" button in the main window to enter some.\n\n"
    "Save anyway?",
    "Warning", MessageButtons::YesNo, MessageIcon::Stop, Owner::MainWindow};

class CommandTest : public ::testing::Test {
protected:
    CommandTest()
        : session(desktop),
          commands(session, settings, window,
              {[this] { ++creditsShown; }, [this] { ++optionsShown; }, [this] { ++closed; }})
    {
        savedDirectory = CurrentDirectory();
        NewBank(session, nullptr);
    }
    ~CommandTest() override { ChangeCurrentDirectory(savedDirectory); }

    // A bank file with a sound in slot 1 and 4, written by the program.
    std::string makeBank(const std::string& name)
    {
        Session other(desktop);
        NewBank(other, nullptr);
        for (int n : {1, 4}) {
            SoundSlot& slot = other.bank.slot(n);
            slot.data = MakeSoundData(9);
            *slot.data = {'R', 'I', 'F', 'F', 1, 2, 3, std::uint8_t(n), 0x80};
            slot.size = 8;
            slot.name = "s" + std::to_string(n);
        }
        const std::string path = dir.file(name);
        EXPECT_EQ(WriteBankFile(other.bank, path), SaveResult::Saved);
        return path;
    }

    FakeDesktop desktop;
    FakeMainWindow window;
    FakeSettingsStore settings;
    Session session;
    MainCommands commands;
    TempDir dir;
    std::string savedDirectory;
    int creditsShown = 0;
    int optionsShown = 0;
    int closed = 0;
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

    FakeMainWindow other;
    MainCommands loaded(session, settings, other, {});
    session.bank.bankTitle = "taunts.jbx";
    session.bank.slot(1).size = 5;
    session.bank.slot(1).data = MakeSoundData(6);
    loaded.startWindow();
    EXPECT_EQ(other.caption, "JBX Maker - taunts.jbx");
    EXPECT_TRUE(other.extractEnabled);
}

TEST_F(CommandTest, OnlyClicksAndAcceleratorsOnKnownIdsRunAnything)
{
    for (int id : {1, 2, 99, 110, 119, 122, 124, 129, 135, 137, 150, 151})
        EXPECT_FALSE(commands.run(id)) << id;
    EXPECT_FALSE(commands.run(command::kSound1 + 3, Notification::Other))
        << "a focus notice from a sound button plays nothing";
    EXPECT_FALSE(commands.run(command::kQuit, Notification::Other));

    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.fileDialogs.empty());
    EXPECT_TRUE(desktop.played.empty());
    EXPECT_EQ(closed, 0);

    EXPECT_TRUE(commands.run(command::kQuit, Notification::Accelerator));
    EXPECT_TRUE(commands.run(command::kCredits));
    EXPECT_TRUE(commands.run(command::kOptions));
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(creditsShown, 1);
    EXPECT_EQ(optionsShown, 1);
}

TEST_F(CommandTest, SoundButtonsSelectAndPlayAndShiftGoesOnToReplace)
{
    desktop.fileAnswers.push_back(std::nullopt);
    commands.dropFiles({makeBank("two.jbx")});
    commands.startWindow();

    EXPECT_TRUE(commands.run(command::kSound1 + 3, Notification::Accelerator));   // F4
    EXPECT_EQ(session.bank.currentSlot, 4);
    ASSERT_EQ(desktop.played.size(), 1u);
    EXPECT_EQ(desktop.played[0], session.bank.slot(4).data);
    EXPECT_TRUE(desktop.fileDialogs.empty());

    desktop.shift = true;
    commands.run(command::kSound1 + 3);
    EXPECT_EQ(desktop.played.size(), 2u) << "Shift still plays first";
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 4");
}

TEST_F(CommandTest, ExtractAndReplaceWorkOnTheCurrentSlot)
{
    commands.startWindow();
    commands.run(command::kSound1 + 6);
    desktop.fileAnswers = {std::nullopt, std::nullopt};
    commands.run(command::kReplace);
    commands.run(command::kExtract);
    ASSERT_EQ(desktop.fileDialogs.size(), 2u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 7");
    EXPECT_EQ(desktop.fileDialogs[1].title, "Extract");
}

TEST_F(CommandTest, NewAsksFirstAndOnlyYesEmptiesTheBank)
{
    commands.dropFiles({makeBank("full.jbx")});
    desktop.messageAnswers = {MessageAnswer::No};
    commands.run(command::kNew);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], kNewQuestion);
    EXPECT_EQ(session.bank.slot(4).size, 8);
    EXPECT_EQ(window.caption, "JBX Maker - full.jbx");

    desktop.messageAnswers = {MessageAnswer::Yes};
    commands.run(command::kNew);
    EXPECT_EQ(session.bank.slot(4).size, 0);
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
    EXPECT_FALSE(window.extractEnabled);
}

TEST_F(CommandTest, SaveAsksAboutCreditsOnlyWhileTheyAreUnsettled)
{
    // After New: asked; No cancels before any dialog.
    desktop.messageAnswers = {MessageAnswer::No};
    commands.run(command::kSave);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], kCreditsQuestion);
    EXPECT_TRUE(desktop.fileDialogs.empty());

    // Yes goes on to the Save dialog.
    desktop.messageAnswers = {MessageAnswer::Yes};
    desktop.fileAnswers = {std::nullopt};
    commands.run(command::kSave);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Save");

    // Settled credits (any loaded bank): no question.
    session.bank.creditsConfirmed = true;
    desktop.fileAnswers = {std::nullopt};
    commands.run(command::kSave);
    EXPECT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.fileDialogs.size(), 2u);
}

TEST_F(CommandTest, OpenAsksForABankAndRemembersItsFolderBeforeLoading)
{
    desktop.fileAnswers = {std::nullopt};
    commands.openBank();
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    const FileDialogRequest& request = desktop.fileDialogs[0];
    EXPECT_EQ(request.kind, FileDialogKind::Open);
    EXPECT_EQ(request.title, "Open");
    EXPECT_EQ(request.filters, (std::vector<FileFilter>{{"JeerBox Files (*.jbx)", "*.jbx"}}));
    EXPECT_EQ(request.filterIndex, 0);
    EXPECT_EQ(request.defaultSuffix, "JBX");
    EXPECT_TRUE(request.fileMustExist);
    EXPECT_EQ(request.startDirectory, ".");
    EXPECT_EQ(settings.values.count("JBXOpenDirectory"), 0u) << "cancelled: nothing remembered";
    EXPECT_EQ(window.captionChanges, 0);

    const std::string notABank = dir.file("notes.txt");
    WriteBytes(notABank, ToBytes("just some text, long enough to have a directory offset"));
    desktop.fileAnswers = {ChosenFile{notABank, 1}};
    commands.openBank();
    ASSERT_GE(window.captions.size(), 2u);
    EXPECT_EQ(window.captions.front(), "JBX Maker - notes.txt") << "the title shows before the load";
    EXPECT_EQ(window.captions.back(), "JBX Maker - Untitled");
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Not a valid JeerBox sound file");
    EXPECT_EQ(desktop.messages[0].owner, Owner::MainWindow);
    EXPECT_EQ(std::filesystem::path(settings.values.at("JBXOpenDirectory")),
        std::filesystem::path(dir.path()))
        << "remembered although UseLastOpenDir is off and the load failed";
    EXPECT_EQ(settings.values.at("UseLastOpenDir"), "no");

    const std::string bank = makeBank("good.jbx");
    desktop.fileAnswers = {ChosenFile{bank, 1}};
    commands.openBank();
    EXPECT_EQ(window.caption, "JBX Maker - good.jbx");
    EXPECT_EQ(session.bank.slot(1).name, "s1");
    EXPECT_TRUE(session.bank.creditsConfirmed);
}

TEST_F(CommandTest, DroppingLoadsOnlyTheFirstFileWithoutAsking)
{
    const std::string first = makeBank("first.jbx");
    const std::string second = makeBank("second.jbx");
    commands.dropFiles({first, second});
    EXPECT_EQ(session.bank.bankTitle, "first.jbx");
    EXPECT_EQ(window.caption, "JBX Maker - first.jbx");
    EXPECT_EQ(window.name, "(none)");
    EXPECT_TRUE(desktop.messages.empty());

    commands.dropFiles({dir.path()});
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].text, "Cannot open JBX file");
    EXPECT_EQ(desktop.messages[0].owner, Owner::None);
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
}

TEST_F(CommandTest, TheCommandLineIsOneBankPathWithBlanksAndQuotes)
{
    EXPECT_EQ(JoinArguments({}), "");
    EXPECT_EQ(JoinArguments({"My", "taunts.jbx"}), "My taunts.jbx");

    PrepareBank(session, "");
    EXPECT_EQ(session.bank.bankTitle, "Untitled");
    EXPECT_TRUE(desktop.messages.empty());

    const std::string spaced = makeBank("My taunts.jbx");
    PrepareBank(session, JoinArguments({dir.file("My"), "taunts.jbx"}));
    EXPECT_EQ(session.bank.bankTitle, "My taunts.jbx");
    EXPECT_EQ(session.bank.slot(4).name, "s4");
    EXPECT_EQ(session.bank.currentSlot, 0) << "nothing selected before the window starts";

    PrepareBank(session, "\"" + spaced + "\"");
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0], (Message{"Cannot open JBX file", "Error", MessageButtons::Ok,
                                       MessageIcon::Stop, Owner::None}));
    EXPECT_EQ(session.bank.bankTitle, "Untitled");
}

TEST(AcceleratorTable, TheShippedTableMapsKeysToTheSoundButtonsAndReplace)
{
    const Bytes text = ReadBytes(JBX_ACCELERATORS_FILE);
    const auto table = ParseAcceleratorTable(std::string_view(
        reinterpret_cast<const char*>(text.data()), text.size()));
    ASSERT_TRUE(table);

    std::vector<Accelerator> expected{{'A', false, 128}};
    for (int i = 0; i < 10; ++i)
        expected.push_back({0x70 + i, true, 100 + i});
    for (int i = 0; i < 10; ++i)
        expected.push_back({0x70 + i, false, 100 + i});
    for (int i = 0; i < 9; ++i)
        expected.push_back({'1' + i, false, 100 + i});
    expected.push_back({'0', false, 109});
    EXPECT_EQ(*table, expected);
}

TEST(AcceleratorTable, AnythingButAWholeTableIsRefused)
{
    std::string whole = "A 128\n";
    for (int i = 1; i <= 30; ++i)
        whole += "F" + std::to_string(i % 10 + 1) + " 100\r\n";
    ASSERT_TRUE(ParseAcceleratorTable(whole));

    const std::string broken[] = {
        "",
        whole.substr(0, whole.rfind("F")),   // one entry short
        whole + "B 128\n",                   // one too many
        "Q128\n" + whole.substr(6),          // no blank
        "Ctrl+A 128\n" + whole.substr(6),    // unknown modifier
        "F25 100\n" + whole.substr(6),       // no such key
        "F1x 100\n" + whole.substr(6),
        "a 128\n" + whole.substr(6),         // keys are capitals
        "A 12x\n" + whole.substr(6),
    };
    for (const std::string& text : broken)
        EXPECT_FALSE(ParseAcceleratorTable(text)) << text.substr(0, 12);
}
