// The entry point of the player module (see app/soundoutput.h).

#include "app/soundoutput.h"
#include "app/soundplayer.h"

#include <QtGlobal>

extern "C" Q_DECL_EXPORT jbx::SoundOutput* jbxMakeSoundOutput()
{
    return new jbx::SoundPlayer;
}
