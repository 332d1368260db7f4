// Opening the Windows editor's Sound window over a 30-second, 44.1 kHz,
// 16-bit stereo slot until it is painted, against opening the Credits
// dialog until it is painted, in this one process: each opening as the
// main window's command makes it (for the Sound window: the editor takes
// the slot's sound, the window its peaks), both modal and owned by a window
// of the program's. "Painted": the dialog's first idle moment once it is
// shown, with what is left of its paint finished there and then. The two
// take turns, so that a slow spell of the machine falls on both, and their
// medians are compared at the end. Measured beside: the first opening for a
// new sound, whose peaks the core has not kept; and the Sound window's
// template shown with no code of the program behind it, which is what
// Windows (or Wine) costs for that many controls: what is left over is the
// program's own.
//
// The program reports; it does not judge: a missed target still exits
// with 0; a window that would not open exits with 1.
//
//   scripts/wine-run build/windows/bench/win32/bench_win32_soundwindow.exe [REPETITIONS]

#include "app/mainwindowview.h"
#include "app/soundeditor.h"
#include "audio/reshape.h"
#include "bank/soundbank.h"
#include "bench/thirtyseconds.h"
#include "win32/creditsdialog.h"
#include "win32/resource.h"
#include "win32/sounddialog.h"
#include "win32/win32desktop.h"

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

constexpr double kTargetRatio = 1.3;
constexpr int kDefaultRepetitions = 15;
constexpr int kSlot = 3;

using Clock = std::chrono::steady_clock;

// The owner of the dialogs, which hears when a modal loop first runs out of
// messages after its dialog is shown: then the rest of the paint is done,
// the clock read and the dialog closed.
struct Owner {
    HWND window = nullptr;
    Clock::time_point start;
    double milliseconds = -1;

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto dialog = reinterpret_cast<HWND>(lParam);
        if (self && message == WM_ENTERIDLE && wParam == MSGF_DIALOGBOX && IsWindowVisible(dialog)
            && self->milliseconds < 0) {
            RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            self->milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - self->start).count();
            EndDialog(dialog, IDCANCEL);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    // Runs `open` (which shows a modal dialog owned by this window) and
    // gives the time until that dialog was painted, or -1.
    double time(const std::function<void()>& open)
    {
        milliseconds = -1;
        start = Clock::now();
        open();
        return milliseconds;
    }
};

// Sent to the Sound window when its waveform paints: a measurement in which
// it never did would time nothing worth timing.
int gWaveformPaints = 0;

LRESULT CALLBACK CountPaints(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && reinterpret_cast<const CWPSTRUCT*>(lParam)->message == WM_DRAWITEM)
        ++gWaveformPaints;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

INT_PTR CALLBACK BareProcedure(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : kDefaultRepetitions;
    InitCommonControls();
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    jbx::Win32Desktop desktop(instance);
    jbx::Session session(desktop);
    jbx::NewBank(session);
    jbx::SoundSlot& slot = session.bank.slot(kSlot);
    slot.data = std::make_shared<jbx::Bytes>(jbx::bench::ThirtySecondsOfStereo());
    slot.size = std::int32_t(slot.data->size() - 1);
    slot.name = "tone";

    WNDCLASSW ownerClass{};
    ownerClass.lpfnWndProc = Owner::Procedure;
    ownerClass.hInstance = instance;
    ownerClass.lpszClassName = L"BenchOwner";
    RegisterClassW(&ownerClass);
    Owner owner;
    owner.window = CreateWindowW(L"BenchOwner", L"", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(owner.window, GWLP_USERDATA, LONG_PTR(&owner));

    const auto credits = [&] { jbx::ShowCreditsDialog(instance, owner.window, session.bank, desktop); };
    const auto sound = [&] {
        jbx::SoundEditor editor(session, kSlot);
        jbx::ShowSoundDialog(instance, owner.window, editor, desktop);
    };
    const HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountPaints, nullptr, GetCurrentThreadId());
    const auto bare = [&] { DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SOUND), owner.window, BareProcedure, 0); };
    std::vector<double> creditsTimes, soundTimes, firstTimes, bareTimes;
    for (int round = 0; round < repetitions; ++round) {
        creditsTimes.push_back(owner.time(credits));
        soundTimes.push_back(owner.time(sound));
        // New bytes, so that no summary kept from an earlier opening serves.
        slot.data = std::make_shared<jbx::Bytes>(*slot.data);
        firstTimes.push_back(owner.time(sound));
        bareTimes.push_back(owner.time(bare));
    }
    UnhookWindowsHookEx(hook);
    for (const auto* times : {&creditsTimes, &soundTimes, &firstTimes, &bareTimes})
        if (std::find(times->begin(), times->end(), -1.0) != times->end()) {
            std::fprintf(stderr, "a dialog did not open\n");
            return 1;
        }
    if (gWaveformPaints < 2 * repetitions) {
        std::fprintf(stderr, "the waveform painted %d times in %d openings\n", gWaveformPaints, 2 * repetitions);
        return 1;
    }

    const double creditsMedian = Median(creditsTimes);
    const double soundMedian = Median(soundTimes);
    const double firstMedian = Median(firstTimes);
    const double bareMedian = Median(bareTimes);
    std::printf("%d openings each; medians until painted:\n", repetitions);
    std::printf("  Credits dialog               %8.2f ms\n", creditsMedian);
    std::printf("  Sound window, 30 s stereo    %8.2f ms   %.2fx Credits (target at most %.1fx): %s\n", soundMedian,
        soundMedian / creditsMedian, kTargetRatio, soundMedian <= kTargetRatio * creditsMedian ? "met" : "MISSED");
    std::printf("  the same, a sound new to it  %8.2f ms   %.2fx Credits\n", firstMedian, firstMedian / creditsMedian);
    std::printf("  its template, no code behind %8.2f ms   %.2fx Credits; the Sound window is %.2fx this\n", bareMedian,
        bareMedian / creditsMedian, soundMedian / bareMedian);
    return 0;
}
