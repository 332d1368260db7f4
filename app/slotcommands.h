#pragma once

// What the user does to one slot from the main window: select (and play) it,
// see its name and size, replace its sound from a file, extract it.

#include "bank/slotops.h"

#include <cstdint>
#include <optional>
#include <string>

namespace jbx {

class MainWindowView;
struct Session;
struct SoundBank;

// Commits the Name box to the slot that was current, makes slotNumber current,
// shows it and starts it playing.
void SelectSlot(Session& session, MainWindowView& window, int slotNumber);

// Fills the Name box and Size text for a slot, or "(none)" and nothing.
void ShowSlotInfo(const SoundBank& bank, MainWindowView& window, std::optional<int> slotNumber);

// The Size text for a slot size: bytes, KB or MB.
std::string FormatSlotSize(std::int32_t size);

// The Replace command: asks for a sound file and puts it into the slot,
// then offers to make it a sound the game plays (OfferGameReady).
ReplaceResult ReplaceSlot(Session& session, MainWindowView& window, int slotNumber);

// After a sound has gone into a slot: when the game cannot play it, asks
// whether to make it mono and 8-bit, and does so on Yes. True when it was
// reshaped.
bool OfferGameReady(Session& session, int slotNumber, Owner owner);

enum class ExtractResult {
    Extracted,
    Cancelled,     // the user closed the file dialog
    NotWritten,    // "Cannot create sound file"
};

// The Extract command: asks for a file name and writes the slot to it.
ExtractResult ExtractSlot(Session& session, MainWindowView& window, int slotNumber);

} // namespace jbx
