// shortcut_probe.exe SHORTCUT.lnk WINDOW_CLASS CLOSE_WHEN: starts a program
// from a Start-menu shortcut as the shell would, for the installer's test,
// which cannot look at the screen. Prints as soon as known "target:",
// "folder:", the "caption:" of its first window of that class, and its
// "exit:" code after WM_CLOSE, sent once the file CLOSE_WHEN appears.

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {

void Report(const char* what, const std::wstring& text)
{
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), utf8.data(), int(utf8.size()), nullptr, nullptr);
    std::printf("%s: %s\n", what, utf8.c_str());
    std::fflush(stdout);
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
            reinterpret_cast<void**>(&link)))
        || FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))
        || FAILED(file->Load(argv[1], STGM_READ))
        || FAILED(link->GetPath(target, MAX_PATH, nullptr, 0)))
        return 1;
    link->GetWorkingDirectory(folder, MAX_PATH);
    Report("target", target);
    Report("folder", folder);

    std::wstring commandLine = L"\"" + std::wstring(target) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(target, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
            folder[0] ? folder : nullptr, &startup, &process))
        return 1;
    // The installer's prefix has no other window of that class; it shows
    // once it is made.
    HWND window = nullptr;
    for (int tenths = 0; !window && tenths < 200; ++tenths) {
        Sleep(100);
        if (const HWND found = FindWindowW(argv[2], nullptr); found && IsWindowVisible(found))
            window = found;
    }
    if (!window) {
        TerminateProcess(process.hProcess, 99);
        return 1;
    }
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    Report("caption", caption);

    for (int tenths = 0; tenths < 1200 && GetFileAttributesW(argv[3]) == INVALID_FILE_ATTRIBUTES; ++tenths)
        Sleep(100);

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    Report("exit", std::to_wstring(code));
    return 0;
}
