#pragma once

// Creative Voice File to WAVE, in memory, in one call.

#include "bank/desktop.h"

#include <cstdint>
#include <span>

namespace jbx {

class MainWindowView;
struct Session;

struct VoiceFormat {
    std::uint32_t sampleCount = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t codec = 0;
    bool isMono = true;            // a file with no block that sets it is mono
    std::uint16_t bitsPerSample = 8;
};

// Converts the voice file in input into a WAVE image in output, which the
// caller has zero-filled with input.size() + 48 bytes. size comes in as the
// input's length and goes out as the size to store for the slot: one less
// than the image length after a build; unchanged after a refused parse;
// output.size() after a failed build. owner owns the unknown-block dialog.
void ConvertVoiceFile(Session& session, std::span<std::uint8_t> output,
    std::span<const std::uint8_t> input, std::int32_t& size, MainWindowView* owner);

// Checks the header and gathers the sample bytes of all sound blocks into
// samples (at least input.size() bytes) and format. False when refused.
bool ParseVoiceFile(Session& session, std::span<const std::uint8_t> input,
    std::span<std::uint8_t> samples, VoiceFormat& format, MainWindowView* owner);

// Writes the RIFF/WAVE image of format.sampleCount bytes of samples into
// output and sets size to the RIFF length + 7. samples may already stand at
// output + 44, where the image's data belong.
void BuildWaveImage(Session& session, std::span<std::uint8_t> output,
    std::span<const std::uint8_t> samples, std::int32_t& size, const VoiceFormat& format);

// The input byte at voiceCursor, advancing the cursor; nothing at the end.
std::optional<std::uint8_t> ReadVoiceByte(Session& session, std::span<const std::uint8_t> input);

UnknownBlockChoice AskUnknownBlock(Session& session, MainWindowView* owner);

} // namespace jbx
