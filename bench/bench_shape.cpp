// The Sound window's peak summary of a 30 s, 44.1 kHz, 16-bit stereo sound
// over 800 columns, against a plain pass summing the same samples, both
// measured in this run; the ratio of the two is printed at the end.

#include "audio/reshape.h"
#include "audio/shape.h"
#include "seam/bytes.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

namespace {

constexpr std::uint32_t kRate = 44100;
constexpr std::uint32_t kFrames = 30 * kRate;
constexpr std::uint16_t kChannels = 2;
constexpr std::size_t kColumns = 800;

// Noise, so that no column's extremes are where a pass could guess them.
const jbx::Bytes& Sound()
{
    static const jbx::Bytes image = [] {
        const std::uint32_t dataBytes = kFrames * kChannels * 2;
        jbx::Bytes out(44 + dataBytes);
        jbx::WritePcmWaveHeader(out.data(), kChannels, kRate, 16, dataBytes);
        std::mt19937 random(1);
        for (std::size_t i = 44; i < out.size(); i += 2)
            jbx::WriteLE16(out.data() + i, std::uint16_t(random()));
        return out;
    }();
    return image;
}

void BM_SoundPeaks(benchmark::State& state)
{
    for (auto _ : state) {
        const auto summary = jbx::SoundPeaks(Sound(), kColumns);
        if (!summary || summary->frames != kFrames) {
            state.SkipWithError("the sound was not summarised");
            return;
        }
        benchmark::DoNotOptimize(summary->peaks.data());
    }
}
BENCHMARK(BM_SoundPeaks)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

void BM_SumSamples(benchmark::State& state)
{
    const std::uint8_t* data = Sound().data() + 44;
    const std::size_t samples = std::size_t(kFrames) * kChannels;
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (std::size_t i = 0; i < samples; ++i)
            sum += std::int16_t(jbx::ReadLE16(data + 2 * i));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_SumSamples)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    jbx::bench::RatioReporter reporter;
    if (!jbx::bench::RunBenchmarks(argc, argv, reporter))
        return 1;
    reporter.compare("BM_SoundPeaks", "BM_SumSamples", "summing the same samples", 1.5);
    return 0;
}
