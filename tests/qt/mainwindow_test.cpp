// The main window's wiring driven like a user would: clicks, Shift-clicks,
// keys with the focus in different places, drops. The commands themselves
// are tested without Qt (maincommands_test).

#include "app/accelerators.h"
#include "bank/soundbank.h"
#include "qt/mainwindow.h"
#include "qt/qtdesktop.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <filesystem>

namespace jbx::testing {
namespace {

// The scripted desktop, except that Shift is the real keyboard state, as
// the Qt desktop reads it.
class ShiftAwareDesktop final : public FakeDesktop {
public:
    bool shiftHeld() const override { return ShiftKeyDown(); }
};

class MainWindowTest : public ::testing::Test {
protected:
    // Shows the window with the program's accelerator table; a bank with sounds
    // in slots 1 to 5 first, if asked.
    void show(bool withBank = true)
    {
        NewBank(session);
        if (withBank)
            window.commands().dropFiles({WriteSmallBank(dir.file("five.jbx"), {1, 2, 3, 4, 5})});
        window.start();
        window.installAccelerators(kAcceleratorTable);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QPushButton* sound(int n) const { return window.button(command::kSound1 + n - 1); }
    QLineEdit* nameBox() const { return window.findChild<QLineEdit*>("nameBox"); }
    void click(int id) { QTest::mouseClick(window.button(id), Qt::LeftButton); }
    static void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    // Which slot each played image came from: its byte 7 (see WriteSmallBank).
    std::vector<int> playedSlots() const
    {
        std::vector<int> slots;
        for (const SoundData& image : desktop.played)
            slots.push_back(image && image->size() > 7 ? (*image)[7] : -1);
        return slots;
    }

    ShiftAwareDesktop desktop;
    FakeSettingsStore settings;
    Session session{desktop};
    TempDir dir;
    MainWindow window{session, settings, {}};
};

TEST_F(MainWindowTest, ShiftClickPlaysTheSlotThenAsksForItsReplacement)
{
    show();
    desktop.fileAnswers = {std::nullopt};
    QTest::mouseClick(sound(4), Qt::LeftButton, Qt::ShiftModifier);
    QTest::mouseClick(sound(2), Qt::LeftButton);
    EXPECT_EQ(playedSlots(), (std::vector<int>{4, 2}));
    ASSERT_EQ(desktop.fileDialogs.size(), 1u) << "a plain click only plays";
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 4");
}

// The Name box takes digits and A as typing, where a button takes them for
// a slot and for Replace.
TEST_F(MainWindowTest, KeysSelectSlotsAndReplaceUnlessTheNameBoxTakesThem)
{
    show();
    sound(2)->setFocus();
    desktop.fileAnswers = {std::nullopt};
    press(Qt::Key_A);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 1");
    for (const auto& [key, slot] : {std::pair{Qt::Key_3, 3}, {Qt::Key_0, 10}, {Qt::Key_F4, 4}}) {
        sound(1)->setFocus();
        press(key);
        EXPECT_EQ(session.bank.currentSlot, slot) << key;
        EXPECT_EQ(QApplication::focusWidget(), sound(slot)) << key;
    }
    EXPECT_EQ(playedSlots(), (std::vector<int>{3, 4})) << "slot 10 is empty: silence";

    // In the Name box F-keys are still commands.
    EXPECT_EQ(nameBox()->maxLength(), 8);
    nameBox()->setFocus();
    nameBox()->clear();
    for (const Qt::Key key : {Qt::Key_1, Qt::Key_0, Qt::Key_A})
        press(key);
    EXPECT_EQ(nameBox()->text(), "10a");
    EXPECT_EQ(session.bank.currentSlot, 4);
    press(Qt::Key_F5);
    EXPECT_EQ(session.bank.currentSlot, 5);
    EXPECT_EQ(desktop.fileDialogs.size(), 1u);

    // Escape does nothing, nor does Enter in the Name box; Enter presses a
    // focused button, as in a dialog.
    press(Qt::Key_Escape);
    nameBox()->setFocus();
    press(Qt::Key_Return);
    press(Qt::Key_Escape);
    QTest::qWait(50);
    EXPECT_TRUE(window.isVisible());
    sound(2)->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(playedSlots(), (std::vector<int>{3, 4, 5, 2}));
}

// A drop hands its files over in order, the first one loaded; its name is
// the caption, as UTF-8. Slot names are Windows-1252 bytes both ways; the
// characters are typed as an input method sends them.
TEST_F(MainWindowTest, ADropLoadsTheFirstFileAndTheNameBoxShowsAndTakesWindows1252)
{
    show(false);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(WriteSmallBank(dir.file("gr\u00FC\u00DFe.jbx"), {1, 2}))),
        QUrl::fromLocalFile(QString::fromStdString(WriteSmallBank(dir.file("second.jbx"), {3})))});
    const QPoint at = window.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == QString::fromUtf8("JBX Maker - gr\u00FC\u00DFe.jbx"); }));
    QTest::qWait(50);   // time for a wrong load of the second file
    EXPECT_EQ(session.bank.slot(3).size, 0) << "the second file is loaded";

    session.bank.slot(2).name = "\x80\x99\xE9\x81";
    QTest::mouseClick(sound(2), Qt::LeftButton);
    EXPECT_EQ(nameBox()->text(), QString::fromUtf8("\u20AC\u2122\u00E9\u0081"));
    nameBox()->setFocus();
    nameBox()->selectAll();
    for (const QChar c : QString::fromUtf8("a\u20AC\u0436b\u0100"))
        QTest::sendKeyEvent(QTest::Click, nameBox(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(nameBox()->text(), QString::fromUtf8("a\u20ACb"));
    QTest::mouseClick(sound(1), Qt::LeftButton);
    EXPECT_EQ(session.bank.slot(2).name, "a\x80" "b");
}

// The New and Save buttons reach their commands, and New's empty bank
// shows in the window.
TEST_F(MainWindowTest, NewAndSaveButtonsRunTheirCommandsAndTheWindowShowsTheResult)
{
    show();
    EXPECT_TRUE(window.button(command::kExtract)->isEnabled());
    const std::string path = dir.file("empty.jbx");
    desktop.messageAnswers = {MessageAnswer::Yes, MessageAnswer::Yes};   // New's question, then the credits'
    desktop.fileAnswers = {ChosenFile{path, 1}};
    click(command::kNew);
    EXPECT_EQ(window.windowTitle(), "JBX Maker - Untitled");
    EXPECT_EQ(nameBox()->text(), "(none)");
    EXPECT_FALSE(window.button(command::kExtract)->isEnabled());
    click(command::kSave);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(window.windowTitle(), "JBX Maker - empty.jbx");
}

} // namespace
} // namespace jbx::testing
