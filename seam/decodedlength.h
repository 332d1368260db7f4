#pragma once

// What both of the system's decoders say of a sound's length: the words for
// its seconds, and when a sound that ends before the length its file gives
// is damaged.

#include <cstdint>
#include <string>

namespace jbx {

// Seconds to one decimal with a '.' whatever the locale: "1.5 s".
std::string SecondsText(std::uint64_t frames, std::uint32_t rate);

// Why a sound of frames is damaged when its file gives declared frames:
// "its sound ends at 1.1 s of 3.0 s"; empty unless it falls clearly short.
// A length guessed from the file's size (an MP3 without a length header) is
// a little off either way, and an encoder's delay and padding take a few
// frames more, so up to 1% and 0.2 s short passes.
std::string ShortSoundReason(std::uint64_t frames, std::uint64_t declared, std::uint32_t rate);

} // namespace jbx
