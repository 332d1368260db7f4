// The main window driven like a user would: clicks, Shift-clicks, keys with
// the focus in different places, mnemonics, drops. The modal questions are
// answered by the scripted desktop, which records them.

#include "app/editor.h"
#include "app/mainwindow.h"
#include "app/qtdesktop.h"
#include "bank/bankloader.h"
#include "bank/filesystem.h"
#include "bank/soundbank.h"
#include "tests/app/guitest.h"
#include "tests/settings/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QUrl>

#include <filesystem>
#include <memory>

namespace jbx::testing {
namespace {

const Message kNewQuestion{"Current changes will be lost.\n\nContinue?", "Warning",
    MessageButtons::YesNo, MessageIcon::Question, Owner::MainWindow};
const Message kCreditsQuestion{
    "You haven't entered any credits for the JBX you just saved.\n\n"
    "Click on the \"Credits...\" button in the main window to enter some.\n\n"
    "Save anyway?",
    "Warning", MessageButtons::YesNo, MessageIcon::Stop, Owner::MainWindow};

// The scripted desktop, except that Shift is the real keyboard state, as
// the Qt desktop reads it.
class ShiftAwareDesktop final : public FakeDesktop {
public:
    bool shiftHeld() const override { return ShiftKeyDown(); }
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() : session(desktop), savedDirectory(CurrentDirectory())
    {
        NewBank(session, nullptr);
        MainWindowDialogs dialogs;
        dialogs.credits = [this](QWidget* owner) { creditsOwners.push_back(owner); };
        dialogs.options = [this](QWidget* owner) { optionsOwners.push_back(owner); };
        window = std::make_unique<MainWindow>(session, settings, std::move(dialogs));
    }

    ~MainWindowTest() override
    {
        window.reset();
        ChangeCurrentDirectory(savedDirectory);
    }

