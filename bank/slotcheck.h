#pragma once

// Why a game may not play a bank's sounds: each slot's headers read from
// the first bytes of the slot, so that a bank of any size is checked in
// little memory.

#include "audio/wavefile.h"
#include "bank/bankstream.h"
#include "bank/soundbank.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

enum class SlotContent {
    Empty,
    PcmWave,
    OtherWave,      // a WAVE of another encoding: float, ADPCM, ...
    Voice,          // a voice lump, described as the WAVE it converts to
    RefusedVoice,   // a voice lump the conversion refused, kept as silence
    NotASound,
};

// Problems keep a game from playing the sound; warnings may.
inline constexpr std::string_view kMonoOnly = "the game plays mono sounds only";
inline constexpr std::string_view kPcmOnly = "the game plays PCM sounds only";
inline constexpr std::string_view kSizesRunPast = "the WAVE's sizes run past its slot";
inline constexpr std::string_view kNotASound = "not a WAVE or voice file";
inline constexpr std::string_view kVoiceRefused = "the voice file was not converted, so the slot holds silence";
inline constexpr std::string_view kMayNeed8Bit = "the game may need 8-bit";
inline constexpr std::string_view kEmptySlot = "the slot is empty";

struct SlotCheck {
    int slot = 0;
    std::string name;
    SlotContent content = SlotContent::Empty;
    std::optional<WaveFormat> format;   // of a WAVE, or a voice lump's image
    std::vector<std::string> problems;
    std::vector<std::string> warnings;
};

// How much of each slot is read: enough for the headers of any WAVE that
// does not put a long chunk before its samples.
inline constexpr std::size_t kSlotCheckBytes = 64 * 1024;

// The question a front end asks once a sound has gone into a slot that the
// game cannot play (stereo, or not PCM) and that a reshape can make mono and
// 8-bit; nothing for a sound the game plays, or one no reshape takes.
std::optional<std::string> GameReadyQuestion(const SoundSlot& slot, int slotNumber);

// One slot as it is in memory, where voice lumps are already WAVE images.
SlotCheck CheckSlot(const SoundSlot& slot, int slotNumber);

// What a slot holds and its format, in words: "PCM WAVE, 2 channels,
// 16 bits, 11025 Hz, 1.00 s", "empty", "not a sound", ...
std::string DescribeSound(const SlotCheck& check);

// A length in seconds, with `decimals` digits after a '.' whatever the
// locale.
std::string FixedSeconds(double seconds, int decimals);

// The ten slots of a bank that sounds opened, in order.
std::vector<SlotCheck> CheckSlots(const SoundBank& bank, StreamedBank& sounds);

} // namespace jbx
