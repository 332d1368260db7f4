// Any bytes come in through the one way in for sound files, from a file on the disk and through a pipe, with the
// system's decoder loaded: both readings agree byte for byte, a WAVE is taken as it stands and a voice file gives
// just what its conversion gives, so the editor's slots hold what they always held; a decoded sound is a 16-bit PCM
// WAVE image within a slot's limit, and a refusal leaves nothing behind.

#include "audio/soundinput.h"
#include "audio/voiceconvert.h"
#include "audio/wavefile.h"
#include "audio/waveimage.h"
#include "seam/filesystem.h"
#include "fuzz/fuzzdesktop.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <thread>

namespace {

struct Reading {
    jbx::SoundRead read;
    std::string log;   // the desktop's questions and answers
};

Reading ReadFrom(std::unique_ptr<jbx::InputFile> file, unsigned seed)
{
    FUZZ_CHECK(file);
    FuzzDesktop desktop(seed);
    Reading reading{jbx::ReadSound({desktop, 1}, *file), {}};
    reading.log = desktop.log;
    return reading;
}

// The bytes fed through a pipe by a thread of their own, as a shell's `cat x |` would, so that an input longer than
// the pipe's buffer does not block. libFuzzer's timeout alarm is held off meanwhile: a signal breaks a pipe read
// (stdio gives up on EINTR), which would fail the open for the fuzzer's sake.
std::unique_ptr<jbx::InputFile> OpenPiped(std::span<const std::uint8_t> input)
{
    sigset_t alarm, before;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    FUZZ_CHECK(pthread_sigmask(SIG_BLOCK, &alarm, &before) == 0);
    int ends[2];
    FUZZ_CHECK(pipe(ends) == 0);
    std::thread writer([input, in = ends[1]] {
        for (std::size_t at = 0; at < input.size();) {
            const ssize_t n = write(in, input.data() + at, input.size() - at);
            FUZZ_CHECK(n > 0);
            at += std::size_t(n);
        }
        close(in);
    });
    auto file = jbx::InputFile::open("/dev/fd/" + std::to_string(ends[0]));
    writer.join();
    close(ends[0]);
    FUZZ_CHECK(pthread_sigmask(SIG_SETMASK, &before, nullptr) == 0);
    return file;
}

void CheckDecoded(const jbx::SoundRead& read)
{
    // The image and the pad byte, within what a slot's 32-bit size holds.
    FUZZ_CHECK(read.size > std::int32_t(jbx::kWaveHeaderSize));
    FUZZ_CHECK(read.buffer.size() == std::size_t(read.size) + 1 && read.buffer.back() == jbx::kPadByte);
    const jbx::Bytes image(read.buffer.begin(), read.buffer.end() - 1);
    const auto format = jbx::ReadWaveFormat(image);
    FUZZ_CHECK(format && format->encoding == jbx::SampleEncoding::Pcm && format->bitsPerSample == 16);
    FUZZ_CHECK(format->channels >= 1 && format->sampleRate >= 1 && format->sizesFit);
    FUZZ_CHECK(format->dataOffset == jbx::kWaveHeaderSize && format->dataLength == image.size() - jbx::kWaveHeaderSize);
    FUZZ_CHECK(format->dataLength % (2u * format->channels) == 0);
    FUZZ_CHECK(jbx::WaveImageFits(image));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t length)
{
    const std::span<const std::uint8_t> input(data, length);
    const unsigned seed = length ? data[length - 1] : 0;
    const std::string path = (ScratchFolder() / "input").string();
    WriteFuzzFile(path, data, length);

    const Reading fromFile = ReadFrom(jbx::InputFile::open(path), seed);
    const Reading fromPipe = ReadFrom(OpenPiped(input), seed);
    const jbx::SoundRead& read = fromFile.read;
    FUZZ_CHECK(fromPipe.read.result == read.result && fromPipe.read.kind == read.kind);
    FUZZ_CHECK(fromPipe.read.size == read.size && fromPipe.read.buffer == read.buffer);
    FUZZ_CHECK(fromPipe.read.why == read.why && fromPipe.log == fromFile.log);

    const auto kind = jbx::SoundKindOf(input.first(std::min(length, jbx::kSoundMarkLength)));
    FUZZ_CHECK(read.kind == kind);
    // Neither a file nor a pipe of a few KB fails to read, and the decoder is there.
    FUZZ_CHECK(read.result != jbx::SoundReadResult::Unreadable && read.result != jbx::SoundReadResult::NoDecoder);
    FUZZ_CHECK(read.result != jbx::SoundReadResult::OutOfMemory);
    if (read.result != jbx::SoundReadResult::Read)
        FUZZ_CHECK(read.buffer.empty());
    // Only a voice file asks anything.
    if (kind != jbx::SoundKind::Voice)
        FUZZ_CHECK(fromFile.log.empty());

    switch (kind) {
    case jbx::SoundKind::Wave:
    case jbx::SoundKind::AsItStands: {
        FUZZ_CHECK(read.result == jbx::SoundReadResult::Read && read.size == std::int32_t(length));
        jbx::Bytes padded(input.begin(), input.end());
        padded.push_back(jbx::kPadByte);
        FUZZ_CHECK(read.buffer == padded);
        break;
    }
    case jbx::SoundKind::Voice: {
        // The slot's buffer the conversion has always filled, with the same answers.
        FuzzDesktop desktop(seed);
        jbx::Bytes converted(length + jbx::kWaveImageSlack, 0);
        std::int32_t size = std::int32_t(length);
        const bool done = jbx::ConvertVoiceFile({desktop, 1}, converted, input, size) == jbx::ConvertResult::Converted;
        FUZZ_CHECK(desktop.log == fromFile.log);
        FUZZ_CHECK(read.result == (done ? jbx::SoundReadResult::Read : jbx::SoundReadResult::NotConverted));
        if (done)
            FUZZ_CHECK(read.size == size && read.buffer == converted);
        break;
    }
    case jbx::SoundKind::Decoded:
        FUZZ_CHECK(read.result == jbx::SoundReadResult::Read || read.result == jbx::SoundReadResult::NotASound
            || read.result == jbx::SoundReadResult::Damaged || read.result == jbx::SoundReadResult::TooLarge);
        if (read.result == jbx::SoundReadResult::Read)
            CheckDecoded(read);
        else if (read.result == jbx::SoundReadResult::Damaged)
            FUZZ_CHECK(!read.why.empty());
        break;
    }
    return 0;
}
