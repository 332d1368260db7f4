#include "app/maincommands.h"

#include "app/accelerators.h"
#include "app/slotcommands.h"
#include "bank/bankwriter.h"
#include "seam/desktop.h"
#include "tests/support/memorylimit.h"
#include "tests/support/sessiontest.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace jbx;
using namespace jbx::testing;

namespace {

class CommandTest : public SessionTest {
protected:
    CommandTest()
        : commands(session, settings, window,
              {[this] { hooks += "credits "; }, [this] { hooks += "options "; }, [this] { hooks += "close "; },
                  nullptr})
    {
    }

    std::string makeBank(const std::string& name)
    {
        WriteOneSoundBank(dir.file(name));
        return dir.file(name);
    }

    MainCommands commands;
    std::string hooks;
};

} // namespace

TEST_F(CommandTest, OnlyClicksAndAcceleratorsOnKnownIdsRunAnything)
{
    for (int id : {99, 110, 122, 124, 129, 135, 137, kNameBoxId, kSizeTextId})
        EXPECT_FALSE(commands.run(id)) << id;
    EXPECT_FALSE(commands.run(command::kSound1 + 3, Notification::Other)) << "a focus notice plays nothing";
    EXPECT_TRUE(commands.run(command::kQuit, Notification::Accelerator));
    EXPECT_TRUE(commands.run(command::kCredits));
    EXPECT_TRUE(commands.run(command::kOptions));
    EXPECT_EQ(hooks, "close credits options ");
}

TEST_F(CommandTest, StartingTheWindowSelectsSoundOneAndSoundButtonsSelectAndPlay)
{
    PrepareBank(session, makeBank("two.jbx"));
    commands.startWindow();
    EXPECT_EQ(std::tie(window.caption, session.bank.currentSlot, window.focusedButton, window.extractEnabled),
        std::make_tuple("JBX Maker - two.jbx", 1, 1, false));
    for (const int slot : {10, 1, 4}) {
        EXPECT_TRUE(commands.run(command::kSound1 + slot - 1, Notification::Accelerator));
        EXPECT_EQ(session.bank.currentSlot, slot);
    }

    desktop.shift = true;
    desktop.fileAnswers.push_back(std::nullopt);
    commands.run(command::kSound1 + 3);
    EXPECT_EQ(desktop.played.size(), 2u) << "Shift still plays first";
    EXPECT_EQ(desktop.fileDialogs.at(0).title, "Replace sound 4");

    // A window that presses its Replace button itself is asked to.
    std::string pressed;
    MainCommands pressing(session, settings, window, {nullptr, nullptr, nullptr, [&] { pressed += "replace "; }});
    pressing.run(command::kSound1 + 6);
    EXPECT_EQ(pressed, "replace ");
    EXPECT_EQ(desktop.fileDialogs.size(), 1u) << "the button runs Replace, not the command itself";
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
    EXPECT_TRUE(commands.run(command::kNew));
    EXPECT_EQ(session.bank.slot(4).size, 8);
    commands.run(command::kNew);
    EXPECT_EQ(session.bank.slot(4).size, 0);
    EXPECT_EQ(std::tie(window.caption, window.name, window.sizeText, window.extractEnabled),
        std::make_tuple("JBX Maker - Untitled", "(none)", "", false));
    EXPECT_EQ(desktop.messages, (std::vector<Message>{newQuestion, newQuestion}));

    // After New the credits are unsettled: No cancels before any dialog, Yes goes on.
    desktop.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    desktop.fileAnswers = {std::nullopt, std::nullopt};
    EXPECT_TRUE(commands.run(command::kSave));
    EXPECT_TRUE(desktop.fileDialogs.empty());
    commands.run(command::kSave);
    EXPECT_EQ(desktop.fileDialogs.size(), 1u);
    session.bank.creditsConfirmed = true;
    commands.run(command::kSave);
    EXPECT_EQ(desktop.fileDialogs.size(), 2u);
    EXPECT_EQ(desktop.messages, (std::vector<Message>{newQuestion, newQuestion, creditsQuestion, creditsQuestion}));
}