    void show()
    {
        window->start();
        const auto table = LoadAcceleratorTable(QStringLiteral(JBX_ACCELERATORS_FILE));
        ASSERT_TRUE(table);
        window->installAccelerators(*table);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Opens a bank with sounds in slots 1 to 5, as a drop would.
    void loadBank()
    {
        window->commands().dropFiles({WriteSmallBank(dir.file("five.jbx"), {1, 2, 3, 4, 5})});
    }

    QPushButton* button(int id) const { return window->button(id); }
    QPushButton* sound(int n) const { return button(command::kSound1 + n - 1); }
    QLineEdit* nameBox() const { return window->findChild<QLineEdit*>("nameBox"); }
    QLabel* sizeText() const { return window->findChild<QLabel*>("sizeText"); }

    // Which slot a played image came from: its byte 7 (see WriteSmallBank).
    std::vector<int> playedSlots() const
    {
        std::vector<int> slots;
        for (const SoundData& image : desktop.played)
            slots.push_back(image && image->size() > 7 ? (*image)[7] : -1);
        return slots;
    }

    // Types a key into the focused widget through Qt's shortcut handling.
    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

    ShiftAwareDesktop desktop;
    FakeSettingsStore settings;
    Session session;
    TempDir dir;
    std::string savedDirectory;
    std::vector<QWidget*> creditsOwners;
    std::vector<QWidget*> optionsOwners;
    std::unique_ptr<MainWindow> window;
};

TEST_F(MainWindowTest, LayoutHoldsEveryControlWithItsIdAndText)
{
    const std::vector<std::pair<int, const char*>> buttons = {
        {100, "Sound &1"}, {101, "Sound &2"}, {102, "Sound &3"}, {103, "Sound &4"},
        {104, "Sound &5"}, {105, "Sound &6"}, {106, "Sound &7"}, {107, "Sound &8"},
        {108, "Sound &9"}, {109, "Sound 1&0"}, {command::kOpen, "&Open..."},
        {command::kSave, "&Save..."}, {command::kNew, "&New"}, {command::kOptions, "O&ptions..."},
        {command::kQuit, "&Quit"}, {command::kCredits, "&Credits..."},
        {command::kExtract, "E&xtract..."}, {command::kReplace, "&Replace..."}};
    EXPECT_EQ(window->findChildren<QPushButton*>().size(), qsizetype(buttons.size()));
    for (const auto& [id, text] : buttons) {
        ASSERT_NE(button(id), nullptr) << id;
        EXPECT_EQ(button(id)->text().toStdString(), text) << id;
    }

    ASSERT_NE(nameBox(), nullptr);
    EXPECT_EQ(nameBox()->property(kControlIdProperty).toInt(), kNameBoxId);
    EXPECT_EQ(nameBox()->maxLength(), 8);
    EXPECT_EQ(nameBox()->text(), "(none)");
    ASSERT_NE(sizeText(), nullptr);
    EXPECT_EQ(sizeText()->property(kControlIdProperty).toInt(), kSizeTextId);
    EXPECT_EQ(sizeText()->frameShadow(), QFrame::Sunken);
    EXPECT_FALSE(sizeText()->wordWrap());

    const auto* nameLabel = window->findChild<QLabel*>("nameLabel");
    ASSERT_NE(nameLabel, nullptr);
    EXPECT_EQ(nameLabel->text(), "N&ame:");
    EXPECT_EQ(nameLabel->buddy(), nameBox());

    QStringList groups;
    for (const QGroupBox* group : window->findChildren<QGroupBox*>())
        groups.append(group->title());
    groups.sort();
    EXPECT_EQ(groups, QStringList({"File", "Last File Played", "Sounds"}));
}

TEST_F(MainWindowTest, StartsCentredAtAFixedSizeWithSoundOneFocused)
{
    show();
    EXPECT_EQ(window->windowTitle(), "JBX Maker - Untitled");
    EXPECT_EQ(session.bank.currentSlot, 1);
    EXPECT_FALSE(button(command::kExtract)->isEnabled()) << "slot 1 is empty";
    EXPECT_EQ(nameBox()->text(), "(none)");
    EXPECT_TRUE(sizeText()->text().isEmpty());
    EXPECT_EQ(QApplication::focusWidget(), sound(1));

    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the window cannot be resized";
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    // Centred before the window manager adds its frame: off by no more than the frame.
    const QPoint offCentre = window->frameGeometry().center() - window->screen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 8);
    EXPECT_TRUE(window->acceptDrops());
}

TEST_F(MainWindowTest, ExtractStartsEnabledWhenSlotOneHoldsASound)
{
    loadBank();
    show();
    EXPECT_TRUE(button(command::kExtract)->isEnabled());
    EXPECT_EQ(window->windowTitle(), "JBX Maker - five.jbx");
}

TEST_F(MainWindowTest, EveryButtonRunsItsCommandWhenClicked)
{
    loadBank();
    show();
    struct Case {
        int id;
        std::function<bool()> ran;
    };
    const std::vector<Case> cases = {
        {command::kSound1 + 2, [&] { return playedSlots() == std::vector<int>{3}; }},
        {command::kExtract, [&] { return desktop.fileDialogs.back().title == "Extract"; }},
        {command::kReplace, [&] { return desktop.fileDialogs.back().title == "Replace sound 3"; }},
        {command::kOpen, [&] { return desktop.fileDialogs.back().title == "Open"; }},
        {command::kSave, [&] { return desktop.fileDialogs.back().title == "Save"; }},
        {command::kNew, [&] { return desktop.messages.back() == kNewQuestion; }},
        {command::kCredits, [&] { return creditsOwners == std::vector<QWidget*>{window.get()}; }},
        {command::kOptions, [&] { return optionsOwners == std::vector<QWidget*>{window.get()}; }},
        {command::kQuit, [&] { return !window->isVisible(); }},
    };
    desktop.fileAnswers.assign(4, std::nullopt);
    desktop.messageAnswers = {MessageAnswer::No};
    for (const Case& c : cases) {
        QTest::mouseClick(button(c.id), Qt::LeftButton);
        EXPECT_TRUE(c.ran()) << "button " << c.id;
    }
    EXPECT_EQ(desktop.fileDialogs.size(), 4u);
    EXPECT_EQ(desktop.messages.size(), 1u) << "only New asked; the loaded bank's credits are settled";
    EXPECT_EQ(session.bank.slot(3).size, kSmallSoundSize) << "New was answered No";
}

TEST_F(MainWindowTest, ShiftClickPlaysTheSlotThenAsksForItsReplacement)
{
    loadBank();
    show();
    desktop.fileAnswers = {std::nullopt};
    QTest::mouseClick(sound(4), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_EQ(session.bank.currentSlot, 4);
    EXPECT_EQ(playedSlots(), std::vector<int>{4});
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 4");

    QTest::mouseClick(sound(2), Qt::LeftButton);
    EXPECT_EQ(playedSlots(), (std::vector<int>{4, 2}));
    EXPECT_EQ(desktop.fileDialogs.size(), 1u) << "a plain click only plays";
}

TEST_F(MainWindowTest, AcceleratorKeysRunCommandsUnlessTheNameBoxTakesThem)
{
    loadBank();
    show();
    struct Case {
        const char* what;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int slot;   // the slot that the key selects
    };
    const std::vector<Case> cases = {
        {"digit 3 on a button", Qt::Key_3, Qt::NoModifier, 3},
        {"digit 0 is Sound 10", Qt::Key_0, Qt::NoModifier, 10},
        {"F4", Qt::Key_F4, Qt::NoModifier, 4},
        {"F2", Qt::Key_F2, Qt::NoModifier, 2},
        {"Alt+F4 (no window manager takes it here)", Qt::Key_F4, Qt::AltModifier, 4},
        {"Alt+F10", Qt::Key_F10, Qt::AltModifier, 10},
    };
    for (const Case& c : cases) {
        sound(1)->setFocus();
        press(c.key, c.modifiers);
        EXPECT_EQ(session.bank.currentSlot, c.slot) << c.what;
        EXPECT_EQ(QApplication::focusWidget(), sound(c.slot)) << c.what;
    }
    EXPECT_EQ(playedSlots(), (std::vector<int>{3, 4, 2, 4})) << "slot 10 is empty: silence";
    EXPECT_TRUE(window->isVisible());

    // In the Name box digits and the letter A are typing, not commands;
    // F-keys still are commands.
    session.bank.currentSlot = 1;
    nameBox()->setFocus();
    nameBox()->clear();
    for (const Qt::Key key : {Qt::Key_1, Qt::Key_A, Qt::Key_0})
        press(key);
    EXPECT_EQ(nameBox()->text(), "1a0");
    EXPECT_EQ(session.bank.currentSlot, 1);
    EXPECT_TRUE(desktop.fileDialogs.empty()) << "A did not run Replace";
    press(Qt::Key_F5);
    EXPECT_EQ(session.bank.currentSlot, 5);
    EXPECT_EQ(session.bank.slot(1).name, "1a0") << "what was typed went to the slot that was current";

    // With a button focused, A is Replace for the current slot.
    desktop.fileAnswers = {std::nullopt};
    press(Qt::Key_A);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 5");
}

TEST_F(MainWindowTest, EscapeAndEnterDoNothingUnlessAButtonHasTheFocus)
{
    loadBank();
    show();
    press(Qt::Key_Escape);
    nameBox()->setFocus();
    press(Qt::Key_Return);
    press(Qt::Key_Enter, Qt::KeypadModifier);
    press(Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(desktop.played.empty());
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.fileDialogs.empty());

    // Enter on a focused button presses it, as in a dialog.
    sound(2)->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(playedSlots(), std::vector<int>{2});
}

TEST_F(MainWindowTest, MnemonicsPressTheirButtonsAndNameMovesToTheBox)
{
    loadBank();
    show();
    press(Qt::Key_3, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return session.bank.currentSlot == 3; }));
    press(Qt::Key_A, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == nameBox(); }));
    desktop.messageAnswers = {MessageAnswer::No};
    press(Qt::Key_N, Qt::AltModifier);
    EXPECT_TRUE(WaitFor([&] { return desktop.messages.size() == 1; }));
    EXPECT_EQ(desktop.messages[0], kNewQuestion);
}

