#pragma once

// The Options sheet: the File page with the two default-folder preferences
// and the Associate button, and the Contact, Known Bugs, Tips and About
// pages of fixed information.

#include <functional>

class QWidget;

namespace jbx {

class Desktop;
class SettingsStore;

// Where the Options resources live once InitOptionsResources has run.
inline constexpr const char* kProgramIconPath = ":/icons/jbxmaker.svg";
inline constexpr const char* kContactIconPath = ":/icons/contact.svg";
inline constexpr const char* kKnownBugsIconPath = ":/icons/knownbugs.svg";
inline constexpr const char* kTipsIconPath = ":/icons/tips.svg";
inline constexpr const char* kAboutSoundPath = ":/sounds/about.wav";

// Registers the icons and the About sound, which live in a static library
// and so are not registered by themselves. ShowOptionsSheet calls it too;
// the program calls it at start-up when it wants the program icon earlier.
// Safe to call any number of times.
void InitOptionsResources();

// Runs the Options sheet modally over owner. The two yes/no settings are read
// when it opens. On OK: associate() once if the Associate button was pressed
// (however often), then both yes/no settings written, changed or not. On
// Cancel, Escape or the close button nothing is written and associate() is
// not called. Returns true when closed with OK.
//
// The About page plays its sound through desktop.playSound and asks
// desktop.shiftHeld for its Shift-click.
bool ShowOptionsSheet(QWidget* owner, SettingsStore& settings, Desktop& desktop,
                      const std::function<void()>& associate);

} // namespace jbx
