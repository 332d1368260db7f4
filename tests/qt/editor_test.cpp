// The main window driven by clicks, keys and drops (the commands are the
// core's) and heard by a screen reader, the Qt desktop's windows, and
// jbxmaker run as a process.

#include "app/accelerators.h"
#include "bank/soundbank.h"
#include "qt/editor.h"
#include "qt/groupboxframe.h"
#include "qt/mainwindow.h"
#include "qt/progresswindow.h"
#include "qt/qtdesktop.h"
#include "qt/whenshown.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmapCache>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QUrl>

namespace jbx::testing {
namespace {

// Shift as the Qt desktop reads it: the real keyboard's state.
class ShiftAwareDesktop final : public FakeDesktop {
public:
    bool shiftHeld() const override { return ShiftKeyDown(); }
};

class MainWindowTest : public ::testing::Test {
protected:
    // With a sound in slot 4.
    void SetUp() override
    {
        NewBank(session);
        WriteOneSoundBank(dir.file("one.jbx"));
        window.commands().dropFiles({dir.file("one.jbx")});
        window.start();
        window.installAccelerators(kAcceleratorTable);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QPushButton* sound(int n) const { return window.button(command::kSound1 + n - 1); }
    QLineEdit* nameBox() const { return window.findChild<QLineEdit*>("nameBox"); }
    static void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }

    ShiftAwareDesktop desktop;
    FakeSettingsStore settings;
    Session session{desktop};
    TempDir dir;
    MainWindow window{session, settings, {}};
};

// A Shift-click asks for the slot's replacement, a plain click does not.
TEST_F(MainWindowTest, ClicksReachTheirCommandsAndTheWindowShowsTheResult)
{
    desktop.fileAnswers = {std::nullopt};
    QTest::mouseClick(sound(4), Qt::LeftButton, Qt::ShiftModifier);
    QTest::mouseClick(sound(4), Qt::LeftButton);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 4");
    EXPECT_TRUE(window.button(command::kExtract)->isEnabled());
    QTest::mouseClick(sound(1), Qt::LeftButton);
    EXPECT_FALSE(window.button(command::kExtract)->isEnabled());
}

TEST_F(MainWindowTest, KeysSelectSlotsAndReplaceUnlessTheNameBoxTakesThem)
{
    desktop.fileAnswers = {std::nullopt};
    press(Qt::Key_A);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 1");
    for (const auto& [key, slot] : {std::pair{Qt::Key_3, 3}, {Qt::Key_F4, 4}}) {
        sound(1)->setFocus();
        press(key);
        EXPECT_EQ(session.bank.currentSlot, slot) << key;
        EXPECT_EQ(QApplication::focusWidget(), sound(slot)) << key;
    }

    // In the Name box F-keys are still commands.
    EXPECT_EQ(nameBox()->maxLength(), int(kSlotNameLimit));
    nameBox()->setFocus();
    nameBox()->clear();
    for (const Qt::Key key : {Qt::Key_1, Qt::Key_0, Qt::Key_A})
        press(key);
    EXPECT_EQ(nameBox()->text(), "10a");
    press(Qt::Key_F5);
    EXPECT_EQ(session.bank.currentSlot, 5);
    // Enter presses a focused button, as in a dialog.
    sound(2)->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(session.bank.currentSlot, 2);
}

// Characters come as an input method sends them.
TEST_F(MainWindowTest, ADroppedFileLoadsAndTheNameBoxShowsAndTakesWindows1252)
{
    const std::string dropped = dir.file("gr\u00FC\u00DFe.jbx");
    WriteOneSoundBank(dropped);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(dropped))});
    const QPoint at = window.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    const QString caption = QString::fromUtf8("JBX Maker - gr\u00FC\u00DFe.jbx");
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.windowTitle() == caption; }));

    session.bank.slot(4).name = "\x80\x99\xE9\x81";
    QTest::mouseClick(sound(4), Qt::LeftButton);
    EXPECT_EQ(nameBox()->text(), QString::fromUtf8("\u20AC\u2122\u00E9\u0081"));
    nameBox()->setFocus();
    nameBox()->selectAll();
    for (const QChar c : QString::fromUtf8("a\u20AC\u0436b\u0100"))
        QTest::sendKeyEvent(QTest::Click, nameBox(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(nameBox()->text(), QString::fromUtf8("a\u20ACb"));
    QTest::mouseClick(sound(1), Qt::LeftButton);
    EXPECT_EQ(session.bank.slot(4).name, "a\x80" "b");
}

// So that "Size:" is followed by the size itself.
TEST_F(MainWindowTest, AScreenReaderHearsEachControlByNameAndTheSizeAsAValue)
{
    ExpectAnnounced(&window, 20);
    window.setSizeText("3 KB");
    QAccessibleInterface* size = QAccessible::queryAccessibleInterface(window.findChild<QWidget*>("sizeText"));
    EXPECT_EQ(size->role(), QAccessible::EditableText);
    EXPECT_TRUE(size->state().readOnly);
    EXPECT_EQ(size->text(QAccessible::Value), "3 KB");
}

class QtDesktopTest : public ::testing::Test {
protected:
    void SetUp() override { desktop.setMainWindow(&mainWindow); }
    QWidget mainWindow;
    QtDesktop desktop;
};

TEST_F(QtDesktopTest, AMessageBoxShowsTheTextAndIconAndReportsTheAnswer)
{
    const struct {
        MessageIcon icon;
        QMessageBox::Icon shown;
        QMessageBox::StandardButton clicked;
        MessageAnswer answer;
    } cases[] = {{MessageIcon::Stop, QMessageBox::Critical, QMessageBox::No, MessageAnswer::No},
        {MessageIcon::Question, QMessageBox::Question, QMessageBox::Yes, MessageAnswer::Yes},
        {MessageIcon::Exclamation, QMessageBox::Warning, QMessageBox::No, MessageAnswer::No},
        {MessageIcon::Asterisk, QMessageBox::Information, QMessageBox::Yes, MessageAnswer::Yes}};
    for (const auto& c : cases) {
        const Message message{"<b>Lost.</b>\n\nContinue?", "Warning", MessageButtons::YesNo, c.icon, Owner::MainWindow};
        ModalScript script{[&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text().toStdString(), message.text);
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->icon(), c.shown);
            box->button(c.clicked)->click();
        }};
        EXPECT_EQ(desktop.showMessage(message), c.answer);
    }
}

