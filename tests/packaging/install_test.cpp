// What the installation puts where a desktop and a packager expect it.

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
#include <vector>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using testing::RunProgram;
using testing::RunResult;

const std::string kBuildDir = JBX_BUILD_DIR;
const std::string kMetainfo = "share/metainfo/" JBX_METAINFO_ID ".metainfo.xml";

// The files an installation holds, relative to its prefix.
std::set<std::string> ExpectedFiles()
{
    std::set<std::string> files{"bin/jbxtool", "share/applications/jbxmaker.desktop", "share/mime/packages/jbxmaker.xml",
        kMetainfo, "share/icons/hicolor/scalable/apps/jbxmaker.svg",
        "share/icons/hicolor/scalable/mimetypes/application-x-jbx.svg", "share/man/man1/jbxtool.1.gz",
        "share/bash-completion/completions/jbxtool", "share/doc/jbxmaker/copyright", "share/doc/jbxmaker/changelog.gz"};
#if JBX_WITH_GUI
    files.insert({"bin/jbxmaker", "share/man/man1/jbxmaker.1.gz", JBX_PLAYER_MODULE_INSTALL_DIR "/jbxmaker-player.so"});
#endif
    return files;
}

std::set<std::string> FilesUnder(const std::string& prefix)
{
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(prefix)) {
        if (!entry.is_directory())
            files.insert(fs::relative(entry.path(), prefix).string());
    }
    return files;
}

// One installation (cmake --install) for every test of the installed tree.
class InstalledTree : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        prefix_ = new testing::TempDir;
        const RunResult install = RunProgram(JBX_CMAKE, {"--install", kBuildDir, "--prefix", prefix_->path()});
        installed_ = install.exitCode == 0 ? "" : install.out + install.err;
    }
    static void TearDownTestSuite() { delete prefix_; }
    void SetUp() override { ASSERT_EQ(installed_, ""); }

    static std::string installed(const std::string& file) { return prefix_->path() + "/" + file; }

    static inline testing::TempDir* prefix_ = nullptr;
    static inline std::string installed_;
};

