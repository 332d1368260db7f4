#include "qt/editor.h"

#include "app/accelerators.h"
#include "qt/dialogs/creditsdialog.h"
#include "qt/dialogs/sounddialog.h"
#include "qt/groupboxframe.h"
#include "qt/mainwindow.h"
#include "qt/programicon.h"
#include "qt/settings/optionssheet.h"
#include "qt/settings/qdesktopassociation.h"

#include <QApplication>

namespace jbx {

Editor::Editor(EditorOptions options)
    : options_(std::move(options)), session_(desktop_)
{
    InitOptionsResources();
    QApplication::setWindowIcon(ProgramIcon());
    CacheGroupBoxFrame();
}

Editor::~Editor() = default;

void Editor::start()
{
    PrepareBank(session_, options_.commandLine);

    MainWindowDialogs dialogs;
    dialogs.credits = [this](QWidget* owner) { ShowCreditsDialog(session_.bank, desktop_, owner); };
    dialogs.editSound = ShowSoundDialog;
    dialogs.options = [this](QWidget* owner) {
        ShowOptionsSheet(owner, settings_, desktop_,
            [this] { AssociateBankFilesWithThisProgram(desktop_); });
    };
    window_ = std::make_unique<MainWindow>(session_, settings_, std::move(dialogs));
    desktop_.setMainWindow(window_.get());
    window_->start();

    window_->installAccelerators(kAcceleratorTable);
    window_->installAccelerators({&kEditSoundAccelerator, 1});
}

} // namespace jbx
