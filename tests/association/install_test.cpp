// What the installation puts where a desktop expects it: the installed tree
// (cmake --install), the AppStream metainfo, and the Debian package.

#if JBX_WITH_GUI
#include "qt/player/soundoutputloader.h"
#endif
#include "tests/cli/runtool.h"
#include "tests/support/testfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using ::testing::HasSubstr;
using testing::RunProgram;
using testing::RunResult;

const std::string kSourceDir = JBX_SOURCE_DIR;
const std::string kBuildDir = JBX_BUILD_DIR;
const std::string kMetainfo = "share/metainfo/" JBX_METAINFO_ID ".metainfo.xml";

// The files an installation holds, relative to its prefix.
std::set<std::string> ExpectedFiles(const std::string& prefix)
{
    std::set<std::string> files{prefix + "bin/jbxtool", prefix + "share/applications/jbxmaker.desktop",
        prefix + "share/mime/packages/jbxmaker.xml", prefix + kMetainfo,
        prefix + "share/icons/hicolor/scalable/apps/jbxmaker.svg",
        prefix + "share/icons/hicolor/scalable/mimetypes/application-x-jbx.svg"};
#if JBX_WITH_GUI
    files.insert(prefix + "bin/jbxmaker");
    files.insert(prefix + JBX_PLAYER_MODULE_INSTALL_DIR "/jbxmaker-player.so");
#endif
    return files;
}

TEST(InstalledData, MetainfoPassesTheAppStreamValidator)
{
    const std::string metainfo = kSourceDir + "/resources/" JBX_METAINFO_ID ".metainfo.xml";
    const RunResult result = RunProgram("appstreamcli", {"validate", "--no-net", "--strict", metainfo});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
}

TEST(InstalledTree, HoldsTheProgramsAndTheDesktopData)
{
    testing::TempDir prefix;
    const RunResult install = RunProgram(JBX_CMAKE, {"--install", kBuildDir, "--prefix", prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.out << install.err;

    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(prefix.path())) {
        if (!entry.is_directory())
            files.insert(fs::relative(entry.path(), prefix.path()).string());
    }
    EXPECT_EQ(files, ExpectedFiles(""));
#if JBX_WITH_GUI
    // The editor finds its player module from its own folder.
    const QString programFolder = QString::fromStdString(prefix.path() + "/bin");
    EXPECT_NE(LoadSoundOutput(SoundOutputFolders(programFolder)), nullptr);
#endif
}

TEST(DebianPackage, HoldsTheInstallationUnderUsr)
{
    testing::TempDir out;
    const RunResult cpack = RunProgram(JBX_CPACK, {"-G", "DEB", "--config", kBuildDir + "/CPackConfig.cmake",
                                                   "-B", out.path()});
    ASSERT_EQ(cpack.exitCode, 0) << cpack.out << cpack.err;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(out.path())) {
        if (entry.path().extension() == ".deb")
            deb = entry.path().string();
    }
    ASSERT_FALSE(deb.empty()) << cpack.out << cpack.err;

    // dpkg-deb lists "... ./usr/bin/jbxtool", folders ending in '/'.
    const RunResult contents = RunProgram("dpkg-deb", {"-c", deb});
    ASSERT_EQ(contents.exitCode, 0) << contents.out << contents.err;
    std::set<std::string> files;
    std::istringstream lines(contents.out);
    for (std::string line; std::getline(lines, line);) {
        const auto start = line.find(" ./");
        if (start != std::string::npos && line.back() != '/')
            files.insert(line.substr(start + 1, line.find(" -> ") - start - 1));
    }
    EXPECT_EQ(files, ExpectedFiles("./usr/")) << contents.out;

    const auto field = [&](const std::string& name) { return RunProgram("dpkg-deb", {"-f", deb, name}).out; };
    EXPECT_EQ(field("Package"), "jbxmaker\n");
    EXPECT_EQ(field("Version"), JBX_VERSION "\n");
    EXPECT_EQ(field("Section"), "sound\n");
    // The libraries the programs link, found by dpkg-shlibdeps.
    const std::string depends = field("Depends");
    EXPECT_THAT(depends, HasSubstr(JBX_WITH_GUI ? "libqt6widgets6" : "libc6"));
    if (JBX_WITH_GUI) {
        // Those of the player module too, which nothing links.
        EXPECT_THAT(depends, HasSubstr("libqt6multimedia6"));
        EXPECT_THAT(depends, HasSubstr("libsndfile1"));
    }
}

} // namespace
} // namespace jbx
