#pragma once

// Associates bank files (*.jbx) with the program on a freedesktop desktop, so
// that opening a bank in the file manager starts the program with that bank
// and bank files carry the program's icon.
//
// What is written, all of it per user:
// - $XDG_DATA_HOME/mime/packages/jbxmaker.xml, the type application/x-jbx
//   for *.jbx described as "Jeer Box Sound File", only while no type owns
//   *.jbx yet;
// - $XDG_DATA_HOME/applications/jbxmaker.desktop, the entry that opens a bank
//   with the program, rewritten every time with the current program path;
// - $XDG_CONFIG_HOME/mimeapps.list, the entry as the type's default handler,
//   every other handler kept;
// - the program icon and the type icon under $XDG_DATA_HOME/icons/hicolor.
// When another program's type already owns *.jbx, that type is used and its
// definition is left as it is.

#include "seam/desktop.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

inline constexpr std::string_view kBankMimeType = "application/x-jbx";
inline constexpr std::string_view kBankTypeDescription = "Jeer Box Sound File";
inline constexpr std::string_view kBankGlob = "*.jbx";
inline constexpr std::string_view kBankMimePackageFile = "jbxmaker.xml";
inline constexpr std::string_view kDesktopEntryId = "jbxmaker.desktop";
inline constexpr std::string_view kDesktopEntryName = "JBXMaker";
inline constexpr std::string_view kProgramIconName = "jbxmaker";
inline constexpr std::string_view kNoProgramPathMessage = "Cannot get JBXMaker's filename";

// The folders of the XDG base directory scheme that the association uses.
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

// Runs a desktop tool, such as update-mime-database, with these arguments and
// waits for it to end. A tool that is not installed is skipped; what the tool
// reports is ignored.
using DesktopToolRunner =
    std::function<void(const std::string& tool, const std::vector<std::string>& arguments)>;

struct AssociationEnvironment {
    XdgFolders folders;
    // The program icon as an SVG document, when the program carries one.
    // Without it the desktop entry names the icon "jbxmaker" from the theme,
    // and no type icon is written.
    std::optional<std::string> programIconSvg;
    // May be empty: then no tool is run.
    DesktopToolRunner runTool;
};

// Makes the program the handler of bank files. An empty programPath (the
// program's own path could not be had) shows "Cannot get JBXMaker's
// filename" (caption "Error", OK, stop icon, owned by the main window) and
// writes nothing. Otherwise every step is attempted whatever became of the
// one before, and failures to write a file are not reported.
void AssociateBankFiles(Desktop& desktop, const std::string& programPath,
                        const AssociationEnvironment& environment);

// The parts, for tests and for the installed data.

// The MIME type that owns *.jbx in the shared MIME database as the desktop
// sees it: the first type with that glob (compared case-insensitively) in the
// globs2 (or else globs) file of $XDG_DATA_HOME/mime, then of each data
// folder's mime/ in order, honouring __NOGLOBS__. Lines that do not name a
// well-formed type are skipped. Nothing when no type owns it.
std::optional<std::string> FindBankFileType(const XdgFolders& folders);

// Whether text is a MIME type name that can be written into mimeapps.list and
// a desktop entry unchanged: type/subtype of the characters RFC 6838 allows.
bool IsWellFormedMimeType(std::string_view text);

// The shared-mime-info package that defines application/x-jbx.
std::string BankMimePackage();

// The program path as the first word of a desktop entry's Exec value: quoted
// only when it holds a character the Desktop Entry format reserves, '%'
// doubled, and the file format's backslash escapes applied.
std::string DesktopExecProgram(const std::string& programPath);

// The desktop entry that opens a bank of type mimeType with the program.
// iconField is the Icon value: an absolute path or an icon name.
std::string BankDesktopEntry(const std::string& programPath, const std::string& iconField,
                             std::string_view mimeType);

// mimeapps.list text with desktopId made the default handler of mimeType:
// [Default Applications] mimeType=desktopId; [Added Associations] mimeType=
// desktopId first, then the handlers that were the default or added before;
// desktopId taken out of [Removed Associations]. Every other line stays as it
// was; missing groups are appended.
std::string UpdateMimeAppsList(std::string_view text, std::string_view mimeType,
                               std::string_view desktopId);

// The icon file name of a type in an icon theme: "application/x-jbx" gives
// "application-x-jbx".
std::string MimeTypeIconName(std::string_view mimeType);

} // namespace jbx
