// jbxmaker.exe as a user starts it: the command line is one bank path, the
// window carries the class and caption, and closing it ends the program
// with 0. Also the settings store on the registry.

#include "settings/settingsstore.h"
#include "win32/program.h"
#include "win32/registryassociation.h"
#include "win32/registrystore.h"
#include "win32/widetext.h"

#include "tests/support/testfiles.h"
#include "tests/win32/dialogdriver.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "seam/filesystem.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string_view>
#include <thread>

using namespace jbx;
using namespace jbx::testing;

namespace {

class Program {
public:
    // The text after the program's name is exactly `arguments`.
    Program(const std::wstring& arguments, const std::wstring& directory = L"")
    {
        std::wstring commandLine = L"\"" + WideFromUtf8(JBX_EDITOR_EXE) + L"\"";
        if (!arguments.empty())
            commandLine += L" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        for (int attempt = 0; attempt < 3 && !process_.hProcess; ++attempt)
            if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                    directory.empty() ? nullptr : directory.c_str(), &startup, &process_))
                process_ = {};
    }
    ~Program()
    {
        if (!process_.hProcess)
            return;
        TerminateProcess(process_.hProcess, 99);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    bool started() const { return process_.hProcess != nullptr; }
    HWND window(const wchar_t* className) const { return WaitForWindowOf(process_.dwProcessId, className); }
    // Closes the main window as its close box does; gives the exit code.
    DWORD close(HWND mainWindow)
    {
        PostMessageW(mainWindow, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 20000) != WAIT_OBJECT_0)
            return 1000;
        DWORD code = 1001;
        GetExitCodeProcess(process_.hProcess, &code);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        process_ = {};
        return code;
    }

private:
    PROCESS_INFORMATION process_{};
};

} // namespace

TEST(Program, TheCommandLineIsOneBankPathAndClosingEndsWithZero)
{
    TempDir dir;
    const std::string folder = dir.file("Klänge 音");
    std::filesystem::create_directories(PathFromUtf8(folder));
    SoundBank bank;
    ASSERT_EQ(WriteBankFile(bank, folder + "\\My taunts.jbx"), WriteFileResult::Written);

    const struct {
        std::wstring arguments;
        std::wstring directory;
        std::wstring caption;
        std::wstring error;   // the loader's message, shown before the window
    } cases[] = {
        {L"", L"", L"JBX Maker - Untitled", L""},
        {WideFromUtf8(folder) + L"\\My taunts.jbx", L"", L"JBX Maker - My taunts.jbx", L""},
        {L"My taunts.jbx", WideFromUtf8(folder), L"JBX Maker - My taunts.jbx", L""},
        {L"\"" + WideFromUtf8(folder) + L"\\My taunts.jbx\"", L"", L"JBX Maker - My taunts.jbx", L""},
        {L"\"" + WideFromUtf8(folder) + L"\\Missing.jbx\"", L"", L"JBX Maker - Untitled", L"Cannot open JBX file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8FromWide(c.arguments));
        Program program(c.arguments, c.directory);
        ASSERT_TRUE(program.started());
        if (!c.error.empty()) {
            const HWND box = program.window(L"#32770");
            ASSERT_TRUE(box);
            const SeenBox seen = ReadMessageBox(box);
            EXPECT_EQ(seen.text, c.error);
            EXPECT_EQ(seen.caption, L"Error");
            EXPECT_EQ(seen.owner, nullptr);
            Press(box, IDOK);
        }
        const HWND window = program.window(L"JBXMaker");
        ASSERT_TRUE(window);
        EXPECT_EQ(TextOf(window), c.caption);
        EXPECT_EQ(program.close(window), 0u);
    }
}

// The text wWinMain is handed: what follows the program's name (a quote
// opens or closes a quoted stretch, blanks and control characters end it
// outside one) and the blanks after it, as MinGW-w64's start-up code cuts
// it from GetCommandLineW.
static std::wstring WinMainCommandLine(std::wstring_view commandLine)
{
    std::size_t i = 0;
    bool quoted = false;
    for (; i < commandLine.size() && (commandLine[i] > L' ' || quoted); ++i) {
        if (commandLine[i] == L'"')
            quoted = !quoted;
    }
    while (i < commandLine.size() && commandLine[i] <= L' ')
        ++i;
    return std::wstring(commandLine.substr(i));
}

TEST(Program, OpeningABankThroughTheAssociationHandsStartUpItsPath)
{
    const std::wstring program = L"C:\\Users\\Zoë\\AppData\\Local\\Programs\\JBX Maker\\jbxmaker.exe";
    for (const std::wstring bank : {L"C:\\Klänge 音\\My taunts.jbx", L"D:\\taunts.jbx"}) {
        SCOPED_TRACE(Utf8FromWide(bank));
        // The shell puts the bank's path where "%1" is.
        std::wstring commandLine = AssociationCommand(program);
        commandLine.replace(commandLine.find(L"%1"), 2, bank);
        EXPECT_EQ(BankPathFromCommandLine(WinMainCommandLine(commandLine)), bank);
    }
    // Two banks are no one path, and are not taken apart.
    EXPECT_EQ(BankPathFromCommandLine(L"\"C:\\a.jbx\" \"C:\\b.jbx\""), L"\"C:\\a.jbx\" \"C:\\b.jbx\"");
}

TEST(RegistryStore, KeepsTextsAsRegSzAndReadsAnyTypeAsItsBytesText)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
    RegistrySettingsStore store;
    const std::string folder = "C:\\Klänge 音";
    ASSERT_TRUE(store.open()->writeText(kJBXOpenDirectory, folder));
    EXPECT_EQ(store.open()->readText(kJBXOpenDirectory), folder);
    EXPECT_EQ(store.open()->readText("Missing"), std::nullopt);

    // Values of other types are read, and left as they were stored.
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    const DWORD number = 1;
    RegSetValueExW(key, L"UseLastOpenDir", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    const wchar_t no[] = {L'n', L'o'};
    RegSetValueExW(key, L"UseLastSaveDir", 0, REG_BINARY, reinterpret_cast<const BYTE*>(no), sizeof no);
    EXPECT_EQ(store.open()->readText(kUseLastOpenDir), "\x01") << "01 00 00 00 spells U+0001";
    EXPECT_TRUE(ReadYesNoSetting(store, kUseLastOpenDir)) << "1 is not no";
    EXPECT_FALSE(ReadYesNoSetting(store, kUseLastSaveDir));
    for (const auto& [name, type] : {std::pair{L"UseLastOpenDir", REG_DWORD}, {L"UseLastSaveDir", REG_BINARY}}) {
        DWORD stored = 0;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &stored, nullptr, nullptr), ERROR_SUCCESS);
        EXPECT_EQ(stored, DWORD(type)) << name;
    }
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
}
