#include "qt/player/pcm.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace jbx {

namespace {

// A read-only file over bytes in memory, for libsndfile's virtual I/O. The
// position never leaves [0, size], so every read stays inside the span.
struct MemoryFile {
    std::span<const std::uint8_t> bytes;
    sf_count_t position = 0;

    sf_count_t size() const { return sf_count_t(bytes.size()); }
};

sf_count_t MemoryLength(void* user)
{
    return static_cast<MemoryFile*>(user)->size();
}

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user)
{
    auto& file = *static_cast<MemoryFile*>(user);
    sf_count_t base = 0;
    switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = file.position; break;
    case SEEK_END: base = file.size(); break;
    default: return -1;
    }
    // Both base and size are within [0, size], so these comparisons cannot wrap.
    if (offset < -base || offset > file.size() - base)
        return -1;
    file.position = base + offset;
    return file.position;
}

sf_count_t MemoryRead(void* destination, sf_count_t count, void* user)
{
    auto& file = *static_cast<MemoryFile*>(user);
    if (count <= 0)
        return 0;
    const sf_count_t n = std::min(count, file.size() - file.position);
    std::memcpy(destination, file.bytes.data() + file.position, std::size_t(n));
    file.position += n;
    return n;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t MemoryTell(void* user)
{
    return static_cast<MemoryFile*>(user)->position;
}

struct SndfileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

bool IsWave(int format)
{
    const int container = format & SF_FORMAT_TYPEMASK;
    return container == SF_FORMAT_WAV || container == SF_FORMAT_WAVEX;
}

// pcm with its channels mixed to channels, at its own rate.
Pcm Remix(const Pcm& pcm, int channels)
{
    if (pcm.channels == channels)
        return pcm;
    Pcm out{pcm.sampleRate, channels, {}};
    const std::size_t frames = std::min(pcm.frames(), kMaxPcmSamples / std::size_t(channels));
    out.samples.resize(frames * std::size_t(channels));
    const std::size_t in = std::size_t(pcm.channels);
    const std::size_t outChannels = std::size_t(channels);
    for (std::size_t f = 0; f < frames; ++f) {
        const std::int16_t* from = pcm.samples.data() + f * in;
        std::int16_t* to = out.samples.data() + f * outChannels;
        if (outChannels == 1) {
            long sum = 0;
            for (std::size_t c = 0; c < in; ++c)
                sum += from[c];
            to[0] = std::int16_t(sum / long(in));
        } else {
            for (std::size_t c = 0; c < outChannels; ++c)
                to[c] = from[std::min(c, in - 1)];
        }
    }
    return out;
}

Pcm Resample(const Pcm& pcm, int rate)
{
    if (pcm.sampleRate == rate || pcm.frames() == 0)
        return Pcm{rate, pcm.channels, pcm.samples};
    const std::size_t channels = std::size_t(pcm.channels);
    const std::size_t inFrames = pcm.frames();
    const std::uint64_t wanted = std::uint64_t(inFrames) * std::uint64_t(rate) / std::uint64_t(pcm.sampleRate);
    const std::size_t outFrames = std::size_t(std::min<std::uint64_t>(wanted, kMaxPcmSamples / channels));
    Pcm out{rate, pcm.channels, {}};
    out.samples.resize(outFrames * channels);
    const double step = double(pcm.sampleRate) / double(rate);
    for (std::size_t f = 0; f < outFrames; ++f) {
        const double position = double(f) * step;
        const std::size_t i = std::min(std::size_t(position), inFrames - 1);
        const std::size_t next = std::min(i + 1, inFrames - 1);
        const double weight = position - double(i);
        for (std::size_t c = 0; c < channels; ++c) {
            const double a = pcm.samples[i * channels + c];
            const double b = pcm.samples[next * channels + c];
            out.samples[f * channels + c] = std::int16_t(a + (b - a) * weight);
        }
    }
    return out;
}

template <typename T>
void Append(Bytes& out, T value)
{
    std::uint8_t raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    out.insert(out.end(), raw, raw + sizeof(T));
}

} // namespace

std::optional<Pcm> DecodeWave(std::span<const std::uint8_t> image)
{
    if (image.empty())
        return std::nullopt;

    MemoryFile file{image, 0};
    SF_VIRTUAL_IO io{MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndfileCloser> sound(sf_open_virtual(&io, SFM_READ, &info, &file));
    if (!sound || !IsWave(info.format))
        return std::nullopt;
    if (info.channels < 1 || info.channels > kMaxChannels
        || info.samplerate < kMinSampleRate || info.samplerate > kMaxSampleRate)
        return std::nullopt;

    // Floating-point data may exceed full scale; let the library clip it.
    sf_command(sound.get(), SFC_SET_SCALE_FLOAT_INT_READ, nullptr, SF_TRUE);

    Pcm pcm{info.samplerate, info.channels, {}};
    const std::size_t channels = std::size_t(info.channels);
    const std::size_t maxFrames = kMaxPcmSamples / channels;
    // Read in pieces rather than trusting the header's frame count: a damaged
    // header may claim far more than the image holds.
    constexpr std::size_t kPieceFrames = 4096;
    std::vector<std::int16_t> piece(kPieceFrames * channels);
    while (pcm.frames() < maxFrames) {
        const std::size_t want = std::min(kPieceFrames, maxFrames - pcm.frames());
        const sf_count_t got = sf_readf_short(sound.get(), piece.data(), sf_count_t(want));
        if (got <= 0)
            break;
        pcm.samples.insert(pcm.samples.end(), piece.begin(), piece.begin() + std::ptrdiff_t(std::size_t(got) * channels));
    }
    if (pcm.samples.empty())
        return std::nullopt;
    return pcm;
}

Pcm ConvertPcm(const Pcm& pcm, int rate, int channels)
{
    return Resample(Remix(pcm, channels), rate);
}

Bytes EncodeSamples(const Pcm& pcm, OutputSampleFormat sampleFormat)
{
    Bytes out;
    switch (sampleFormat) {
    case OutputSampleFormat::Unsigned8:
        out.reserve(pcm.samples.size());
        for (const std::int16_t s : pcm.samples)
            out.push_back(std::uint8_t((s >> 8) + 128));
        break;
    case OutputSampleFormat::Signed16:
        out.reserve(pcm.samples.size() * 2);
        for (const std::int16_t s : pcm.samples)
            Append(out, s);
        break;
    case OutputSampleFormat::Signed32:
        out.reserve(pcm.samples.size() * 4);
        for (const std::int16_t s : pcm.samples)
            Append(out, std::int32_t(s) * 65536);
        break;
    case OutputSampleFormat::Float32:
        out.reserve(pcm.samples.size() * 4);
        for (const std::int16_t s : pcm.samples)
            Append(out, float(s) / 32768.0f);
        break;
    }
    return out;
}

} // namespace jbx
