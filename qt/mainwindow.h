#pragma once

// The main window: ten sound buttons, the file commands and the "Last File
// Played" panel. It carries out nothing itself: every click, mnemonic,
// accelerator key and dropped file goes to MainCommands, and the core
// writes back through the MainWindowView fields.

#include "app/accelerators.h"
#include "app/maincommands.h"
#include "app/mainwindowview.h"
#include "seam/desktop.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <span>

class QPushButton;

namespace Ui {
class MainWindow;
}

namespace jbx {

// The modal windows that the Credits... and Options... buttons and the Edit
// sound command open, each given the main window as its owner, and how a
// save's writing runs: empty, RunInBackground (qt/background.h).
struct MainWindowDialogs {
    std::function<void(QWidget* owner)> credits;
    std::function<void(QWidget* owner)> options;
    // The Sound window; true when it was closed with OK.
    std::function<bool(SoundEditor& editor, QWidget* owner)> editSound;
    RunAside runAside = {};
};

class MainWindow final : public QWidget, public MainWindowView {
    Q_OBJECT

public:
    // Lays the window out; nothing is shown yet.
    MainWindow(Session& session, SettingsStore& settings, MainWindowDialogs dialogs,
        QWidget* parent = nullptr);
    ~MainWindow() override;

    // What the window does when it comes up: the caption, slot 1 current,
    // Extract disabled for an empty slot 1 and the focus on Sound 1; then it
    // is shown, centred on its screen.
    void start();

    // Makes each entry's key run its command as an accelerator. The focused
    // widget sees a key first: what the Name box takes as typing (a digit,
    // the letter A) never runs a command.
    void installAccelerators(std::span<const Accelerator> table);

    // The push button with this command id, or null.
    QPushButton* button(int id) const;

    MainCommands& commands() { return commands_; }

    void setCaption(const std::string& caption) override;
    std::string nameText() const override;
    void setNameText(const std::string& text) override;
    void setSizeText(const std::string& text) override;
    void setExtractEnabled(bool enabled) override;
    void focusSoundButton(int slotNumber) override;

protected:
    bool event(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The sound buttons' context menu, at pos in sound's coordinates.
    void showSoundMenu(QPushButton* sound, const QPoint& pos);

    // While a modal window (a box, a dialog, the "Saving" window) blocks this
    // one, its controls are disabled: Qt keeps the mouse and keys away by
    // itself, but leaves the controls enabled for a screen reader, which
    // then presses them. The control that had the focus gets it back.
    void holdControls(bool held);

    std::unique_ptr<Ui::MainWindow> ui_;
    MainWindowDialogs dialogs_;
    MainCommands commands_;
    std::map<int, QPushButton*> buttons_;
    QPointer<QWidget> focusBeforeHold_;
};

} // namespace jbx