TEST_F(QtDesktopTest, AFileDialogShowsItsRequestAndReportsTheChosenFileAndFilter)
{
    TempDir dir;
    WriteBytes(dir.file("growl.voc"), ToBytes("Creative Voice File"));
    FileDialogRequest request;
    request.title = "Replace sound 3";
    request.filters = {{"Wave Files (*.wav)", "*.wav"}, {"Voice Files (*.voc)", "*.voc"}};
    request.filterIndex = 1;
    request.startDirectory = dir.path();
    ModalScript script{[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(dialog->selectedNameFilter(), "Wave Files (*.wav)");
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(QString::fromStdString(dir.path())).absolutePath());
        EXPECT_EQ(dialog->parentWidget(), &mainWindow);
        // The program leaves the choice of dialog to the desktop; only the
        // tests force Qt's own, whose boxes they can type into.
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        dialog->selectNameFilter("Voice Files (*.voc)");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText("growl.voc");
        QTimer::singleShot(0, dialog, &QDialog::accept);
    }};
    const auto chosen = desktop.chooseFile(request);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, dir.file("growl.voc"));
    EXPECT_EQ(chosen->filterIndex, 2);
}

TEST_F(QtDesktopTest, TheProgressWindowShowsThePositionAndIsAnnouncedAsSaving)
{
    desktop.openProgress();
    desktop.setProgress(40);
    EXPECT_EQ(desktop.progressWindow()->position(), 40);
    ExpectAnnounced(desktop.progressWindow(), 2);
}

TEST(EditorTest, StartGivesTheWindowItsKeysAndItsDialogs)
{
    Editor editor({});
    editor.start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.window()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
    EXPECT_EQ(editor.session().bank.currentSlot, 4);
    QStringList titles;
    const ModalScript::Step seeAndCancel = [&](QWidget* modal) {
        EXPECT_EQ(modal->parentWidget(), editor.window());
        titles.append(modal->windowTitle());
        static_cast<QDialog*>(modal)->reject();
    };
    ModalScript script{seeAndCancel, seeAndCancel};
    editor.window()->button(command::kCredits)->click();
    editor.window()->button(command::kOptions)->click();
    EXPECT_EQ(titles, (QStringList{"Credits", "Options"}));
}

// Fusion finds the frame only under the key that its own load of the file
// uses; under any other, the first paint loads every image plugin again.
TEST(EditorTest, TheGroupBoxFrameIsCachedWhereFusionLooksWithTheImageItWouldRead)
{
    if (QApplication::style()->name() != "fusion")
        GTEST_SKIP() << "the style is " << QApplication::style()->name().toStdString();
    QPixmapCache::clear();
    const QPixmap cached = CacheGroupBoxFrame();
    ASSERT_FALSE(cached.isNull());
    const QString file = ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png";
    EXPECT_EQ(QPixmap(file).cacheKey(), cached.cacheKey());
    EXPECT_EQ(cached.toImage(), QPixmap::fromImage(QImage(file)).toImage());
}

// Told so by the variable, jbxmaker prints its caption once painted, and closes.
TEST(EditorTest, JbxmakerJoinsItsArgumentsIntoOneBankPathAndExitsWithZero)
{
    TempDir dir;
    WriteOneSoundBank(dir.file("My taunts.jbx"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert(kExitWhenShownVariable, "1");
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(JBXMAKER_PATH), {QString::fromStdString(dir.file("My")), "taunts.jbx"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), "shown: JBX Maker - My taunts.jbx\n");
}

} // namespace
} // namespace jbx::testing
