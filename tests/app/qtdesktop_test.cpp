// The Qt desktop with its real windows: message boxes, file dialogs, the
// unknown-block dialog and the "Saving" window, answered as a user would.

#include "app/progresswindow.h"
#include "app/qtdesktop.h"
#include "bank/filesystem.h"
#include "tests/app/guitest.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>

namespace jbx::testing {
namespace {

class QtDesktopTest : public ::testing::Test {
protected:
    QtDesktopTest() : savedDirectory(CurrentDirectory())
    {
        mainWindow.setWindowTitle("main");
        mainWindow.resize(400, 300);
        mainWindow.move(40, 60);
        mainWindow.show();
        desktop.setMainWindow(&mainWindow);
    }
    ~QtDesktopTest() override { ChangeCurrentDirectory(savedDirectory); }

    QWidget mainWindow;
    QtDesktop desktop;
    TempDir dir;
    std::string savedDirectory;
};

// What a message box looked like when it came up.
struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    QWidget* parent = nullptr;
};

ModalScript::Step AnswerBox(SeenBox& seen, int button)
{
    return [&seen, button](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen = {box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                box->textFormat(), box->parentWidget()};
        }
        PressMessageButton(modal, button);
    };
}

TEST_F(QtDesktopTest, MessageBoxesShowTheTextCaptionIconButtonsAndOwner)
{
    struct Case {
        Message message;
        QMessageBox::Icon icon;
        int press;
        MessageAnswer answer;
        QWidget* parent;
    };
    const std::vector<Case> cases = {
        {{"Cannot open JBX file", "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::None},
            QMessageBox::Critical, QMessageBox::Ok, MessageAnswer::Ok, nullptr},
        {{"Current changes will be lost.\n\nContinue?", "Warning", MessageButtons::YesNo,
             MessageIcon::Question, Owner::MainWindow},
            QMessageBox::Question, QMessageBox::Yes, MessageAnswer::Yes, &mainWindow},
        {{"Save anyway?", "Warning", MessageButtons::YesNo, MessageIcon::Stop, Owner::MainWindow},
            QMessageBox::Critical, QMessageBox::No, MessageAnswer::No, &mainWindow},
        {{"<b>not markup</b>", "Warning", MessageButtons::YesNo, MessageIcon::Exclamation, Owner::None},
            QMessageBox::Warning, QMessageBox::Yes, MessageAnswer::Yes, nullptr},
        {{"Information", "Note", MessageButtons::Ok, MessageIcon::Asterisk, Owner::MainWindow},
            QMessageBox::Information, QMessageBox::Ok, MessageAnswer::Ok, &mainWindow},
    };
    for (const Case& c : cases) {
        SeenBox seen;
        ModalScript script;
        script.then(AnswerBox(seen, c.press));
        EXPECT_EQ(desktop.showMessage(c.message), c.answer) << c.message.text;
        EXPECT_EQ(seen.text.toStdString(), c.message.text);
        EXPECT_EQ(seen.title.toStdString(), c.message.caption);
        EXPECT_EQ(seen.icon, c.icon) << c.message.text;
        EXPECT_EQ(seen.buttons, c.message.buttons == MessageButtons::Ok
                ? QMessageBox::StandardButtons(QMessageBox::Ok)
                : QMessageBox::Yes | QMessageBox::No);
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.parent, c.parent) << c.message.text;
        EXPECT_EQ(script.pending(), 0u);
    }
}

TEST_F(QtDesktopTest, ADialogsQuestionIsOwnedByThatDialog)
{
    QDialog credits(&mainWindow);
    credits.setModal(true);
    credits.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &credits);

    SeenBox seen;
    ModalScript script;
    script.then(AnswerBox(seen, QMessageBox::Yes));
    EXPECT_EQ(desktop.showMessage({"Erase?", "Warning", MessageButtons::YesNo,
                  MessageIcon::Exclamation, Owner::Dialog}),
        MessageAnswer::Yes);
    EXPECT_EQ(seen.parent, &credits);
}

// What a file dialog looked like when it came up.
struct SeenFileDialog {
    QString title;
    QStringList filters;
    QString selectedFilter;
    QString directory;
    QString defaultSuffix;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    bool confirmsOverwrite = false;
    bool native = true;
    QWidget* parent = nullptr;
};

