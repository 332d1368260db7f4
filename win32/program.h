#pragma once
// Start-up and the message loop of the Windows editor.

#include <windows.h>

#include <string>
#include <string_view>

namespace jbx {

// The whole program: common controls, the window class, the bank named by
// the command line (see BankPathFromCommandLine), the main window, the
// keyboard table and the message loop. Gives the quit message's exit code.
int RunProgram(HINSTANCE instance, const wchar_t* commandLine);

// The bank path in the command line after the program's name: the whole
// text is one path, blanks included, and a text in double quotes with no
// other quote inside is the path between them. Empty means no bank.
std::wstring BankPathFromCommandLine(std::wstring_view commandLine);

// Alt+E for the Sound window, a table of its own beside table 400 (see
// kEditSoundAccelerator). Null when it could not be made.
HACCEL CreateEditSoundTable();

// One message of the loop, in its order: the main window's keyboard
// handling, then the keyboard table and the Alt+E table, then translate and
// dispatch.
void HandleLoopMessage(MSG& message, HWND mainWindow, HACCEL table, HACCEL editSoundTable = nullptr);

} // namespace jbx
