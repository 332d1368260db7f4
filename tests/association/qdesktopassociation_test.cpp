// The editor's way into the association: the running program's own path, the
// icon from its resources, the XDG folders from the environment, and the
// database tools run as child processes.

#include "settings/qdesktopassociation.h"

#include "tests/association/xdgsandbox.h"
#include "tests/support/fakedesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>

#include <filesystem>
#include <memory>
#include <optional>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using ::testing::IsEmpty;
using testing::DesktopEntryKeys;
using testing::ReadText;
using testing::XdgSandbox;

class ApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QCoreApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[32] = "qdesktopassociation_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QCoreApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

// Points the XDG variables at a sandbox for the life of the object.
class XdgEnvironment {
public:
    explicit XdgEnvironment(const XdgSandbox& sandbox)
    {
        set("XDG_DATA_HOME", sandbox.dataHome());
        set("XDG_CONFIG_HOME", sandbox.configHome());
        set("XDG_DATA_DIRS", sandbox.systemData());
    }
    ~XdgEnvironment()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                qputenv(name, *value);
            else
                qunsetenv(name);
        }
    }

private:
    void set(const char* name, const std::string& value)
    {
        saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        qputenv(name, QByteArray::fromStdString(value));
    }

    std::vector<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

TEST(AssociateBankFilesWithThisProgram, RegistersTheRunningProgramWithItsIcon)
{
    XdgSandbox sandbox;
    XdgEnvironment environment(sandbox);
    testing::FakeDesktop desktop;
    QFile icon(QString::fromLatin1(kProgramIconResource));
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
    const std::string iconSvg = icon.readAll().toStdString();

    AssociateBankFilesWithThisProgram(desktop);

    EXPECT_THAT(desktop.messages, IsEmpty());
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const auto keys = DesktopEntryKeys(ReadText(sandbox.dataHome() + "/applications/jbxmaker.desktop").value_or(""));
    EXPECT_EQ(keys.at("Exec"), DesktopExecProgram(self) + " %f");
    const std::string installedIcon = sandbox.dataHome() + "/icons/hicolor/scalable/apps/jbxmaker.svg";
    EXPECT_EQ(keys.at("Icon"), installedIcon);
    EXPECT_EQ(ReadText(installedIcon), iconSvg);
    // The caches only the real tools write: proof that they ran, on the
    // right folders.
    EXPECT_TRUE(fs::exists(sandbox.dataHome() + "/mime/mime.cache"));
    EXPECT_THAT(ReadText(sandbox.dataHome() + "/applications/mimeinfo.cache").value_or(""),
                ::testing::HasSubstr("application/x-jbx=jbxmaker.desktop;"));
    EXPECT_EQ(sandbox.defaultHandler("application/x-jbx"), "jbxmaker.desktop");
}

TEST(RunDesktopTool, FindsTheToolOnPathAndPassesEachArgumentWhole)
{
    testing::TempDir folder;
    const std::string made = folder.file("made by touch");

    RunDesktopTool("touch", {made});

    EXPECT_TRUE(fs::exists(made));
}

} // namespace
} // namespace jbx
