#pragma once

// The desktop entry that opens a bank with the program.

#include <string>
#include <string_view>

namespace jbx {

inline constexpr std::string_view kDesktopEntryId = "jbxmaker.desktop";
inline constexpr std::string_view kDesktopEntryName = "JBXMaker";
inline constexpr std::string_view kProgramIconName = "jbxmaker";

// The program path as the first word of a desktop entry's Exec value: quoted
// only when it holds a character the Desktop Entry format reserves, '%'
// doubled, and the file format's backslash escapes applied.
std::string DesktopExecProgram(const std::string& programPath);

// The desktop entry that opens a bank of type mimeType with the program.
// iconField is the Icon value: an absolute path or an icon name.
std::string BankDesktopEntry(const std::string& programPath, const std::string& iconField,
                             std::string_view mimeType);

} // namespace jbx
