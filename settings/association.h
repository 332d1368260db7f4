#pragma once

// Associates bank files (*.jbx) with the program on a freedesktop desktop, so
// that opening a bank in the file manager starts the program with that bank
// and bank files carry the program's icon.
//
// What is written, all of it per user:
// - $XDG_DATA_HOME/mime/packages/jbxmaker.xml, the type application/x-jbx
//   for *.jbx described as "Jeer Box Sound File", only while no type owns
//   *.jbx yet;
// - when no data folder of $XDG_DATA_DIRS holds the program's installed menu
//   entry (jbxmaker.desktop, starting a program of the running one's file
//   name), $XDG_DATA_HOME/applications/jbxmaker-associated.desktop, an entry
//   kept out of the menus that opens a bank with the program, rewritten every
//   time with the current program path; with the installed entry, no entry;
// - $XDG_CONFIG_HOME/mimeapps.list, the installed entry or else our own as
//   the type's default handler, every other handler kept;
// - the program icon and the type icon under $XDG_DATA_HOME/icons/hicolor.
// When another program's type already owns *.jbx, that type is used and its
// definition is left as it is. An entry that earlier versions wrote under the
// menu entry's id in $XDG_DATA_HOME, hiding the installed one, is removed.

#include "seam/desktop.h"
#include "settings/xdgfolders.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

inline constexpr std::string_view kNoProgramPathMessage = "Cannot get JBXMaker's filename";

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

// The icon file name of a type in an icon theme: "application/x-jbx" gives
// "application-x-jbx".
std::string MimeTypeIconName(std::string_view mimeType);

} // namespace jbx
