#pragma once

// Finds and loads the player module (see qt/player/soundoutput.h).

#include "qt/player/soundoutput.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace jbx {

// Where the module may be, first match wins: the program's own folder (a
// build tree) and the folder an installation puts it in, relative to the
// installed program's folder.
QStringList SoundOutputFolders(const QString& programFolder);

// The first module in folders that loads and makes an output, else null.
// A module once loaded stays loaded until the process ends.
std::unique_ptr<SoundOutput> LoadSoundOutput(const QStringList& folders);

} // namespace jbx
