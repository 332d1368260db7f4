#include "app/savebank.h"

#include "app/mainwindowview.h"
#include "bank/bankwriter.h"
#include "seam/desktop.h"
#include "bank/soundbank.h"
#include "settings/settingsstore.h"

#include <atomic>
#include <utility>

namespace jbx {

SaveBankResult SaveBank(Session& session, SettingsStore& settings, MainWindowView& window,
    const RunAside& runAside)
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
    // Whatever the writing throws (memory for the bank's copy, a thread
    // that cannot start), the Saving window goes, or the main window would
    // stay held behind it for good.
    class ProgressShown {
    public:
        explicit ProgressShown(Desktop& desktop) : desktop_(desktop) {}
        ~ProgressShown() { close(); }
        void close()
        {
            if (std::exchange(open_, false))
                desktop_.closeProgress();
        }

    private:
        Desktop& desktop_;
        bool open_ = true;
    } shown(desktop);
    WriteFileResult result = WriteFileResult::CannotWrite;
    if (runAside) {
        // The copy shares the sound buffers, so it costs nothing, and the
        // writer reads only what no one else changes meanwhile. The desktop
        // is the calling thread's: the writer leaves its last position for
        // the next poll.
        const SoundBank written = session.bank;
        std::atomic<int> reached{-1};
        runAside(
            [&] {
                result = WriteBankFile(written, chosen->path, [&reached](int position) { reached = position; });
            },
            [&] {
                if (const int position = reached.exchange(-1); position >= 0)
                    desktop.setProgress(position);
            });
    } else {
        result = WriteBankFile(session.bank, chosen->path, [&desktop](int position) { desktop.setProgress(position); });
    }
    shown.close();

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
