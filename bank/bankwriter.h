#pragma once

#include "seam/bytes.h"
#include "seam/filesystem.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace jbx {

struct SoundBank;

// Where a save takes each slot's stored bytes from: the slots' buffers, or
// a bank file read for streaming that keeps its sounds where they are.
class StoredSounds {
public:
    virtual ~StoredSounds() = default;
    // How many bytes the save stores for the slot.
    virtual std::int64_t storedSize(const SoundBank& bank, int slotNumber) const;
    // Writes those bytes to sink; false when a write failed.
    virtual bool writeStored(const SoundBank& bank, int slotNumber, ByteSink& sink);
    // Whatever the sounds are read from failed to give them: a save that
    // took them is no good.
    virtual bool failed() const { return false; }
};

// A bank's offsets and sizes are signed 32-bit numbers: no bank file is
// longer than this.
inline constexpr std::int64_t kBankLimit = 0x7FFFFFFF;

// The length of the file WriteBank writes for the bank with these sounds,
// known before any sound is read.
std::int64_t BankFileLength(const SoundBank& bank, const StoredSounds& sounds);

// Called with the progress positions 0, 9, .. 81 while the sounds are
// written and 100 once their directory entries are.
using ProgressFunction = std::function<void(int position)>;

// Writes the bank in the bank file layout: header (lump count 12), the ten
// sounds back to back (the first size bytes of each buffer, without the pad
// byte), the credits when all three texts are set, the directory (12
// entries, 13 with FILEINFO; names cut to 8 characters) and the trailer.
// Stops at the first failed write and returns false; also false when the
// sounds' source failed, and before writing anything when the bank would be
// larger than kBankLimit.
// The slots and credits are not changed.
bool WriteBank(const SoundBank& bank, ByteSink& sink, const ProgressFunction& progress = {});
// The same with the sounds from sounds.
bool WriteBank(const SoundBank& bank, StoredSounds& sounds, ByteSink& sink, const ProgressFunction& progress = {});

// Writes the bank to path with WriteFileSafely: on failure the file that was
// there is untouched and no temporary file is left. CannotCreate: the
// temporary file could not be made (missing folder, no permission);
// CannotWrite: a write or the final replacement failed.
WriteFileResult WriteBankFile(const SoundBank& bank, const std::string& path, const ProgressFunction& progress = {});
WriteFileResult WriteBankFile(const SoundBank& bank, StoredSounds& sounds, const std::string& path);

} // namespace jbx
