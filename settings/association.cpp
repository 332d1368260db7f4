#include "settings/association.h"

#include "seam/filesystem.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <span>
#include <system_error>

namespace fs = std::filesystem;

namespace jbx {

namespace {

// A MIME database file or mimeapps.list larger than this is not one: it is
// left unread rather than loaded whole.
constexpr std::uintmax_t kDesktopFileSizeLimit = 16u * 1024 * 1024;

constexpr std::string_view kDefaultGroup = "Default Applications";
constexpr std::string_view kAddedGroup = "Added Associations";
constexpr std::string_view kRemovedGroup = "Removed Associations";

// A narrow path means the ANSI code page on Windows, not UTF-8.
fs::path NativePath(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

std::string LowerCase(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        c = AsciiLower(c);
    return lower;
}

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view blanks = " \t\r";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitLines(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<std::string> ReadTextFile(const fs::path& path)
{
    std::error_code error;
    if (!fs::is_regular_file(path, error))
        return std::nullopt;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kDesktopFileSizeLimit)
        return std::nullopt;
    const auto bytes = ReadWholeFile(Utf8(path));
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

// Replaces the file as a whole, so a failure leaves the old one in place.
bool WriteTextFile(const fs::path& path, std::string_view text)
{
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    SafeFileWriter writer(Utf8(path));
    if (!writer.open())
        return false;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return writer.write(std::span<const std::uint8_t>(bytes, text.size())) && writer.commit();
}

// Only absolute folders count: a relative one would depend on whatever the
// current directory happens to be.
bool IsUsableFolder(const std::string& folder)
{
    return !folder.empty() && NativePath(folder).is_absolute();
}

void RunTool(const AssociationEnvironment& environment, const std::string& tool,
             std::vector<std::string> arguments)
{
    if (environment.runTool)
        environment.runTool(tool, arguments);
}

// --- The MIME database ---------------------------------------------------

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
    auto text = ReadTextFile(mimeFolder / "globs2");
    if (!text) {
        weighted = false;
        text = ReadTextFile(mimeFolder / "globs");
    }
    if (!text)
        return entries;

    for (const std::string& rawLine : SplitLines(*text)) {
        std::string_view line = Trim(rawLine);
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
    if (IsUsableFolder(folders.dataHome))
        mimeFolders.push_back(NativePath(folders.dataHome) / "mime");
    for (const std::string& folder : folders.dataDirs) {
        if (IsUsableFolder(folder))
            mimeFolders.push_back(NativePath(folder) / "mime");
    }
    return mimeFolders;
}

// --- The desktop entry file format ---------------------------------------

// The backslash escapes of a string value.
std::string EscapeStringValue(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

// --- mimeapps.list ----------------------------------------------------------

bool IsGroupHeader(std::string_view line, std::string_view* name = nullptr)
{
    const std::string_view text = Trim(line);
    if (text.size() < 2 || text.front() != '[' || text.back() != ']')
        return false;
    if (name)
        *name = text.substr(1, text.size() - 2);
    return true;
}

std::optional<std::string_view> KeyOf(std::string_view line)
{
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#' || text.front() == '[')
        return std::nullopt;
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return Trim(text.substr(0, equals));
}

std::vector<std::string> SplitHandlers(std::string_view value)
{
    std::vector<std::string> handlers;
    while (!value.empty()) {
        const auto end = value.find(';');
        const std::string_view handler = Trim(value.substr(0, end));
        if (!handler.empty())
            handlers.emplace_back(handler);
        if (end == std::string_view::npos)
            break;
        value.remove_prefix(end + 1);
    }
    return handlers;
}

void AddUnique(std::vector<std::string>& list, const std::string& handler)
{
    for (const std::string& present : list) {
        if (present == handler)
            return;
    }
    list.push_back(handler);
}

struct TakenEntries {
    std::vector<std::string> handlers;   // in file order, as listed
    std::size_t position = std::string::npos;
};

// Takes every line of `group` with the key mimeType out of lines. The
// position is where the first of them was, else just after the last
// non-blank line of the group's first section, else npos (no such group).
TakenEntries TakeEntries(std::vector<std::string>& lines, std::string_view group,
                         std::string_view mimeType)
{
    TakenEntries taken;
    std::size_t sectionEnd = std::string::npos;
    bool inGroup = false;
    bool firstSection = true;
    std::size_t i = 0;
    while (i < lines.size()) {
        std::string_view name;
        if (IsGroupHeader(lines[i], &name)) {
            if (inGroup)
                firstSection = false;
            inGroup = name == group;
            if (inGroup && firstSection)
                sectionEnd = i + 1;
            ++i;
            continue;
        }
        if (inGroup) {
            const auto key = KeyOf(lines[i]);
            if (key && EqualsIgnoringCase(*key, mimeType)) {
                const std::string_view line = lines[i];
                for (std::string& handler : SplitHandlers(line.substr(line.find('=') + 1)))
                    taken.handlers.push_back(std::move(handler));
                if (taken.position == std::string::npos)
                    taken.position = i;
                lines.erase(lines.begin() + std::ptrdiff_t(i));
                if (firstSection && sectionEnd > i)
                    --sectionEnd;
                continue;
            }
            if (firstSection && !Trim(lines[i]).empty())
                sectionEnd = i + 1;
        }
        ++i;
    }
    if (taken.position == std::string::npos)
        taken.position = sectionEnd;
    return taken;
}

void PutEntry(std::vector<std::string>& lines, std::string_view group, std::size_t position,
              std::string entry)
{
    if (position != std::string::npos) {
        lines.insert(lines.begin() + std::ptrdiff_t(position), std::move(entry));
        return;
    }
    if (!lines.empty() && !Trim(lines.back()).empty())
        lines.emplace_back();
    lines.push_back("[" + std::string(group) + "]");
    lines.push_back(std::move(entry));
}

std::string JoinHandlers(const std::vector<std::string>& handlers)
{
    std::string value;
    for (const std::string& handler : handlers)
        value += handler + ";";
    return value;
}

bool ListsHandler(const std::vector<std::string>& lines, std::string_view group,
                  std::string_view mimeType, std::string_view desktopId)
{
    bool inGroup = false;
    for (const std::string& line : lines) {
        std::string_view name;
        if (IsGroupHeader(line, &name)) {
            inGroup = name == group;
            continue;
        }
        const auto key = KeyOf(line);
        if (!inGroup || !key || !EqualsIgnoringCase(*key, mimeType))
            continue;
        for (const std::string& handler : SplitHandlers(std::string_view(line).substr(line.find('=') + 1))) {
            if (handler == desktopId)
                return true;
        }
    }
    return false;
}

void UpdateMimeAppsFile(const fs::path& configHome, std::string_view mimeType)
{
    fs::path path = configHome / "mimeapps.list";
    std::error_code error;
    // A linked file (a dotfile manager's, say) is edited where it lives.
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        path = fs::weakly_canonical(path, error);
        if (error)
            return;
    }

    std::string text;
    std::optional<fs::perms> permissions;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status)) {
        // A file that cannot be read is left alone rather than replaced by
        // one that would lose its contents.
        const auto existing = ReadTextFile(path);
        if (!existing)
            return;
        text = *existing;
        permissions = status.permissions();
    } else if (status.type() != fs::file_type::not_found) {
        return;   // cannot tell whether there is one
    }

    if (!WriteTextFile(path, UpdateMimeAppsList(text, mimeType, kDesktopEntryId)))
        return;
    if (permissions)
        fs::permissions(path, *permissions, error);
}

} // namespace

XdgFolders XdgFolders::FromEnvironment()
{
    const auto variable = [](const char* name) -> std::string {
        const char* value = std::getenv(name);
        return value ? std::string(value) : std::string();
    };
    const std::string home = variable("HOME");
    const auto homeFolder = [&](const char* name, const char* underHome) -> std::string {
        const std::string value = variable(name);
        if (IsUsableFolder(value))
            return value;
        if (IsUsableFolder(home))
            return Utf8(NativePath(home) / underHome);
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
        if (IsUsableFolder(folder))
            folders.dataDirs.push_back(folder);
        if (end == std::string_view::npos)
            break;
        dirs.remove_prefix(end + 1);
    }
    if (folders.dataDirs.empty())
        folders.dataDirs = {"/usr/local/share", "/usr/share"};
    return folders;
}

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

std::string DesktopExecProgram(const std::string& programPath)
{
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string argument;
    if (programPath.find_first_of(reserved) == std::string::npos) {
        argument = programPath;
    } else {
        argument = "\"";
        for (char c : programPath) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                argument += '\\';
            argument += c;
        }
        argument += '"';
    }