TEST_F(MainWindowTest, TheNameBoxRenamesTheSlotThatWasCurrent)
{
    loadBank();
    show();
    QTest::mouseClick(sound(2), Qt::LeftButton);
    EXPECT_EQ(nameBox()->text(), "snd2");
    EXPECT_EQ(sizeText()->text(), "8 bytes");
    EXPECT_TRUE(button(command::kExtract)->isEnabled());

    nameBox()->setFocus();
    nameBox()->selectAll();
    QTest::keyClicks(nameBox(), "thunderclap");
    EXPECT_EQ(nameBox()->text(), "thunderc") << "eight characters at most";
    QTest::mouseClick(sound(7), Qt::LeftButton);
    EXPECT_EQ(session.bank.slot(2).name, "thunderc");
    EXPECT_EQ(nameBox()->text(), "(none)") << "slot 7 is empty";
    EXPECT_TRUE(sizeText()->text().isEmpty());
    EXPECT_FALSE(button(command::kExtract)->isEnabled());

    // A name is bytes: one that is not UTF-8 comes back unchanged, and only
    // characters a byte can hold can be typed.
    session.bank.slot(3).name = "caf\xE9";
    QTest::mouseClick(sound(3), Qt::LeftButton);
    nameBox()->setFocus();
    nameBox()->end(false);
    QTest::sendKeyEvent(QTest::Click, nameBox(), Qt::Key_unknown, QString(QChar(0x20AC)), Qt::NoModifier);
    QTest::mouseClick(sound(4), Qt::LeftButton);
    EXPECT_EQ(session.bank.slot(3).name, "caf\xE9");
}

