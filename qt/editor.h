#pragma once

// One run of the editor: the document, the desktop, the settings store and
// the main window, brought up in the order start-up needs.

#include "app/maincommands.h"
#include "qt/qtdesktop.h"
#include "bank/soundbank.h"
#include "qt/settings/qsettingsstore.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace jbx {

class MainWindow;

// Where the keyboard accelerator table is read from.
inline constexpr char kAcceleratorResource[] = ":/accelerators.txt";

struct EditorOptions {
    std::string commandLine;                    // the one bank path; empty for a new bank
    QString acceleratorTable = QString::fromLatin1(kAcceleratorResource);
};

class Editor {
public:
    explicit Editor(EditorOptions options);
    ~Editor();

    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Fills the bank from the command line (its messages have no owner and
    // come before any window), then creates and shows the main window, then
    // loads the accelerator table. A table that cannot be loaded is reported
    // once the window is on screen, and the editor runs without it.
    void start();

    Session& session() { return session_; }
    QtDesktop& desktop() { return desktop_; }
    MainWindow* window() const { return window_.get(); }

private:
    EditorOptions options_;
    QtDesktop desktop_;
    Session session_;
    QSettingsStore settings_;
    std::unique_ptr<MainWindow> window_;   // destroyed first: it refers to all of the above
};

// The accelerator table at path (a Qt resource or a file); nothing when it
// cannot be read or is not a whole table.
std::optional<std::vector<Accelerator>> LoadAcceleratorTable(const QString& path);

} // namespace jbx
