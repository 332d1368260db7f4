#pragma once
// The Options sheet: a modal property sheet of five pages (templates 104,
// 105, 106, 107 and 102) over the core's OptionsSession.

#include <windows.h>

namespace jbx {

class Desktop;
class SettingsStore;
class Win32Desktop;

// Shows the sheet owned by `owner` (the main window) and, when it is closed
// with OK, makes the association if the Associate button asked for it and
// then writes both directory choices. Gives PropertySheet's result: 1 for
// OK, 0 for every other way of closing, -1 when the sheet could not be shown.
INT_PTR ShowOptionsSheet(HINSTANCE instance, HWND owner, SettingsStore& settings, Win32Desktop& desktop);

// Plays the About sound (resource type 1000, id 300) straight from the
// program file's resources; silent when it cannot be had. A missing player
// is told in a box owned by the desktop's dialog. True when PlaySound took
// it.
bool PlayAboutSound(HINSTANCE instance, Desktop& desktop);

} // namespace jbx
