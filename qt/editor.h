#pragma once

// One run of the editor: the document, the desktop, the settings store and
// the main window, brought up in the order start-up needs.

#include "app/maincommands.h"
#include "qt/qtdesktop.h"
#include "bank/soundbank.h"
#include "qt/settings/qsettingsstore.h"

#include <memory>
#include <string>

namespace jbx {

class MainWindow;

struct EditorOptions {
    std::string commandLine;   // the one bank path; empty for a new bank
};

class Editor {
public:
    explicit Editor(EditorOptions options);
    ~Editor();

    Editor(const Editor&) = delete;
    Editor& operator=(const Editor&) = delete;

    // Fills the bank from the command line (its messages have no owner and
    // come before any window), then creates and shows the main window, then
    // gives it the accelerator keys.
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

} // namespace jbx
