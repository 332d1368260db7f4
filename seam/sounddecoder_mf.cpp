#include "seam/sounddecoder.h"

#include "seam/decodedlength.h"
#include "seam/filesystem.h"

#include <windows.h>

#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cstdio>
#include <mutex>
#include <utility>

// Media Foundation's Source Reader. mfplat and mfreadwrite, with the codecs
// they bring in, are megabytes that a session which decodes nothing should
// not load, and COM comes with them: every function is taken from the
// system folder when a sound is first decoded, never linked.

namespace jbx {

namespace {

// Missing from MinGW's headers; as Windows declares it.
using CreateByteStreamOnStream = HRESULT WINAPI(IStream* stream, IMFByteStream** byteStream);

struct MediaFoundation {
    decltype(CoInitializeEx)* coInitializeEx = nullptr;
    decltype(CoUninitialize)* coUninitialize = nullptr;
    decltype(MFStartup)* startup = nullptr;
    decltype(MFShutdown)* shutdown = nullptr;
    decltype(MFCreateMediaType)* createMediaType = nullptr;
    CreateByteStreamOnStream* createByteStreamOnStream = nullptr;
    decltype(MFCreateSourceResolver)* createSourceResolver = nullptr;
    decltype(MFCreateSourceReaderFromMediaSource)* createSourceReader = nullptr;
    std::string missing;   // what could not be had, empty when all could
};

template <typename Function>
bool Find(Function*& function, const wchar_t* library, const char* libraryName, const char* name,
          std::string& missing)
{
    // Loaded once and never freed: Media Foundation's work queues may outlive
    // a call by a moment.
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) {
        missing = std::string(libraryName) + " could not be loaded";
        return false;
    }
    const FARPROC found = GetProcAddress(module, name);
    if (!found) {
        missing = std::string(libraryName) + " has no " + name;
        return false;
    }
    // Through void (*)(), which converts to any function pointer unwarned.
    function = reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(found));
    return true;
}

const MediaFoundation& LoadMediaFoundation()
{
    static const MediaFoundation loaded = [] {
        MediaFoundation mf;
        std::string& missing = mf.missing;
        Find(mf.coInitializeEx, L"ole32.dll", "ole32.dll", "CoInitializeEx", missing)
            && Find(mf.coUninitialize, L"ole32.dll", "ole32.dll", "CoUninitialize", missing)
            && Find(mf.startup, L"mfplat.dll", "mfplat.dll", "MFStartup", missing)
            && Find(mf.shutdown, L"mfplat.dll", "mfplat.dll", "MFShutdown", missing)
            && Find(mf.createMediaType, L"mfplat.dll", "mfplat.dll", "MFCreateMediaType", missing)
            && Find(mf.createByteStreamOnStream, L"mfplat.dll", "mfplat.dll", "MFCreateMFByteStreamOnStream", missing)
            && Find(mf.createSourceResolver, L"mfplat.dll", "mfplat.dll", "MFCreateSourceResolver", missing)
            && Find(mf.createSourceReader, L"mfreadwrite.dll", "mfreadwrite.dll",
                    "MFCreateSourceReaderFromMediaSource", missing);
        return mf;
    }();
    return loaded;
}

// An owned COM pointer, released when it goes.
template <typename Interface>
class Com {
public:
    Com() = default;
    ~Com() { reset(); }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;

    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    Interface** put()
    {
        reset();
        return &pointer_;
    }
    void reset()
    {
        if (pointer_)
            pointer_->Release();
        pointer_ = nullptr;
    }

private:
    Interface* pointer_ = nullptr;
};

// The open file as a read-only IStream, the one kind of stream Media
// Foundation wraps as its byte stream for us. Its reads come from Media
// Foundation's own threads, so they take turns; and as a reference may be
// kept past the call, the file is let go of when the call ends, after
// which every read fails.
class FileStream final : public IStream {
public:
    explicit FileStream(InputFile& file) : file_(&file) {}

