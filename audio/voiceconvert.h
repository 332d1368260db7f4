#pragma once

// Creative Voice File to WAVE, in memory, in one call.

#include "seam/desktop.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

namespace jbx {

// The first bytes of a voice file's signature: the loader and Replace take
// bytes that start with them for a voice file.
inline constexpr std::string_view kVoiceFileMark = "Crea";

// The fixed part of a voice file and of the image built from it.
inline constexpr std::size_t kVoiceHeaderSize = 26;
inline constexpr std::size_t kWaveHeaderSize = 44;
// What a caller adds to the input's length for the output buffer.
inline constexpr std::size_t kWaveImageSlack = 48;
// The longest input whose output length still fits the slot's 32-bit size.
inline constexpr std::size_t kVoiceFileLimit =
    std::size_t(std::numeric_limits<std::int32_t>::max()) - kWaveImageSlack;

// One set of format parameters for the whole sound; when several blocks set
// them, the last one read wins.
struct VoiceFormat {
    std::uint32_t sampleCount = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t codec = 0;       // kept, never acted on: samples are copied as they stand
    bool isMono = true;            // a file with no block that sets it is mono
    std::uint16_t bitsPerSample = 8;
};

// What became of a conversion. Every failure has been reported to the user.
enum class ConvertResult {
    Converted,        // an image was built, also when the user stopped at an unknown block
    NotAVoiceFile,    // "Not a Creative Voice File": output and size untouched
    VersionRefused,   // an unknown version the user would not process: output and size untouched
    BuildFailed,      // output too small for the image's headers: size is output.size()
};

// What the conversion needs besides the bytes: the desktop for its
// messages and the unknown-block dialog, the slot number that dialog shows
// as "Sound Number", and the window that owns the dialog.
struct ConversionContext {
    Desktop& desktop;
    int soundNumber = 0;
    Owner owner = Owner::None;
};

// Converts the voice file in input into a WAVE image in output, which the
// caller has zero-filled with input.size() + 48 bytes. size comes in as the
// input's length and goes out as the size to store for the slot:
//   - after a build, one less than the image length (the image's last byte
//     sits at index size), so size + 1 <= output.size();
//   - after a refused parse, unchanged, and output untouched;
//   - after a failed build, output.size().
// The sample bytes are gathered straight into output at offset 44. A smaller
// output than promised is not an error of its own: the samples that do not
// fit are cut off, and an output too small for the image's headers fails the
// build with its message. An input longer than kVoiceFileLimit is refused as
// not a voice file. The messages have no owner, as the conversion may run
// before any window.
ConvertResult ConvertVoiceFile(const ConversionContext& context, std::span<std::uint8_t> output,
    std::span<const std::uint8_t> input, std::int32_t& size);

// True when bytes start with kVoiceFileMark.
bool StartsWithVoiceMark(std::span<const std::uint8_t> bytes);

// Checks the header and gathers the sample bytes of all sound blocks into
// samples and the parameters into format. Converted when the walk ran and
// its results are ready for BuildWaveImage, else why the file was refused
// (the user has been told). Sample bytes beyond samples.size() are dropped;
// the end of the input ends the walk as a terminator would, after taking the
// part of a sound block that is there. format.sampleCount is the number of
// bytes stored in samples.
ConvertResult ParseVoiceFile(const ConversionContext& context, std::span<const std::uint8_t> input,
    std::span<std::uint8_t> samples, VoiceFormat& format);

// Writes the RIFF/WAVE image of the first format.sampleCount bytes of
// samples into output and sets size to the RIFF length + 7. samples may
// already stand at output + 44, where the image's data belong. Sample bytes
// that do not fit in output are cut off and the headers describe what was
// written. An output too small for the RIFF header, the format chunk or the
// data chunk's header is reported to the user, sets size to output.size()
// and gives false.
bool BuildWaveImage(Desktop& desktop, std::span<std::uint8_t> output,
    std::span<const std::uint8_t> samples, std::int32_t& size, const VoiceFormat& format);

} // namespace jbx
