#include "settings/qsettingsstore.h"

#include "bank/filesystem.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace fs = std::filesystem;

namespace jbx {
namespace {

// QSettings settles on the user's configuration folder at its first use, so
// the private folder is put in place before any test runs.
class ConfigHomeEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        home_ = std::make_unique<testing::TempDir>();
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", home_->path().c_str(), 1), 0);
    }
    void TearDown() override { home_.reset(); }

    static fs::path home() { return fs::path(std::getenv("XDG_CONFIG_HOME")); }

private:
    std::unique_ptr<testing::TempDir> home_;
};

[[maybe_unused]] ::testing::Environment* const kConfigHome =
    ::testing::AddGlobalTestEnvironment(new ConfigHomeEnvironment);

std::string Utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(CurrentDirectory()) {}
    ~CurrentDirectoryGuard() { ChangeCurrentDirectory(saved_); }

private:
    std::string saved_;
};

class QSettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { fs::remove_all(folder()); }

    static fs::path folder() { return ConfigHomeEnvironment::home() / "Brackwater"; }
    static fs::path file() { return folder() / "JBXMaker.conf"; }

    static void writeFile(std::string_view text)
    {
        fs::create_directories(folder());
        testing::WriteBytes(file().string(), testing::ToBytes(text));
    }

    // What a fresh opening of the store reads for `name`.
    std::optional<std::string> stored(std::string_view name)
    {
        const auto key = store_.open();
        if (!key)
            return std::nullopt;
        return key->readText(name);
    }

    QSettingsStore store_;
};

TEST_F(QSettingsStoreTest, TextsComeBackAsWrittenFromTheUsersSettingsFile)
{
    const std::string texts[] = {
        "yes", "no", ".", "",
        "/home/jo/Bänke/naïve ÿ",
        "C:\\Banks\\taunts",
        "a, b",
        "@Variant(\\0\\0\\0\\x2)",
        "\"quoted\" ;semi #hash =equals",
        "  padded  ",
        "/" + std::string(253, 'x'),
    };
    for (const std::string& text : texts) {
        {
            const auto key = store_.open();
            ASSERT_NE(key, nullptr);
            EXPECT_TRUE(key->writeText(kJBXOpenDirectory, text)) << text;
        }
        EXPECT_EQ(stored(kJBXOpenDirectory), text);
    }
    EXPECT_TRUE(fs::is_regular_file(file()));
}

TEST_F(QSettingsStoreTest, MissingOrNonTextValuesAreUnreadableAndGetReplaced)
{
    writeFile("[General]\n"
              "UseLastOpenDir=no, yes\n"
              "UseLastSaveDir=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"
              "JBXOpenDirectory=@ByteArray(/banks)\n");

    EXPECT_EQ(stored(kUseLastOpenDir), std::nullopt);
    EXPECT_EQ(stored(kUseLastSaveDir), std::nullopt);
    EXPECT_EQ(stored(kJBXOpenDirectory), std::nullopt);
    EXPECT_EQ(stored(kJBXSaveDirectory), std::nullopt);

    EXPECT_FALSE(ReadYesNoSetting(store_, kUseLastOpenDir));
    EXPECT_EQ(stored(kUseLastOpenDir), "no");
    WriteYesNoSetting(store_, kUseLastSaveDir, true);
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), ".");
    EXPECT_EQ(stored(kJBXSaveDirectory), ".");
}

TEST_F(QSettingsStoreTest, EveryOperationSeesTheFileAsItIsNow)
{
    writeFile("[General]\nUseLastSaveDir=No\nJBXSaveDirectory=/srv/jeer banks\n");
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), "/srv/jeer banks");

    // QSettings notices a change by the file's size or its time to the
    // millisecond, so an edit made at once must change the size.
    writeFile("[General]\nUseLastSaveDir=no\nJBXSaveDirectory=/srv/banks\n");
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), ".");

    // A write through another store object is seen at once.
    QSettingsStore other;
    WriteYesNoSetting(other, kUseLastSaveDir, true);
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), "/srv/banks");
}

TEST_F(QSettingsStoreTest, StoresTheCurrentDirectoryAsUtf8)
{
    CurrentDirectoryGuard guard;
    testing::TempDir temp;
    const fs::path chosen = fs::canonical(temp.path()) / fs::path(u8"Bänke, alt");
    fs::create_directory(chosen);
    ASSERT_TRUE(ChangeCurrentDirectory(Utf8(chosen)));

    StoreLastDirectory(store_, DirectoryKind::Open);
    WriteYesNoSetting(store_, kUseLastOpenDir, true);

    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Open), Utf8(chosen));
}

struct DamagedFile {
    const char* label;
    std::string text;
};

void PrintTo(const DamagedFile& c, std::ostream* os) { *os << c.label; }

class DamagedSettingsFileTest : public QSettingsStoreTest,
                                public ::testing::WithParamInterface<DamagedFile> {};

TEST_P(DamagedSettingsFileTest, StillAnswersAndIsRewrittenByTheNextWrite)
{
    writeFile(GetParam().text);

    EXPECT_FALSE(ReadYesNoSetting(store_, kUseLastSaveDir));
    EXPECT_EQ(stored(kUseLastSaveDir), "no");

    WriteYesNoSetting(store_, kUseLastOpenDir, true);
    {
        const auto key = store_.open();
        ASSERT_NE(key, nullptr);
        EXPECT_TRUE(key->writeText(kJBXOpenDirectory, "/banks"));
    }
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Open), "/banks");
}

INSTANTIATE_TEST_SUITE_P(Contents, DamagedSettingsFileTest, ::testing::Values(
    DamagedFile{"binary", std::string("\xff\xfe\0\x01\x02garbage\n\0\0\x80", 15)},
    DamagedFile{"unclosedSection", "[General\nUseLastOpenDir=no\n"},
    DamagedFile{"linesWithoutValues", "just some words\n[General]\nUseLastOpenDir\n"},
    DamagedFile{"unterminatedQuote", "[General]\nJBXOpenDirectory=\"/half\n"},
    DamagedFile{"empty", ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(QSettingsStoreTest, AFolderWhereTheFileBelongsMakesTheStoreUnopenable)
{
    fs::create_directories(file());

    EXPECT_EQ(store_.open(), nullptr);
    EXPECT_FALSE(ReadYesNoSetting(store_, kUseLastOpenDir));
    WriteYesNoSetting(store_, kUseLastSaveDir, true);
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Save), ".");
    StoreLastDirectory(store_, DirectoryKind::Save);

    EXPECT_TRUE(fs::is_directory(file()));
    EXPECT_TRUE(fs::is_empty(file()));
}

TEST_F(QSettingsStoreTest, AFileWhereTheFolderBelongsLosesWritesQuietly)
{
    const std::string blocker = "not a folder\n";
    fs::create_directories(folder().parent_path());
    testing::WriteBytes(folder().string(), testing::ToBytes(blocker));

    {
        const auto key = store_.open();
        ASSERT_NE(key, nullptr);
        EXPECT_FALSE(key->writeText(kUseLastOpenDir, "yes"));
    }
    EXPECT_EQ(stored(kUseLastOpenDir), std::nullopt);
    EXPECT_FALSE(ReadYesNoSetting(store_, kUseLastOpenDir));
    EXPECT_EQ(LoadStartDirectory(store_, DirectoryKind::Open), ".");
    StoreLastDirectory(store_, DirectoryKind::Open);

    EXPECT_EQ(testing::ReadBytes(folder().string()), testing::ToBytes(blocker));
}

} // namespace
} // namespace jbx
