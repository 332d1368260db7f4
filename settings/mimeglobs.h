#pragma once

// The MIME type of bank files: which type the shared MIME database gives
// *.jbx, and the package that defines the program's own type.

#include "settings/xdgfolders.h"

#include <optional>
#include <string>
#include <string_view>

namespace jbx {

inline constexpr std::string_view kBankMimeType = "application/x-jbx";
inline constexpr std::string_view kBankTypeDescription = "Jeer Box Sound File";
inline constexpr std::string_view kBankGlob = "*.jbx";
inline constexpr std::string_view kBankMimePackageFile = "jbxmaker.xml";

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

} // namespace jbx
