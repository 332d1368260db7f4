#pragma once

// The folders of the XDG base directory scheme that the bank file
// association reads and writes.

#include <string>
#include <vector>

namespace jbx {

// Paths are UTF-8; an empty one is unknown, and nothing is written there.
struct XdgFolders {
    std::string dataHome;                 // XDG_DATA_HOME
    std::vector<std::string> dataDirs;    // XDG_DATA_DIRS, most important first
    std::string configHome;               // XDG_CONFIG_HOME

    // Read from the environment. Unset, empty or relative values take the
    // scheme's defaults ($HOME/.local/share, /usr/local/share:/usr/share,
    // $HOME/.config); without HOME the two home folders stay unknown.
    static XdgFolders FromEnvironment();
};

// Whether a folder of the scheme may be used: only absolute ones count, as a
// relative one would depend on whatever the current directory happens to be.
bool IsUsableXdgFolder(const std::string& folder);

} // namespace jbx
