#pragma once

// The frame that the Fusion style draws around each group box, read before
// the main window's first paint without loading any image plugin.

#include <QPixmap>

namespace jbx {

// Puts the frame in the pixmap cache where Fusion's load of it finds it, and
// returns what it put there; returns a null pixmap under another style or
// when the frame is already cached. Needs the QApplication.
QPixmap CacheGroupBoxFrame();

} // namespace jbx
