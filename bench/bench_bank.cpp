// Loading and saving a 100 MB bank (ten 10 MB WAVE lumps), each next to a
// memcpy of the same bytes into freshly allocated buffers. Loading has to
// fill fresh buffers too, so the copy is the floor it is measured against;
// the target is within 3x of it. Saving is also shown against a plain write
// of the same bytes, since the file system sets its floor. The files go to
// the temporary folder (TMPDIR). Run a Release build; the ratios are printed
// at the end.

#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "seam/bytes.h"
#include "seam/desktop.h"
#include "bank/soundbank.h"
#include "bench/benchsupport.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <random>
#include <string>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kLumpSize = 10 * 1024 * 1024;
constexpr std::size_t kBankBytes = kLumpSize * jbx::kSlotCount;
constexpr double kTargetRatio = 3.0;

// A WAVE image of n bytes in all: 8-bit mono at 22050 Hz, a noisy ramp.
jbx::Bytes WaveImage(std::size_t n, std::uint8_t seed)
{
    jbx::Bytes image(n);
    std::uint8_t* p = image.data();
    std::memcpy(p, "RIFF", 4);
    jbx::WriteLE32(p + 4, std::uint32_t(n - 8));
    std::memcpy(p + 8, "WAVEfmt ", 8);
    jbx::WriteLE32(p + 16, 16);
    jbx::WriteLE16(p + 20, 1);
    jbx::WriteLE16(p + 22, 1);
    jbx::WriteLE32(p + 24, 22050);
    jbx::WriteLE32(p + 28, 22050);
    jbx::WriteLE16(p + 32, 1);
    jbx::WriteLE16(p + 34, 8);
    std::memcpy(p + 36, "data", 4);
    jbx::WriteLE32(p + 40, std::uint32_t(n - 44));
    for (std::size_t i = 44; i < n; ++i)
        p[i] = std::uint8_t(seed + i * 7 + (i >> 9));
    return image;
}

// The bank on disk, its sounds in memory, and a place to save to.
struct Workload {
    Workload()
    {
        std::random_device random;
        dir = fs::temp_directory_path() / ("bench_bank-" + std::to_string(random()));
        fs::create_directories(dir);
        bankPath = (dir / "big.jbx").string();
        savePath = (dir / "saved.jbx").string();
        plainPath = (dir / "plain.bin").string();

        bank.bankTitle = "big.jbx";
        for (int i = 0; i < jbx::kSlotCount; ++i) {
            jbx::SoundSlot& slot = bank.slots[std::size_t(i)];
            jbx::Bytes image = WaveImage(kLumpSize, std::uint8_t(i * 25));
            image.push_back(0x80);
            slot.name = "wave" + std::to_string(i);
            slot.size = std::int32_t(kLumpSize);
            slot.data = std::make_shared<jbx::Bytes>(std::move(image));
        }
        bank.credits = {"Bench", "Ten long sounds", "Today"};
        ok = jbx::WriteBankFile(bank, bankPath) == jbx::WriteFileResult::Written;
        if (ok)
            WarmUp();
    }

    // The first load after a save pays for the file reaching the page cache
    // and the heap growing; neither is what is measured.
    void WarmUp()
    {
        jbx::bench::SilentDesktop desktop;
        jbx::Session session(desktop);
        jbx::LoadBank(session, bankPath, jbx::Owner::None);
        ok = session.bank.slots[9].size == std::int32_t(kLumpSize)
            && jbx::WriteBankFile(bank, savePath) == jbx::WriteFileResult::Written;
    }

    ~Workload()
    {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    fs::path dir;
    std::string bankPath;
    std::string savePath;
    std::string plainPath;
    jbx::SoundBank bank;
    bool ok = false;
};

Workload* workload = nullptr;

// Where fresh buffers come from decides most of the time on a system whose
// page faults are dear, and glibc picks that by itself depending on what
// was freed before. Each of the copy and the load is therefore measured
// under both policies, set explicitly: memory that the heap hands out again,
// and pages that come new from the system and are faulted in one by one.
enum class Pages { Reused = 0, Fresh = 1 };

bool UsePages(Pages pages)
{
#ifdef __GLIBC__
    constexpr int kFreshThreshold = 128 * 1024;          // far below a lump
    constexpr int kReusedThreshold = 32 * 1024 * 1024;   // glibc's maximum, above a lump
    const int threshold = pages == Pages::Fresh ? kFreshThreshold : kReusedThreshold;
    const int trim = pages == Pages::Fresh ? kFreshThreshold : std::numeric_limits<int>::max();
    return mallopt(M_MMAP_THRESHOLD, threshold) == 1 && mallopt(M_TRIM_THRESHOLD, trim) == 1;
#else
    return pages == Pages::Reused;   // whatever the allocator does by itself
#endif
}

bool SetUpPages(benchmark::State& state)
{
    const auto pages = Pages(state.range(0));
    state.SetLabel(pages == Pages::Fresh ? "fresh pages" : "reused heap");
    if (UsePages(pages))
        return true;
    state.SkipWithError("cannot choose where buffers come from");
    return false;
}

void CopyLumps(std::array<std::unique_ptr<std::uint8_t[]>, jbx::kSlotCount>& buffers)
{
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(kLumpSize + 1);
        std::memcpy(copy.get(), workload->bank.slots[i].data->data(), kLumpSize);
        buffers[i] = std::move(copy);
        benchmark::DoNotOptimize(buffers[i].get());
        benchmark::ClobberMemory();
    }
}

