#include "seam/sounddecoder.h"

#include "seam/decodedlength.h"
#include "seam/filesystem.h"

#include <dlfcn.h>
#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace jbx {

namespace {

// libsndfile and the codecs it pulls in cost every run a few milliseconds to
// load, which most runs never need: it is loaded at the first file that asks
// for it. Each function keeps the header's own type.
struct Sndfile {
    decltype(&sf_open_virtual) openVirtual = nullptr;
    decltype(&sf_readf_short) readFrames = nullptr;
    decltype(&sf_error) error = nullptr;
    decltype(&sf_strerror) errorText = nullptr;
    decltype(&sf_close) close = nullptr;
};

const Sndfile* LoadSndfile()
{
    static const std::optional<Sndfile> loaded = []() -> std::optional<Sndfile> {
        void* library = dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return std::nullopt;
        const auto symbol = [library](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
            return function != nullptr;
        };
        Sndfile f;
        if (!symbol(f.openVirtual, "sf_open_virtual") || !symbol(f.readFrames, "sf_readf_short")
            || !symbol(f.error, "sf_error") || !symbol(f.errorText, "sf_strerror") || !symbol(f.close, "sf_close"))
            return std::nullopt;
        return f;
    }();
    return loaded ? &*loaded : nullptr;
}

// libsndfile reads through the open file, never by name: a pipe, whose bytes
// the file holds, decodes as well as a file on the disk.
sf_count_t Length(void* file)
{
    return static_cast<InputFile*>(file)->size();
}

sf_count_t Seek(sf_count_t offset, int whence, void* user)
{
    auto* file = static_cast<InputFile*>(user);
    const std::int64_t base = whence == SEEK_CUR ? file->position() : whence == SEEK_END ? file->size() : 0;
    // A decoder asking for a place outside the file is answered with an
    // error, not moved to the end.
    if ((offset < 0 && base < -offset) || (offset > 0 && offset > file->size() - base))
        return -1;
    file->seek(base + offset);
    return file->position();
}

sf_count_t Read(void* into, sf_count_t count, void* file)
{
    return sf_count_t(static_cast<InputFile*>(file)->read(into, std::size_t(std::max<sf_count_t>(count, 0))));
}

sf_count_t Write(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t Tell(void* file)
{
    return static_cast<InputFile*>(file)->position();
}

struct Closer {
    const Sndfile* sndfile;
    void operator()(SNDFILE* file) const { sndfile->close(file); }
};

} // namespace

std::string_view DecodedFormats()
{
    return "FLAC, Ogg Vorbis, Opus and MP3";
}

std::string_view DecodedPatterns()
{
    return "*.flac;*.ogg;*.oga;*.opus;*.mp3";
}

DecodeResult DecodeSound(InputFile& file, Bytes& samples, std::uint64_t byteLimit)
{
    DecodeResult result;
    const Sndfile* sndfile = LoadSndfile();
    if (!sndfile) {
        result.status = DecodeStatus::NoDecoder;
        result.why = "libsndfile could not be loaded";
        return result;
    }
    file.seek(0);
    SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, Closer> sound(sndfile->openVirtual(&io, SFM_READ, &info, &file), Closer{sndfile});
    if (!sound) {
        // Past its first bytes, a format the decoder knows that it cannot
        // open is a damaged file of that format.
        const int error = sndfile->error(nullptr);
        if (error != SF_ERR_UNRECOGNISED_FORMAT && error != SF_ERR_UNSUPPORTED_ENCODING) {
            result.status = DecodeStatus::Damaged;
            result.why = "the decoder cannot open it";
        }
        return result;
    }
    if (info.channels < 1 || info.channels > 0xFFFF || info.samplerate < 1)
        return result;
    result.channels = std::uint16_t(info.channels);
    result.sampleRate = std::uint32_t(info.samplerate);

    const std::size_t kept = samples.size();
    const std::size_t frameBytes = std::size_t(info.channels) * 2;
    constexpr sf_count_t kFramesAtOnce = 16384;
    std::vector<std::int16_t> piece(std::size_t(kFramesAtOnce) * std::size_t(info.channels));
    sf_count_t frames = 0;
    for (;;) {
        const sf_count_t got = sndfile->readFrames(sound.get(), piece.data(), kFramesAtOnce);
        if (got <= 0)
            break;
        const std::size_t bytes = std::size_t(got) * frameBytes;
        if (samples.size() - kept + bytes > byteLimit) {
            samples.resize(kept);
            result.status = DecodeStatus::TooLong;
            return result;
        }
        const std::size_t at = samples.size();
        samples.resize(at + bytes);
        for (std::size_t i = 0; i < bytes / 2; ++i)
            WriteLE16(samples.data() + at + 2 * i, std::uint16_t(piece[i]));
        frames += got;
    }
    // A decoder error, or a sound that stops clearly short of the length its
    // header gives, is a damaged file: half a sound stored without a word
    // would be found out only in the game. An Ogg file whose length cannot
    // be found has lost its end.
    const sf_count_t promised = info.frames;
    const bool unknownLength = promised <= 0 || promised == SF_COUNT_MAX;
    if (sndfile->error(sound.get()) != SF_ERR_NO_ERROR)
        result.why = std::string("the decoder reports: ") + sndfile->errorText(sound.get());
    else if (unknownLength && (info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG)
        result.why = "its end is missing";
    else if (!unknownLength)
        result.why = ShortSoundReason(std::uint64_t(frames), std::uint64_t(promised), result.sampleRate);
    if (result.why.empty() && frames == 0)
        result.why = "the decoder found no sound in it";
    if (!result.why.empty()) {
        samples.resize(kept);
        result.status = DecodeStatus::Damaged;
        return result;
    }
    result.status = DecodeStatus::Decoded;
    return result;
}

} // namespace jbx
