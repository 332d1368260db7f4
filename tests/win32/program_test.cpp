// jbxmaker.exe as a user starts it: the command line is one bank path, the
// window carries the class and caption, and closing it ends the program
// with 0. Also the settings store on the registry.

#include "settings/settingsstore.h"
#include "win32/program.h"
#include "win32/registrystore.h"
#include "win32/widetext.h"

#include "tests/support/testfiles.h"
#include "tests/win32/dialogdriver.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "seam/filesystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string_view>

using namespace jbx;
using namespace jbx::testing;

namespace {

class Program {
public:
    // The text after the program's name is exactly `arguments`.
    explicit Program(const std::wstring& arguments)
    {
        std::wstring commandLine = L"\"" + WideFromUtf8(JBX_EDITOR_EXE) + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        for (int attempt = 0; attempt < 3 && !process_.hProcess; ++attempt)
            if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                    &process_))
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

TEST(Program, StartsWithTheBankOfItsCommandLineAndEndsWithZero)
{
    TempDir dir;
    const std::string folder = dir.file("Klänge 音");
    std::filesystem::create_directories(PathFromUtf8(folder));
    SoundBank bank;
    ASSERT_EQ(WriteBankFile(bank, folder + "\\My taunts.jbx"), WriteFileResult::Written);

    const struct {
        std::wstring bank;
        std::wstring caption;
        bool missing;   // the loader's message shows before the window
    } cases[] = {
        {L"My taunts.jbx", L"JBX Maker - My taunts.jbx", false},
        {L"Missing.jbx", L"JBX Maker - Untitled", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Utf8FromWide(c.bank));
        // Quoted, as the association's command hands it over.
        Program program(L"\"" + WideFromUtf8(folder) + L"\\" + c.bank + L"\"");
        ASSERT_TRUE(program.started());
        if (c.missing) {
            const HWND box = program.window(L"#32770");
            ASSERT_TRUE(box);
            EXPECT_EQ(ReadMessageBox(box).owner, nullptr);
            Press(box, IDOK);
        }
        const HWND window = program.window(L"JBXMaker");
        ASSERT_TRUE(window);
        EXPECT_EQ(TextOf(window), c.caption);
        EXPECT_EQ(program.close(window), 0u);
    }
}

TEST(Program, TheCommandLineIsOneBankPathQuotedOrNot)
{
    const struct {
        std::wstring_view commandLine, path;
    } cases[] = {
        {L"C:\\Klänge 音\\My taunts.jbx", L"C:\\Klänge 音\\My taunts.jbx"},
        {L"\"C:\\My taunts.jbx\"", L"C:\\My taunts.jbx"},
        {L"", L""},
        // Two banks are no one path, and are not taken apart.
        {L"\"C:\\a.jbx\" \"C:\\b.jbx\"", L"\"C:\\a.jbx\" \"C:\\b.jbx\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BankPathFromCommandLine(c.commandLine), c.path) << Utf8FromWide(std::wstring(c.commandLine));
}

// Texts are stored as REG_SZ; a value of another type is read as the
// text its bytes spell, and left as it was stored.
TEST(RegistryStore, KeepsTextsAsRegSzAndReadsAnyTypeAsItsBytesText)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
    RegistrySettingsStore store;
    const std::string folder = "C:\\Klänge 音";
    ASSERT_TRUE(store.open()->writeText(kJBXOpenDirectory, folder));
    EXPECT_EQ(store.open()->readText(kJBXOpenDirectory), folder);
    EXPECT_EQ(store.open()->readText("Missing"), std::nullopt);

    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath().c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"JBXOpenDirectory", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    const DWORD number = 1;
    RegSetValueExW(key, L"UseLastOpenDir", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_EQ(store.open()->readText(kUseLastOpenDir), "\x01") << "01 00 00 00 spells U+0001";
    EXPECT_EQ(RegQueryValueExW(key, L"UseLastOpenDir", nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
}
