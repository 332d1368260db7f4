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
#include "bench/thirtyseconds.h"
#include "bench/benchsupport.h"
#include "qt/dialogs/creditsdialog.h"
#include "qt/dialogs/sounddialog.h"
#include "qt/whenshown.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>

#include <cstdint>

namespace {

constexpr int kSlot = 3;
constexpr double kTargetRatio = 1.3;

struct Fixture {
    Fixture()
    {
        jbx::NewBank(session);
        jbx::SoundSlot& slot = session.bank.slot(kSlot);
        slot.data = std::make_shared<jbx::Bytes>(jbx::bench::ThirtySecondsOfStereo());
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

    jbx::bench::RatioReporter reporter;
    if (!jbx::bench::RunBenchmarks(argc, argv, reporter, true))
        return 1;
    reporter.compare("BM_OpenSoundWindow", "BM_OpenCreditsDialog", "the Credits dialog", kTargetRatio);
    // No target: what the first look at a sound costs on top.
    reporter.compare("BM_OpenSoundWindowFirstTime", "BM_OpenCreditsDialog", "the Credits dialog, a new sound");
    return 0;
}
