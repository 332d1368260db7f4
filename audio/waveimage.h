#pragma once

// Whether a slot's bytes may go to a sound player at all. Players that read
// straight from memory trust the lengths inside a RIFF image, so both
// editors ask this before they hand a sound over.

#include "seam/bytes.h"

namespace jbx {

// A RIFF header whose length lies within image, and every chunk inside it;
// the last chunk's pad byte may be missing.
bool WaveImageFits(const Bytes& image);

} // namespace jbx
