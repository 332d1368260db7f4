#pragma once
// The Credits dialog (template 108) over the core's credits rules.

#include <windows.h>

namespace jbx {

struct SoundBank;
class Win32Desktop;

// Runs the dialog modally, owned by `owner`. Gives the dialog's result:
// 1 for OK, 2 for Cancel, -1 when it could not be shown.
INT_PTR ShowCreditsDialog(HINSTANCE instance, HWND owner, SoundBank& bank, Win32Desktop& desktop);

} // namespace jbx
