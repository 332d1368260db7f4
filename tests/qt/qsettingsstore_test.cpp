// The Options' store: QSettings over the user's own file and no other.

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
    // QSettings settles on its folders at its first use.
    static void SetUpTestSuite()
    {
        root_ = new TempDir;
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", user().c_str(), 1), 0);
        const std::string system = root_->path() + "/system";
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, QString::fromStdString(system));
        WriteText(system + "/Brackwater/JBXMaker.conf", "[General]\nUseLastOpenDir=yes\nJBXOpenDirectory=/srv/banks\n");
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

TEST_F(QSettingsStoreTest, OnlyTheUsersFileIsReadAndTextsComeBackAsWritten)
{
    EXPECT_EQ(stored(kUseLastOpenDir), std::nullopt);
    for (const std::string text : {"", "/home/jo/Bänke/naïve ÿ", "C:\\Banks\\taunts", "a, b",
             "@Variant(\\0\\0\\0\\x2)", "\"quoted\" ;semi #hash =equals", "  padded  "}) {
        EXPECT_TRUE(store_.open()->writeText(kJBXOpenDirectory, text)) << text;
        EXPECT_EQ(stored(kJBXOpenDirectory), text);
    }
    EXPECT_TRUE(fs::is_regular_file(file()));
}

TEST_F(QSettingsStoreTest, ADamagedFileStillAnswersButAFolderInItsPlaceDoesNot)
{
    for (const std::string& text : {std::string("\xff\xfe\0\x01\x02garbage\n\0\0\x80", 15),
             // Values QSettings reads as a list or a variant are not texts.
             std::string("[General]\nUseLastSaveDir=no, yes\nJBXOpenDirectory=@ByteArray(/x)\n")}) {
        WriteText(file(), text);
        ASSERT_NE(store_.open(), nullptr);
        EXPECT_EQ(stored(kUseLastSaveDir), std::nullopt);
        EXPECT_EQ(stored(kJBXOpenDirectory), std::nullopt);
        EXPECT_TRUE(store_.open()->writeText(kUseLastSaveDir, "no"));
        EXPECT_EQ(stored(kUseLastSaveDir), "no");
    }
    fs::remove(file());
    fs::create_directories(file());
    EXPECT_EQ(store_.open(), nullptr);
}

} // namespace
} // namespace jbx::testing
