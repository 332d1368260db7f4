#include "app/savebank.h"

#include "app/mainwindowview.h"
#include "bank/bankwriter.h"
#include "seam/desktop.h"
#include "bank/soundbank.h"
#include "settings/settingsstore.h"

namespace jbx {

SaveBankResult SaveBank(Session& session, SettingsStore& settings, MainWindowView& window)
{
    Desktop& desktop = session.desktop;

    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.title = "Save";
    request.filters = {{"JeerBox Files (*.jbx)", "*.jbx"}};
    request.startDirectory = LoadStartDirectory(settings, DirectoryKind::Save);
    request.confirmOverwrite = true;
    request.pathMustExist = true;

    const auto chosen = RunFileDialog(desktop, request);
    if (!chosen)
        return SaveBankResult::Cancelled;

    // Remembered before writing, so a failed save still keeps the folder.
    StoreLastDirectory(settings, DirectoryKind::Save);

    desktop.openProgress();
    const WriteFileResult result = WriteBankFile(session.bank, chosen->path,
        [&desktop](int position) { desktop.setProgress(position); });
    desktop.closeProgress();

    switch (result) {
    case WriteFileResult::Written:
        break;
    case WriteFileResult::CannotCreate:
        ShowError(desktop, "Cannot create JBX file", Owner::MainWindow);
        return SaveBankResult::CannotCreate;
    case WriteFileResult::CannotWrite:
        ShowError(desktop, "Cannot write JBX file", Owner::MainWindow);
        return SaveBankResult::CannotWrite;
    }
    session.bank.bankTitle = FileTitleFromPath(chosen->path);
    UpdateMainTitle(session.bank, window);
    return SaveBankResult::Saved;
}

} // namespace jbx
