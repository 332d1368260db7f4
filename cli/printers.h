#pragma once

// The listing that info prints, as text for a terminal or as JSON.

#include "bank/bankloader.h"
#include "bank/soundbank.h"

#include <iosfwd>

namespace jbx {

void PrintInfoText(const SoundBank& bank, bool accepted, std::ostream& out);
void PrintInfoJson(const SoundBank& bank, LoadResult result, std::ostream& out);

} // namespace jbx