TEST_F(MainWindowTest, DroppedFilesLoadTheFirstWithoutAsking)
{
    const std::string first = WriteSmallBank(dir.file("first.jbx"), {1});
    const std::string second = WriteSmallBank(dir.file("second.jbx"), {2});
    show();

    const auto drop = [&](const QList<QUrl>& urls) {
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &dropped);
        return dropped.isAccepted();
    };

    EXPECT_FALSE(drop({QUrl("https://example.invalid/remote.jbx")})) << "only local files";

    ASSERT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(second))}));
    EXPECT_TRUE(WaitFor([&] { return window->windowTitle() == "JBX Maker - second.jbx"; }));
    EXPECT_EQ(session.bank.slot(2).size, kSmallSoundSize);

    ASSERT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(first)),
        QUrl::fromLocalFile(QString::fromStdString(second))}));
    EXPECT_TRUE(WaitFor([&] { return window->windowTitle() == "JBX Maker - first.jbx"; }));
    QTest::qWait(50);
    EXPECT_EQ(window->windowTitle(), "JBX Maker - first.jbx") << "the second file is ignored";
    EXPECT_EQ(session.bank.slot(1).size, kSmallSoundSize);
    EXPECT_EQ(session.bank.slot(2).size, 0);
    EXPECT_TRUE(desktop.messages.empty());

    // Anything that is not a bank is the loader's to refuse.
    const std::string text = dir.file("notes.txt");
    WriteBytes(text, ToBytes("not a bank at all"));
    ASSERT_TRUE(drop({QUrl::fromLocalFile(QString::fromStdString(text))}));
    EXPECT_TRUE(WaitFor([&] { return window->windowTitle() == "JBX Maker - Untitled"; }));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].owner, Owner::MainWindow);
}

TEST_F(MainWindowTest, NewEmptiesTheBankOnlyWhenAnsweredYes)
{
    loadBank();
    show();
    QTest::mouseClick(sound(2), Qt::LeftButton);

    desktop.messageAnswers = {MessageAnswer::No};
    QTest::mouseClick(button(command::kNew), Qt::LeftButton);
    EXPECT_EQ(window->windowTitle(), "JBX Maker - five.jbx");
    EXPECT_EQ(nameBox()->text(), "snd2");
    EXPECT_EQ(session.bank.slot(2).size, kSmallSoundSize);

    desktop.messageAnswers = {MessageAnswer::Yes};
    QTest::mouseClick(button(command::kNew), Qt::LeftButton);
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[1], kNewQuestion);
    EXPECT_EQ(window->windowTitle(), "JBX Maker - Untitled");
    EXPECT_EQ(nameBox()->text(), "(none)");
    EXPECT_TRUE(sizeText()->text().isEmpty());
    EXPECT_FALSE(button(command::kExtract)->isEnabled());
    EXPECT_EQ(session.bank.slot(2).size, 0);
}