    std::string withFieldCodes;
    for (char c : argument) {
        withFieldCodes += c;
        if (c == '%')
            withFieldCodes += '%';
    }
    return EscapeStringValue(withFieldCodes);
}

std::string BankDesktopEntry(const std::string& programPath, const std::string& iconField,
                             std::string_view mimeType)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + std::string(kDesktopEntryName) + "\n"
           "Exec=" + DesktopExecProgram(programPath) + " %f\n"
           "Icon=" + EscapeStringValue(iconField) + "\n"
           "MimeType=" + std::string(mimeType) + ";\n"
           "Categories=AudioVideo;Audio;\n"
           "Terminal=false\n"
           "NoDisplay=false\n";
}

std::string UpdateMimeAppsList(std::string_view text, std::string_view mimeType,
                               std::string_view desktopId)
{
    std::vector<std::string> lines = SplitLines(text);
    const std::string handler(desktopId);
    const std::string key(mimeType);

    TakenEntries defaults = TakeEntries(lines, kDefaultGroup, mimeType);
    PutEntry(lines, kDefaultGroup, defaults.position, key + "=" + handler);

    // The handlers that were the default stay offered, after this one.
    TakenEntries added = TakeEntries(lines, kAddedGroup, mimeType);
    std::vector<std::string> handlers{handler};
    for (const std::string& other : defaults.handlers)
        AddUnique(handlers, other);
    for (const std::string& other : added.handlers)
        AddUnique(handlers, other);
    PutEntry(lines, kAddedGroup, added.position, key + "=" + JoinHandlers(handlers));

    // A removal of this handler would hide it again; other removals stand.
    if (ListsHandler(lines, kRemovedGroup, mimeType, desktopId)) {
        TakenEntries removed = TakeEntries(lines, kRemovedGroup, mimeType);
        std::vector<std::string> stillRemoved;
        for (const std::string& other : removed.handlers) {
            if (other != handler)
                AddUnique(stillRemoved, other);
        }
        if (!stillRemoved.empty())
            PutEntry(lines, kRemovedGroup, removed.position, key + "=" + JoinHandlers(stillRemoved));
    }

    std::string result;
    for (const std::string& line : lines)
        result += line + "\n";
    return result;
}

