#pragma once

// Creative Voice File to WAVE, streamed in two passes from a source too big
// to hold: the walk and the image are those of ConvertVoiceFile.

#include "audio/voiceconvert.h"
#include "seam/bytes.h"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace jbx {

// A voice file read where the conversion needs it instead of held whole, for
// files too big to keep in memory: the conversion reads only the blocks'
// headers and has the sample bytes copied straight to the image's sink.
class VoiceSource {
public:
    virtual ~VoiceSource() = default;
    virtual std::uint64_t size() const = 0;
    // Up to into.size() bytes from offset on; fewer only where the source ends.
    virtual std::size_t read(std::uint64_t offset, std::span<std::uint8_t> into) = 0;
    // Writes length bytes from offset on to sink; false when that failed.
    virtual bool copyTo(ByteSink& sink, std::uint64_t offset, std::uint64_t length) = 0;
    // The source did not hold what the first pass found in it: another
    // program changed the file between the passes.
    virtual void markChanged() = 0;
};

// What the first pass over a streamed voice file found: the format, with
// the number of sample bytes in sampleCount, and the user's answers to the
// unknown-block question in the order given (each with how many times in a
// row), so that the second pass takes the same path without asking again.
struct VoiceImagePlan {
    VoiceFormat format;
    std::uint32_t dataOffset = 0;
    std::vector<std::pair<UnknownBlockChoice, std::uint32_t>> answers;

    // The image's length: its headers, the samples and the pad byte an odd
    // count takes. A slot stores one byte less.
    std::uint64_t imageLength() const;
};

// The first pass: the checks, the questions and the result of
// ConvertVoiceFile on the same bytes and answers, without its memory. When
// Converted, WriteVoiceImage writes the same image.
ConvertResult PlanVoiceImage(const ConversionContext& context, VoiceSource& source, VoiceImagePlan& plan);

// The second pass: writes the first length bytes (at most the image's
// length) of the planned image to sink. False when a write or a copy failed,
// or when the blocks no longer give the samples the plan counted (the
// source is then marked changed): the header already written claims them.
bool WriteVoiceImage(VoiceSource& source, const VoiceImagePlan& plan, ByteSink& sink, std::uint64_t length);

} // namespace jbx
