#pragma once

// What a slot takes from a file and gives to one: a sound file put into it
// (a voice file converted), its bytes written out, its name from a file title.

#include "audio/reshape.h"
#include "audio/shape.h"
#include "audio/soundinput.h"
#include "audio/voiceconvert.h"
#include "seam/desktop.h"

#include <optional>
#include <span>
#include <string>

namespace jbx {

struct Session;
struct SoundBank;
struct SoundSlot;

// What became of a file put into a slot. Every failure has been reported
// to the user, and leaves the slot as it was.
enum class ReplaceResult {
    Replaced,      // a WAVE as it stands, a voice file converted, or a decoded sound
    NotConverted,  // a voice file the conversion refused
    NotASound,     // "Not a valid sound file": no sound this system reads, or a damaged one
    Unreadable,    // "Cannot open sound file"
    OutOfMemory,   // "Not enough memory to load the sound file"
    Cancelled,     // Replace only: the user closed the file dialog
};

// Puts the file at path into the slot, named after the file, through the
// one way in for sounds; what Replace does once the file is chosen.
// Failures have been reported to the user, in boxes that owner owns.
ReplaceResult ReplaceSlotFromFile(Session& session, Owner owner, int slotNumber, const std::string& path);

// The second half of that: a sound read from the file at path goes into
// the slot, a refusal is reported.
ReplaceResult ReplaceSlotWithSound(Session& session, Owner owner, int slotNumber, SoundRead sound,
    const std::string& path);

// Puts a sound that has been read into the slot, named after the file title
// as Replace names it.
void PutSoundIntoSlot(SoundSlot& slot, SoundRead sound, const std::string& title);

// Bytes 0 through size of the slot (its sound and the byte after it),
// never beyond the slot's buffer: what Extract writes.
std::span<const std::uint8_t> SlotFileBytes(const SoundSlot& slot);

// Writes them to the file at path. False when the file could not be
// written; an existing file is then left as it was.
bool WriteSlotFile(const SoundBank& bank, const std::string& path, int slotNumber);

// A slot name from a file title (UTF-8, as the file system names the file):
// up to the first '.' after the first character, at most 8 characters, in
// the bank's code page. A character the code page cannot hold becomes '?',
// as a file title given to a program of the bank's platform does.
std::string SlotNameFromFileTitle(const std::string& title);

// The first character of that name the code page cannot hold, for a front
// end that refuses such a file rather than name its slot with a '?'.
std::optional<char32_t> UnheldSlotNameCharacter(const std::string& title);

// Shapes the sound in the slot (see ShapeWave), keeping its name; on a
// refusal the slot is unchanged and the error says why.
std::optional<ReshapeError> ShapeSlot(SoundSlot& slot, const Shaping& shaping);

// Puts the WAVE image of a voice file into a slot: a fresh zero-filled buffer
// of voiceFile.size() + kWaveImageSlack bytes, converted into, and the size
// ConvertVoiceFile reports, starting from the file's length. A refused file
// thus leaves the slot that zero-filled buffer and the file's length.
// voiceFile may lie in the slot's own buffer, which is kept until the image
// has taken its place, also when the slot lets it go during a question.
ConvertResult ConvertVoiceIntoSlot(const ConversionContext& context, SoundSlot& slot,
    std::span<const std::uint8_t> voiceFile);

} // namespace jbx