    void release()
    {
        const std::lock_guard<std::mutex> held(lock_);
        file_ = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) || IsEqualIID(iid, IID_IStream)) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Read(void* destination, ULONG n, ULONG* read) override
    {
        const std::lock_guard<std::mutex> held(lock_);
        if (read)
            *read = 0;
        if (!file_)
            return E_UNEXPECTED;
        if (!destination)
            return STG_E_INVALIDPOINTER;
        ULONG arrived = 0;
        if (position_ < file_->size()) {
            file_->seek(position_);
            arrived = ULONG(file_->read(destination, n));
        }
        position_ += arrived;
        if (read)
            *read = arrived;
        return arrived == n ? S_OK : S_FALSE;
    }

    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* result) override
    {
        const std::lock_guard<std::mutex> held(lock_);
        if (!file_)
            return E_UNEXPECTED;
        std::int64_t base = 0;
        switch (origin) {
        case STREAM_SEEK_SET: base = 0; break;
        case STREAM_SEEK_CUR: base = position_; break;
        case STREAM_SEEK_END: base = file_->size(); break;
        default: return STG_E_INVALIDFUNCTION;
        }
        if (move.QuadPart < -base)
            return STG_E_INVALIDFUNCTION;
        position_ = base + move.QuadPart;
        if (result)
            result->QuadPart = ULONGLONG(position_);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override
    {
        const std::lock_guard<std::mutex> held(lock_);
        if (!file_)
            return E_UNEXPECTED;
        if (!stat)
            return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = ULONGLONG(file_->size());
        stat->grfMode = STGM_READ;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override
    {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~FileStream() = default;

    std::mutex lock_;
    std::atomic<ULONG> references_{1};
    InputFile* file_;
    std::int64_t position_ = 0;
};

// Media Foundation started, and COM on this thread where it was not already,
// until the object goes; release everything of it before.
class Session {
public:
    explicit Session(const MediaFoundation& mf) : mf_(mf)
    {
        // A thread that already has COM in the other model keeps it:
        // Media Foundation works from either.
        comStarted_ = SUCCEEDED(mf.coInitializeEx(nullptr, COINIT_MULTITHREADED));
        started_ = SUCCEEDED(status_ = mf.startup(MF_VERSION, MFSTARTUP_LITE));
    }
    ~Session()
    {
        if (started_)
            mf_.shutdown();
        if (comStarted_)
            mf_.coUninitialize();
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool started() const { return started_; }
    HRESULT status() const { return status_; }

private:
    const MediaFoundation& mf_;
    bool comStarted_ = false;
    bool started_ = false;
    HRESULT status_ = E_FAIL;
};

// Releases the stream's hold on the file when the call ends, whoever still
// holds the stream.
class StreamHold {
public:
    explicit StreamHold(FileStream* stream) : stream_(stream) {}
    ~StreamHold()
    {
        stream_->release();
        stream_->Release();
    }
    StreamHold(const StreamHold&) = delete;
    StreamHold& operator=(const StreamHold&) = delete;
    FileStream* get() const { return stream_; }

private:
    FileStream* stream_;
};

// The rate, channels and frame size of the reader's current output.
struct PcmFormat {
    std::uint32_t rate = 0;
    std::uint32_t channels = 0;
    std::uint32_t frameBytes = 0;
};

bool CurrentFormat(IMFSourceReader* reader, PcmFormat& format)
{
    Com<IMFMediaType> type;
    if (FAILED(reader->GetCurrentMediaType(DWORD(MF_SOURCE_READER_FIRST_AUDIO_STREAM), type.put())))
        return false;
    UINT32 rate = 0, channels = 0, bits = 0;
    if (FAILED(type->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate))
        || FAILED(type->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels))
        || FAILED(type->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits)))
        return false;
    if (rate == 0 || channels == 0 || channels > 0xFFFF || bits != 16)
        return false;
    format = {rate, channels, channels * 2};
    return true;
}