TEST_F(CommandTest, OpenAsksForABankAndRemembersItsFolderBeforeLoading)
{
    desktop.fileAnswers = {std::nullopt};
    commands.openBank();
    EXPECT_EQ(desktop.fileDialogs, (std::vector<FileDialogRequest>{{FileDialogKind::Open, "Open",
        {{"JeerBox Files (*.jbx)", "*.jbx"}}, 0, ".", "JBX", false, true, false, Owner::MainWindow}}));
    EXPECT_EQ(settings.values.count("JBXOpenDirectory"), 0u) << "cancelled: nothing remembered";

    WriteBytes(dir.file("notes.txt"), ToBytes("just some text, long enough to have a directory offset"));
    desktop.fileAnswers = {ChosenFile{dir.file("notes.txt"), 1}};
    commands.openBank();
    EXPECT_EQ(window.captions.front(), "JBX Maker - notes.txt") << "the title shows before the load";
    EXPECT_EQ(desktop.messages.at(0).owner, Owner::MainWindow);
    EXPECT_EQ(std::filesystem::path(settings.values.at("JBXOpenDirectory")), std::filesystem::path(dir.path()))
        << "remembered although UseLastOpenDir is off and the load failed";
}

TEST_F(CommandTest, DroppingLoadsOnlyTheFirstFileWithoutAsking)
{
    commands.dropFiles({makeBank("first.jbx"), makeBank("second.jbx")});
    EXPECT_EQ(window.caption, "JBX Maker - first.jbx");
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(window.extractEnabled) << "a load leaves Extract to the next sound button";

    commands.dropFiles({dir.path()});
    EXPECT_EQ(desktop.messages.at(0).owner, Owner::None);
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
    EXPECT_FALSE(window.extractEnabled);
}

// A dropped sound goes into the current slot as Replace puts it there, the
// rest of the bank kept; the game-ready question comes with it. A file that
// is no sound is the loader's, which refuses it as it refuses any non-bank.
TEST_F(CommandTest, ADroppedSoundGoesIntoTheCurrentSlot)
{
    PrepareBank(session, makeBank("mine.jbx"));
    commands.startWindow();
    commands.run(command::kSound1 + 1);
    window.extractEnabled = false;
    const Bytes stereo = WaveImage(1, 2, 11025, 16, Bytes(8, 0));
    WriteBytes(dir.file("yelp.wav"), stereo);
    desktop.messageAnswers = {MessageAnswer::No};
    commands.dropFiles({dir.file("yelp.wav"), makeBank("ignored.jbx")});

    EXPECT_EQ(window.caption, "JBX Maker - mine.jbx");
    const SoundSlot& slot = session.bank.slot(2);
    EXPECT_EQ(std::tie(slot.name, slot.size, window.name, window.sizeText, window.extractEnabled),
        std::make_tuple("yelp", std::int32_t(stereo.size()), "yelp", FormatSlotSize(slot.size), true));
    EXPECT_EQ(session.bank.slot(4).name, "s4") << "the other slots are kept";
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].caption, "Warning");

    WriteBytes(dir.file("notes.txt"), ToBytes("no sound, no bank"));
    commands.dropFiles({dir.file("notes.txt")});
    EXPECT_EQ(desktop.messages.at(1).text, "Not a valid JeerBox sound file");
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
}

