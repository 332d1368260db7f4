#include "audio/reshape.h"

#include "audio/samples.h"
#include "audio/wavefile.h"

#include <algorithm>
#include <cmath>

namespace jbx {

using namespace samples;

bool ReshapeTakes(const WaveFormat& format)
{
    if (format.channels == 0 || format.bitsPerSample % 8 != 0
        || format.blockAlign != std::uint32_t(format.channels) * (format.bitsPerSample / 8))
        return false;
    switch (format.encoding) {
    case SampleEncoding::Pcm:
        return format.bitsPerSample >= 8 && format.bitsPerSample <= 32;
    case SampleEncoding::Float:
        return format.bitsPerSample == 32 || format.bitsPerSample == 64;
    default:
        return false;
    }
}

ReshapeResult ReshapeWave(std::span<const std::uint8_t> image, const Reshape& reshape)
{
    const TakenSamples taken = TakeSamples(image);
    if (!taken.samples)
        return {std::nullopt, taken.error};
    const Samples& source = *taken.samples;

    const bool isFloat = source.isFloat();
    const unsigned inChannels = source.format.channels;
    const unsigned inBytes = source.sampleBytes();
    const unsigned outChannels = reshape.mono ? 1 : inChannels;
    const unsigned outBytes = reshape.eightBit ? 1 : inBytes;
    // Each output sample is the sum of `mixed` input samples.
    const unsigned mixed = inChannels / outChannels;

    const std::uint16_t outTag = isFloat && !reshape.eightBit ? kTagFloat : kTagPcm;
    Bytes out = CanonicalImage(outTag, std::uint16_t(outChannels), source.format.sampleRate,
        std::uint16_t(outBytes * 8), source.frames);
    const std::uint64_t frames = CanonicalFrames(out);

    const std::uint8_t* in = source.data;
    std::uint8_t* to = out.data() + kHeaderBytes;
    if (isFloat && !reshape.eightBit) {
        for (std::uint64_t f = 0; f < frames; ++f) {
            for (unsigned c = 0; c < outChannels; ++c, to += outBytes) {
                double sum = 0;
                for (unsigned m = 0; m < mixed; ++m, in += inBytes)
                    sum += ReadFloat(in, inBytes);
                WriteFloat(to, outBytes, sum / mixed);
            }
        }
    } else if (isFloat) {
        for (std::uint64_t f = 0; f < frames; ++f) {
            for (unsigned c = 0; c < outChannels; ++c, ++to) {
                double sum = 0;
                for (unsigned m = 0; m < mixed; ++m, in += inBytes)
                    sum += ReadFloat(in, inBytes);
                double value = std::round(sum * 128 / mixed);
                if (std::isnan(value))
                    value = 0;
                *to = std::uint8_t(std::clamp(value, -128.0, 127.0) + 128);
            }
        }
    } else {
        // Averaging and narrowing in one division keeps to one rounding.
        const std::int64_t divisor = std::int64_t(mixed) << (8 * (inBytes - outBytes));
        const std::int64_t highest = (std::int64_t(1) << (8 * outBytes - 1)) - 1;
        for (std::uint64_t f = 0; f < frames; ++f) {
            for (unsigned c = 0; c < outChannels; ++c, to += outBytes) {
                std::int64_t sum = 0;
                for (unsigned m = 0; m < mixed; ++m, in += inBytes)
                    sum += ReadInteger(in, inBytes);
                // Only rounding up next to full scale can overshoot, never below.
                WriteInteger(to, outBytes, std::min(DivideRounded(sum, divisor), highest));
            }
        }
    }
    return {std::move(out), ReshapeError::NotAWave};
}

void WritePcmWaveHeader(std::uint8_t* header, std::uint16_t channels, std::uint32_t sampleRate,
    std::uint16_t bitsPerSample, std::uint32_t dataBytes)
{
    WriteHeader(header, kTagPcm, channels, sampleRate, bitsPerSample, dataBytes);
}

} // namespace jbx
