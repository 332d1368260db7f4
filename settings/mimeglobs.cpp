#include "settings/mimeglobs.h"

#include "seam/filesystem.h"
#include "settings/xdgtext.h"

#include <filesystem>
#include <set>
#include <vector>

namespace fs = std::filesystem;

namespace jbx {

namespace {

using xdg::EqualsIgnoringCase;
using xdg::LowerCase;

struct GlobEntry {
    std::string type;
    std::string glob;
};

// The glob lines of one mime/ folder: globs2 ("weight:type:glob[:flags]"),
// or the older globs ("type:glob") when there is no globs2.
std::vector<GlobEntry> ReadGlobs(const fs::path& mimeFolder)
{
    std::vector<GlobEntry> entries;
    bool weighted = true;
    auto text = xdg::ReadTextFile(mimeFolder / "globs2");
    if (!text) {
        weighted = false;
        text = xdg::ReadTextFile(mimeFolder / "globs");
    }
    if (!text)
        return entries;

    for (const std::string& rawLine : xdg::SplitLines(*text)) {
        std::string_view line = xdg::Trim(rawLine);
        if (line.empty() || line.front() == '#')
            continue;
        if (weighted) {
            const auto weightEnd = line.find(':');
            if (weightEnd == std::string_view::npos)
                continue;
            line.remove_prefix(weightEnd + 1);
        }
        const auto typeEnd = line.find(':');
        if (typeEnd == std::string_view::npos)
            continue;
        std::string_view glob = line.substr(typeEnd + 1);
        if (weighted)
            glob = glob.substr(0, glob.find(':'));   // flags follow
        entries.push_back({std::string(line.substr(0, typeEnd)), std::string(glob)});
    }
    return entries;
}

std::vector<fs::path> MimeFolders(const XdgFolders& folders)
{
    std::vector<fs::path> mimeFolders;
    if (IsUsableXdgFolder(folders.dataHome))
        mimeFolders.push_back(PathFromUtf8(folders.dataHome) / "mime");
    for (const std::string& folder : folders.dataDirs) {
        if (IsUsableXdgFolder(folder))
            mimeFolders.push_back(PathFromUtf8(folder) / "mime");
    }
    return mimeFolders;
}

} // namespace

bool IsWellFormedMimeType(std::string_view text)
{
    const auto slash = text.find('/');
    if (slash == std::string_view::npos)
        return false;
    const auto isName = [](std::string_view name) {
        if (name.empty() || name.size() > 127)
            return false;
        for (char c : name) {
            const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!alnum && std::string_view("!#$&^_.+-").find(c) == std::string_view::npos)
                return false;
        }
        return true;
    };
    return isName(text.substr(0, slash)) && isName(text.substr(slash + 1));
}

std::optional<std::string> FindBankFileType(const XdgFolders& folders)
{
    // Types whose globs a more important folder has cancelled.
    std::set<std::string> cancelled;
    for (const fs::path& mimeFolder : MimeFolders(folders)) {
        std::vector<std::string> cancelledHere;
        for (const GlobEntry& entry : ReadGlobs(mimeFolder)) {
            if (entry.glob == "__NOGLOBS__") {
                cancelledHere.push_back(LowerCase(entry.type));
                continue;
            }
            if (EqualsIgnoringCase(entry.glob, kBankGlob) && IsWellFormedMimeType(entry.type)
                && !cancelled.contains(LowerCase(entry.type)))
                return entry.type;
        }
        cancelled.insert(cancelledHere.begin(), cancelledHere.end());
    }
    return std::nullopt;
}

std::string BankMimePackage()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\"" + std::string(kBankMimeType) + "\">\n"
           "    <comment>" + std::string(kBankTypeDescription) + "</comment>\n"
           "    <generic-icon name=\"audio-x-generic\"/>\n"
           "    <glob pattern=\"" + std::string(kBankGlob) + "\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
}

} // namespace jbx