// Records the dialog, then picks file (empty: cancels) by going to its
// folder and typing its name, as a user would; selectFile() does not type
// into a name box that has the focus. The dialog is accepted from the event
// loop, so that a question it asks on the way (replace the file?) can be
// answered by the next step.
ModalScript::Step AnswerFileDialog(SeenFileDialog& seen, const std::string& file,
    const QString& filter = {})
{
    return [&seen, file, filter](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        seen = {dialog->windowTitle(), dialog->nameFilters(), dialog->selectedNameFilter(),
            dialog->directory().absolutePath(), dialog->defaultSuffix(), dialog->acceptMode(),
            dialog->fileMode(), !dialog->testOption(QFileDialog::DontConfirmOverwrite),
            !dialog->testOption(QFileDialog::DontUseNativeDialog), dialog->parentWidget()};
        if (file.empty()) {
            dialog->reject();
            return;
        }
        if (!filter.isEmpty())
            dialog->selectNameFilter(filter);
        const QFileInfo chosen(QString::fromStdString(file));
        dialog->setDirectory(chosen.absolutePath());
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(chosen.fileName());
        QTimer::singleShot(0, dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); });
    };
}

TEST_F(QtDesktopTest, AnOpenDialogShowsItsFiltersAndReportsTheOneInUse)
{
    const std::string voice = dir.file("growl.voc");
    WriteBytes(voice, ToBytes("Creative Voice File"));

    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Replace sound 3";
    request.filters = {{"Wave Files (*.wav)", "*.wav"}, {"Voice Files (*.voc)", "*.voc"}};
    request.filterIndex = 2;
    request.startDirectory = dir.path();
    request.fileMustExist = true;

    SeenFileDialog seen;
    ModalScript script;
    script.then(AnswerFileDialog(seen, voice));
    const auto chosen = desktop.chooseFile(request);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, voice);
    EXPECT_EQ(chosen->filterIndex, 2);

    EXPECT_EQ(seen.title, "Replace sound 3");
    EXPECT_EQ(seen.filters, QStringList({"Wave Files (*.wav)", "Voice Files (*.voc)"}));
    EXPECT_EQ(seen.selectedFilter, "Voice Files (*.voc)");
    EXPECT_EQ(seen.directory, QDir(QString::fromStdString(dir.path())).absolutePath());
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(seen.fileMode, QFileDialog::ExistingFile);
    EXPECT_FALSE(seen.native);
    EXPECT_EQ(seen.parent, &mainWindow);

    // Filter index 0 is the first filter; the one the user switches to is
    // the one reported.
    request.filterIndex = 0;
    ModalScript again;
    again.then(AnswerFileDialog(seen, voice, "Voice Files (*.voc)"));
    const auto switched = desktop.chooseFile(request);
    EXPECT_EQ(seen.selectedFilter, "Wave Files (*.wav)");
    ASSERT_TRUE(switched);
    EXPECT_EQ(switched->filterIndex, 2);
}

TEST_F(QtDesktopTest, TheBankSuffixIsAddedAsTheFilterSpellsIt)
{
    const std::string bank = dir.file("taunts.jbx");
    WriteBytes(bank, ToBytes("IWAD"));
    ASSERT_TRUE(ChangeCurrentDirectory(dir.path()));

    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Open";
    request.filters = {{"JeerBox Files (*.jbx)", "*.jbx"}};
    request.startDirectory = ".";
    request.defaultSuffix = "JBX";
    request.fileMustExist = true;

    SeenFileDialog seen;
    ModalScript script;
    script.then(AnswerFileDialog(seen, dir.file("taunts")));
    const auto chosen = desktop.chooseFile(request);
    EXPECT_EQ(seen.directory, QDir::currentPath()) << "\".\" is the current directory";
    EXPECT_EQ(seen.defaultSuffix, "jbx");
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, bank);
}