// A reader of the stream's sound. The file has no name here to tell the
// format by, so every handler the system has is asked, which the source
// resolver does only when told to.
bool OpenReader(const MediaFoundation& mf, IStream* stream, Com<IMFSourceReader>& reader)
{
    Com<IMFByteStream> byteStream;
    Com<IMFSourceResolver> resolver;
    MF_OBJECT_TYPE type = MF_OBJECT_INVALID;
    Com<IUnknown> object;
    Com<IMFMediaSource> source;
    if (FAILED(mf.createByteStreamOnStream(stream, byteStream.put()))
        || FAILED(mf.createSourceResolver(resolver.put()))
        || FAILED(resolver->CreateObjectFromByteStream(byteStream.get(), nullptr,
               MF_RESOLUTION_MEDIASOURCE | MF_RESOLUTION_CONTENT_DOES_NOT_HAVE_TO_MATCH_EXTENSION_OR_MIME_TYPE
                   | MF_RESOLUTION_READ,
               nullptr, &type, object.put()))
        || FAILED(object->QueryInterface(IID_IMFMediaSource, reinterpret_cast<void**>(source.put()))))
        return false;
    // Once made, the reader shuts the source down when it goes.
    if (SUCCEEDED(mf.createSourceReader(source.get(), nullptr, reader.put())))
        return true;
    source->Shutdown();
    return false;
}

// Asks for 16-bit PCM in the stream's own channels and rate.
bool AskForPcm(const MediaFoundation& mf, IMFSourceReader* reader)
{
    const DWORD audio = DWORD(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
    reader->SetStreamSelection(DWORD(MF_SOURCE_READER_ALL_STREAMS), FALSE);
    if (FAILED(reader->SetStreamSelection(audio, TRUE)))
        return false;
    Com<IMFMediaType> native;
    if (FAILED(reader->GetNativeMediaType(audio, 0, native.put())))
        return false;
    UINT32 rate = 0, channels = 0;
    native->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
    native->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);

    Com<IMFMediaType> pcm;
    if (FAILED(mf.createMediaType(pcm.put())))
        return false;
    pcm->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
    pcm->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_PCM);
    pcm->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 16);
    if (rate && channels) {
        pcm->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate);
        pcm->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, channels);
        pcm->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, channels * 2);
        pcm->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, rate * channels * 2);
    }
    return SUCCEEDED(reader->SetCurrentMediaType(audio, nullptr, pcm.get()));
}

