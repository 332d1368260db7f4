#pragma once

// What the user does to one slot from the main window: select (and play) it,
// see its name and size, replace its sound from a file, extract it.

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

// What became of a file put into a slot. Every failure has been reported
// to the user.
enum class ReplaceResult {
    Replaced,      // a WAVE file, a voice file (converted), or anything starting with 'C'
    NotConverted,  // a voice file the conversion refused: the slot, named after the
                   // file, holds a zero-filled buffer and the file's length
    NotASound,     // "Not a valid sound file": the slot holds size 1 and no name
    Unreadable,    // "Cannot open sound file": the slot is unchanged
    OutOfMemory,   // "Not enough memory to load the sound file": the slot is unchanged
    Cancelled,     // Replace only: the user closed the file dialog
};

// The Replace command: asks for a WAVE or voice file and puts it into the slot.
ReplaceResult ReplaceSlot(Session& session, MainWindowView& window, int slotNumber);

// Puts the file at path into the slot, named after the file, converting a
// voice file; what Replace does once the file is chosen. Failures have been
// reported to the user.
ReplaceResult ReplaceSlotFromFile(Session& session, MainWindowView* window, int slotNumber,
    const std::string& path);

enum class ExtractResult {
    Extracted,
    Cancelled,     // the user closed the file dialog
    NotWritten,    // "Cannot create sound file"
};

// The Extract command: asks for a file name and writes the slot to it.
ExtractResult ExtractSlot(Session& session, MainWindowView& window, int slotNumber);

// Writes bytes 0 through size of the slot (its sound and the byte after it),
// never beyond the slot's buffer. False when the file could not be written;
// an existing file is then left as it was.
bool WriteSlotFile(const SoundBank& bank, const std::string& path, int slotNumber);

// A slot name from a file title (UTF-8, as the file system names the file):
// up to the first '.' after the first character, at most 8 characters, in
// the bank's code page. A character the code page cannot hold becomes '?',
// as a file title given to a program of the bank's platform does.
std::string SlotNameFromFileTitle(const std::string& title);

// The first character of that name the code page cannot hold, for a front
// end that refuses such a file rather than name its slot with a '?'.
std::optional<char32_t> UnheldSlotNameCharacter(const std::string& title);

} // namespace jbx
