#pragma once

// The desktop entry that opens a bank with the program.

#include <string>
#include <string_view>

namespace jbx {

// The id of the menu entry that installing the program puts under a data
// folder's applications/.
inline constexpr std::string_view kDesktopEntryId = "jbxmaker.desktop";
// The id of the entry the association writes when the program is not
// installed: an id of its own, so it never takes the menu entry's place.
inline constexpr std::string_view kAssociationEntryId = "jbxmaker-associated.desktop";
inline constexpr std::string_view kDesktopEntryName = "JBXMaker";
inline constexpr std::string_view kProgramIconName = "jbxmaker";

// The program path as the first word of a desktop entry's Exec value: quoted
// only when it holds a character the Desktop Entry format reserves, '%'
// doubled, and the file format's backslash escapes applied.
std::string DesktopExecProgram(const std::string& programPath);

// The desktop entry that opens a bank of type mimeType with the program.
// iconField is the Icon value: an absolute path or an icon name. The entry
// is kept out of the menus (NoDisplay), where the installed one belongs.
std::string BankDesktopEntry(const std::string& programPath, const std::string& iconField,
                             std::string_view mimeType);

// Whether a desktop entry's text describes an application that is shown
// (not Hidden) and whose Exec starts a program of this file name, by name or
// by path: the installed menu entry of this program.
bool IsEntryStartingProgram(std::string_view entryText, std::string_view programFileName);

// Whether a desktop entry's text is one that the association of earlier
// versions wrote under the menu entry's id, which hid the installed entry.
bool IsFormerAssociationEntry(std::string_view entryText);

} // namespace jbx
