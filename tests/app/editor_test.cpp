// Start-up with the real Qt desktop and dialogs, in-process; and jbxmaker
// itself run as a process.

#include "app/editor.h"
#include "app/mainwindow.h"
#include "app/whenshown.h"
#include "tests/app/guitest.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace jbx::testing {
namespace {

TEST(EditorTest, AnAcceleratorTableThatCannotBeLoadedIsReportedOverTheShownWindow)
{
    Editor editor({{}, QStringLiteral(":/no-such-table.txt")});
    bool answered = false;
    ModalScript script{[&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), "Error loading keyboard accelerators.\n\n"
                               "You won't be able to use some of the shortcut keys this session.");
        EXPECT_EQ(box->windowTitle(), "Error");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        EXPECT_TRUE(editor.window() && editor.window()->isVisible()) << "the window is on screen first";
        answered = true;
        box->button(QMessageBox::Ok)->click();
    }};
    editor.start();
    EXPECT_TRUE(answered);

    // No shortcut keys, but the window and its mnemonics work.
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor.window()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
    EXPECT_EQ(editor.session().bank.currentSlot, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_3, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return editor.session().bank.currentSlot == 3; }));
}

TEST(EditorTest, CreditsAndOptionsOpenTheirDialogsOverTheMainWindow)
{
    Editor editor({});
    editor.start();
    QStringList titles;
    const ModalScript::Step seeAndCancel = [&](QWidget* modal) {
        EXPECT_EQ(modal->parentWidget(), editor.window());
        titles.append(modal->windowTitle());
        ASSERT_NE(qobject_cast<QDialog*>(modal), nullptr);
        static_cast<QDialog*>(modal)->reject();
    };
    ModalScript script{seeAndCancel, seeAndCancel};
    editor.window()->button(command::kCredits)->click();
    editor.window()->button(command::kOptions)->click();
    EXPECT_EQ(script.pending(), 0u);
    ASSERT_EQ(titles.size(), 2);
    EXPECT_EQ(titles[1], "Options");
    EXPECT_FALSE(editor.session().bank.creditsConfirmed) << "Credits cancelled: nothing settled";
}

// Told so by the test-only variable, jbxmaker prints its caption once its
// window is painted, and closes.
TEST(EditorTest, JbxmakerJoinsItsArgumentsIntoOneBankPathAndExitsWithZero)
{
    TempDir dir;
    WriteSmallBank(dir.file("My taunts.jbx"), {1, 2});
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