TEST_F(QtDesktopTest, ASaveDialogTakesANameAsTypedAndAsksBeforeReplacing)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.title = "Extract";
    request.filters = {{"Wave Files (*.wav)", "*.wav"}};
    request.startDirectory = dir.path();
    request.confirmOverwrite = true;
    request.pathMustExist = true;

    SeenFileDialog seen;
    ModalScript script;
    script.then(AnswerFileDialog(seen, dir.file("typed")));
    const auto typed = desktop.chooseFile(request);
    ASSERT_TRUE(typed);
    EXPECT_EQ(typed->path, dir.file("typed")) << "no suffix is added";
    EXPECT_EQ(seen.title, "Extract");
    EXPECT_EQ(seen.acceptMode, QFileDialog::AcceptSave);
    EXPECT_TRUE(seen.defaultSuffix.isEmpty());
    EXPECT_TRUE(seen.confirmsOverwrite);

    // An existing file: the dialog asks, and No keeps it open.
    const std::string existing = dir.file("old.wav");
    WriteBytes(existing, ToBytes("RIFF"));
    int questions = 0;
    QPointer<QWidget> fileDialog;
    ModalScript replace;
    replace
        .then([&](QWidget* modal) {
            fileDialog = modal;
            AnswerFileDialog(seen, existing)(modal);
        })
        .then([&](QWidget* modal) {
            ++questions;
            PressMessageButton(modal, QMessageBox::No);
            // No leaves the file dialog up; the user then cancels it.
            QTimer::singleShot(0, fileDialog, [&] { static_cast<QDialog*>(fileDialog.data())->reject(); });
        });
    EXPECT_FALSE(desktop.chooseFile(request));
    EXPECT_EQ(questions, 1);

    request.confirmOverwrite = false;
    ModalScript quiet;
    quiet.then(AnswerFileDialog(seen, existing));
    const auto replaced = desktop.chooseFile(request);
    EXPECT_FALSE(seen.confirmsOverwrite);
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->path, existing);
}

TEST_F(QtDesktopTest, ACancelledFileDialogChoosesNothing)
{
    FileDialogRequest request;
    request.title = "Open";
    request.filters = {{"JeerBox Files (*.jbx)", "*.jbx"}};
    SeenFileDialog seen;
    ModalScript script;
    script.then(AnswerFileDialog(seen, ""));
    EXPECT_FALSE(desktop.chooseFile(request));
    EXPECT_EQ(seen.title, "Open");
}

TEST_F(QtDesktopTest, TheUnknownBlockQuestionRunsTheWarningDialog)
{
    QString title;
    QWidget* parent = nullptr;
    ModalScript script;
    script.then([&](QWidget* modal) {
        title = modal->windowTitle();
        parent = modal->parentWidget();
        for (QPushButton* button : modal->findChildren<QPushButton*>()) {
            if (button->text().remove('&') == "Skip Block")
                return button->click();
        }
        ADD_FAILURE() << "no Skip Block button";
    });
    EXPECT_EQ(desktop.askUnknownBlock({3, 12, 40}, Owner::MainWindow), UnknownBlockChoice::SkipBlock);
    EXPECT_EQ(title, "Warning");
    EXPECT_EQ(parent, &mainWindow);
}

TEST_F(QtDesktopTest, TheSavingWindowIsCentredOnTheMainWindowAndFollowsTheSave)
{
    EXPECT_EQ(desktop.progressWindow(), nullptr);
    desktop.openProgress();
    ProgressWindow* progress = desktop.progressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->parentWidget(), &mainWindow);
    EXPECT_TRUE(progress->windowFlags().testFlag(Qt::FramelessWindowHint));
    const QPoint offCentre = progress->frameGeometry().center() - mainWindow.frameGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);

    const auto* label = progress->findChild<QLabel*>();
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Saving");
    const auto* bar = progress->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->minimum(), 0);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_EQ(bar->value(), 0);

    for (const int position : {9, 81, 100}) {
        desktop.setProgress(position);
        EXPECT_EQ(progress->position(), position);
    }
    desktop.closeProgress();
    EXPECT_EQ(desktop.progressWindow(), nullptr);
    desktop.setProgress(5);   // nothing is open: nothing happens
}

TEST_F(QtDesktopTest, ShiftIsTheApplicationsKeyboardState)
{
    QPushButton button("Sound &4", &mainWindow);
    button.show();
    std::vector<bool> shift;
    QObject::connect(&button, &QPushButton::clicked, [&] { shift.push_back(desktop.shiftHeld()); });
    QTest::mouseClick(&button, Qt::LeftButton, Qt::ShiftModifier);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(shift, (std::vector<bool>{true, false}));
}

TEST_F(QtDesktopTest, ThePlayerIsMadeAtTheFirstSound)
{
    EXPECT_EQ(desktop.player(), nullptr) << "no player, so no audio output, before the first sound";
    desktop.playSound(nullptr);   // silence
    EXPECT_NE(desktop.player(), nullptr);
}

} // namespace
} // namespace jbx::testing
