// The entry point of the player module (see qt/player/soundoutput.h).

#include "qt/player/soundoutput.h"
#include "qt/player/soundplayer.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT jbx::SoundOutput* jbxMakeSoundOutput()
{
    return new jbx::SoundPlayer;
}
