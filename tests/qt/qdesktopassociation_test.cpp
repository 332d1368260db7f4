// The running program's own path, the icon from its resources, and the
// database tools run as child processes.

#include "qt/settings/qdesktopassociation.h"

#include "settings/desktopentry.h"
#include "tests/support/xdgsandbox.h"
#include "tests/support/fakedesktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>

namespace jbx {
namespace {

using ::testing::HasSubstr;
using testing::ReadText;

TEST(AssociateBankFilesWithThisProgram, RegistersTheRunningProgramWithItsIcon)
{
    int argc = 1;
    char name[] = "qdesktopassociation_test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    testing::XdgSandbox sandbox;
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(sandbox.dataHome()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(sandbox.configHome()));
    qputenv("XDG_DATA_DIRS", QByteArray::fromStdString(sandbox.systemData()));
    QFile icon(QString::fromLatin1(kProgramIconResource));
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
    testing::FakeDesktop desktop;

    AssociateBankFilesWithThisProgram(desktop);

    EXPECT_THAT(desktop.messages, ::testing::IsEmpty());
    const std::string self = QCoreApplication::applicationFilePath().toStdString();
    const std::string entry = ReadText(sandbox.dataHome() + "/applications/" + std::string(kAssociationEntryId));
    EXPECT_THAT(entry, HasSubstr("\nExec=" + DesktopExecProgram(self) + " %f\n"));
    EXPECT_EQ(ReadText(sandbox.dataHome() + "/icons/hicolor/scalable/apps/jbxmaker.svg"), icon.readAll().toStdString());
    // Caches only the real tools write: proof that they ran, on these folders.
    EXPECT_NE(ReadText(sandbox.dataHome() + "/mime/mime.cache"), "");
    EXPECT_THAT(ReadText(sandbox.dataHome() + "/applications/mimeinfo.cache"),
                HasSubstr("application/x-jbx=jbxmaker-associated.desktop;"));
}

} // namespace
} // namespace jbx
