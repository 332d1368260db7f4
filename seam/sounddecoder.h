#pragma once

// Sound files in the formats the system itself reads (FLAC, Ogg, MP3, ...),
// decoded by the system's own decoder: libsndfile on Linux, Media
// Foundation's Source Reader on Windows, each loaded at its first use so
// that a run that decodes nothing loads neither.

#include "seam/bytes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace jbx {

class InputFile;

enum class DecodeStatus {
    Decoded,
    Unknown,     // no format the decoder reads
    Damaged,     // a format it reads, but the decoder failed on the way or the
                 // sound ended before its header said: why says how
    TooLong,     // more sample bytes than the limit
    NoDecoder,   // the system's decoder could not be loaded: why names it
};

struct DecodeResult {
    DecodeStatus status = DecodeStatus::Unknown;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::string why;
};

// Decodes the whole of file, read from its start through the open file (a
// pipe works as well as a file), to interleaved 16-bit little-endian
// samples appended to samples, which grows as they arrive, never to more
// than byteLimit sample bytes. The header's length is not trusted with
// memory. On anything but Decoded, samples holds what it held before.
DecodeResult DecodeSound(InputFile& file, Bytes& samples, std::uint64_t byteLimit);

// What the decoder reads, for messages ("FLAC, Ogg Vorbis, Opus and MP3")
// and for file dialogs ("*.flac;*.ogg;*.oga;*.opus;*.mp3").
std::string_view DecodedFormats();
std::string_view DecodedPatterns();

} // namespace jbx
