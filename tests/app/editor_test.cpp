// Start-up: the bank from the command line, the main window, the accelerator
// table and its failure, in-process with the real Qt desktop; and jbxmaker
// itself run as a process.

#include "app/editor.h"
#include "app/mainwindow.h"
#include "app/whenshown.h"
#include "bank/filesystem.h"
#include "tests/app/guitest.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QTest>

namespace jbx::testing {
namespace {

struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool hasParent = true;
    bool windowShown = false;
};

ModalScript::Step AnswerOk(SeenBox& seen, const Editor& editor)
{
    return [&seen, &editor](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                box->parentWidget() != nullptr, editor.window() && editor.window()->isVisible()};
        }
        PressMessageButton(modal, QMessageBox::Ok);
    };
}

std::size_t AcceleratorCount(const MainWindow& window)
{
    return std::size_t(window.findChildren<QShortcut*>().size());
}

class EditorTest : public ::testing::Test {
protected:
    EditorTest() : savedDirectory(CurrentDirectory()) {}
    ~EditorTest() override { ChangeCurrentDirectory(savedDirectory); }

    TempDir dir;
    std::string savedDirectory;
};

TEST_F(EditorTest, ABankThatCannotBeOpenedIsReportedBeforeTheWindowExists)
{
    Editor editor({dir.file("\"quoted name.jbx\"")});
    SeenBox seen;
    ModalScript script;
    script.then(AnswerOk(seen, editor));
    editor.start();

    EXPECT_EQ(script.pending(), 0u);
    EXPECT_EQ(seen.text, "Cannot open JBX file");
    EXPECT_EQ(seen.title, "Error");
    EXPECT_FALSE(seen.hasParent);
    EXPECT_FALSE(seen.windowShown);
    ASSERT_NE(editor.window(), nullptr);
    EXPECT_TRUE(editor.window()->isVisible());
    EXPECT_EQ(editor.window()->windowTitle(), "JBX Maker - Untitled");
    EXPECT_EQ(AcceleratorCount(*editor.window()), 31u);
}

TEST_F(EditorTest, TheBankNamedOnTheCommandLineIsLoadedBeforeTheWindowShows)
{
    const std::string path = WriteSmallBank(dir.file("My taunts.jbx"), {1});
    Editor editor({path});
    editor.start();
    EXPECT_EQ(editor.window()->windowTitle(), "JBX Maker - My taunts.jbx");
    EXPECT_EQ(editor.session().bank.slot(1).size, kSmallSoundSize);
    EXPECT_TRUE(editor.window()->button(command::kExtract)->isEnabled());
    EXPECT_TRUE(editor.session().bank.creditsConfirmed);
}

TEST_F(EditorTest, AnAcceleratorTableThatCannotBeLoadedIsReportedOverTheShownWindow)
{
    std::string thirty;
    for (int n = 1; n <= 10; ++n)
        thirty += "F" + std::to_string(n) + " " + std::to_string(99 + n) + "\n";
    for (int n = 1; n <= 10; ++n)
        thirty += "Alt+F" + std::to_string(n) + " " + std::to_string(99 + n) + "\n";
    for (int n = 0; n <= 9; ++n)
        thirty += std::to_string(n) + " " + std::to_string(n == 0 ? 109 : 99 + n) + "\n";
    const std::string shortTable = dir.file("thirty.txt");
    WriteBytes(shortTable, ToBytes(thirty));
    const std::string garbage = dir.file("garbage.txt");
    WriteBytes(garbage, ToBytes(std::string(31, '\n') + "Ctrl+Q 125\n"));

    for (const QString& table : {QStringLiteral(":/no-such-table.txt"),
             QString::fromStdString(shortTable), QString::fromStdString(garbage)}) {
        SCOPED_TRACE(table.toStdString());
        Editor editor({{}, table});
        SeenBox seen;
        ModalScript script;
        script.then(AnswerOk(seen, editor));
        editor.start();

        EXPECT_EQ(seen.text.toStdString(), kAcceleratorLoadError);
        EXPECT_EQ(seen.title, "Error");
        EXPECT_EQ(seen.icon, QMessageBox::Critical);
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_FALSE(seen.hasParent);
        EXPECT_TRUE(seen.windowShown) << "the window is on screen first";

        // No shortcut keys, but the window and its mnemonics work.
        MainWindow& window = *editor.window();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        EXPECT_EQ(AcceleratorCount(window), 0u);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
        EXPECT_EQ(editor.session().bank.currentSlot, 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_3, Qt::AltModifier);
        EXPECT_TRUE(WaitFor([&] { return editor.session().bank.currentSlot == 3; }));
    }
}

