#pragma once

// The listings that info and check print, as text for a terminal or as JSON.

#include "bank/bankloader.h"
#include "bank/slotcheck.h"
#include "bank/soundbank.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace jbx {

void PrintInfoText(const SoundBank& bank, bool accepted, std::ostream& out);
void PrintInfoJson(const SoundBank& bank, LoadResult result, std::ostream& out);

// One bank's check: a line for the bank, then one per slot when it was
// accepted; as JSON, one object on one line.
void PrintCheckText(const std::string& path, LoadResult result, const std::vector<SlotCheck>& checks,
    std::ostream& out);
void PrintCheckJson(const std::string& path, LoadResult result, const std::vector<SlotCheck>& checks,
    std::ostream& out);

} // namespace jbx
