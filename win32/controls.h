#pragma once
// Small helpers over Win32 controls shared by the editor's windows.

#include <windows.h>

#include <string>

namespace jbx {

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);

// Called on an edit box's EN_UPDATE: removes what was just typed or pasted
// that no bank text can hold, keeping the caret where the user left it.
// True when something was removed.
bool KeepBankCharacters(HWND edit);

} // namespace jbx
