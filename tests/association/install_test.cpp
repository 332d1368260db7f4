// What the installation puts where a desktop expects it, checked with the
// desktop's own tools: the installed tree (cmake --install), the AppStream
// metainfo, and the Debian package that cpack builds.

#include "settings/association.h"

#include "tests/association/xdgsandbox.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using testing::ReadText;
using testing::RunProgram;
using testing::RunResult;
using testing::XdgSandbox;

const std::string kSourceDir = JBX_SOURCE_DIR;
const std::string kBuildDir = JBX_BUILD_DIR;
const std::string kMetainfo = "share/metainfo/" JBX_METAINFO_ID ".metainfo.xml";

std::string Describe(const RunResult& result)
{
    return "exit " + std::to_string(result.exitCode) + "\n" + result.out + result.err;
}

// The files an installation holds, relative to its prefix. The icons come
// from the icon set in resources/icons, when it is there.
std::set<std::string> ExpectedFiles()
{
    std::set<std::string> files{
        "bin/jbxtool",
        "share/applications/jbxmaker.desktop",
        "share/mime/packages/jbxmaker.xml",
        kMetainfo,
    };
    if (JBX_WITH_GUI)
        files.insert("bin/jbxmaker");
    if (fs::exists(kSourceDir + "/resources/icons/jbxmaker.svg")) {
        files.insert("share/icons/hicolor/scalable/apps/jbxmaker.svg");
        files.insert("share/icons/hicolor/scalable/mimetypes/application-x-jbx.svg");
    }
    return files;
}

std::set<std::string> FilesUnder(const std::string& folder)
{
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory())
            files.insert(fs::relative(entry.path(), folder).string());
    }
    return files;
}

TEST(InstalledData, MetainfoPassesTheAppStreamValidator)
{
    const RunResult result = RunProgram(
        "appstreamcli", {"validate", "--no-net", "--strict", kSourceDir + "/resources/" JBX_METAINFO_ID ".metainfo.xml"});
    EXPECT_EQ(result.exitCode, 0) << Describe(result);
}

TEST(InstalledData, InstalledMimePackageIsTheOneTheAssociationWrites)
{
    // Both define application/x-jbx; two different definitions of one type
    // would make the desktop's answer depend on which folder it read first.
    EXPECT_EQ(ReadText(kSourceDir + "/resources/jbxmaker-mime.xml"), BankMimePackage());
}

TEST(InstalledTree, HoldsTheProgramsAndTheDesktopDataAndTheDesktopFindsThem)
{
    XdgSandbox sandbox;
    // Installed as a system folder of the private desktop: <root>/system.
    const std::string prefix = sandbox.path("system");
    const RunResult install = RunProgram(JBX_CMAKE, {"--install", kBuildDir, "--prefix", prefix});
    ASSERT_EQ(install.exitCode, 0) << Describe(install);

    EXPECT_EQ(FilesUnder(prefix), ExpectedFiles());

    const RunResult entry = RunProgram("desktop-file-validate", {prefix + "/share/applications/jbxmaker.desktop"});
    EXPECT_EQ(entry.exitCode, 0) << Describe(entry);
    const RunResult tree = RunProgram("appstreamcli", {"validate-tree", "--no-net", "--strict", prefix});
    EXPECT_EQ(tree.exitCode, 0) << Describe(tree);
    const RunResult mime = RunProgram("update-mime-database", {prefix + "/share/mime"});
    ASSERT_EQ(mime.exitCode, 0) << Describe(mime);
    const RunResult applications = RunProgram("update-desktop-database", {prefix + "/share/applications"});
    ASSERT_EQ(applications.exitCode, 0) << Describe(applications);

    testing::WriteText(sandbox.path("banks/demo.jbx"), "IWAD");
    EXPECT_EQ(sandbox.fileType(sandbox.path("banks/demo.jbx")), "application/x-jbx");
    EXPECT_THAT(ReadText(prefix + "/share/mime/application/x-jbx.xml").value_or(""),
                HasSubstr("<comment>Jeer Box Sound File</comment>"));
    if (JBX_WITH_GUI) {
        // The entry names the program without a folder: it must be on PATH.
        sandbox.addToPath(prefix + "/bin");
        EXPECT_EQ(sandbox.defaultHandler("application/x-jbx"), "jbxmaker.desktop");
        EXPECT_THAT(sandbox.gioHandlers("application/x-jbx"), Contains("jbxmaker.desktop"));
    }
}

// The package's paths as dpkg-deb lists them ("./usr/bin/jbxtool"), files
// and links only.
std::set<std::string> PackageFiles(const std::string& listing)
{
    std::set<std::string> files;
    std::istringstream lines(listing);
    std::string line;
    while (std::getline(lines, line)) {
        const auto start = line.find(" ./");
        if (start == std::string::npos)
            continue;
        std::string path = line.substr(start + 1);
        path = path.substr(0, path.find(" -> "));
        if (!path.empty() && path.back() != '/')
            files.insert(path);
    }
    return files;
}

TEST(DebianPackage, HoldsTheInstallationUnderUsr)
{
    testing::TempDir out;
    const RunResult cpack = RunProgram(JBX_CPACK, {"-G", "DEB", "--config", kBuildDir + "/CPackConfig.cmake",
                                                   "-B", out.path()});
    ASSERT_EQ(cpack.exitCode, 0) << Describe(cpack);

    std::vector<std::string> packages;
    for (const auto& entry : fs::directory_iterator(out.path())) {
        if (entry.path().extension() == ".deb")
            packages.push_back(entry.path().string());
    }
    ASSERT_EQ(packages.size(), 1u) << Describe(cpack);
    const std::string deb = packages.front();

    const RunResult contents = RunProgram("dpkg-deb", {"-c", deb});
    ASSERT_EQ(contents.exitCode, 0) << Describe(contents);
    std::set<std::string> expected;
    for (const std::string& file : ExpectedFiles())
        expected.insert("./usr/" + file);
    EXPECT_EQ(PackageFiles(contents.out), expected) << contents.out;

    const auto field = [&](const std::string& name) {
        std::string value = RunProgram("dpkg-deb", {"-f", deb, name}).out;
        while (!value.empty() && value.back() == '\n')
            value.pop_back();
        return value;
    };
    EXPECT_EQ(field("Package"), "jbxmaker");
    EXPECT_EQ(field("Version"), JBX_VERSION);
    EXPECT_EQ(field("Section"), "sound");
    EXPECT_THAT(field("Maintainer"), HasSubstr("@example.org>"));
    // The libraries the programs link, found by dpkg-shlibdeps.
    EXPECT_THAT(field("Depends"), HasSubstr("libc6"));
    if (JBX_WITH_GUI) {
        EXPECT_THAT(field("Depends"), HasSubstr("libqt6widgets6"));
        EXPECT_THAT(field("Depends"), HasSubstr("libsndfile1"));
    }
}

} // namespace
} // namespace jbx
