#pragma once
// Start-up and the message loop of the Windows editor.

#include <windows.h>

namespace jbx {

// The whole program: common controls, the window class, the bank named by
// the command line (the whole text is one path, blanks and quotes
// included), the main window, the keyboard table and the message loop.
// Gives the quit message's exit code.
int RunProgram(HINSTANCE instance, const wchar_t* commandLine);

// One message of the loop, in its order: the main window's keyboard
// handling, then the keyboard table, then translate and dispatch.
void HandleLoopMessage(MSG& message, HWND mainWindow, HACCEL table);

} // namespace jbx
