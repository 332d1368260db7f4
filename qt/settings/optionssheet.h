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

// Registers the icons, which live in a static library
// and so are not registered by themselves. ShowOptionsSheet calls it too;
// the program calls it at start-up when it wants the program icon earlier.
// Safe to call any number of times.
void InitOptionsResources();

// Runs the Options sheet modally over owner, one OptionsSession
// (settings/options.h) for the showing: OK closes it with OptionsResult::Ok,
// and so may call associate(); Cancel, Escape and the close button close it
// with OptionsResult::Cancel. Returns true when closed with OK.
bool ShowOptionsSheet(QWidget* owner, SettingsStore& settings, Desktop& desktop,
                      const std::function<void()>& associate);

} // namespace jbx
