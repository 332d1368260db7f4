// The real Qt desktop and dialogs, in-process, answered as a user would;
// and jbxmaker itself run as a process.

#include "qt/editor.h"
#include "qt/mainwindow.h"
#include "qt/whenshown.h"
#include "tests/qt/guitest.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace jbx::testing {
namespace {

// Each of the core's icons as its own Qt icon, and the answer as clicked.
TEST(QtDesktopTest, AMessageBoxShowsTheTextCaptionIconButtonsAndOwner)
{
    QWidget mainWindow;
    QtDesktop desktop;
    mainWindow.show();
    desktop.setMainWindow(&mainWindow);
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
            EXPECT_EQ(box->windowTitle(), "Warning");
            EXPECT_EQ(box->icon(), c.shown);
            EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            EXPECT_EQ(box->parentWidget(), &mainWindow);
            box->button(c.clicked)->click();
        }};
        EXPECT_EQ(desktop.showMessage(message), c.answer);
        EXPECT_EQ(script.pending(), 0u);
    }
}

TEST(QtDesktopTest, AFileDialogShowsItsRequestAndReportsTheChosenFileAndFilter)
{
    QWidget mainWindow;
    QtDesktop desktop;
    mainWindow.show();
    desktop.setMainWindow(&mainWindow);
    TempDir dir;
    WriteBytes(dir.file("growl.voc"), ToBytes("Creative Voice File"));
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Replace sound 3";
    request.filters = {{"Wave Files (*.wav)", "*.wav"}, {"Voice Files (*.voc)", "*.voc"}};
    request.filterIndex = 1;
    request.startDirectory = dir.path();
    request.fileMustExist = true;
    // The user switches to the second filter and types the name.
    ModalScript script{[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(dialog->windowTitle(), "Replace sound 3");
        EXPECT_EQ(dialog->nameFilters(), QStringList({"Wave Files (*.wav)", "Voice Files (*.voc)"}));
        EXPECT_EQ(dialog->selectedNameFilter(), "Wave Files (*.wav)");
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(QString::fromStdString(dir.path())).absolutePath());
        EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
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

// The keys work as soon as the window is up, and the Credits and Options
// buttons open their dialogs over it.
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
