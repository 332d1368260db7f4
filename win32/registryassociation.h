#pragma once
// Bank files (*.jbx) associated with the program in the Windows shell: the
// registry calls for the writes settings/shellassociation.h decides.

#include <windows.h>

namespace jbx {

class Desktop;

// Where the association's keys go.
inline constexpr wchar_t kClassesKeyPath[] = L"Software\\Classes";

// Tells the shell that file associations changed, so open folders show the
// new icons at once.
void NotifyShellOfAssociations(Desktop& desktop);

// Associates bank files with the program file of `instance`. When its path
// cannot be had, shows "Cannot get JBXMaker's filename" (caption "Error",
// stop icon, owned by the main window) and writes nothing. Otherwise every
// step is tried whatever became of the one before, registry failures are
// not reported, and `tellShell` is called at the end.
void AssociateBankFiles(
    HINSTANCE instance, Desktop& desktop, void (*tellShell)(Desktop&) = NotifyShellOfAssociations);

} // namespace jbx
