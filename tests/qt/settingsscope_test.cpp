// The Options' store as the editor opens it, QSettings over the user's own
// file: system-wide settings files (/etc/xdg and the like) and the
// organisation's shared file are never read, so a value missing from the
// user's file reads as missing and is written there with its default.

#include "qt/settings/qsettingsstore.h"
#include "settings/settingsstore.h"
#include "tests/support/xdgsandbox.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>

#include <cstdlib>

namespace jbx::testing {
namespace {

TEST(QSettingsStoreScopeTest, SystemWideAndSharedFilesAreNeverRead)
{
    TempDir root;
    const std::string user = root.path() + "/user";
    const std::string system = root.path() + "/system";
    // QSettings settles on its folders at its first use.
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", user.c_str(), 1), 0);
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, QString::fromStdString(system));
    WriteText(system + "/Brackwater/JBXMaker.conf",
              "[General]\nUseLastOpenDir=yes\nJBXOpenDirectory=/srv/banks\n");
    // The organisation's file, which QSettings also falls back to.
    WriteText(user + "/Brackwater.conf", "[General]\nUseLastSaveDir=yes\nJBXSaveDirectory=/srv/shared\n");

    QSettingsStore store;
    const auto key = store.open();
    ASSERT_NE(key, nullptr);
    for (const std::string_view name : {kUseLastOpenDir, kJBXOpenDirectory, kUseLastSaveDir, kJBXSaveDirectory})
        EXPECT_EQ(key->readText(name), std::nullopt) << name;

    // Missing from the user's file, the setting reads as no, the start folder
    // as the current directory, and both defaults land in the user's file.
    EXPECT_FALSE(ReadYesNoSetting(store, kUseLastOpenDir));
    EXPECT_EQ(LoadStartDirectory(store, DirectoryKind::Save), ".");
    const std::string written = ReadText(user + "/Brackwater/JBXMaker.conf");
    EXPECT_NE(written.find("UseLastOpenDir=no"), std::string::npos) << written;
    EXPECT_NE(written.find("UseLastSaveDir=no"), std::string::npos) << written;
}

} // namespace
} // namespace jbx::testing
