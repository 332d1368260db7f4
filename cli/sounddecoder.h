#pragma once

// Sound files of the common compressed formats (FLAC, Ogg Vorbis, Opus,
// MP3), decoded to a 16-bit PCM WAVE image where this build can: with
// libsndfile on Linux, none on Windows.

#include "seam/bytes.h"

#include <optional>
#include <string>
#include <string_view>

namespace jbx {

// What the build reads besides WAVE and voice files, for messages.
std::string_view DecodedFormats();

// The file at path as a 16-bit PCM WAVE image of its channels and rate;
// nothing when it cannot be decoded, with why saying so ("" when the file
// is simply no sound libsndfile knows).
std::optional<Bytes> DecodeSoundFile(const std::string& path, std::string& why);

} // namespace jbx
