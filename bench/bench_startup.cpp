// Start-up of jbxmaker with the demo bank, against a minimal Qt Widgets
// window measured in the same run: the time from starting the process to
// its window being painted, and the process's peak memory. All run under
// the offscreen platform and report the moment they are shown on standard
// output; the medians of several runs are compared at the end. The time
// target is against the window with one labelled button, since a window
// that shows any text pays for fonts the bare one never loads; the bare
// window shows what that text costs. Memory is against the bare window.

#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr double kTargetTimeRatio = 1.3;
constexpr double kTargetExtraMegabytes = 15.0;
constexpr int kRepetitions = 41;

// The variable that makes both programs report "shown: ..." and close
// (qt/whenshown.h).
constexpr char kExitWhenShown[] = "JBXMAKER_EXIT_WHEN_SHOWN=1";

struct Launch {
    bool ok = false;
    double secondsToShown = 0;
    double peakMegabytes = 0;
};

// Starts program, waits for its "shown" line, then for its exit.
Launch Run(const std::vector<std::string>& command)
{
    Launch launch;
    int out[2];
    if (pipe(out) != 0)
        return launch;

    std::vector<std::string> environment = {"QT_QPA_PLATFORM=offscreen", kExitWhenShown};
    for (char** variable = environ; *variable; ++variable) {
        if (std::strncmp(*variable, "QT_QPA_PLATFORM=", 16) != 0)
            environment.emplace_back(*variable);
    }
    std::vector<char*> envp;
    for (std::string& variable : environment)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    std::vector<std::string> arguments = command;
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return launch;
    }

    std::string line;
    char c = 0;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        line += c;
    const auto shown = std::chrono::steady_clock::now();
    close(out[0]);

    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return launch;
    launch.ok = line.starts_with("shown: ") && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    launch.secondsToShown = std::chrono::duration<double>(shown - start).count();
    launch.peakMegabytes = double(usage.ru_maxrss) / 1024.0;   // ru_maxrss is in KiB
    return launch;
}

void Measure(benchmark::State& state, const std::vector<std::string>& command)
{
    for (auto _ : state) {
        const Launch launch = Run(command);
        if (!launch.ok) {
            state.SkipWithError("the program did not show its window and exit with 0");
            break;
        }
        state.SetIterationTime(launch.secondsToShown);
        state.counters["peak_MB"] = launch.peakMegabytes;
    }
}

void BM_BaselineWindow(benchmark::State& state)
{
    Measure(state, {STARTUP_BASELINE_PATH});
}

void BM_JbxmakerWithDemoBank(benchmark::State& state)
{
    Measure(state, {JBXMAKER_PATH, DEMO_BANK_PATH});
}

void BM_BaselineWindowWithText(benchmark::State& state)
{
    Measure(state, {STARTUP_BASELINE_PATH, "--with-text"});
}

BENCHMARK(BM_BaselineWindow)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BaselineWindowWithText)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JbxmakerWithDemoBank)->UseManualTime()->Iterations(1)->Repetitions(kRepetitions)
    ->Unit(benchmark::kMillisecond);

// Keeps each benchmark's median time and memory, and prints how jbxmaker
// compares with the baseline once all runs are done.
class StartupReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.run_type != Run::RT_Aggregate || run.aggregate_name != "median")
                continue;
            Median& median = medians_[run.run_name.function_name];
            median.seconds = run.GetAdjustedRealTime();
            const auto peak = run.counters.find("peak_MB");
            if (peak != run.counters.end())
                median.megabytes = peak->second.value;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const auto baseline = medians_.find("BM_BaselineWindow");
        const auto text = medians_.find("BM_BaselineWindowWithText");
        const auto editor = medians_.find("BM_JbxmakerWithDemoBank");
        if (baseline == medians_.end() || text == medians_.end() || editor == medians_.end()
            || baseline->second.seconds <= 0 || text->second.seconds <= 0)
            return;
        const double ratio = editor->second.seconds / text->second.seconds;
        const double extra = editor->second.megabytes - baseline->second.megabytes;
        std::printf("jbxmaker start-up: %.2fx the one-button window's time (target at most %.1fx): %s\n",
            ratio, kTargetTimeRatio, ratio <= kTargetTimeRatio ? "met" : "missed");
        std::printf("jbxmaker peak memory: %.1f MB against %.1f MB, %+.1f MB (target at most +%.0f MB): %s\n",
            editor->second.megabytes, baseline->second.megabytes, extra, kTargetExtraMegabytes,
            extra <= kTargetExtraMegabytes ? "met" : "missed");
        std::printf("(the one-button window takes %.2fx the bare window's time; jbxmaker %.2fx)\n",
            text->second.seconds / baseline->second.seconds, editor->second.seconds / baseline->second.seconds);
    }

private:
    struct Median {
        double seconds = 0;   // in the benchmark's unit
        double megabytes = 0;
    };
    std::map<std::string, Median> medians_;
};

} // namespace

int main(int argc, char** argv)
{
    // The two programs take turns.
    StartupReporter reporter;
    return jbx::bench::RunBenchmarks(argc, argv, reporter, true) ? 0 : 1;
}
