#include "cli/sounddecoder.h"

#include "audio/reshape.h"

#include <cstdint>
#include <limits>
#include <vector>

#ifndef _WIN32
#include <dlfcn.h>
#include <sndfile.h>
#endif

namespace jbx {

#ifdef _WIN32

std::string_view DecodedFormats()
{
    return {};
}

std::optional<Bytes> DecodeSoundFile(const std::string&, std::string& why)
{
    why.clear();
    return std::nullopt;
}

#else

namespace {

// libsndfile and the codecs it pulls in cost every run a few milliseconds to
// load, which most commands never need: it is loaded at the first file that
// asks for it. Each function keeps the header's own type.
struct Sndfile {
    decltype(&sf_open) open = nullptr;
    decltype(&sf_readf_short) readFrames = nullptr;
    decltype(&sf_close) close = nullptr;
};

const Sndfile* LoadSndfile()
{
    static const std::optional<Sndfile> loaded = []() -> std::optional<Sndfile> {
        void* library = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return std::nullopt;
        Sndfile functions;
        functions.open = reinterpret_cast<decltype(&sf_open)>(dlsym(library, "sf_open"));
        functions.readFrames = reinterpret_cast<decltype(&sf_readf_short)>(dlsym(library, "sf_readf_short"));
        functions.close = reinterpret_cast<decltype(&sf_close)>(dlsym(library, "sf_close"));
        if (!functions.open || !functions.readFrames || !functions.close)
            return std::nullopt;
        return functions;
    }();
    return loaded ? &*loaded : nullptr;
}

// The most sample bytes a slot's 32-bit size leaves room for behind the
// image's header.
constexpr std::size_t kSampleByteLimit = std::size_t(std::numeric_limits<std::int32_t>::max()) - 44;

} // namespace

std::string_view DecodedFormats()
{
    return "FLAC, Ogg Vorbis, Opus and MP3";
}

std::optional<Bytes> DecodeSoundFile(const std::string& path, std::string& why)
{
    why.clear();
    const Sndfile* sndfile = LoadSndfile();
    if (!sndfile) {
        why = "libsndfile could not be loaded";
        return std::nullopt;
    }
    SF_INFO info{};
    SNDFILE* file = sndfile->open(path.c_str(), SFM_READ, &info);
    if (!file)
        return std::nullopt;
    if (info.channels < 1 || info.channels > 0xFFFF || info.samplerate < 1) {
        sndfile->close(file);
        return std::nullopt;
    }
    // The header's frame count is not trusted with memory: the samples
    // grow as they arrive, up to what a slot can hold.
    const std::size_t channels = std::size_t(info.channels);
    constexpr sf_count_t kFramesAtOnce = 16384;
    std::vector<std::int16_t> samples;
    std::vector<std::int16_t> piece(std::size_t(kFramesAtOnce) * channels);
    for (;;) {
        const sf_count_t got = sndfile->readFrames(file, piece.data(), kFramesAtOnce);
        if (got <= 0)
            break;
        if ((samples.size() + std::size_t(got) * channels) * sizeof(std::int16_t) > kSampleByteLimit) {
            sndfile->close(file);
            why = "its sound is too long for a slot";
            return std::nullopt;
        }
        samples.insert(samples.end(), piece.begin(), piece.begin() + std::ptrdiff_t(std::size_t(got) * channels));
    }
    sndfile->close(file);
    return PcmWaveImage(samples, std::uint16_t(channels), std::uint32_t(info.samplerate));
}

#endif

} // namespace jbx
