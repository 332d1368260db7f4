// The Qt desktop with its real windows, answered as a user would.

#include "app/qtdesktop.h"
#include "tests/app/guitest.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace jbx::testing {
namespace {

struct QtDesktopTest : ::testing::Test {
    QtDesktopTest() { mainWindow.show(); desktop.setMainWindow(&mainWindow); }
    QWidget mainWindow;
    QtDesktop desktop;
};

TEST_F(QtDesktopTest, AMessageBoxShowsTheTextCaptionIconButtonsAndOwner)
{
    const Message message{"<b>Current changes will be lost.</b>\n\nContinue?", "Warning",
        MessageButtons::YesNo, MessageIcon::Question, Owner::MainWindow};
    QMessageBox* seen = nullptr;
    ModalScript script{[&](QWidget* modal) {
        seen = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(seen, nullptr);
        EXPECT_EQ(seen->text().toStdString(), message.text);
        EXPECT_EQ(seen->textFormat(), Qt::PlainText);
        EXPECT_EQ(seen->windowTitle(), "Warning");
        EXPECT_EQ(seen->icon(), QMessageBox::Question);
        EXPECT_EQ(seen->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(seen->parentWidget(), &mainWindow);
        seen->button(QMessageBox::No)->click();
    }};
    EXPECT_EQ(desktop.showMessage(message), MessageAnswer::No);
    EXPECT_NE(seen, nullptr);
}

TEST_F(QtDesktopTest, AFileDialogShowsItsRequestAndReportsTheChosenFileAndFilter)
{
    TempDir dir;
    const std::string voice = dir.file("growl.voc");
    WriteBytes(voice, ToBytes("Creative Voice File"));
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
        dialog->selectNameFilter("Voice Files (*.voc)");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText("growl.voc");
        QTimer::singleShot(0, dialog, &QDialog::accept);
    }};
    const auto chosen = desktop.chooseFile(request);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, voice);
    EXPECT_EQ(chosen->filterIndex, 2);
}

} // namespace
} // namespace jbx::testing
