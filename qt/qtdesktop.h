#pragma once

// The desktop interface over Qt Widgets: message boxes, file dialogs, the
// unknown-block dialog, playback, the Shift key and the "Saving" window.

#include "seam/desktop.h"

#include <QPointer>

#include <memory>

class QWidget;

namespace jbx {

class ProgressWindow;
class SoundOutput;

class QtDesktop final : public Desktop {
public:
    QtDesktop();
    ~QtDesktop() override;

    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    // The window that Owner::MainWindow names and that the progress window
    // is centred on. Until it is set, such boxes have no owner.
    void setMainWindow(QWidget* window) { mainWindow_ = window; }

    // A QMessageBox: Stop, Question, Exclamation and Asterisk become the
    // Critical, Question, Warning and Information icons. Its parent is the
    // main window, the active modal dialog or none, as the owner says.
    MessageAnswer showMessage(const Message& message) override;

    UnknownBlockChoice askUnknownBlock(const UnknownBlockDetails& details, Owner owner) override;

    // The desktop's file dialog, or Qt's own where the platform has none.
    // The title, the filters with the one to select, the starting folder and
    // the filter in use at the end reach both alike.
    std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override;

    // The player module is loaded at the first sound, so that start-up
    // loads no audio library and opens no audio output. Without the module
    // every sound is silence.
    void playSound(SoundData image) override;

    bool shiftHeld() const override;

    void openProgress() override;
    void setProgress(int position) override;
    void closeProgress() override;

    // The "Saving" window while it is open, else null.
    ProgressWindow* progressWindow() const;

private:
    QWidget* ownerWidget(Owner owner) const;

    QPointer<QWidget> mainWindow_;
    // The main window owns the progress window: closing it deletes this one.
    QPointer<ProgressWindow> progress_;
    std::unique_ptr<SoundOutput> output_;
    bool outputLookedFor_ = false;
};

// Whether Shift is held at this moment, as the application last saw it.
bool ShiftKeyDown();

} // namespace jbx
