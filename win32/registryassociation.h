#pragma once
// Bank files (*.jbx) associated with the program in the Windows shell.
// Everything is written to the current user's classes
// (HKEY_CURRENT_USER\Software\Classes), which need no administrator and
// which the shell's merged HKEY_CLASSES_ROOT puts before the machine's:
//
//   .jbx                           "jbxfile"              only when .jbx names no class
//   jbxfile                        "Jeer Box Sound File"  only when our class is new
//   CLASS\shell                    "jbx"                  the double-click verb
//   CLASS\shell\jbx                "&JBXMaker"
//   CLASS\shell\jbx\command        "PROGRAM" "%1"
//   CLASS\DefaultIcon              "PROGRAM",0
//
// CLASS is the class .jbx names in the merged classes (the user's .jbx,
// else the machine's), else "jbxfile": another program, installed for this
// user or for all, keeps its class, its description and its other verbs,
// and only gains ours as the default one.
//
// What was changed is recorded for the uninstaller under the settings key,
// in the subkey Association, the first time the class is associated:
//   Class             REG_SZ     CLASS
//   CreatedExtension  REG_DWORD  1 when the user's .jbx was created or linked to "jbxfile"
//   CreatedClass      REG_DWORD  1 when the user's CLASS key did not exist
//   PreviousVerb      REG_SZ     CLASS\shell's default before, absent when none
//   PreviousIcon      REG_SZ     CLASS\DefaultIcon's default before, absent when none

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

// Tells the shell that file associations changed, so open folders show the
// new icons at once.
void NotifyShellOfAssociations();

// Associates bank files with the program file of `instance`. When its path
// cannot be had, shows "Cannot get JBXMaker's filename" (caption "Error",
// stop icon, owned by the main window) and writes nothing. Otherwise every
// step is tried whatever became of the one before, registry failures are
// not reported, and `tellShell` is called at the end.
void AssociateBankFiles(HINSTANCE instance, Desktop& desktop, void (*tellShell)() = NotifyShellOfAssociations);

} // namespace jbx
