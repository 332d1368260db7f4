#pragma once

#include "seam/desktop.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace jbx {

class InputFile;
struct Session;

// What became of a load. Every failure has been reported to the user and
// leaves the empty bank of NewBank.
enum class LoadResult {
    Loaded,
    CannotOpen,     // "Cannot open JBX file"
    NotABank,       // "Not a valid JeerBox sound file"
    OutOfMemory,    // "Not enough memory to load the JBX file"
};

// What a load did: how it ended, and which slots (numbered 1..10) hold a
// voice lump that the conversion refused. Such a slot keeps the zero-filled
// buffer of ConvertVoiceIntoSlot: the editor has asked the user and goes on,
// but a batch run must not write the bank with that sound gone silent.
struct LoadOutcome {
    LoadResult result = LoadResult::Loaded;
    std::vector<int> refusedSlots;
};

// Reads the bank at path into session.bank, titled with the path's file
// title; currentSlot is kept. On success creditsConfirmed becomes true. A file that
// cannot be opened ("Cannot open JBX file", no owner) or is rejected leaves
// the empty bank of NewBank. owner is the window that loads (Owner::MainWindow)
// or none before there is one; it owns the other messages and the
// conversion's dialogs. Voice lumps that the conversion refuses do not make
// the load fail; they are listed in the outcome.
LoadOutcome LoadBank(Session& session, const std::string& path, Owner owner);

// How a load reads the ten sound lumps once the directory is in: as
// ReadBankLumps does, or leaving them in the file.
using LumpReader = std::function<std::vector<int>(Session&, InputFile&, Owner)>;

// LoadBank on the file the caller has opened from path (null: it could not
// be), with the lumps read by readLumps.
LoadOutcome LoadBankFrom(Session& session, const std::string& path, InputFile* file, Owner owner,
    const LumpReader& readLumps);

// Reads the header, the ten sound entries and the credits; true when the
// file is accepted: its magic is "IWAD", or entry 0 is named "JEERSTRT", or
// entry 11 is named "JEERSTOP". A damaged directory is rejected whatever the
// names say: one that does not start inside the file, whose ten sound entries
// are not wholly inside it, or with a non-empty sound whose offset or size is
// negative or larger than the file. A rejected file has been reported to the
// user ("Not a valid JeerBox sound file", owned by owner) and the slots and
// credits may hold part of it: the caller resets the bank.
bool ReadBankDirectory(Session& session, InputFile& file, Owner owner);

// Reads the ten sound lumps, as ReadBankDirectory left the slots, into fresh
// zero-filled buffers of size + 1 bytes, the last one kPadByte; a
// lump cut short by the end of the file keeps zeros in place of the rest.
// Lumps of 11 bytes or more that start with "Crea" go through
// ConvertVoiceFile, with owner as the owner of its dialogs. Returns the
// slots whose voice lump the conversion refused.
std::vector<int> ReadBankLumps(Session& session, InputFile& file, Owner owner);

// A sound entry that the file cannot hold. ReadBankDirectory refuses a
// directory with one; the lump readers read it as empty, so that nothing
// allocates or copies more than the file holds.
bool SoundEntryIsDamaged(std::int32_t offset, std::int32_t size, std::int64_t fileSize);

// Whether a lump of size bytes that starts with start is a voice file,
// which a load converts.
bool IsVoiceLump(std::int32_t size, std::span<const std::uint8_t> start);

} // namespace jbx