std::string MimeTypeIconName(std::string_view mimeType)
{
    std::string name(mimeType);
    for (char& c : name) {
        if (c == '/')
            c = '-';
    }
    return name;
}

void AssociateBankFiles(Desktop& desktop, const std::string& programPath,
                        const AssociationEnvironment& environment)
{
    if (programPath.empty()) {
        ShowError(desktop, kNoProgramPathMessage, Owner::MainWindow);
        return;
    }

    std::error_code error;
    std::string program = programPath;
    if (!NativePath(program).is_absolute()) {
        const fs::path absolute = fs::absolute(NativePath(program), error);
        if (!error)
            program = Utf8(absolute);
    }

    const XdgFolders& folders = environment.folders;
    const bool haveDataHome = IsUsableFolder(folders.dataHome);
    const fs::path dataHome = NativePath(folders.dataHome);

    // The type: whichever owns *.jbx already, else our own, defined once and
    // never rewritten afterwards (the user may have edited its description).
    // A package of ours from before is brought into the database first, so
    // that the owner is judged the way the desktop will see it.
    const fs::path mimeFolder = dataHome / "mime";
    const fs::path ownPackage = mimeFolder / "packages" / std::string(kBankMimePackageFile);
    const bool ownPackageExisted = haveDataHome && fs::exists(ownPackage, error);
    if (ownPackageExisted)
        RunTool(environment, "update-mime-database", {Utf8(mimeFolder)});
    std::optional<std::string> mimeType = FindBankFileType(folders);
    if (!mimeType) {
        mimeType = std::string(kBankMimeType);
        if (haveDataHome && !ownPackageExisted && WriteTextFile(ownPackage, BankMimePackage()))
            RunTool(environment, "update-mime-database", {Utf8(mimeFolder)});
    }

    std::string iconField(kProgramIconName);
    const fs::path hicolor = dataHome / "icons" / "hicolor";
    bool iconsWritten = false;
    if (haveDataHome && environment.programIconSvg) {
        const fs::path programIcon = hicolor / "scalable" / "apps" / (std::string(kProgramIconName) + ".svg");
        if (WriteTextFile(programIcon, *environment.programIconSvg)) {
            iconField = Utf8(programIcon);
            iconsWritten = true;
        }
    }

    if (haveDataHome) {
        const fs::path applications = dataHome / "applications";
        WriteTextFile(applications / std::string(kDesktopEntryId),
                      BankDesktopEntry(program, iconField, *mimeType));
        RunTool(environment, "update-desktop-database", {Utf8(applications)});
    }

    if (IsUsableFolder(folders.configHome))
        UpdateMimeAppsFile(NativePath(folders.configHome), *mimeType);

    // The type's icon is a file of its own in the icon theme, so another
    // program's type gets the program's icon without its definition changing.
    if (haveDataHome && environment.programIconSvg) {
        const fs::path typeIcon = hicolor / "scalable" / "mimetypes" / (MimeTypeIconName(*mimeType) + ".svg");
        iconsWritten = WriteTextFile(typeIcon, *environment.programIconSvg) || iconsWritten;
    }
    // An icon cache, where there is one, hides icons newer than itself.
    if (iconsWritten && fs::exists(hicolor / "icon-theme.cache", error))
        RunTool(environment, "gtk-update-icon-cache", {"-f", "-t", Utf8(hicolor)});
}

} // namespace jbx
