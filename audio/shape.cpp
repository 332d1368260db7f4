#include "audio/shape.h"

#include "audio/samples.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace jbx {

using namespace samples;

namespace {

// Each sample format as SoundPeaks reads it: Value is wide enough to order
// its samples, scale takes a value to full scale 1.0.
struct Unsigned8 {
    using Value = std::int16_t;
    static constexpr unsigned bytes = 1;
    static constexpr double scale = 1.0 / 128;
    static Value read(const std::uint8_t* p) { return Value(p[0] - 128); }
};

struct Signed16 {
    using Value = std::int16_t;
    static constexpr unsigned bytes = 2;
    static constexpr double scale = 1.0 / 32768;
    static Value read(const std::uint8_t* p) { return Value(ReadLE16(p)); }
};

struct Signed24 {
    using Value = std::int32_t;
    static constexpr unsigned bytes = 3;
    static constexpr double scale = 1.0 / (1 << 23);
    static Value read(const std::uint8_t* p)
    {
        return std::int32_t(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 24) >> 8;
    }
};

struct Signed32 {
    using Value = std::int32_t;
    static constexpr unsigned bytes = 4;
    static constexpr double scale = 1.0 / 2147483648.0;
    static Value read(const std::uint8_t* p) { return std::int32_t(ReadLE32(p)); }
};

struct Float32 {
    using Value = float;
    static constexpr unsigned bytes = 4;
    static constexpr double scale = 1;
    static Value read(const std::uint8_t* p)
    {
        const float v = std::bit_cast<float>(ReadLE32(p));
        return v == v ? v : 0;
    }
};

struct Float64 {
    using Value = double;
    static constexpr unsigned bytes = 8;
    static constexpr double scale = 1;
    static Value read(const std::uint8_t* p)
    {
        const double v = std::bit_cast<double>(std::uint64_t(ReadLE32(p)) | std::uint64_t(ReadLE32(p + 4)) << 32);
        return v == v ? v : 0;
    }
};

// The lowest and highest of `count` samples from p into lanes: sample i
// goes to lane i % lanes, so when a run starts at a frame and the channels
// divide the lanes, each lane holds one channel. A fixed number of lanes
// lets the compiler keep them in vector registers.
template <typename Format, std::size_t kLanes>
void Extremes(const std::uint8_t* p, std::uint64_t count, std::array<typename Format::Value, kLanes>& low,
    std::array<typename Format::Value, kLanes>& high)
{
    std::uint64_t i = 0;
    for (; i + kLanes <= count; i += kLanes, p += kLanes * Format::bytes) {
        for (std::size_t l = 0; l < kLanes; ++l) {
            const auto v = Format::read(p + l * Format::bytes);
            low[l] = std::min(low[l], v);
            high[l] = std::max(high[l], v);
        }
    }
    for (std::size_t l = 0; i < count; ++i, ++l, p += Format::bytes) {
        const auto v = Format::read(p);
        low[l] = std::min(low[l], v);
        high[l] = std::max(high[l], v);
    }
}

template <typename Format>
void Summarise(const Samples& source, PeakSummary& summary, std::size_t columns)
{
    using Value = typename Format::Value;
    constexpr std::size_t kLanes = 16;
    const unsigned channels = source.format.channels;
    const std::uint64_t frames = source.frames;
    const bool laned = kLanes % channels == 0;
    // Lanes for the channels that divide them, one lane a channel otherwise.
    const std::size_t lanes = laned ? kLanes : channels;
    std::vector<Value> low(lanes), high(lanes);
    constexpr Value kHighest = std::numeric_limits<Value>::has_infinity ? std::numeric_limits<Value>::infinity()
                                                                      : std::numeric_limits<Value>::max();
    constexpr Value kLowest = std::numeric_limits<Value>::has_infinity ? -std::numeric_limits<Value>::infinity()
                                                                     : std::numeric_limits<Value>::lowest();

    // Column j starts at j * frames / columns, worked out without the product.
    const std::uint64_t step = frames / columns;
    const std::uint64_t rest = frames % columns;
    std::uint64_t begin = 0;
    for (std::size_t j = 0; j < columns; ++j) {
        const std::uint64_t next = (j + 1) * step + (j + 1) * rest / columns;
        const std::uint64_t end = std::max(next, begin + 1);
        std::fill(low.begin(), low.end(), kHighest);
        std::fill(high.begin(), high.end(), kLowest);
        {
            const std::uint8_t* p = source.data + begin * source.format.blockAlign;
            if (laned) {
                std::array<Value, kLanes> l, h;
                std::copy(low.begin(), low.end(), l.begin());
                std::copy(high.begin(), high.end(), h.begin());
                Extremes<Format, kLanes>(p, (end - begin) * channels, l, h);
                std::copy(l.begin(), l.end(), low.begin());
                std::copy(h.begin(), h.end(), high.begin());
            } else {
                for (std::uint64_t f = begin; f < end; ++f) {
                    for (unsigned c = 0; c < channels; ++c, p += Format::bytes) {
                        const Value v = Format::read(p);
                        low[c] = std::min(low[c], v);
                        high[c] = std::max(high[c], v);
                    }
                }
            }
            for (unsigned c = 0; c < channels; ++c) {
                Value lo = low[c], hi = high[c];
                for (std::size_t l = c + channels; l < lanes; l += channels) {
                    lo = std::min(lo, low[l]);
                    hi = std::max(hi, high[l]);
                }
                const double scaledLow = double(lo) * Format::scale;
                const double scaledHigh = double(hi) * Format::scale;
                summary.peakLevel = std::max({summary.peakLevel, -scaledLow, scaledHigh});
                summary.peaks[j * channels + c] = Peak{float(scaledLow), float(scaledHigh)};
            }
        }
        begin = next;
    }
}

// ReshapeWave's rounding on the scale where full scale is 1.0: to nearest,
// halves away from silence, clamped within the width's range.
std::int64_t RoundToWidth(double value, unsigned bytes)
{
    const double fullScale = std::ldexp(1.0, 8 * int(bytes) - 1);
    double v = std::round(value * fullScale);
    if (std::isnan(v))
        v = 0;
    return std::int64_t(std::clamp(v, -fullScale, fullScale - 1));
}

// Every sample times gain, to 8 bits if asked, rounding once.
Bytes Scale(const Samples& source, double gain, bool eightBit)
{
    const unsigned inBytes = source.sampleBytes();
    const unsigned outBytes = eightBit ? 1 : inBytes;
    const bool toFloat = source.isFloat() && !eightBit;
    Bytes out = CanonicalImage(toFloat ? kTagFloat : kTagPcm, source.format.channels, source.format.sampleRate,
        std::uint16_t(outBytes * 8), source.frames);
    const std::uint64_t count = CanonicalFrames(out) * source.format.channels;
    const std::uint8_t* in = source.data;
    std::uint8_t* to = out.data() + kHeaderBytes;
    for (std::uint64_t i = 0; i < count; ++i, in += inBytes, to += outBytes) {
        if (toFloat)
            WriteFloat(to, outBytes, ReadFloat(in, inBytes) * gain);
        else
            WriteInteger(to, outBytes, RoundToWidth(ReadScaled(in, inBytes, source.isFloat()) * gain, outBytes));
    }
    return out;
}

// The frames [first, first + count) of source, which it has.
Bytes CopyFrames(const Samples& source, std::uint64_t first, std::uint64_t count)
{
    Bytes out = source.image(count);
    const std::uint64_t kept = CanonicalFrames(out);
    std::memcpy(out.data() + kHeaderBytes, source.data + first * source.format.blockAlign,
        kept * source.format.blockAlign);
    return out;
}

double Amplitude(double db)
{
    return std::pow(10.0, db / 20);
}

// The gain that brings source's peak to targetDb; nothing when it has no
// peak to bring there (silence, or an infinite float sample).
std::optional<double> NormalizingGain(const Samples& source, double targetDb)
{
    const unsigned bytes = source.sampleBytes();
    const std::uint64_t count = source.frames * source.format.channels;
    double peak = 0;
    const std::uint8_t* p = source.data;
    for (std::uint64_t i = 0; i < count; ++i, p += bytes)
        peak = std::max(peak, std::fabs(ReadScaled(p, bytes, source.isFloat())));
    if (!(peak > 0) || !std::isfinite(peak))
        return std::nullopt;
    // Above full scale would clip; the fields that ask keep below it.
    return Amplitude(targetDb < 0 ? targetDb : 0) / peak;
}

ReshapeResult NormalizeSamples(std::span<const std::uint8_t> image, double targetDb, bool eightBit)
{
    const TakenSamples taken = TakeSamples(image);
    if (!taken.samples)
        return {std::nullopt, taken.error};
    const std::optional<double> gain = NormalizingGain(*taken.samples, targetDb);
    return {Scale(*taken.samples, gain.value_or(1), eightBit), ReshapeError::NotAWave};
}

} // namespace

