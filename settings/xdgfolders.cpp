#include "settings/xdgfolders.h"

#include "seam/filesystem.h"

#include <cstdlib>
#include <string_view>

namespace jbx {

bool IsUsableXdgFolder(const std::string& folder)
{
    return !folder.empty() && PathFromUtf8(folder).is_absolute();
}

XdgFolders XdgFolders::FromEnvironment()
{
    const auto variable = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value ? std::string(value) : std::string();
    };
    const std::string home = variable("HOME");
    const auto homeFolder = [&](const char* name, const char* underHome) -> std::string {
        const std::string value = variable(name);
        if (IsUsableXdgFolder(value))
            return value;
        if (IsUsableXdgFolder(home))
            return Utf8FromPath(PathFromUtf8(home) / underHome);
        return {};
    };

    XdgFolders folders;
    folders.dataHome = homeFolder("XDG_DATA_HOME", ".local/share");
    folders.configHome = homeFolder("XDG_CONFIG_HOME", ".config");

    const std::string dirsText = variable("XDG_DATA_DIRS");
    std::string_view dirs = dirsText;
    while (!dirs.empty()) {
        const auto end = dirs.find(':');
        const std::string folder(dirs.substr(0, end));
        if (IsUsableXdgFolder(folder))
            folders.dataDirs.push_back(folder);
        if (end == std::string_view::npos)
            break;
        dirs.remove_prefix(end + 1);
    }
    if (folders.dataDirs.empty())
        folders.dataDirs = {"/usr/local/share", "/usr/share"};
    return folders;
}

} // namespace jbx