// The length the source gives, in frames; 0 when it gives none.
std::uint64_t DeclaredFrames(IMFSourceReader* reader, std::uint32_t rate)
{
    PROPVARIANT duration;
    PropVariantInit(&duration);
    if (FAILED(reader->GetPresentationAttribute(DWORD(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION, &duration))
        || duration.vt != VT_UI8)
        return 0;
    // 100-nanosecond units.
    return duration.uhVal.QuadPart / 10'000 * rate / 1000;
}

std::uint32_t ReadBE32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

// The length in frames that an MP3's encoder wrote into its first frame
// (LAME's "Xing" or "Info" frame, which ffmpeg writes too); 0 for any other
// file. Media Foundation under Wine estimates an MP3's length from its size,
// so a file cut short would otherwise pass for a whole one.
std::uint64_t EncodedMp3Frames(InputFile& file)
{
    std::uint8_t bytes[64];
    std::int64_t offset = 0;
    file.seek(0);
    if (file.read(bytes, 10) == 10 && bytes[0] == 'I' && bytes[1] == 'D' && bytes[2] == '3') {
        const std::int64_t tagSize = std::int64_t(bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14
            | (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F);
        offset = 10 + tagSize + ((bytes[5] & 0x10) ? 10 : 0);
    }
    file.seek(offset);
    if (file.read(bytes, sizeof bytes) != sizeof bytes || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (bytes[1] >> 3) & 3;   // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
    const int layer = (bytes[1] >> 1) & 3;     // 1: layer III
    if (version == 1 || layer != 1)
        return 0;
    const bool mono = (bytes[3] >> 6) == 3;
    const int sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    const std::uint8_t* tag = bytes + 4 + sideInfo;
    if (std::memcmp(tag, "Xing", 4) != 0 && std::memcmp(tag, "Info", 4) != 0)
        return 0;
    if (!(ReadBE32(tag + 4) & 1))   // no frame count
        return 0;
    return std::uint64_t(ReadBE32(tag + 8)) * (version == 3 ? 1152 : 576);
}

// Appends the sample's bytes; false when they would pass the limit.
bool Append(IMFSample* sample, Bytes& samples, std::size_t start, std::uint64_t byteLimit, bool& failed)
{
    Com<IMFMediaBuffer> buffer;
    BYTE* data = nullptr;
    DWORD length = 0;
    if (FAILED(sample->ConvertToContiguousBuffer(buffer.put())) || FAILED(buffer->Lock(&data, nullptr, &length))) {
        failed = true;
        return true;
    }
    const bool fits = samples.size() - start + length <= byteLimit;
    if (fits)
        samples.insert(samples.end(), data, data + length);
    buffer->Unlock();
    return fits;
}

DecodeResult Decode(const MediaFoundation& mf, InputFile& file, Bytes& samples, std::uint64_t byteLimit)
{
    DecodeResult result;
    const Session session(mf);
    if (!session.started()) {
        char why[80];
        std::snprintf(why, sizeof why, "Media Foundation could not be started (error 0x%08lX)",
                      static_cast<unsigned long>(session.status()));
        return {DecodeStatus::NoDecoder, 0, 0, why};
    }

    // Read before Media Foundation reads the file on its own threads.
    const std::uint64_t encodedFrames = EncodedMp3Frames(file);
    const StreamHold stream(new FileStream(file));
    Com<IMFSourceReader> reader;
    if (!OpenReader(mf, stream.get(), reader) || !AskForPcm(mf, reader.get()))
        return result;   // Unknown
    PcmFormat format;
    if (!CurrentFormat(reader.get(), format))
        return result;

    const std::size_t start = samples.size();
    auto refuse = [&](DecodeStatus status, std::string why) {
        samples.resize(start);
        return DecodeResult{status, 0, 0, std::move(why)};
    };
    auto decodedFrames = [&] { return (samples.size() - start) / format.frameBytes; };

    for (;;) {
        DWORD flags = 0;
        Com<IMFSample> sample;
        const HRESULT read = reader->ReadSample(DWORD(MF_SOURCE_READER_FIRST_AUDIO_STREAM), 0, nullptr, &flags,
                                                nullptr, sample.put());
        if (FAILED(read) || (flags & MF_SOURCE_READERF_ERROR))
            return refuse(DecodeStatus::Damaged,
                          "the decoder failed after " + SecondsText(decodedFrames(), format.rate) + " of sound");
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) {
            // A decoder may settle its format with the first sample (a
            // stream that doubles its rate); a sound whose format changes
            // later is not one sound.
            PcmFormat changed;
            if (!CurrentFormat(reader.get(), changed)
                || (samples.size() != start && (changed.rate != format.rate || changed.channels != format.channels)))
                return refuse(DecodeStatus::Damaged,
                              "its format changes after " + SecondsText(decodedFrames(), format.rate));
            format = changed;
        }
        if (sample) {
            bool failed = false;
            if (!Append(sample.get(), samples, start, byteLimit, failed))
                return refuse(DecodeStatus::TooLong, {});
            if (failed)
                return refuse(DecodeStatus::Damaged,
                              "the decoder failed after " + SecondsText(decodedFrames(), format.rate) + " of sound");
        }
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM)
            break;
    }
    if ((samples.size() - start) % format.frameBytes != 0)
        return refuse(DecodeStatus::Damaged, "its last frame is cut");

    // Half a sound stored without a word would be found out only in the
    // game.
    const std::uint64_t frames = decodedFrames();
    const std::uint64_t declared = std::max(DeclaredFrames(reader.get(), format.rate), encodedFrames);
    if (std::string why = ShortSoundReason(frames, declared, format.rate); !why.empty())
        return refuse(DecodeStatus::Damaged, std::move(why));
    if (frames == 0)
        return refuse(DecodeStatus::Damaged, "the decoder found no sound in it");
    return {DecodeStatus::Decoded, std::uint16_t(format.channels), format.rate, {}};
}

} // namespace

DecodeResult DecodeSound(InputFile& file, Bytes& samples, std::uint64_t byteLimit)
{
    const MediaFoundation& mf = LoadMediaFoundation();
    if (!mf.missing.empty())
        return {DecodeStatus::NoDecoder, 0, 0, mf.missing};
    return Decode(mf, file, samples, byteLimit);
}

std::string_view DecodedFormats()
{
    return "MP3, FLAC, AAC, WMA, and Ogg Vorbis or Opus where the system has the codec";
}

std::string_view DecodedPatterns()
{
    return "*.flac;*.ogg;*.oga;*.opus;*.mp3;*.m4a;*.wma";
}

} // namespace jbx