// Running out of memory is no fault of the file, so unlike a file that is no bank it keeps the user's open bank.
TEST_F(CommandTest, ALoadThatRunsOutOfMemoryKeepsTheOpenBank)
{
#if !JBX_MEMORY_LIMIT_WORKS
    GTEST_SKIP() << JBX_NO_MEMORY_LIMIT_REASON;
#else
    const std::string overlapping = dir.file("overlap.jbx");
    WriteOverlappingBank(overlapping, std::uint32_t(32) << 20);
    commands.dropFiles({makeBank("mine.jbx")});
    session.bank.slot(1) = session.bank.slot(10) = session.bank.slot(4);
    session.bank.slot(2).name = "renamed";
    // The first and the last slot, each selected before a failed load.
    const std::pair<int, std::function<void()>> loads[] = {
        {1, [&] { commands.dropFiles({overlapping}); }},
        {10, [&] {
             desktop.fileAnswers = {ChosenFile{overlapping, 1}};
             commands.openBank();
         }},
    };

    const std::string outcome = RunWithMemoryLimit(std::size_t(96) << 20, [&] {
        std::string seen;
        for (const auto& [slot, load] : loads) {
            commands.run(command::kSound1 + slot - 1);
            window.name = "typing";
            desktop.messages.clear();
            load();
            seen += window.caption + "|" + window.name + "|" + window.sizeText + (window.extractEnabled ? "|x|" : "||")
                + session.bank.slot(2).name + "|" + std::to_string(session.bank.slot(slot).data->size()) + "|"
                + std::to_string(desktop.messages.size()) + "\n";
        }
        return seen;
    });
    const std::string kept = "JBX Maker - mine.jbx|typing|8 bytes|x|renamed|9|1\n";
    EXPECT_EQ(outcome, kept + kept) << "dropped, then opened";
#endif
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
}

// The unknown block is asked about with the Sound Number of the moment: none and 0 while start-up loads. A command
// or a drop while it asks would free the buffer it reads and put another bank or sound where it is filling one.
TEST_F(CommandTest, ConversionQuestionsBelongToWhoeverLoadsAndNothingArrivingDuringOneRuns)
{
    // The question comes between the two sound blocks; Skip reads on.
    const Bytes voice =
        VoiceFileBuilder().soundBlock(166, Ramp(4)).block(20, Ramp(3)).soundBlock(166, Ramp(5)).terminator().build();
    const std::string voiceFile = dir.file("asks.voc");
    WriteBytes(voiceFile, voice);
    SoundBank voiced;
    voiced.slot(3) = {"voice", 0, std::int32_t(voice.size()), std::make_shared<Bytes>(voice)};
    voiced.slot(3).data->push_back(0x80);
    const std::string voicedBank = dir.file("voiced.jbx");
    ASSERT_EQ(WriteBankFile(voiced, voicedBank), WriteFileResult::Written);
    const std::string otherBank = makeBank("other.jbx");
    using Question = std::pair<UnknownBlockDetails, Owner>;
    desktop.unknownBlockAnswers = {UnknownBlockChoice::SkipBlock};
    PrepareBank(session, voicedBank);
    EXPECT_EQ(desktop.unknownBlockQuestions, (std::vector<Question>{{{0, 20, 3}, Owner::None}}));
    const std::pair<const char*, std::function<bool()>> arrivals[] = {
        {"Open", [&] { return commands.run(command::kOpen, Notification::Accelerator); }},
        {"a drop", [&] {
             commands.dropFiles({otherBank});
             return window.caption == "JBX Maker - other.jbx";
         }},
    };
    for (const bool replacing : {false, true}) {
        for (const auto& [what, arrive] : arrivals) {
            SCOPED_TRACE(std::string(what) + (replacing ? " during Replace" : " during a load"));
            NewBank(session, window);
            session.bank.currentSlot = 3;
            desktop.fileAnswers = {ChosenFile{replacing ? voiceFile : voicedBank, 1}};
            desktop.unknownBlockAnswers = {UnknownBlockChoice::SkipBlock};
            bool ran = true;
            desktop.duringUnknownBlockQuestion = [&] { ran = arrive(); };
            EXPECT_TRUE(commands.run(replacing ? command::kReplace : command::kOpen));
            EXPECT_FALSE(ran);
            EXPECT_EQ(desktop.unknownBlockQuestions.back(), (Question{{3, 20, 3}, Owner::MainWindow}));
            // The whole sound converted: the header, 4 + 5 samples and a pad byte, less the one past the size.
            EXPECT_EQ(session.bank.slot(3).size, 44 + 4 + 5);
        }
    }
}

