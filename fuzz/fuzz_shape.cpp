// Any bytes after the first few, taken as a WAVE image, go through the peak summary and every shaping operation,
// alone and chained, with parameters drawn from those first bytes: each result is a canonical image of the format
// and the frame count the operation promises, and an image one operation refuses every one refuses alike.

#include "audio/reshape.h"
#include "audio/shape.h"
#include "audio/wavefile.h"
#include "fuzz/fuzzdesktop.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <span>

namespace {

constexpr std::size_t kParameterBytes = 6;
constexpr std::uint64_t kAll = std::numeric_limits<std::uint64_t>::max();

struct Expected {
    std::uint64_t frames;
    std::uint16_t channels;
    std::uint16_t bits;
    jbx::SampleEncoding encoding;
};

void CheckImage(const jbx::ReshapeResult& result, const Expected& expected, const jbx::ReshapeResult& plain)
{
    FUZZ_CHECK(bool(result.image) == bool(plain.image));
    if (!result.image) {
        FUZZ_CHECK(result.error == plain.error);
        return;
    }
    const jbx::Bytes& image = *result.image;
    const auto format = jbx::ReadWaveFormat(image);
    FUZZ_CHECK(format && format->sizesFit && format->dataOffset == 44);
    FUZZ_CHECK(format->channels == expected.channels && format->bitsPerSample == expected.bits);
    FUZZ_CHECK(format->encoding == expected.encoding && jbx::ReshapeTakes(*format));
    FUZZ_CHECK(format->dataLength == expected.frames * format->blockAlign);
    FUZZ_CHECK(image.size() == 44 + format->dataLength + (format->dataLength & 1));
    FUZZ_CHECK(jbx::WaveFrames(image) == expected.frames);
}

void CheckPeaks(std::span<const std::uint8_t> image, std::size_t columns, const jbx::ReshapeResult& plain,
    const Expected& input)
{
    const auto summary = jbx::SoundPeaks(image, columns);
    FUZZ_CHECK(bool(summary) == bool(plain.image));
    if (!summary)
        return;
    FUZZ_CHECK(summary->channels == input.channels && summary->columns == columns && summary->frames == input.frames);
    FUZZ_CHECK(summary->peaks.size() == columns * input.channels);
    const bool integer = input.encoding == jbx::SampleEncoding::Pcm;
    for (const jbx::Peak& peak : summary->peaks) {
        FUZZ_CHECK(peak.low <= peak.high);
        FUZZ_CHECK(!integer || (peak.low >= -1 && peak.high <= 1));
        // The level is measured before the columns' peaks are narrowed to float.
        FUZZ_CHECK(std::max(-peak.low, peak.high) <= float(summary->peakLevel));
    }
    if (input.frames == 0)
        FUZZ_CHECK(summary->peakLevel == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t length)
{
    if (length < kParameterBytes)
        return 0;
    const std::span<const std::uint8_t> image(data + kParameterBytes, length - kParameterBytes);
    const std::uint8_t flags = data[0];
    // Columns times channels stays within some 33 MB of peaks.
    const std::size_t columns = data[1] % 64;
    const std::uint64_t first = data[2] == 255 ? kAll : data[2];
    const std::uint64_t count = data[3] == 255 ? kAll : data[3];
    const double silenceDb = data[4] == 255 ? -std::numeric_limits<double>::infinity() : -double(data[4] % 121);
    // Up to 6 dB above full scale, which is taken as full scale.
    const double normalizeDb = 6 - double(data[5] % 67);

    const jbx::ReshapeResult plain = jbx::ReshapeWave(image, {});
    const auto format = jbx::ReadWaveFormat(image);
    const std::uint64_t frames = jbx::WaveFrames(image);
    FUZZ_CHECK(plain.image || frames == 0);
    Expected same{frames, 0, 0, jbx::SampleEncoding::Pcm};
    if (plain.image)
        same = {frames, format->channels, format->bitsPerSample, format->encoding};

    CheckPeaks(image, columns, plain, same);

    Expected trimmedTo = same;
    trimmedTo.frames = std::min(count, frames - std::min(first, frames));
    CheckImage(jbx::TrimTo(image, first, count), trimmedTo, plain);

    const jbx::ReshapeResult trimmed = jbx::TrimSilence(image, silenceDb);
    Expected silenceCut = same;
    silenceCut.frames = trimmed.image ? jbx::WaveFrames(*trimmed.image) : 0;
    FUZZ_CHECK(silenceCut.frames <= frames);
    CheckImage(trimmed, silenceCut, plain);

    CheckImage(jbx::Normalize(image, normalizeDb), same, plain);
    CheckImage(jbx::ReshapeWave(image, {true, false}), {frames, 1, same.bits, same.encoding}, plain);
    CheckImage(jbx::ReshapeWave(image, {false, true}), {frames, same.channels, 8, jbx::SampleEncoding::Pcm}, plain);

    jbx::Shaping shaping;
    if (flags & 1)
        shaping.trimSilenceDb = silenceDb;
    shaping.mono = flags & 2;
    if (flags & 4)
        shaping.normalizeDb = normalizeDb;
    shaping.eightBit = flags & 8;
    const Expected shaped{shaping.trimSilenceDb ? silenceCut.frames : frames,
        std::uint16_t(shaping.mono ? 1 : same.channels), std::uint16_t(shaping.eightBit ? 8 : same.bits),
        shaping.eightBit ? jbx::SampleEncoding::Pcm : same.encoding};
    CheckImage(jbx::ShapeWave(image, shaping), shaped, plain);
    return 0;
}
