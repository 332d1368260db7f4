#pragma once

// A private desktop for tests: XDG data, configuration and system folders in a temporary folder, and the desktop's
// own tools run against them. Nothing of the user's real desktop is read or changed.

#include "settings/xdgfolders.h"
#include "tests/cli/runtool.h"
#include "tests/support/testfiles.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace jbx::testing {

inline void WriteText(const std::string& path, const std::string& text)   // folders created
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Empty when the file is missing.
inline std::string ReadText(const std::string& path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

// Every regular file under a folder, relative path to contents.
inline std::map<std::string, std::string> Snapshot(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file())
            files[std::filesystem::relative(entry.path(), folder).string()] = ReadText(entry.path().string());
    }
    return files;
}

class XdgSandbox {
public:
    std::string path(const std::string& relative) const { return root_.path() + "/" + relative; }
    std::string dataHome() const { return path("home/.local/share"); }
    std::string configHome() const { return path("home/.config"); }
    // The one system data folder, where another program's files go.
    std::string systemData() const { return path("system/share"); }
    XdgFolders folders() const { return XdgFolders{dataHome(), {systemData()}, configHome()}; }

    // What xdg-mime answers here, without the line break. XDG_CURRENT_DESKTOP is set because without a desktop
    // named, xdg-mime asks file(1) for a file's type, which knows nothing of the MIME database.
    std::string xdgMime(const std::string& query, const std::string& argument) const
    {
        std::string out = RunProgram("env", {"-u", "DBUS_SESSION_BUS_ADDRESS", "-u", "DISPLAY", "-u",
            "WAYLAND_DISPLAY", "HOME=" + path("home"), "XDG_DATA_HOME=" + dataHome(), "XDG_CONFIG_HOME=" + configHome(),
            "XDG_CACHE_HOME=" + path("home/.cache"), "XDG_DATA_DIRS=" + systemData(),
            "XDG_CONFIG_DIRS=" + path("system/etc/xdg"), "XDG_CURRENT_DESKTOP=GNOME", "GIO_USE_VFS=local",
            "xdg-mime", "query", query, argument}).out;
        if (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }

private:
    TempDir root_;
};

} // namespace jbx::testing
