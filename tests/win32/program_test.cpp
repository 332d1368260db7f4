// The program's command line, and the settings store on the registry.

#include "seam/filesystem.h"
#include "settings/settingsstore.h"
#include "win32/program.h"
#include "win32/registrystore.h"
#include "win32/widetext.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace jbx;

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

    const std::wstring path = SettingsKeyPath();
    DWORD type = 0;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, path.c_str(), L"JBXOpenDirectory", RRF_RT_ANY, &type, nullptr, nullptr), 0);
    EXPECT_EQ(type, DWORD(REG_SZ));
    const DWORD number = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), L"UseLastOpenDir", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(store.open()->readText(kUseLastOpenDir), "\x01") << "01 00 00 00 spells U+0001";
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath().c_str());
}

// Windows takes a path of MAX_PATH characters or more (a folder's from 248
// on) only with the \\?\ prefix, unless long paths are enabled on the
// system, which Wine does not ask for: the rule is checked as Windows
// applies it. The prefix makes the system take the path literally, so it
// goes on an absolute, normalised path only.
TEST(LongPaths, PathsPastTheLimitGetThePrefixOnTheirFullForm)
{
    std::wstring deep;
    while (deep.size() < 260)
        deep += L"\\" + std::wstring(40, L'd');
    const struct {
        std::wstring given, platform;
    } cases[] = {
        {L"C:" + deep + L"\\x\\..\\a.jbx", L"\\\\?\\C:" + deep + L"\\a.jbx"},
        {L"C:" + deep + L"/a.jbx", L"\\\\?\\C:" + deep + L"\\a.jbx"},
        {L"\\\\server\\share" + deep + L"\\a.jbx", L"\\\\?\\UNC\\server\\share" + deep + L"\\a.jbx"},
        {L"\\\\?\\C:" + deep + L"\\a.jbx", L"\\\\?\\C:" + deep + L"\\a.jbx"},
        // Short enough for every system: as given.
        {L"C:\\x\\..\\a.jbx", L"C:\\x\\..\\a.jbx"},
        {L"C:" + deep.substr(0, 240), L"C:" + deep.substr(0, 240)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathFromUtf8(Utf8FromWide(c.given)).wstring(), c.platform) << Utf8FromWide(c.given);
}

// The manifest lets the editor take long paths and asks for no elevation.
TEST(LongPaths, TheManifestTakesLongPathsAndRunsAsInvoker)
{
    const HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));   // RT_MANIFEST
    ASSERT_TRUE(found);
    const std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, found))),
        SizeofResource(nullptr, found));
    EXPECT_NE(manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>"),
        std::string::npos);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
}
