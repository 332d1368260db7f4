#pragma once

#include <functional>

namespace jbx {

class MainWindowView;
class SettingsStore;
struct Session;

// What became of a Save. The failures have been reported to the user.
enum class SaveBankResult {
    Saved,
    Cancelled,      // the user closed the file dialog
    CannotCreate,   // "Cannot create JBX file"
    CannotWrite,    // "Cannot write JBX file"
};

// How a front end keeps its windows alive during a long piece of work: runs
// `work` to its end on another thread while the calling thread goes on
// painting and serving timers, calls `poll` on the calling thread now and
// then meanwhile and once more after `work` has ended, and hands on an
// exception that `work` throws. `work` reaches the desktop only through
// `poll`. What the calling thread runs meanwhile must not start commands
// (MainCommands ignores them while it is busy()).
using RunAside = std::function<void(const std::function<void()>& work, const std::function<void()>& poll)>;

// The Save command once the credits question is settled: asks for a file
// name, remembers its folder, writes the bank with the "Saving" progress
// window and makes the file's name the bank's title. A file that cannot be
// written is reported; the file that was there and bankTitle stay as they were.
// With runAside the bank is written through it, from a copy taken when the
// file was chosen; the progress window moves from its poll. Without it, the
// bank is written here.
SaveBankResult SaveBank(Session& session, SettingsStore& settings, MainWindowView& window,
    const RunAside& runAside = {});

} // namespace jbx