TEST_F(EditorTest, TheBuiltInAcceleratorTableDrivesTheWindow)
{
    Editor editor({});
    ModalScript script;   // no message may come up
    editor.start();
    MainWindow& window = *editor.window();
    EXPECT_EQ(window.windowTitle(), "JBX Maker - Untitled");
    EXPECT_EQ(AcceleratorCount(window), 31u);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    EXPECT_EQ(QApplication::focusWidget(), window.button(command::kSound1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6);
    EXPECT_EQ(editor.session().bank.currentSlot, 6);
    EXPECT_EQ(editor.desktop().player(), nullptr) << "an empty slot plays nothing";
    EXPECT_EQ(script.unexpected(), 0);
}

TEST_F(EditorTest, CreditsOpensTheCreditsDialogOverTheMainWindow)
{
    Editor editor({});
    editor.start();
    QWidget* owner = nullptr;
    bool isDialog = false;
    ModalScript script;
    script.then([&](QWidget* modal) {
        owner = modal->parentWidget();
        isDialog = qobject_cast<QDialog*>(modal) != nullptr;
        static_cast<QDialog*>(modal)->reject();
    });
    editor.window()->button(command::kCredits)->click();
    EXPECT_EQ(script.pending(), 0u);
    EXPECT_TRUE(isDialog);
    EXPECT_EQ(owner, editor.window());
    EXPECT_FALSE(editor.session().bank.creditsConfirmed) << "cancelled: nothing settled";
}

TEST_F(EditorTest, OptionsOpensTheOptionsSheetOverTheMainWindow)
{
    Editor editor({});
    editor.start();
    QWidget* owner = nullptr;
    QString title;
    ModalScript script;
    script.then([&](QWidget* modal) {
        owner = modal->parentWidget();
        title = modal->windowTitle();
        static_cast<QDialog*>(modal)->reject();
    });
    editor.window()->button(command::kOptions)->click();
    EXPECT_EQ(script.pending(), 0u);
    EXPECT_EQ(title, "Options");
    EXPECT_EQ(owner, editor.window());
    EXPECT_FALSE(QApplication::windowIcon().isNull()) << "the program icon is compiled in";
}

// jbxmaker itself: started with a command line, it shows its window and
// (told so by the test-only variable) prints its caption and closes.
TEST_F(EditorTest, JbxmakerJoinsItsArgumentsIntoOneBankPathAndExitsWithZero)
{
    WriteSmallBank(dir.file("My taunts.jbx"), {1, 2});
    struct Case {
        QStringList arguments;
        QString caption;
    };
    const std::vector<Case> cases = {
        {{}, "JBX Maker - Untitled"},
        {{QString::fromStdString(dir.file("My")), "taunts.jbx"}, "JBX Maker - My taunts.jbx"},
    };
    for (const Case& c : cases) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert(kExitWhenShownVariable, "1");
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(JBXMAKER_PATH), c.arguments);
        ASSERT_TRUE(process.waitForFinished(30000)) << c.caption.toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), "shown: " + c.caption + "\n");
    }
}

} // namespace
} // namespace jbx::testing