// Each benchmark does one untimed round first: with a reused heap the heap
// has to grow once, and a first round slower than the minimum time would
// otherwise be all that is measured.

void BM_MemcpyBaseline(benchmark::State& state)
{
    // Ten buffers that live until the next round replaces them, as a loaded
    // bank's do.
    std::array<std::unique_ptr<std::uint8_t[]>, jbx::kSlotCount> buffers;
    if (!SetUpPages(state))
        return;
    CopyLumps(buffers);
    for (auto _ : state)
        CopyLumps(buffers);
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBankBytes));
}

void BM_LoadBank(benchmark::State& state)
{
    jbx::bench::SilentDesktop desktop;
    jbx::Session session(desktop);
    if (!SetUpPages(state))
        return;
    jbx::LoadBank(session, workload->bankPath, jbx::Owner::None);
    for (auto _ : state) {
        jbx::LoadBank(session, workload->bankPath, jbx::Owner::None);
        benchmark::ClobberMemory();
    }
    if (session.bank.slots[9].size != std::int32_t(kLumpSize))
        state.SkipWithError("the bank did not load");
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBankBytes));
}

void BM_WriteBankFile(benchmark::State& state)
{
    for (auto _ : state) {
        if (jbx::WriteBankFile(workload->bank, workload->savePath) != jbx::WriteFileResult::Written) {
            state.SkipWithError("the bank could not be saved");
            break;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBankBytes));
}

// What the file system alone costs: the same bytes written with plain
// stdio to a new file in the same folder, then renamed over the old one.
// Saving cannot beat this, whatever the writer does.
void BM_PlainFileWrite(benchmark::State& state)
{
    const std::string temp = workload->plainPath + ".new";
    for (auto _ : state) {
        std::FILE* file = std::fopen(temp.c_str(), "wb");
        bool ok = file != nullptr;
        for (const jbx::SoundSlot& slot : workload->bank.slots)
            ok = ok && std::fwrite(slot.data->data(), 1, kLumpSize, file) == kLumpSize;
        if (file)
            ok = std::fclose(file) == 0 && ok;
        std::error_code error;
        fs::rename(temp, workload->plainPath, error);
        if (!ok || error) {
            state.SkipWithError("plain write failed");
            break;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBankBytes));
}

// The same write as a save must do it to survive a power cut: the file
// flushed to the disk before the rename, the folder after it.
void BM_DurableFileWrite(benchmark::State& state)
{
    const std::string temp = workload->plainPath + ".new";
    const std::string folder = fs::path(workload->plainPath).parent_path().string();
    for (auto _ : state) {
        std::FILE* file = std::fopen(temp.c_str(), "wb");
        bool ok = file != nullptr;
        for (const jbx::SoundSlot& slot : workload->bank.slots)
            ok = ok && std::fwrite(slot.data->data(), 1, kLumpSize, file) == kLumpSize;
        if (file) {
            ok = ok && std::fflush(file) == 0 && ::fsync(::fileno(file)) == 0;
            ok = std::fclose(file) == 0 && ok;
        }
        std::error_code error;
        fs::rename(temp, workload->plainPath, error);
        const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        ok = ok && directory >= 0 && ::fsync(directory) == 0;
        if (directory >= 0)
            ::close(directory);
        if (!ok || error) {
            state.SkipWithError("durable write failed");
            break;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(kBankBytes));
}

BENCHMARK(BM_MemcpyBaseline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LoadBank)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WriteBankFile)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PlainFileWrite)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DurableFileWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    Workload load;
    if (!load.ok) {
        std::fprintf(stderr, "cannot write the bank to %s\n", load.bankPath.c_str());
        return 1;
    }
    workload = &load;
    jbx::bench::RatioReporter reporter;
    if (!jbx::bench::RunBenchmarks(argc, argv, reporter))
        return 1;
    reporter.compare("BM_LoadBank/0", "BM_MemcpyBaseline/0", "memcpy, reused heap", kTargetRatio);
    reporter.compare("BM_LoadBank/1", "BM_MemcpyBaseline/1", "memcpy, fresh pages", kTargetRatio);
    reporter.compare("BM_WriteBankFile", "BM_MemcpyBaseline/0", "memcpy, reused heap", kTargetRatio);
    reporter.compare("BM_WriteBankFile", "BM_MemcpyBaseline/1", "memcpy, fresh pages");
    reporter.compare("BM_PlainFileWrite", "BM_MemcpyBaseline/0", "memcpy, reused heap: the file system's floor");
    reporter.compare("BM_WriteBankFile", "BM_PlainFileWrite", "the plain write");
    reporter.compare("BM_WriteBankFile", "BM_DurableFileWrite", "the same write flushed to the disk");
    return 0;
}
