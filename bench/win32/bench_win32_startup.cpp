// Start-up of the Windows editor with the demo bank, against a bare dialog
// (baredialog.cpp) and the same with a font, one labelled button and the
// editor's manifest (textdialog), and the editor's main window shown by a
// program that does nothing else (templatedialog), all measured in the same
// run: the time from creating the process to its window being on the
// screen, and the process's peak memory by then. The programs take turns,
// so that a slow spell of the machine falls on all alike, and the medians
// are compared at the end.
//
// Two sets of targets. Against the dialog that shows text, as for the Linux
// editor; the bare one shows what that text costs. And against the main
// window shown alone, which has the same templates, controls and manifest:
// what is left over is the editor's own start-up (the core, the bank, the
// settings, and whatever libraries it loads before the window shows), held
// to at most +3 MB of peak memory and 1.05x the time.
//
// The program reports; it does not judge. A missed target still exits with
// 0; a program that could not be started, or showed no window, or did not
// close when asked, exits with 1, since then there is nothing to compare.
//
//   scripts/wine-run build/windows/bench/win32/bench_win32_startup.exe [REPETITIONS]

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr double kTargetTimeRatio = 1.3;
constexpr double kWindowTargetTimeRatio = 1.05;
constexpr double kWindowTargetExtraMegabytes = 3.0;
constexpr int kDefaultRepetitions = 15;
constexpr DWORD kTimeoutMs = 20000;

// The build gives the build machine's paths; under Wine its root is Z:.
std::wstring WinePath(const char* unixPath)
{
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c)
        path += *c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(*c));
    return path;
}

struct Program {
    const wchar_t* name;
    std::wstring path;
    std::wstring argument;      // the whole command line after the program name
    const wchar_t* windowClass; // the class of the window that counts as shown
    std::vector<double> milliseconds;
    std::vector<double> megabytes;
};

struct WindowSearch {
    DWORD processId;
    const wchar_t* windowClass;
    HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window))
        return TRUE;
    // By class, so that a message box the program shows on the way (a bank
    // it could not open) is not taken for its window.
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (std::wstring(className) != search->windowClass)
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND WaitForWindow(DWORD processId, const wchar_t* windowClass, HANDLE process)
{
    const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
    while (GetTickCount64() < deadline) {
        WindowSearch search{processId, windowClass};
        EnumWindows(MatchWindow, LPARAM(&search));
        if (search.found)
            return search.found;
        if (WaitForSingleObject(process, 1) == WAIT_OBJECT_0)
            return nullptr;   // it ended without showing anything
    }
    return nullptr;
}

// Starts the program, waits for its window, then closes it. False if any
// step failed; the program is ended either way.
bool RunOnce(Program& program, bool record)
{
    std::wstring commandLine = L"\"" + program.path + L"\"";
    if (!program.argument.empty())
        commandLine += L" " + program.argument;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};

    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
            &startup, &process)) {
        std::fprintf(stderr, "%ls: could not be started (error %lu)\n", program.name, GetLastError());
        return false;
    }
    // Idle first: the window is looked for once the program waits for
    // input, rather than polling the window list while it starts.
    WaitForInputIdle(process.hProcess, kTimeoutMs);
    const HWND window = WaitForWindow(process.dwProcessId, program.windowClass, process.hProcess);
    const auto shown = std::chrono::steady_clock::now();

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    const bool measured = window && GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
    bool ok = measured;
    if (!window)
        std::fprintf(stderr, "%ls: showed no window of class %ls\n", program.name, program.windowClass);
    else if (!measured)
        std::fprintf(stderr, "%ls: its memory could not be read (error %lu)\n", program.name, GetLastError());

    DWORD exitCode = 1;
    if (window)
        PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, window ? kTimeoutMs : 0) != WAIT_OBJECT_0) {
        if (window)
            std::fprintf(stderr, "%ls: did not end when its window was closed\n", program.name);
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kTimeoutMs);
        ok = false;
    } else if (ok && (!GetExitCodeProcess(process.hProcess, &exitCode) || exitCode != 0)) {
        std::fprintf(stderr, "%ls: exited with %lu\n", program.name, exitCode);
        ok = false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    if (ok && record) {
        program.milliseconds.push_back(std::chrono::duration<double, std::milli>(shown - start).count());
        program.megabytes.push_back(double(memory.PeakWorkingSetSize) / (1024.0 * 1024.0));
    }
    return ok;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : kDefaultRepetitions;
    if (repetitions < 1) {
        std::fprintf(stderr, "usage: bench_win32_startup [REPETITIONS]\n");
        return 2;
    }

    Program bare{L"bare dialog", WinePath(BARE_DIALOG_PATH), L"", L"#32770", {}, {}};
    Program text{L"text dialog", WinePath(TEXT_DIALOG_PATH), L"", L"#32770", {}, {}};
    Program window{L"main window", WinePath(TEMPLATE_DIALOG_PATH), L"", L"JBXMaker", {}, {}};
    // No quotes: the editor takes everything after its name as one path.
    Program editor{L"jbxmaker", WinePath(JBXMAKER_PATH), WinePath(DEMO_BANK_PATH), L"JBXMaker", {}, {}};

    // One start of each that is not counted: the first start reads the
    // files from disk and may start Wine's own services.
    for (Program* program : {&bare, &text, &window, &editor}) {
        if (!RunOnce(*program, false))
            return 1;
    }
    for (int i = 0; i < repetitions; ++i) {
        Program* order[] = {&bare, &text, &window, &editor};
        std::rotate(order, order + i % 4, order + 4);   // none always starts right after the same one
        for (Program* program : order) {
            if (!RunOnce(*program, true))
                return 1;
        }
    }

    for (const Program* program : {&bare, &text, &window, &editor}) {
        const auto [fastest, slowest] = std::minmax_element(program->milliseconds.begin(), program->milliseconds.end());
        std::printf("%-12ls median %7.1f ms (%.1f to %.1f), peak memory %.1f MB, %d runs\n", program->name,
            Median(program->milliseconds), *fastest, *slowest, Median(program->megabytes), repetitions);
    }
    const double ratio = Median(editor.milliseconds) / Median(text.milliseconds);
    std::printf("jbxmaker start-up: %.2fx the text dialog's time (target at most %.1fx): %s; %.2fx the bare dialog's\n",
        ratio, kTargetTimeRatio, ratio <= kTargetTimeRatio ? "met" : "missed",
        Median(editor.milliseconds) / Median(bare.milliseconds));
    const double windowRatio = Median(editor.milliseconds) / Median(window.milliseconds);
    std::printf("jbxmaker start-up: %.2fx the main window shown alone (target at most %.2fx): %s\n", windowRatio,
        kWindowTargetTimeRatio, windowRatio <= kWindowTargetTimeRatio ? "met" : "missed");
    std::printf("jbxmaker peak memory: %.1f MB against %.1f MB (text dialog), %+.1f MB; bare dialog %.1f MB\n",
        Median(editor.megabytes), Median(text.megabytes), Median(editor.megabytes) - Median(text.megabytes),
        Median(bare.megabytes));
    const double extra = Median(editor.megabytes) - Median(window.megabytes);
    std::printf("jbxmaker peak memory: %+.1f MB over the main window shown alone, %.1f MB (target at most %+.1f MB): "
                "%s\n",
        extra, Median(window.megabytes), kWindowTargetExtraMegabytes,
        extra <= kWindowTargetExtraMegabytes ? "met" : "missed");
    return 0;
}
