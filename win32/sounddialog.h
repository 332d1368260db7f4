#pragma once
// The Sound window (template 109) over the core's SoundEditor: the waveform,
// an owner-drawn static painted from the editor's peaks, the editor's texts
// and its commands.

#include <windows.h>

namespace jbx {

class SoundEditor;
class Win32Desktop;

// Runs the window modally, owned by `owner`; what the core tells while it is
// up is owned by it. Gives 1 for OK, 2 for Cancel, -1 when it could not be
// shown. The slot is the caller's to change (SoundEditor::keep).
INT_PTR ShowSoundDialog(HINSTANCE instance, HWND owner, SoundEditor& editor, Win32Desktop& desktop);

} // namespace jbx
