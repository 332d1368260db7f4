#pragma once

// Long work off the GUI thread, with the windows still painted.

#include <functional>

namespace jbx {

// Runs work on a thread of its own and the event loop meanwhile, so that
// windows repaint and timers fire; poll runs on this thread every few
// hundredths of a second and once more after work has ended. Returns when
// work has ended, even if the application quits meanwhile; an exception
// that work throws is thrown here. What the event loop delivers meanwhile
// is the caller's to keep away (a modal window, MainCommands::busy()).
// This is the editor's RunAside (app/savebank.h).
void RunInBackground(const std::function<void()>& work, const std::function<void()>& poll);

} // namespace jbx
