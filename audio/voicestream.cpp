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

    // Bytes from position on: from the window when it holds them all, as
    // the samples of a short block mostly are, else from the source.
    std::size_t read(std::size_t position, std::span<std::uint8_t> into)
    {
        if (position >= start_ && position - start_ <= length_ && into.size() <= length_ - (position - start_)) {
            std::copy_n(window_.begin() + std::ptrdiff_t(position - start_), into.size(), into.begin());
            return into.size();
        }
        return source_.read(position, into);
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
    CopySamples(WindowedInput& input, VoiceSource& source, ByteSink& sink, std::uint64_t limit)
        : input_(input), source_(source), sink_(sink), left_(limit)
    {
    }

    // Ranges beyond the limit are left out; the first failure ends the
    // copying.
    void take(std::size_t position, std::size_t n)
    {
        const std::size_t copy = std::size_t(std::min<std::uint64_t>(n, left_));
        left_ -= copy;
        if (!ok_ || copy == 0)
            return;
        taken_ += copy;
        // Short ranges are gathered and written together: a file of many
        // small blocks would otherwise cost a copy call for each.
        if (copy > kGathered - gathered_.size()) {
            if (!flush())
                return;
            if (copy >= kGathered) {
                ok_ = source_.copyTo(sink_, position, copy);
                return;
            }
        }
        const std::size_t at = gathered_.size();
        gathered_.resize(at + copy);
        ok_ = input_.read(position, std::span(gathered_).subspan(at)) == copy;
    }

    // How many sample bytes the walk handed over, within the limit.
    std::uint64_t taken() const { return taken_; }

    // Writes what is gathered; false once anything failed.
    bool flush()
    {
        if (ok_ && !gathered_.empty())
            ok_ = sink_.write(gathered_);
        gathered_.clear();
        return ok_;
    }

private:
    static constexpr std::size_t kGathered = 64 * 1024;

    WindowedInput& input_;
    VoiceSource& source_;
    ByteSink& sink_;
    std::uint64_t left_;
    std::uint64_t taken_ = 0;
    Bytes gathered_;
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
    CopySamples copied(input, source, sink, length - kWaveHeaderSize);
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
    if (!copied.flush())
        return false;
    // A walk that found fewer samples than the first pass (the file was cut
    // or rewritten between the passes) would leave a header that claims
    // bytes which are not there.
    if (copied.taken() != std::min<std::uint64_t>(count, length - kWaveHeaderSize)) {
        source.markChanged();
        return false;
    }
    const bool padded = count % 2 == 1 && length > kWaveHeaderSize + count;
    const std::uint8_t pad = 0;
    return !padded || sink.write({&pad, 1});
}

} // namespace jbx