TEST_F(InstalledTree, HoldsTheProgramsAndTheDesktopDataOfTheBuiltVersion)
{
    EXPECT_EQ(FilesUnder(prefix_->path()), ExpectedFiles());
#if JBX_WITH_GUI
    // The editor finds its player module from its own folder.
    EXPECT_NE(LoadSoundOutput(SoundOutputFolders(QString::fromStdString(installed("bin")))), nullptr);
#endif

    const RunResult valid = RunProgram("appstreamcli", {"validate", "--no-net", "--strict", installed(kMetainfo)});
    EXPECT_EQ(valid.exitCode, 0) << valid.out << valid.err;
    const Bytes metainfo = testing::ReadBytes(installed(kMetainfo));
    EXPECT_THAT(std::string(metainfo.begin(), metainfo.end()), HasSubstr("<release version=\"" JBX_VERSION "\""));
    const RunResult changelog = RunProgram("gzip", {"-dc", installed("share/doc/jbxmaker/changelog.gz")});
    EXPECT_THAT(changelog.out, StartsWith("jbxmaker (" JBX_VERSION ") "));
    const RunResult version = RunProgram(installed("bin/jbxtool"), {"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_THAT(version.out, StartsWith("jbxtool (JBX Maker) " JBX_VERSION "\n"));
}

// man -l formats a page as man would show it, neither hyphenated nor justified so that phrases stay whole; --warnings
// turns groff's complaints about the page's source on.
TEST_F(InstalledTree, ManualPagesReadWithMan)
{
    std::vector<std::pair<std::string, std::vector<std::string>>> pages{
        // Each command's own --help, backslashes and all, without the voice options that close it.
        {"jbxtool.1.gz", {"JBXTOOL(1)", "JBX Maker " JBX_VERSION, "appear as \\xNN and a backslash as \\\\.",
                             "nothing is written. COPYRIGHT", "jbxmaker(1)"}},
    };
    if (JBX_WITH_GUI)
        // What the keys and the start-up promise, as the editor's tests find it.
        pages.push_back({"jbxmaker.1.gz", {"JBXMAKER(1)", "JBX Maker " JBX_VERSION, "jbxtool(1)",
                                              "Clicking a sound button with Shift held selects and plays the slot, then opens Replace",
                                              "says so in a message box"}});
    for (const auto& [file, phrases] : pages) {
        SCOPED_TRACE(file);
        const RunResult man = RunProgram("env", {"MANWIDTH=100", "LC_ALL=C.UTF-8", "MANROFFOPT=-rHY=0 -dAD=l",
                                                 "man", "--warnings", "-l", installed("share/man/man1/" + file)});
        ASSERT_EQ(man.exitCode, 0) << man.err;
        EXPECT_EQ(man.err, "");
        // The words with single blanks between them, so that a phrase may run over a line break.
        std::string text;
        std::istringstream words(man.out);
        for (std::string word; words >> word;)
            text += word + ' ';
        for (const std::string& phrase : phrases)
            EXPECT_THAT(text, HasSubstr(phrase)) << man.out;
    }
}

// bash with bash-completion, finding jbxtool's completion in the installed tree as it would in /usr, asked for the
// words of a command line in a folder that holds a few files. Words are as bash splits the line (an '=' is a word of
// its own); the last one is the word being completed.
TEST_F(InstalledTree, BashCompletionOffersCommandsOptionsValuesAndFilesByExtension)
{
    testing::TempDir folder;
    for (const char* name : {"a.jbx", "B.JBX", "s.wav", "v.VOC", "notes.txt", "my bank.jbx"})
        testing::WriteBytes(folder.file(name), testing::ToBytes("x"));
    fs::create_directory(folder.file("sub"));
    const std::string script = R"(
source /usr/share/bash-completion/bash_completion
__load_completion jbxtool || { echo "no completion found for jbxtool" >&2; exit 3; }
[[ $(complete -p jbxtool) =~ -F\ ([^ ]+) ]] || exit 4
cd "$1" && shift
COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
"${BASH_REMATCH[1]}" jbxtool "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
)";
    const std::vector<std::string> banks{"B.JBX", "a.jbx", "my bank.jbx", "sub"};
    const struct {
        std::vector<std::string> words;    // after "jbxtool"
        std::vector<std::string> offers;   // sorted as in the C locale
    } cases[] = {
        {{""},
            {"--help", "--version", "check", "convert", "create", "extract", "info", "rename", "replace", "rewrite"}},
        {{"replace", "-"},
            {"--", "--8bit", "--any-version", "--help", "--mono", "--normalize", "--normalize=", "--output", "--output=",
                "--trim-silence", "--trim-silence=", "--unknown-block=", "-o"}},
        {{"convert", "--unknown-block", "=", "s"}, {"skip", "stop"}},
        {{"convert", "--unknown-block=f"}, {"--unknown-block=force"}},
        {{"info", ""}, banks},
        {{"check", "a.jbx", "--json", "B.JBX", ""}, banks},
        {{"convert", ""}, {"s.wav", "sub", "v.VOC"}},
        {{"extract", "a.jbx", "1"}, {"1", "10"}},
        {{"extract", "a.jbx", "3", ""}, {"B.JBX", "a.jbx", "my bank.jbx", "notes.txt", "s.wav", "sub", "v.VOC"}},
        {{"rename", "a.jbx", "2", "x", "--output", "=", ""}, banks},
        // After the last operand nothing; after "--" a "-o" is an operand.
        {{"rewrite", "a.jbx", "B.JBX", ""}, {}},
        {{"create", "--", "-o", ""}, {"s.wav", "sub", "v.VOC"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.words));
        std::vector<std::string> args{"HOME=" + folder.path(), "XDG_DATA_DIRS=" + installed("share"), "bash",
            "--norc", "--noprofile", "-c", script, "bash", folder.path(), "jbxtool"};
        args.insert(args.end(), c.words.begin(), c.words.end());
        const RunResult result = RunProgram("env", args);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        std::vector<std::string> offers;
        std::istringstream lines(result.out);
        for (std::string line; std::getline(lines, line) && !line.empty();)
            offers.push_back(line);
        EXPECT_THAT(offers, ElementsAreArray(c.offers)) << result.out;
    }
}

// The package holds the installation under /usr, depends on the libraries the programs and the player module link,
// has no maintainer scripts (the caches are the triggers' business and the player module is no library for ldconfig),
// and passes lintian.
TEST(DebianPackage, HoldsTheInstallationUnderUsrAndPassesLintian)
{
    testing::TempDir folder;
    const RunResult cpack = RunProgram(JBX_CPACK, {"-G", "DEB", "--config", kBuildDir + "/CPackConfig.cmake",
                                                   "-B", folder.path()});
    ASSERT_EQ(cpack.exitCode, 0) << cpack.out << cpack.err;
    std::string deb;
    for (const auto& entry : fs::directory_iterator(folder.path())) {
        if (entry.path().extension() == ".deb")
            deb = entry.path().string();
    }
    ASSERT_NE(deb, "") << "no package built\n" << cpack.out << cpack.err;

    testing::TempDir root;
    ASSERT_EQ(RunProgram("dpkg-deb", {"-x", deb, root.path()}).exitCode, 0);
    EXPECT_EQ(FilesUnder(root.file("usr")), ExpectedFiles());
    EXPECT_EQ(FilesUnder(root.path()).size(), ExpectedFiles().size()) << "a file outside /usr";

    // The control archive's members, then the fields.
    const RunResult info = RunProgram("dpkg-deb", {"-I", deb});
    EXPECT_THAT(info.out, ::testing::Not(::testing::ContainsRegex("(pre|post)(inst|rm)")));
    std::vector<std::string> fields{"Package: jbxmaker\n", "Version: " JBX_VERSION "\n", "Section: sound\n",
        JBX_WITH_GUI ? "libqt6widgets6" : "libc6"};
    if (JBX_WITH_GUI)
        fields.insert(fields.end(), {"libqt6multimedia6", "libsndfile1"});
    for (const std::string& field : fields)
        EXPECT_THAT(info.out, HasSubstr(field)) << info.out;

#ifndef __SANITIZE_ADDRESS__
    // A package of the sanitizer build is nobody's to ship. Informational tags may stay.
    const RunResult lintian = RunProgram("lintian", {"--display-info", "--fail-on", "error,warning", deb});
    EXPECT_EQ(lintian.exitCode, 0) << lintian.out << lintian.err;
#endif
}

} // namespace
} // namespace jbx