std::optional<PeakSummary> SoundPeaks(std::span<const std::uint8_t> image, std::size_t columns)
{
    const TakenSamples taken = TakeSamples(image);
    if (!taken.samples)
        return std::nullopt;
    const Samples& source = *taken.samples;
    PeakSummary summary;
    summary.channels = source.format.channels;
    summary.columns = columns;
    summary.frames = source.frames;
    summary.peaks.resize(columns * summary.channels);
    if (source.frames == 0)
        return summary;
    // With no columns to fill, one still measures the peak level.
    PeakSummary whole;
    PeakSummary& into = columns == 0 ? whole : summary;
    if (columns == 0)
        whole.peaks.resize(summary.channels);
    const std::size_t spans = std::max<std::size_t>(columns, 1);
    if (source.isFloat()) {
        if (source.sampleBytes() == 4)
            Summarise<Float32>(source, into, spans);
        else
            Summarise<Float64>(source, into, spans);
    } else {
        switch (source.sampleBytes()) {
        case 1:
            Summarise<Unsigned8>(source, into, spans);
            break;
        case 2:
            Summarise<Signed16>(source, into, spans);
            break;
        case 3:
            Summarise<Signed24>(source, into, spans);
            break;
        default:
            Summarise<Signed32>(source, into, spans);
            break;
        }
    }
    summary.peakLevel = into.peakLevel;
    return summary;
}

