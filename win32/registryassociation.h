#pragma once
// Bank files (*.jbx) associated with the program in the Windows shell, in
// the current user's classes (HKEY_CURRENT_USER\Software\Classes, which the
// merged HKEY_CLASSES_ROOT shows and which needs no administrator):
//
//   .jbx                           "jbxfile"              only when .jbx is new
//   jbxfile                        "Jeer Box Sound File"  only when .jbx is new
//   CLASS\shell                    "jbx"                  the double-click verb
//   CLASS\shell\jbx                "&JBXMaker"
//   CLASS\shell\jbx\command        "PROGRAM" "%1"
//   CLASS\DefaultIcon              "PROGRAM",0
//
// CLASS is "jbxfile" when .jbx was created here, else whatever class .jbx
// already names: another program keeps its class, its description and its
// other verbs, and only gains ours as the default one.

#include <windows.h>

#include <string>

namespace jbx {

class Desktop;

// Where the association's keys go.
inline constexpr wchar_t kClassesKeyPath[] = L"Software\\Classes";

// The open command and the icon bank files show, for the program file at
// `programPath`.
std::wstring AssociationCommand(const std::wstring& programPath);
std::wstring AssociationIcon(const std::wstring& programPath);

// Associates bank files with the program file of `instance`. When its path
// cannot be had, shows "Cannot get JBXMaker's filename" (caption "Error",
// stop icon, owned by the main window) and writes nothing. Otherwise every
// step is tried whatever became of the one before; registry failures are
// not reported, and the shell is not told.
void AssociateBankFiles(HINSTANCE instance, Desktop& desktop);

} // namespace jbx
