// jbxmaker.exe as a user starts it, and the settings store on the registry.

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

// Quoted, as the association's command hands it over, in a folder whose
// name needs Unicode: the program takes its command line as Unicode text.
TEST(Program, OpensTheBankItsCommandLineNamesAndEndsWithZero)
{
    TempDir dir;
    const std::string folder = dir.file("Klänge 音");
    std::filesystem::create_directories(PathFromUtf8(folder));
    ASSERT_EQ(WriteBankFile(SoundBank{}, folder + "\\My taunts.jbx"), WriteFileResult::Written);

    std::wstring commandLine =
        L"\"" + WideFromUtf8(JBX_EDITOR_EXE) + L"\" \"" + WideFromUtf8(folder) + L"\\My taunts.jbx\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // Wine on a loaded machine now and then refuses to start a process.
    for (int attempt = 0; attempt < 3 && !process.hProcess; ++attempt)
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    ASSERT_TRUE(process.hProcess);
    const HWND window = WaitForWindowOf(process.dwProcessId, L"JBXMaker");
    EXPECT_EQ(TextOf(window), L"JBX Maker - My taunts.jbx");
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD code = 1000;
    if (WaitForSingleObject(process.hProcess, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 99);
    EXPECT_EQ(code, 0u);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
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
// text its bytes spell.
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
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
}
