#pragma once

// What the benchmarks share: a desktop that answers nothing, a reporter
// that prints each operation's time as a multiple of a baseline's measured
// in the same run, and the run itself.

#include "seam/desktop.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace jbx::bench {

// A well-formed workload asks nothing; a message means the input is not
// what the benchmark meant to measure, so it is counted and shown.
class SilentDesktop : public Desktop {
public:
    MessageAnswer showMessage(const Message& message) override
    {
        ++messages;
        std::fprintf(stderr, "unexpected message: %s\n", message.text.c_str());
        return MessageAnswer::No;
    }
    UnknownBlockChoice askUnknownBlock(const UnknownBlockDetails&, Owner) override
    {
        ++messages;
        return UnknownBlockChoice::StopConversion;
    }
    std::optional<ChosenFile> chooseFile(const FileDialogRequest&) override { return std::nullopt; }
    void playSound(SoundData) override {}
    bool shiftHeld() const override { return false; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}

    int messages = 0;
};

// Keeps each benchmark's mean real time; compare() prints a ratio once all
// benchmarks have run.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty())
                name += "/" + run.run_name.args;
            Totals& totals = totals_[name];
            totals.time += run.GetAdjustedRealTime();
            ++totals.runs;
        }
    }

    // "name  N.NNx what", with "(target Tx: met|missed)" when target > 0.
    void compare(const std::string& name, const std::string& baselineName, const char* what,
        double target = 0) const
    {
        const double time = mean(name);
        const double baseline = mean(baselineName);
        if (time <= 0 || baseline <= 0)
            return;
        const double ratio = time / baseline;
        std::printf("%-20s %6.2fx %s", name.c_str(), ratio, what);
        if (target > 0)
            std::printf(" (target %gx: %s)", target, ratio <= target ? "met" : "missed");
        std::printf("\n");
    }

private:
    double mean(const std::string& name) const
    {
        const auto found = totals_.find(name);
        return found == totals_.end() ? 0.0 : found->second.time / double(found->second.runs);
    }

    struct Totals {
        double time = 0;
        int runs = 0;
    };
    std::map<std::string, Totals> totals_;
};

// Runs the benchmarks the command line names into reporter, Google
// Benchmark started before and shut down after; false for an argument it
// does not know. Interleaved, the benchmarks take turns, so that a slow
// spell of the machine falls on all of them alike.
inline bool RunBenchmarks(int argc, char** argv, benchmark::BenchmarkReporter& reporter, bool interleaved = false)
{
    std::vector<char*> arguments(argv, argv + argc);
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    if (interleaved)
        arguments.insert(arguments.begin() + 1, interleave);
    int count = int(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return false;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return true;
}

} // namespace jbx::bench
