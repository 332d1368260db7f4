// Converting a 100 MB voice file against a memcpy of the same bytes, both
// measured in this run; the ratio of the two is printed at the end.

#include "audio/voiceconvert.h"
#include "bank/bytes.h"
#include "bank/soundbank.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kVoiceFileBytes = std::size_t(100) << 20;
constexpr std::uint32_t kContinuationBody = 4096;

// The conversion of a well-formed file asks nothing; a message means the
// file is not what the benchmark meant to measure.
class QuietDesktop : public jbx::Desktop {
public:
    jbx::MessageAnswer showMessage(const jbx::Message&) override
    {
        ++messages;
        return jbx::MessageAnswer::No;
    }
    jbx::UnknownBlockChoice askUnknownBlock(const jbx::UnknownBlockDetails&, jbx::Owner) override
    {
        ++messages;
        return jbx::UnknownBlockChoice::StopConversion;
    }
    std::optional<jbx::ChosenFile> chooseFile(const jbx::FileDialogRequest&) override { return std::nullopt; }
    void playSound(jbx::SoundData) override {}
    bool shiftHeld() const override { return false; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}

    int messages = 0;
};

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
    QuietDesktop desktop;
    jbx::Session session(desktop);
    std::int32_t size = 0;
    for (auto _ : state) {
        size = std::int32_t(input.size());
        jbx::ConvertVoiceFile(session, output, input, size, nullptr);
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

// Keeps each benchmark's bytes per second (the mean when repeated).
class RateReporter : public benchmark::ConsoleReporter {
public:
    RateReporter() : ConsoleReporter(OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("bytes_per_second");
            if (run.error_occurred || rate == run.counters.end())
                continue;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "mean")
                continue;
            rates[run.run_name.function_name] = rate->second.value;
        }
    }

    std::map<std::string, double> rates;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto convert = reporter.rates.find("BM_ConvertVoiceFile");
    const auto copy = reporter.rates.find("BM_Memcpy");
    if (convert != reporter.rates.end() && copy != reporter.rates.end() && convert->second > 0) {
        std::printf("ConvertVoiceFile takes %.2fx the time of memcpy (target: at most 2x)\n",
            copy->second / convert->second);
    }
    return 0;
}
