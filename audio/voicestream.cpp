#include "audio/voicestream.h"

#include "audio/blockwalk.h"

#include <algorithm>
#include <array>

namespace jbx {

using namespace voice;

namespace {

// A walk reads a streamed voice file a window at a time: only the blocks'
// headers are read, and they are few and small.
class WindowedInput {
public:
    explicit WindowedInput(VoiceSource& source) : source_(source), size_(std::size_t(source.size())) {}
    std::size_t size() const { return size_; }
    std::uint8_t at(std::size_t position)
    {
        if (position < start_ || position - start_ >= length_) {
            start_ = position;
            length_ = source_.read(position, window_);
            // A byte the source could not give reads as zero, as a lump cut
            // short keeps zeros in its buffer.
            if (length_ == 0)
                return 0;
        }
        return window_[position - start_];
    }

private:
    VoiceSource& source_;
    std::size_t size_;
    std::array<std::uint8_t, 4096> window_{};
    std::size_t start_ = 0;
    std::size_t length_ = 0;
};

// What becomes of them in the first pass of a streamed conversion: only
// counted; in the second: copied from the source to the sink.
class CountSamples {
public:
    std::uint64_t written() const { return written_; }
    void take(std::size_t, std::size_t n) { written_ += n; }

private:
    std::uint64_t written_ = 0;
};

class CopySamples {
public:
    CopySamples(VoiceSource& source, ByteSink& sink, std::uint64_t limit) : source_(source), sink_(sink), left_(limit) {}
    bool ok() const { return ok_; }
    // Ranges beyond the limit are left out; the first failure ends the copying.
    void take(std::size_t position, std::size_t n)
    {
        const std::uint64_t copy = std::min<std::uint64_t>(n, left_);
        if (ok_ && copy > 0)
            ok_ = source_.copyTo(sink_, position, copy);
        left_ -= copy;
    }

private:
    VoiceSource& source_;
    ByteSink& sink_;
    std::uint64_t left_;
    bool ok_ = true;
};

} // namespace

std::uint64_t VoiceImagePlan::imageLength() const
{
    return std::uint64_t(RiffLength(format.sampleCount)) + 8;
}

ConvertResult PlanVoiceImage(const ConversionContext& context, VoiceSource& source, VoiceImagePlan& plan)
{
    std::array<std::uint8_t, kVoiceHeaderSize> header{};
    const std::uint64_t size = source.size();
    const std::size_t got = source.read(0, std::span(header).first(std::size_t(std::min<std::uint64_t>(size, header.size()))));
    const ConvertResult checked = CheckHeader(context, std::span(header).first(got), size);
    if (checked != ConvertResult::Converted)
        return checked;

    plan = VoiceImagePlan{};
    plan.dataOffset = ReadLE16(header.data() + kDataOffsetAt);
    WindowedInput input(source);
    CountSamples counted;
    WalkBlocks(input, plan.dataOffset, counted, plan.format, [&](std::uint32_t type, std::uint32_t length) {
        const UnknownBlockChoice choice = AskUser(context)(type, length);
        if (plan.answers.empty() || plan.answers.back().first != choice)
            plan.answers.emplace_back(choice, 0);
        ++plan.answers.back().second;
        return choice;
    });
    // Every sample byte is a byte of the input, which kVoiceFileLimit keeps
    // below the slot's 32-bit size.
    plan.format.sampleCount = std::uint32_t(counted.written());
    return ConvertResult::Converted;
}

bool WriteVoiceImage(VoiceSource& source, const VoiceImagePlan& plan, ByteSink& sink, std::uint64_t length)
{
    const std::uint32_t count = plan.format.sampleCount;
    std::array<std::uint8_t, kWaveHeaderSize> header{};
    WriteRiffHeader(header.data(), RiffLength(count));
    WriteFormatChunk(header.data() + kRiffHeaderSize, plan.format);
    WriteDataHeader(header.data() + kRiffHeaderSize + kFormatChunkSize, count);
    if (!sink.write(std::span(header).first(std::size_t(std::min<std::uint64_t>(length, header.size())))))
        return false;
    if (length <= kWaveHeaderSize)
        return true;

    // The second walk meets the same blocks, so the answers come back in the
    // order they were given.
    auto answer = plan.answers.begin();
    std::uint32_t repeated = 0;
    WindowedInput input(source);
    CopySamples copied(source, sink, length - kWaveHeaderSize);
    VoiceFormat format;
    WalkBlocks(input, plan.dataOffset, copied, format, [&](std::uint32_t, std::uint32_t) {
        if (answer == plan.answers.end())
            return UnknownBlockChoice::StopConversion;
        const UnknownBlockChoice choice = answer->first;
        if (++repeated == answer->second) {
            ++answer;
            repeated = 0;
        }
        return choice;
    });
    if (!copied.ok())
        return false;
    const bool padded = count % 2 == 1 && length > kWaveHeaderSize + count;
    const std::uint8_t pad = 0;
    return !padded || sink.write({&pad, 1});
}

} // namespace jbx
