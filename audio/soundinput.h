#pragma once

// The one way a sound file comes in, for every front end: its first bytes
// are looked at once, then a WAVE is taken as it stands, a voice file
// converted and anything else decoded by the system's decoder. A new input
// format is told apart in SoundKindOf and read in ReadSound.

#include "audio/voiceconvert.h"
#include "seam/bytes.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace jbx {

class InputFile;

enum class SoundKind {
    Wave,         // a RIFF file, taken as it stands
    AsItStands,   // anything else that starts with 'C' or 'R', which the editor
                  // has always stored as it stands too
    Voice,        // a voice file (it starts with kVoiceFileMark), converted
    Decoded,      // anything else, for the system's decoder
};

// How many first bytes tell the kinds apart.
inline constexpr std::size_t kSoundMarkLength = 4;

SoundKind SoundKindOf(std::span<const std::uint8_t> start);

enum class SoundReadResult {
    Read,
    NotConverted,   // a voice file the conversion refused (it told the user why)
    NotASound,      // no format this system reads
    Damaged,        // a format the decoder reads, damaged: why says how
    NoDecoder,      // the system's decoder could not be loaded: why says so
    TooLarge,       // more than a slot's 32-bit size holds
    Unreadable,     // the file ended before its length, or could not be read
    OutOfMemory,
};

struct SoundRead {
    SoundReadResult result = SoundReadResult::NotASound;
    SoundKind kind = SoundKind::Decoded;
    // When Read: what a slot stores, its first size bytes the sound and at
    // least one byte more, which Extract writes with it (the pad byte, or a
    // converted voice file's last image byte).
    Bytes buffer;
    std::int32_t size = 0;
    std::string why;
};

// Reads the sound in file, from its start, through the one open file: a pipe
// works as well as a file on the disk. A voice file's questions and refusals
// go through the context's desktop; every other refusal is only returned,
// for the front end to say in its own words.
SoundRead ReadSound(const ConversionContext& context, InputFile& file);

} // namespace jbx
