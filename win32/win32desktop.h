#pragma once
// The desktop interface on Win32: message boxes, the common file dialogs,
// the unknown-block dialog (103), the Saving window (101), PlaySound and
// the Shift key; and the thread a save writes on.

#include "seam/desktop.h"

#include <windows.h>

#include <commdlg.h>

#include <functional>
#include <optional>

namespace jbx {

// The common file dialog's functions. Null ones are the system's, loaded
// at their first use.
struct FileDialogFunctions {
    decltype(GetOpenFileNameW)* open = nullptr;
    decltype(GetSaveFileNameW)* save = nullptr;
    decltype(CommDlgExtendedError)* failure = nullptr;
};

class Win32Desktop : public Desktop {
public:
    explicit Win32Desktop(HINSTANCE instance);
    ~Win32Desktop() override;

    void setMainWindow(HWND window) { mainWindow_ = window; }
    // The dialog that owns what the core shows as owned by Owner::Dialog
    // (the Credits dialog's Erase question) while it is up.
    void setDialog(HWND dialog) { dialog_ = dialog; }
    // Stands in for the system's file dialog where it cannot be driven: Wine's
    // takes no path longer than MAX_PATH, which Windows' does.
    void setFileDialogFunctions(const FileDialogFunctions& functions) { fileDialogs_ = functions; }

    MessageAnswer showMessage(const Message& message) override;
    UnknownBlockChoice askUnknownBlock(const UnknownBlockDetails& details, Owner owner) override;
    std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override;
    void playSound(SoundData image) override;
    bool shiftHeld() const override;
    void openProgress() override;
    void setProgress(int position) override;
    void closeProgress() override;

    // The main window's RunAside (app/savebank.h): `work` runs on a thread
    // of its own while this thread handles its messages as a modal
    // dialog's loop would, the Saving window's keys included, and calls
    // `poll` whenever it has handled them and at least every
    // kPollMilliseconds. Without a thread to be had, `work` runs here.
    void runAside(const std::function<void()>& work, const std::function<void()>& poll);
    static constexpr DWORD kPollMilliseconds = 50;

    // The image PlaySound was last given and may still be reading.
    const SoundData& playing() const { return playing_; }

private:
    HWND ownerWindow(Owner owner) const;
    void handleWaitingMessages(std::optional<int>& quit);

    HINSTANCE instance_;
    HWND mainWindow_ = nullptr;
    HWND dialog_ = nullptr;
    HWND progress_ = nullptr;
    FileDialogFunctions fileDialogs_;
    // The player reads the image after PlaySound has returned.
    SoundData playing_;
};

} // namespace jbx
