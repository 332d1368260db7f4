#include "settings/association.h"

#include "seam/filesystem.h"
#include "settings/desktopentry.h"
#include "settings/mimeapps.h"
#include "settings/mimeglobs.h"
#include "settings/xdgtext.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

namespace fs = std::filesystem;

namespace jbx {

namespace {

// Replaces the file as a whole, so a failure leaves the old one in place.
bool WriteTextFile(const fs::path& path, std::string_view text)
{
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    return WriteFileSafely(Utf8FromPath(path), [&](ByteSink& sink) {
        return sink.write(std::span<const std::uint8_t>(bytes, text.size()));
    }) == WriteFileResult::Written;
}

void RunTool(const AssociationEnvironment& environment, const std::string& tool,
             std::vector<std::string> arguments)
{
    if (environment.runTool)
        environment.runTool(tool, arguments);
}

void UpdateMimeAppsFile(const fs::path& configHome, std::string_view mimeType, std::string_view desktopId)
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
        const auto existing = xdg::ReadTextFile(path);
        if (!existing)
            return;
        text = *existing;
        permissions = status.permissions();
    } else if (status.type() != fs::file_type::not_found) {
        return;   // cannot tell whether there is one
    }

    if (!WriteTextFile(path, UpdateMimeAppsList(text, mimeType, desktopId)))
        return;
    if (permissions)
        fs::permissions(path, *permissions, error);
}

// Whether the entry the desktop finds under the menu entry's id in the data
// folders is this program's installed one. The first folder holding the id
// is the one the desktop reads, so a foreign entry there hides any of ours
// further down.
bool HaveInstalledEntry(const XdgFolders& folders, std::string_view programFileName)
{
    for (const std::string& folder : folders.dataDirs) {
        if (!IsUsableXdgFolder(folder))
            continue;
        const fs::path path = PathFromUtf8(folder) / "applications" / std::string(kDesktopEntryId);
        std::error_code error;
        if (!fs::exists(path, error))
            continue;
        const std::optional<std::string> text = xdg::ReadTextFile(path);
        return text && IsEntryStartingProgram(*text, programFileName);
    }
    return false;
}

} // namespace

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
    if (!PathFromUtf8(program).is_absolute()) {
        const fs::path absolute = fs::absolute(PathFromUtf8(program), error);
        if (!error)
            program = Utf8FromPath(absolute);
    }

    const XdgFolders& folders = environment.folders;
    const bool haveDataHome = IsUsableXdgFolder(folders.dataHome);
    const fs::path dataHome = PathFromUtf8(folders.dataHome);

    // The type: whichever owns *.jbx already, else our own, defined once and
    // never rewritten afterwards (the user may have edited its description).
    // A package of ours from before is brought into the database first, so
    // that the owner is judged the way the desktop will see it.
    const fs::path mimeFolder = dataHome / "mime";
    const fs::path ownPackage = mimeFolder / "packages" / std::string(kBankMimePackageFile);
    const bool ownPackageExisted = haveDataHome && fs::exists(ownPackage, error);
    if (ownPackageExisted)
        RunTool(environment, "update-mime-database", {Utf8FromPath(mimeFolder)});
    std::optional<std::string> mimeType = FindBankFileType(folders);
    if (!mimeType) {
        mimeType = std::string(kBankMimeType);
        if (haveDataHome && !ownPackageExisted && WriteTextFile(ownPackage, BankMimePackage()))
            RunTool(environment, "update-mime-database", {Utf8FromPath(mimeFolder)});
    }

    std::string iconField(kProgramIconName);
    const fs::path hicolor = dataHome / "icons" / "hicolor";
    bool iconsWritten = false;
    if (haveDataHome && environment.programIconSvg) {
        const fs::path programIcon = hicolor / "scalable" / "apps" / (std::string(kProgramIconName) + ".svg");
        if (WriteTextFile(programIcon, *environment.programIconSvg)) {
            iconField = Utf8FromPath(programIcon);
            iconsWritten = true;
        }
    }

    // The handler: the installed menu entry when there is one, so that the
    // menu keeps its entry and an uninstall takes the handler with it; else
    // an entry of our own under its own id, kept out of the menus.
    const fs::path applications = dataHome / "applications";
    bool entriesChanged = false;
    if (haveDataHome) {
        // Earlier versions wrote their entry under the menu entry's id, which
        // hid the installed one; one the user wrote is theirs to keep.
        const fs::path former = applications / std::string(kDesktopEntryId);
        const std::optional<std::string> formerText =
            fs::exists(former, error) ? xdg::ReadTextFile(former) : std::nullopt;
        if (formerText && IsFormerAssociationEntry(*formerText))
            entriesChanged = fs::remove(former, error);
    }
    const std::string programFileName = Utf8FromPath(PathFromUtf8(program).filename());
    std::string_view handler = kDesktopEntryId;
    if (!HaveInstalledEntry(folders, programFileName)) {
        handler = kAssociationEntryId;
        if (haveDataHome) {
            WriteTextFile(applications / std::string(kAssociationEntryId),
                          BankDesktopEntry(program, iconField, *mimeType));
            entriesChanged = true;
        }
    }
    if (entriesChanged)
        RunTool(environment, "update-desktop-database", {Utf8FromPath(applications)});

    if (IsUsableXdgFolder(folders.configHome))
        UpdateMimeAppsFile(PathFromUtf8(folders.configHome), *mimeType, handler);

    // The type's icon is a file of its own in the icon theme, so another
    // program's type gets the program's icon without its definition changing.
    if (haveDataHome && environment.programIconSvg) {
        const fs::path typeIcon = hicolor / "scalable" / "mimetypes" / (MimeTypeIconName(*mimeType) + ".svg");
        iconsWritten = WriteTextFile(typeIcon, *environment.programIconSvg) || iconsWritten;
    }
    // An icon cache, where there is one, hides icons newer than itself.
    if (iconsWritten && fs::exists(hicolor / "icon-theme.cache", error))
        RunTool(environment, "gtk-update-icon-cache", {"-f", "-t", Utf8FromPath(hicolor)});
}

} // namespace jbx