TEST_F(MainWindowTest, SaveAfterNewAsksAboutCreditsFirst)
{
    show();
    desktop.messageAnswers = {MessageAnswer::Yes, MessageAnswer::No};
    QTest::mouseClick(button(command::kNew), Qt::LeftButton);
    QTest::mouseClick(button(command::kSave), Qt::LeftButton);
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[1], kCreditsQuestion);
    EXPECT_TRUE(desktop.fileDialogs.empty()) << "No cancels the save";

    const std::string path = dir.file("empty.jbx");
    desktop.messageAnswers = {MessageAnswer::Yes};
    desktop.fileAnswers = {ChosenFile{path, 1}};
    QTest::mouseClick(button(command::kSave), Qt::LeftButton);
    ASSERT_EQ(desktop.messages.size(), 3u);
    EXPECT_EQ(desktop.messages[2], kCreditsQuestion);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Save");
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(window->windowTitle(), "JBX Maker - empty.jbx");
    EXPECT_EQ(desktop.progress, (std::vector<int>{-1, 0, 9, 18, 27, 36, 45, 54, 63, 72, 81, 100, -2}));
}

TEST_F(MainWindowTest, QuitAndTheCloseButtonAskNothing)
{
    loadBank();
    show();
    QTest::mouseClick(button(command::kQuit), Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->acceptDrops());

    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(desktop.fileDialogs.empty());
}

// The whole round from the keyboard alone: open, play, rename, replace,
// extract, credits, save; then the saved file is read back.
TEST_F(MainWindowTest, ABankCanBeEditedWithTheKeyboardAlone)
{
    const std::string bank = WriteSmallBank(dir.file("start.jbx"), {1, 2});
    const std::string wave = dir.file("zap.wav");
    WriteBytes(wave, ToBytes(std::string_view("RIFF\x04\0\0\0WAVE", 12)));
    const std::string extracted = dir.file("two.wav");
    const std::string saved = dir.file("done.jbx");
    show();

    desktop.fileAnswers = {ChosenFile{bank, 1}};
    press(Qt::Key_O, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([&] { return window->windowTitle() == "JBX Maker - start.jbx"; }));

    press(Qt::Key_2);
    EXPECT_EQ(playedSlots(), std::vector<int>{2});
    press(Qt::Key_A, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == nameBox(); }));
    nameBox()->selectAll();
    QTest::keyClicks(nameBox(), "boom");
    press(Qt::Key_F3);
    EXPECT_EQ(session.bank.currentSlot, 3);

    desktop.fileAnswers = {ChosenFile{wave, 1}};
    press(Qt::Key_A);
    EXPECT_EQ(session.bank.slot(3).name, "zap");

    press(Qt::Key_F2);
    desktop.fileAnswers = {ChosenFile{extracted, 1}};
    press(Qt::Key_X, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([&] { return std::filesystem::exists(extracted); }));

    press(Qt::Key_C, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([&] { return creditsOwners.size() == 1; }));

    desktop.fileAnswers = {ChosenFile{saved, 1}};
    press(Qt::Key_S, Qt::AltModifier);
    ASSERT_TRUE(WaitFor([&] { return window->windowTitle() == "JBX Maker - done.jbx"; }));
    EXPECT_TRUE(desktop.messages.empty()) << "a loaded bank's credits are settled";

    FakeDesktop quiet;
    Session reread(quiet);
    reread.bank.bankTitle = "done.jbx";
    LoadBank(reread, saved, nullptr);
    EXPECT_EQ(reread.bank.slot(2).name, "boom");
    EXPECT_EQ(reread.bank.slot(3).name, "zap");
    EXPECT_EQ(reread.bank.slot(3).size, 12);
    EXPECT_EQ(ReadBytes(extracted).size(), std::size_t(kSmallSoundSize) + 1);
}

} // namespace
} // namespace jbx::testing
