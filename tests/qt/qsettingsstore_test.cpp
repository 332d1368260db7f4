// The Options' store as the editor opens it, QSettings over the user's own
// file: system-wide settings files (/etc/xdg and the like) and the
// organisation's shared file are never read, so a value missing from the
// user's file reads as missing and is written there with its default.

#include "qt/settings/qsettingsstore.h"
#include "settings/settingsstore.h"
#include "tests/support/testfiles.h"
#include "tests/support/xdgsandbox.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace jbx::testing {
namespace {

class QSettingsStoreTest : public ::testing::Test {
protected:
    // QSettings settles on its folders at its first use, so the private ones
    // are put in place before the first test. Every test runs beside a
    // system-wide file and the organisation's, which must not show.
    static void SetUpTestSuite()
    {
        root_ = new TempDir;
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", user().c_str(), 1), 0);
        const std::string system = root_->path() + "/system";
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, QString::fromStdString(system));
        WriteText(system + "/Brackwater/JBXMaker.conf", "[General]\nUseLastOpenDir=yes\nJBXOpenDirectory=/srv/banks\n");
        WriteText(user() + "/Brackwater.conf", "[General]\nUseLastSaveDir=yes\nJBXSaveDirectory=/srv/shared\n");
    }
    static void TearDownTestSuite() { delete root_; }
    void SetUp() override { fs::remove_all(file().parent_path()); }

    static std::string user() { return root_->path() + "/user"; }
    static fs::path file() { return user() + "/Brackwater/JBXMaker.conf"; }

    // What a fresh opening of the store reads for `name`.
    std::optional<std::string> stored(std::string_view name)
    {
        const auto key = store_.open();
        return key ? key->readText(name) : std::nullopt;
    }

    static inline TempDir* root_ = nullptr;
    QSettingsStore store_;
};

TEST_F(QSettingsStoreTest, SystemWideAndSharedFilesAreNeverRead)
{
    for (const std::string_view name : {kUseLastOpenDir, kJBXOpenDirectory, kUseLastSaveDir, kJBXSaveDirectory})
        EXPECT_EQ(stored(name), std::nullopt) << name;
    // Missing from the user's file, the setting reads as no, the start folder
    // as the current directory, and both defaults land in the user's file.
    EXPECT_FALSE(ReadYesNoSetting(store_, kUseLastOpenDir));
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), ".");
    const std::string written = ReadText(file());
    EXPECT_NE(written.find("UseLastOpenDir=no"), std::string::npos) << written;
    EXPECT_NE(written.find("UseLastSaveDir=no"), std::string::npos) << written;
}

TEST_F(QSettingsStoreTest, TextsComeBackAsWrittenFromTheUsersSettingsFile)
{
    for (const std::string text : {"", "/home/jo/Bänke/naïve ÿ", "C:\\Banks\\taunts", "a, b",
             "@Variant(\\0\\0\\0\\x2)", "\"quoted\" ;semi #hash =equals", "  padded  "}) {
        EXPECT_TRUE(store_.open()->writeText(kJBXOpenDirectory, text)) << text;
        EXPECT_EQ(stored(kJBXOpenDirectory), text);
    }
    EXPECT_TRUE(fs::is_regular_file(file()));
}

TEST_F(QSettingsStoreTest, ADamagedFileStillAnswersAndIsRewrittenByTheNextWrite)
{
    for (const std::string& text : {std::string("\xff\xfe\0\x01\x02garbage\n\0\0\x80", 15),
             std::string("[General\nUseLastOpenDir=no\n"),
             // Values QSettings reads as a list or a variant are not texts.
             std::string("[General]\nUseLastSaveDir=no, yes\nJBXOpenDirectory=@ByteArray(/x)\n")}) {
        WriteText(file(), text);
        EXPECT_FALSE(ReadYesNoSetting(store_, kUseLastSaveDir));
        EXPECT_EQ(stored(kUseLastSaveDir), "no");
        WriteYesNoSetting(store_, kUseLastOpenDir, true);
        EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Open), ".");
        EXPECT_EQ(stored(kJBXOpenDirectory), ".");
    }
}

TEST_F(QSettingsStoreTest, AFolderWhereTheFileBelongsMakesTheStoreUnopenable)
{
    fs::create_directories(file());
    EXPECT_EQ(store_.open(), nullptr);
    WriteYesNoSetting(store_, kUseLastSaveDir, true);
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), ".");
    EXPECT_TRUE(fs::is_empty(file()));
}

} // namespace
} // namespace jbx::testing
