#include "tests/app/wavebuilder.h"

#include "tests/support/testfiles.h"

#include <cmath>
#include <numbers>

namespace jbx::testing {

Bytes MakeWave(const WaveSpec& spec)
{
    const std::uint32_t bytesPerSample = std::uint32_t(spec.bits / 8);
    Bytes data;
    for (const std::int16_t s : spec.samples) {
        if (spec.bits == 8)
            data.push_back(std::uint8_t((s >> 8) + 128));
        else
            PutLE16(data, std::uint16_t(s));
    }
    const std::uint32_t dataLength = spec.dataLength.value_or(std::uint32_t(data.size()));
    const std::uint32_t blockAlign = bytesPerSample * std::uint32_t(spec.channels);

    Bytes image;
    PutText(image, "RIFF");
    PutLE32(image, 36 + std::uint32_t(data.size() + data.size() % 2));
    PutText(image, "WAVEfmt ");
    PutLE32(image, 16);
    PutLE16(image, 1);
    PutLE16(image, std::uint16_t(spec.channels));
    PutLE32(image, std::uint32_t(spec.rate));
    PutLE32(image, std::uint32_t(spec.rate) * blockAlign);
    PutLE16(image, std::uint16_t(blockAlign));
    PutLE16(image, std::uint16_t(spec.bits));
    PutText(image, "data");
    PutLE32(image, dataLength);
    image.insert(image.end(), data.begin(), data.end());
    if (data.size() % 2 != 0)
        image.push_back(0);
    return image;
}

std::vector<std::int16_t> Tone(int rate, int channels, double hertz, double seconds)
{
    const auto frames = std::size_t(std::lround(rate * seconds));
    std::vector<std::int16_t> samples;
    samples.reserve(frames * std::size_t(channels));
    for (std::size_t f = 0; f < frames; ++f) {
        const double value = 16384.0 * std::sin(2.0 * std::numbers::pi * hertz * double(f) / rate);
        for (int c = 0; c < channels; ++c)
            samples.push_back(std::int16_t(std::lround(value)));
    }
    return samples;
}

Bytes ToneWave(int rate, int channels, int bits, double hertz, double seconds)
{
    return MakeWave({rate, channels, bits, Tone(rate, channels, hertz, seconds), std::nullopt});
}

Bytes SunAudio(int rate, const std::vector<std::int16_t>& samples)
{
    Bytes au;
    const auto putBE32 = [&au](std::uint32_t value) {
        for (int shift = 24; shift >= 0; shift -= 8)
            au.push_back(std::uint8_t(value >> shift));
    };
    PutText(au, ".snd");
    putBE32(24);                                    // header length
    putBE32(std::uint32_t(samples.size() * 2));     // data length
    putBE32(3);                                     // 16-bit linear
    putBE32(std::uint32_t(rate));
    putBE32(1);                                     // channels
    for (const std::int16_t s : samples) {
        au.push_back(std::uint8_t(std::uint16_t(s) >> 8));
        au.push_back(std::uint8_t(s));
    }
    return au;
}

} // namespace jbx::testing