ReshapeResult TrimTo(std::span<const std::uint8_t> image, std::uint64_t first, std::uint64_t count)
{
    const TakenSamples taken = TakeSamples(image);
    if (!taken.samples)
        return {std::nullopt, taken.error};
    const Samples& source = *taken.samples;
    first = std::min(first, source.frames);
    return {CopyFrames(source, first, std::min(count, source.frames - first)), ReshapeError::NotAWave};
}

ReshapeResult TrimSilence(std::span<const std::uint8_t> image, double thresholdDb)
{
    const TakenSamples taken = TakeSamples(image);
    if (!taken.samples)
        return {std::nullopt, taken.error};
    const Samples& source = *taken.samples;
    const double threshold = Amplitude(thresholdDb);
    const unsigned bytes = source.sampleBytes();
    const auto reaches = [&](std::uint64_t frame) {
        const std::uint8_t* p = source.data + frame * source.format.blockAlign;
        for (unsigned c = 0; c < source.format.channels; ++c, p += bytes) {
            // NaN reaches nothing.
            if (std::fabs(ReadScaled(p, bytes, source.isFloat())) >= threshold)
                return true;
        }
        return false;
    };
    std::uint64_t first = 0;
    while (first < source.frames && !reaches(first))
        ++first;
    std::uint64_t end = source.frames;
    while (end > first && !reaches(end - 1))
        --end;
    return {CopyFrames(source, first, end - first), ReshapeError::NotAWave};
}

ReshapeResult Normalize(std::span<const std::uint8_t> image, double targetDb)
{
    return NormalizeSamples(image, targetDb, false);
}

ReshapeResult ShapeWave(std::span<const std::uint8_t> image, const Shaping& shaping)
{
    ReshapeResult result;
    std::span<const std::uint8_t> current = image;
    const auto then = [&](ReshapeResult next) {
        result = std::move(next);
        if (result.image)
            current = *result.image;
        return bool(result.image);
    };
    if (shaping.trimSilenceDb && !then(TrimSilence(current, *shaping.trimSilenceDb)))
        return result;
    if (!shaping.normalizeDb)
        return ReshapeWave(current, Reshape{shaping.mono, shaping.eightBit});
    if (shaping.mono && !then(ReshapeWave(current, Reshape{true, false})))
        return result;
    // Normalizing and narrowing in one scaling keeps to one rounding.
    return NormalizeSamples(current, *shaping.normalizeDb, shaping.eightBit);
}

std::uint64_t WaveFrames(std::span<const std::uint8_t> image)
{
    const TakenSamples taken = TakeSamples(image);
    return taken.samples ? taken.samples->frames : 0;
}

namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size()
        && std::equal(text.end() - std::ptrdiff_t(suffix.size()), text.end(), suffix.begin(),
            [](char typed, char lower) { return std::tolower(static_cast<unsigned char>(typed)) == lower; });
}

} // namespace

std::optional<double> ParseDecibels(std::string_view text, double lowest)
{
    text = Trimmed(text);
    for (const std::string_view unit : {"dbfs", "db"}) {
        if (EndsWithNoCase(text, unit)) {
            text = Trimmed(text.substr(0, text.size() - unit.size()));
            break;
        }
    }
    bool negative = false;
    if (text.starts_with(kMinusSign)) {
        negative = true;
        text.remove_prefix(kMinusSign.size());
    } else if (text.starts_with('-')) {
        negative = true;
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    if (negative)
        value = -value;
    if (value < lowest || value > 0)
        return std::nullopt;
    return value;
}

} // namespace jbx
