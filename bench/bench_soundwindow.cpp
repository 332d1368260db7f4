// Opening the Sound window over a 30-second, 44.1 kHz, 16-bit stereo slot
// until it is painted, against opening the Credits dialog until it is
// painted, both in this run under the offscreen platform; their ratio is
// printed at the end. Each opening starts from the slot, as the Edit sound
// command does: the editor takes the sound, the window its peaks, which the
// core keeps from the opening before; the first opening for a new sound is
// measured beside.

#include "app/soundeditor.h"
#include "audio/reshape.h"
#include "bank/soundbank.h"
#include "bench/benchsupport.h"
#include "qt/dialogs/creditsdialog.h"
#include "qt/dialogs/sounddialog.h"
#include "qt/whenshown.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

namespace {

constexpr int kSlot = 3;
constexpr double kTargetRatio = 1.3;

// A tone that dies away and starts again twice a second, left and right a
// little apart, so that every column of the waveform holds something to draw.
jbx::Bytes ThirtySecondsOfStereo()
{
    constexpr std::uint32_t kRate = 44100;
    constexpr std::uint32_t kFrames = 30 * kRate;
    const std::uint32_t dataBytes = kFrames * 2 * 2;
    jbx::Bytes image(44 + dataBytes + 1, 0);
    jbx::WritePcmWaveHeader(image.data(), 2, kRate, 16, dataBytes);
    std::uint8_t* out = image.data() + 44;
    for (std::uint32_t frame = 0; frame < kFrames; ++frame) {
        const double t = double(frame) / kRate;
        const double envelope = std::exp(-6 * std::fmod(t, 0.5));
        for (const double phase : {0.0, 0.3}) {
            const auto sample = std::int16_t(std::lround(26000 * envelope * std::sin(2 * std::numbers::pi * 330 * t + phase)));
            *out++ = std::uint8_t(std::uint16_t(sample) & 0xFF);
            *out++ = std::uint8_t(std::uint16_t(sample) >> 8);
        }
    }
    image.back() = jbx::kPadByte;
    return image;
}

struct Fixture {
    Fixture()
    {
        jbx::NewBank(session);
        jbx::SoundSlot& slot = session.bank.slot(kSlot);
        slot.data = std::make_shared<jbx::Bytes>(ThirtySecondsOfStereo());
        slot.size = std::int32_t(slot.data->size() - 1);
        slot.name = "tone";
    }
    jbx::bench::SilentDesktop desktop;
    jbx::Session session{desktop};
};

Fixture& Shared()
{
    static Fixture fixture;
    return fixture;
}

// Shows the dialog and returns once its first paint has reached the screen.
void ShowUntilPainted(QDialog& dialog)
{
    QEventLoop loop;
    jbx::CallWhenPainted(dialog, [&loop] { loop.quit(); });
    dialog.show();
    loop.exec();
}

void BM_OpenCreditsDialog(benchmark::State& state)
{
    Fixture& fixture = Shared();
    for (auto _ : state) {
        jbx::CreditsDialog dialog(fixture.session.bank, fixture.desktop);
        ShowUntilPainted(dialog);
    }
}

void BM_OpenSoundWindow(benchmark::State& state)
{
    Fixture& fixture = Shared();
    for (auto _ : state) {
        jbx::SoundEditor editor(fixture.session, kSlot);
        jbx::SoundDialog dialog(editor);
        ShowUntilPainted(dialog);
    }
    if (fixture.desktop.messages != 0)
        state.SkipWithError("the sound window said something");
}

// The first opening for a sound: its bytes are new each time (copied while
// the clock stands), so no summary kept from an earlier opening serves.
void BM_OpenSoundWindowFirstTime(benchmark::State& state)
{
    Fixture& fixture = Shared();
    jbx::SoundSlot& slot = fixture.session.bank.slot(kSlot);
    for (auto _ : state) {
        state.PauseTiming();
        slot.data = std::make_shared<jbx::Bytes>(*slot.data);
        state.ResumeTiming();
        jbx::SoundEditor editor(fixture.session, kSlot);
        jbx::SoundDialog dialog(editor);
        ShowUntilPainted(dialog);
    }
}

BENCHMARK(BM_OpenCreditsDialog)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_OpenSoundWindow)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_OpenSoundWindowFirstTime)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    // The two take turns, so that a slow spell of the machine falls on both.
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    int count = int(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data()))
        return 1;
    jbx::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.compare("BM_OpenSoundWindow", "BM_OpenCreditsDialog", "the Credits dialog", kTargetRatio);
    // No target: what the first look at a sound costs on top.
    reporter.compare("BM_OpenSoundWindowFirstTime", "BM_OpenCreditsDialog", "the Credits dialog, a new sound");
    benchmark::Shutdown();
    return 0;
}
