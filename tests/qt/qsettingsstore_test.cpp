#include "qt/settings/qsettingsstore.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace jbx {
namespace {

class QSettingsStoreTest : public ::testing::Test {
protected:
    // QSettings settles on the user's configuration folder at its first use,
    // so the private folder is put in place before the first test.
    static void SetUpTestSuite()
    {
        home_ = new testing::TempDir;
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", home_->path().c_str(), 1), 0);
    }
    static void TearDownTestSuite() { delete home_; }
    void SetUp() override { fs::remove_all(folder()); }

    static fs::path folder() { return fs::path(home_->path()) / "Brackwater"; }
    static fs::path file() { return folder() / "JBXMaker.conf"; }

    // What a fresh opening of the store reads for `name`.
    std::optional<std::string> stored(std::string_view name)
    {
        const auto key = store_.open();
        return key ? key->readText(name) : std::nullopt;
    }

    static inline testing::TempDir* home_ = nullptr;
    QSettingsStore store_;
};

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
        fs::create_directories(folder());
        testing::WriteBytes(file().string(), testing::ToBytes(text));
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
} // namespace jbx
