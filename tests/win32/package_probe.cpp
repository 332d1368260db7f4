// package_probe.exe: what the installer's test cannot see from Linux.
//
//   package_probe.exe resources FILE
//     prints what FILE's version resource has of what Explorer's Details
//     tab shows, in lines "ProductName: ...", "ProductVersion: ...",
//     "CompanyName: ...", "LegalCopyright: ...", "fixed: A.B.C.D" (the
//     numeric product version), then "manifest: ..." with its RT_MANIFEST 1
//     on one line, or "(none)".
//   package_probe.exe quiet-uninstall HKCU|HKLM KEY [FILE...]
//     runs KEY's QuietUninstallString as a deployment tool does: the
//     command line as recorded, started with CreateProcess and waited for;
//     prints it as "command: ..." and, the moment it ends, each FILE as
//     "after: FILE: there" or "after: FILE: gone"; exits with its exit code.
//   package_probe.exe shortcut SHORTCUT.lnk WINDOW_CLASS CLOSE_WHEN
//     starts a program from a Start-menu shortcut as the shell would;
//     prints "target:", "folder:", the "caption:" of its first window of
//     that class, and its "exit:" code after WM_CLOSE, sent once the file
//     CLOSE_WHEN appears.
//
// Its own failures exit with 100 or more, which no uninstaller gives.

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Report(const char* what, const std::wstring& text)
{
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), utf8.data(), int(utf8.size()), nullptr, nullptr);
    std::printf("%s: %s\n", what, utf8.c_str());
    std::fflush(stdout);
}

void PrintVersion(const wchar_t* file)
{
    DWORD ignored = 0;
    std::vector<char> info(GetFileVersionInfoSizeW(file, &ignored));
    if (info.empty() || !GetFileVersionInfoW(file, 0, DWORD(info.size()), info.data()))
        return;
    // The texts of the first language the resource lists.
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length)
        || length < sizeof *translation)
        return;
    wchar_t block[64];
    swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
    for (const char* name : {"ProductName", "ProductVersion", "CompanyName", "LegalCopyright"}) {
        const std::wstring path = block + std::wstring(name, name + strlen(name));
        wchar_t* text = nullptr;
        if (VerQueryValueW(info.data(), path.c_str(), reinterpret_cast<void**>(&text), &length))
            Report(name, std::wstring(text, length ? length - 1 : 0));
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    if (VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        const DWORD high = fixed->dwProductVersionMS;
        const DWORD low = fixed->dwProductVersionLS;
        Report("fixed", std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"."
                + std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low)));
    }
}

void PrintManifest(const wchar_t* file)
{
    std::string manifest = "(none)";
    const HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // RT_MANIFEST (24) by number: the header names it narrow in a wide build.
    if (const HRSRC found = module ? FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)) : nullptr) {
        const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, found)));
        manifest.assign(bytes, SizeofResource(module, found));
        for (char& c : manifest)
            if (c == '\r' || c == '\n')
                c = ' ';
    }
    std::printf("manifest: %s\n", manifest.c_str());
}

int QuietUninstall(const wchar_t* root, const wchar_t* key, wchar_t** files, int fileCount)
{
    const HKEY hive = std::wstring(root) == L"HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    DWORD bytes = 0;
    if (RegGetValueW(hive, key, L"QuietUninstallString", RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return 111;
    std::wstring command(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(hive, key, L"QuietUninstallString", RRF_RT_REG_SZ, nullptr, command.data(), &bytes) != ERROR_SUCCESS)
        return 112;
    command.resize(wcslen(command.c_str()));
    Report("command", command);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 113;
    // An uninstaller waiting for someone at the screen would never end.
    DWORD code = 114;
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, code);
    for (int i = 0; i < fileCount; ++i)
        Report("after", std::wstring(files[i]) + (GetFileAttributesW(files[i]) == INVALID_FILE_ATTRIBUTES ? L": gone" : L": there"));
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return int(code);
}

int StartFromShortcut(const wchar_t* shortcut, const wchar_t* windowClass, const wchar_t* closeWhen)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    wchar_t target[MAX_PATH] = {};
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
            reinterpret_cast<void**>(&link)))
        || FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))
        || FAILED(file->Load(shortcut, STGM_READ))
        || FAILED(link->GetPath(target, MAX_PATH, nullptr, 0)))
        return 101;
    link->GetWorkingDirectory(folder, MAX_PATH);
    Report("target", target);
    Report("folder", folder);

    std::wstring commandLine = L"\"" + std::wstring(target) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(target, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
            folder[0] ? folder : nullptr, &startup, &process))
        return 101;
    // The installer's prefix has no other window of that class; it shows
    // once it is made.
    HWND window = nullptr;
    for (int tenths = 0; !window && tenths < 200; ++tenths) {
        Sleep(100);
        if (const HWND found = FindWindowW(windowClass, nullptr); found && IsWindowVisible(found))
            window = found;
    }
    if (!window) {
        TerminateProcess(process.hProcess, 99);
        return 101;
    }
    wchar_t caption[256] = {};
    GetWindowTextW(window, caption, 256);
    Report("caption", caption);

    for (int tenths = 0; tenths < 1200 && GetFileAttributesW(closeWhen) == INVALID_FILE_ATTRIBUTES; ++tenths)
        Sleep(100);

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, 20000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    Report("exit", std::to_wstring(code));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"resources" && argc == 3) {
        PrintVersion(argv[2]);
        PrintManifest(argv[2]);
        return 0;
    }
    if (command == L"quiet-uninstall" && argc >= 4)
        return QuietUninstall(argv[2], argv[3], argv + 4, argc - 4);
    if (command == L"shortcut" && argc == 5)
        return StartFromShortcut(argv[2], argv[3], argv[4]);
    return 100;
}
