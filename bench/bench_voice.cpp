// Converting a 100 MB voice file against a memcpy of the same bytes, both
// measured in this run; the ratio of the two is printed at the end.

#include "audio/voiceconvert.h"
#include "seam/bytes.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kVoiceFileBytes = std::size_t(100) << 20;
constexpr std::uint32_t kContinuationBody = 4096;

void PutBlockHeader(jbx::Bytes& file, std::uint8_t type, std::uint32_t length)
{
    file.push_back(type);
    file.push_back(std::uint8_t(length));
    file.push_back(std::uint8_t(length >> 8));
    file.push_back(std::uint8_t(length >> 16));
}

// A version 1.10 file: one type 1 block for the format, then type 2 blocks
// up to about 100 MB, then a terminator.
const jbx::Bytes& VoiceFile()
{
    static const jbx::Bytes file = [] {
        jbx::Bytes f;
        f.reserve(kVoiceFileBytes);
        const char signature[] = "Creative Voice File\x1a";
        f.insert(f.end(), signature, signature + 20);
        f.insert(f.end(), {26, 0, 10, 1, 0x29, 0x11});
        std::uint8_t sample = 0;
        PutBlockHeader(f, 1, 2 + kContinuationBody);
        f.insert(f.end(), {166, 0});
        for (std::uint32_t i = 0; i < kContinuationBody; ++i)
            f.push_back(sample++);
        while (kVoiceFileBytes - f.size() > 4 + kContinuationBody + 1) {
            PutBlockHeader(f, 2, kContinuationBody);
            for (std::uint32_t i = 0; i < kContinuationBody; ++i)
                f.push_back(sample++);
        }
        f.push_back(0);
        return f;
    }();
    return file;
}

void BM_ConvertVoiceFile(benchmark::State& state)
{
    const jbx::Bytes& input = VoiceFile();
    jbx::Bytes output(input.size() + jbx::kWaveImageSlack, 0);
    jbx::bench::SilentDesktop desktop;
    std::int32_t size = 0;
    for (auto _ : state) {
        size = std::int32_t(input.size());
        jbx::ConvertVoiceFile({desktop}, output, input, size);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    if (desktop.messages != 0 || size < 43 || std::size_t(size) >= output.size())
        state.SkipWithError("the conversion did not build an image");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(input.size()));
}
BENCHMARK(BM_ConvertVoiceFile)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state)
{
    const jbx::Bytes& input = VoiceFile();
    jbx::Bytes output(input.size(), 0);
    for (auto _ : state) {
        std::memcpy(output.data(), input.data(), input.size());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(input.size()));
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    jbx::bench::RatioReporter reporter;
    if (!jbx::bench::RunBenchmarks(argc, argv, reporter))
        return 1;
    reporter.compare("BM_ConvertVoiceFile", "BM_Memcpy", "memcpy", 2.0);
    return 0;
}
