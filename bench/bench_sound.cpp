// Decoding a 3-minute MP3 into a slot, as Replace does (the sound read through
// the one open file into the slot's buffer), against ffmpeg decoding the same
// file to a WAVE file, both measured in this run; the ratio of the two is
// printed at the end. The MP3 is made by ffmpeg when the benchmark starts.

#include "audio/soundinput.h"
#include "seam/filesystem.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

const fs::path& Folder()
{
    static const fs::path folder = [] {
        const fs::path path = fs::temp_directory_path() / ("bench-sound-" + std::to_string(std::random_device()()));
        fs::create_directories(path);
        return path;
    }();
    return folder;
}

bool Run(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

// Three minutes of stereo noise at 44.1 kHz and 128 kbit/s: noise, unlike a
// tone, keeps the encoder's frames full.
const std::string& Mp3()
{
    static const std::string path = [] {
        const std::string mp3 = (Folder() / "sound.mp3").string();
        const bool made = Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i "
                              "\"anoisesrc=duration=180:sample_rate=44100:amplitude=0.3:seed=1\" "
                              "-af \"pan=stereo|c0=c0|c1=-0.5*c0\" -c:a libmp3lame -b:a 128k \""
            + mp3 + "\"");
        return made ? mp3 : std::string();
    }();
    return path;
}

void BM_ReadSoundMp3(benchmark::State& state)
{
    if (Mp3().empty()) {
        state.SkipWithError("ffmpeg could not make the MP3");
        return;
    }
    jbx::bench::SilentDesktop desktop;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        const auto file = jbx::InputFile::open(Mp3());
        if (!file) {
            state.SkipWithError("the MP3 could not be opened");
            return;
        }
        const jbx::SoundRead read = jbx::ReadSound({desktop}, *file);
        if (read.result != jbx::SoundReadResult::Read || read.kind != jbx::SoundKind::Decoded) {
            state.SkipWithError(("the MP3 was not decoded: " + read.why).c_str());
            return;
        }
        bytes = read.size;
        benchmark::DoNotOptimize(read.buffer.data());
    }
    state.counters["image_bytes"] = double(bytes);
}
BENCHMARK(BM_ReadSoundMp3)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

void BM_FfmpegToWave(benchmark::State& state)
{
    if (Mp3().empty()) {
        state.SkipWithError("ffmpeg could not make the MP3");
        return;
    }
    const std::string wave = (Folder() / "sound.wav").string();
    const std::string command = "ffmpeg -nostdin -loglevel error -y -i \"" + Mp3() + "\" \"" + wave + "\"";
    for (auto _ : state) {
        if (!Run(command)) {
            state.SkipWithError("ffmpeg failed");
            return;
        }
    }
}
BENCHMARK(BM_FfmpegToWave)->Unit(benchmark::kMillisecond)->MinTime(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    jbx::bench::RatioReporter reporter;
    if (!jbx::bench::RunBenchmarks(argc, argv, reporter))
        return 1;
    reporter.compare("BM_ReadSoundMp3", "BM_FfmpegToWave", "ffmpeg -i x.mp3 x.wav", 1.2);
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
    return 0;
}
