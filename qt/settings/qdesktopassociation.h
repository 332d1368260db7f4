#pragma once

// The Qt editor's way into the bank file association: the program's own path
// from Qt, its icon from the program's resources, the XDG folders from the
// environment, and the desktop's database tools run as child processes.

#include "seam/desktop.h"
#include "settings/association.h"

namespace jbx {

// The program icon in the program's resources.
inline constexpr const char* kProgramIconResource = ":/icons/jbxmaker.svg";

// Runs a tool found on PATH and waits for it, at most a few seconds; its
// output is discarded. A tool that is not installed is skipped.
void RunDesktopTool(const std::string& tool, const std::vector<std::string>& arguments);

// AssociateBankFiles for the running program. Needs a QCoreApplication; an
// empty application file path shows the "Cannot get JBXMaker's filename"
// message.
void AssociateBankFilesWithThisProgram(Desktop& desktop);

} // namespace jbx
