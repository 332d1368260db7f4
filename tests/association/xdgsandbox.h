#pragma once

// A private desktop for tests: XDG data, configuration and system folders in
// a temporary folder, and the desktop's own tools (xdg-mime, gio) run against
// them. Nothing of the user's real desktop is read or changed.

#include "settings/association.h"
#include "tests/cli/runtool.h"
#include "tests/support/testfiles.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace jbx::testing {

class XdgSandbox {
public:
    XdgSandbox();

    const std::string& root() const { return root_.path(); }
    std::string path(const std::string& relative) const { return root() + "/" + relative; }

    std::string dataHome() const { return path("home/.local/share"); }
    std::string configHome() const { return path("home/.config"); }
    // The one system data folder, where another program's files go.
    std::string systemData() const { return path("system/share"); }

    XdgFolders folders() const;

    // Programs in this folder are found by name in what run() starts.
    void addToPath(const std::string& folder) { pathFolders_.push_back(folder); }

    // Runs a program with the sandbox's XDG variables, HOME, and
    // XDG_CURRENT_DESKTOP=GNOME: without a desktop named, xdg-mime asks
    // file(1) for a file's type, which knows nothing of the MIME database.
    RunResult run(const std::string& program, const std::vector<std::string>& args) const;

    // What xdg-mime answers; its output without the line break.
    std::string fileType(const std::string& file) const;
    std::string defaultHandler(const std::string& mimeType) const;

    // What GLib answers: the default handler, and every handler it offers.
    std::string gioDefaultHandler(const std::string& mimeType) const;
    std::vector<std::string> gioHandlers(const std::string& mimeType) const;

    // Opens a file the way a double-click in the file manager does.
    bool open(const std::string& file) const;

    // A shell script at `path` (folders created) that records the path it
    // was started as and its arguments, one a line, in a file of its own.
    void makeRecordingProgram(const std::string& path) const;
    // What the program at `path` recorded, waiting for it a while: programs
    // started by gio run on after gio has ended. Empty when nothing came.
    std::vector<std::string> recordedRun(const std::string& path) const;

private:
    std::string recordFile(const std::string& programPath) const;

    TempDir root_;
    std::vector<std::string> pathFolders_;
};

void WriteText(const std::string& path, const std::string& text);   // folders created
std::optional<std::string> ReadText(const std::string& path);

// Every regular file under a folder, relative path to contents.
std::map<std::string, std::string> Snapshot(const std::string& folder);

// The [Desktop Entry] group of a desktop entry file, key to raw value.
std::map<std::string, std::string> DesktopEntryKeys(const std::string& text);

// A desktop tool that runs the real program when it is installed, and
// records every call.
struct RecordingToolRunner {
    std::vector<std::vector<std::string>> calls;   // tool, then its arguments
    DesktopToolRunner runner();
};

} // namespace jbx::testing