namespace {

// Lets clicks, keys and drops arrive while each box, dialog or save is up, as
// a screen reader's press or a box that blocks nothing would let them.
class ArrivingDesktop final : public FakeDesktop {
public:
    MessageAnswer showMessage(const Message& message) override
    {
        arrive();
        return FakeDesktop::showMessage(message);
    }
    std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override
    {
        arrive();
        return FakeDesktop::chooseFile(request);
    }
    void arrive() const
    {
        if (arrival)
            arrival();
    }
    std::function<void()> arrival;
};

} // namespace

// New over a question would stack a second one, Quit would close the window
// behind it, and a drop would replace the bank that a save is writing.
TEST(BusyCommands, NothingArrivingWhileACommandAsksOrWritesRuns)
{
    ArrivingDesktop desktop;
    FakeMainWindow window;
    FakeSettingsStore settings;
    Session session{desktop};
    TempDir dir;
    NewBank(session);
    WriteOneSoundBank(dir.file("dropped.jbx"));
    std::string hooks;
    int arrivals = 0;
    MainCommands* commands = nullptr;
    desktop.arrival = [&] {
        ++arrivals;
        EXPECT_TRUE(commands->busy());
        EXPECT_FALSE(commands->run(command::kNew));
        EXPECT_FALSE(commands->run(command::kQuit, Notification::Accelerator));
        EXPECT_FALSE(commands->run(command::kSound1 + 2));
        commands->dropFiles({dir.file("dropped.jbx")});
        EXPECT_EQ(window.caption, "") << "nothing loaded";
    };
    MainCommands running(session, settings, window,
        {[&] {
             hooks += "credits ";
             desktop.arrive();
         },
            [&] {
                hooks += "options ";
                desktop.arrive();
            },
            [&] { hooks += "close "; }, nullptr,
            [&](const std::function<void()>& work, const std::function<void()>& poll) {
                hooks += "write ";
                desktop.arrive();
                work();
                poll();
            }});
    commands = &running;

    desktop.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    desktop.fileAnswers = {std::nullopt, ChosenFile{dir.file("no-folder/x.jbx"), 1}};
    for (const int id : {command::kNew, command::kOpen, command::kSave, command::kCredits, command::kOptions})
        EXPECT_TRUE(running.run(id)) << id;
    EXPECT_EQ(hooks, "write credits options ");
    EXPECT_EQ(arrivals, 8) << "New's and the credits question, two file dialogs, the writing, the Cannot "
                              "create box and the two dialogs";
    ASSERT_EQ(desktop.messages.size(), 3u);
    EXPECT_EQ(desktop.messages.back().text, "Cannot create JBX file");
    EXPECT_EQ(session.bank.slot(4).size, 0);

    // Once the commands are over, all of it runs again, and a sound button
    // may press Replace while it selects its slot.
    EXPECT_FALSE(running.busy());
    EXPECT_TRUE(running.run(command::kQuit));
    EXPECT_EQ(hooks, "write credits options close ");
    running.dropFiles({dir.file("dropped.jbx")});
    EXPECT_EQ(session.bank.slot(4).size, 8);
    bool replaced = false;
    MainCommands pressing(session, settings, window,
        {nullptr, nullptr, nullptr, [&] { replaced = commands->run(command::kReplace); }});
    commands = &pressing;
    desktop.shift = true;
    desktop.arrival = nullptr;
    desktop.fileAnswers = {std::nullopt};
    pressing.run(command::kSound1 + 3);
    EXPECT_TRUE(replaced);
}

// Alt+F4 is left to close the window.
TEST(AcceleratorTable, ResourceScriptListsTheKeysInOrder)
{
    std::string expected = "400 ACCELERATORS\nBEGIN\n    \"A\", 128, VIRTKEY\n";
    for (const std::string alt : {", ALT", ""}) {
        for (int n = 1; n <= 10; ++n) {
            if (n != 4 || alt.empty())
                expected += "    VK_F" + std::to_string(n) + ", " + std::to_string(99 + n) + ", VIRTKEY" + alt + "\n";
        }
    }
    for (int n = 1; n <= 10; ++n)
        expected += "    \"" + std::to_string(n % 10) + "\", " + std::to_string(99 + n) + ", VIRTKEY\n";
    EXPECT_EQ(AcceleratorResourceScript(), expected + "END\n");
}
