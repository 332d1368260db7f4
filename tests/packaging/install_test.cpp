// What the installation puts where a desktop and a packager expect it: the
// installed tree (cmake --install) with its manual pages and bash
// completion, the AppStream metainfo, and the Debian package as lintian
// sees it.

#if JBX_WITH_GUI
#include "qt/player/soundoutputloader.h"
#endif
#include "tests/cli/runtool.h"
#include "tests/support/testfiles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace jbx {
namespace {

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
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
        prefix + "share/icons/hicolor/scalable/mimetypes/application-x-jbx.svg",
        prefix + "share/man/man1/jbxtool.1.gz", prefix + "share/bash-completion/completions/jbxtool",
        prefix + "share/doc/jbxmaker/copyright", prefix + "share/doc/jbxmaker/changelog.gz"};
#if JBX_WITH_GUI
    files.insert(prefix + "bin/jbxmaker");
    files.insert(prefix + "share/man/man1/jbxmaker.1.gz");
    files.insert(prefix + JBX_PLAYER_MODULE_INSTALL_DIR "/jbxmaker-player.so");
#endif
    return files;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Installs the build into prefix; empty when that worked, else what went wrong.
std::string InstallInto(const std::string& prefix)
{
    const RunResult install = RunProgram(JBX_CMAKE, {"--install", kBuildDir, "--prefix", prefix});
    return install.exitCode == 0 ? std::string() : install.out + install.err;
}

TEST(InstalledData, MetainfoPassesTheAppStreamValidator)
{
    const std::string metainfo = kSourceDir + "/resources/" JBX_METAINFO_ID ".metainfo.xml";
    const RunResult result = RunProgram("appstreamcli", {"validate", "--no-net", "--strict", metainfo});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;

    // Pedantic: the one note left is the uppercase in the id, which stays
    // because desktops already know the program by it. Its findings read
    // "P: <id>:<line>: <tag> <detail>".
    const RunResult pedantic = RunProgram("appstreamcli", {"validate", "--no-net", "--pedantic", metainfo});
    EXPECT_EQ(pedantic.exitCode, 0) << pedantic.out << pedantic.err;
    std::set<std::string> tags;
    for (const std::string& line : Lines(pedantic.out)) {
        if (line.size() > 3 && line[1] == ':' && line[2] == ' ') {
            std::istringstream words(line);
            std::string severity, where, tag;
            words >> severity >> where >> tag;
            tags.insert(severity + " " + tag);
        }
    }
    EXPECT_EQ(tags, std::set<std::string>{"P: cid-contains-uppercase-letter"}) << pedantic.out;
}

TEST(InstalledData, MetainfoAndChangelogNameTheBuiltVersion)
{
    const std::string metainfo = ReadFile(kSourceDir + "/resources/" JBX_METAINFO_ID ".metainfo.xml");
    EXPECT_THAT(metainfo, HasSubstr("<release version=\"" JBX_VERSION "\""));
    EXPECT_THAT(ReadFile(kSourceDir + "/resources/package/changelog"), StartsWith("jbxmaker (" JBX_VERSION ") "));

    const RunResult version = testing::RunJbxtool({"--version"});
    EXPECT_EQ(version.exitCode, 0) << version.err;
    EXPECT_THAT(version.out, StartsWith("jbxtool (JBX Maker) " JBX_VERSION "\n"));
    const RunResult help = testing::RunJbxtool({"--help"});
    EXPECT_THAT(help.out, HasSubstr("'jbxtool --version' prints the version, " JBX_VERSION ".\n"));
}

TEST(InstalledTree, HoldsTheProgramsAndTheDesktopData)
{
    testing::TempDir prefix;
    ASSERT_EQ(InstallInto(prefix.path()), "");

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

// man -l formats a page file as man would show it; --warnings turns groff's
// complaints about the page's source on.
struct ManualPage {
    std::string file;                    // under share/man/man1
    std::vector<std::string> phrases;    // in the formatted page
};

// Reads the pages of man1 (the installed share/man/man1) with man -l.
void ExpectManualPagesRead(const std::string& man1)
{
    std::vector<ManualPage> pages{
        {"jbxtool.1.gz",
            {"JBXTOOL(1)", "JBX Maker " JBX_VERSION, "info [--json] BANK", "extract BANK SLOT OUT",
                "convert IN.voc OUT.wav", "rewrite IN.jbx OUT.jbx", "replace BANK SLOT FILE -o OUT",
                "rename BANK SLOT NAME -o OUT", "create FILE... -o OUT", "--unknown-block=stop|skip|force",
                "--output=OUT, --output OUT the bank that", "-- takes every argument after it as an operand",
                "Exit status: 0 done", "jbxmaker(1)",
                // Each command's own --help.
                "COMMANDS jbxtool info [--json] [--unknown-block=stop|skip|force] [--any-version] BANK Lists "
                "the ten slots", "nothing is written. COPYRIGHT"}},
    };
    if (JBX_WITH_GUI) {
        pages.push_back({"jbxmaker.1.gz",
            {"JBXMAKER(1)", "JBX Maker " JBX_VERSION, "The whole command line is one bank path", "F1 ... F10",
                "Alt+F5 ... Alt+F10", "1 ... 9, 0", "$XDG_CONFIG_HOME/Brackwater/JBXMaker.conf",
                "jbxmaker-player.so", "jbxtool(1)"}});
    }
    for (const ManualPage& page : pages) {
        SCOPED_TRACE(page.file);
        // Neither hyphenated nor justified, so that phrases stay whole.
        const RunResult man = RunProgram("env", {"MANWIDTH=100", "LC_ALL=C.UTF-8", "MANROFFOPT=-rHY=0 -dAD=l",
                                                 "man", "--warnings", "-l", man1 + "/" + page.file});
        ASSERT_EQ(man.exitCode, 0) << man.err;
        EXPECT_EQ(man.err, "");
        // The words with single blanks between them, so that a phrase may
        // run over a line break.
        std::string text;
        std::istringstream words(man.out);
        for (std::string word; words >> word;)
            text += word + ' ';
        for (const std::string& phrase : page.phrases)
            EXPECT_THAT(text, HasSubstr(phrase)) << man.out;
    }
}

TEST(InstalledTree, ManualPagesReadWithMan)
{
    testing::TempDir prefix;
    ASSERT_EQ(InstallInto(prefix.path()), "");
    ExpectManualPagesRead(prefix.path() + "/share/man/man1");
}

// bash with bash-completion, finding jbxtool's completion in an installed
// tree as it would in /usr, asked for the words of a command line in a folder
// that holds a few files.
class BashCompletion : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        prefix_ = new testing::TempDir;
        installed_ = InstallInto(prefix_->path());
        files_ = new testing::TempDir;
        for (const char* name : {"a.jbx", "B.JBX", "s.wav", "v.VOC", "notes.txt", "my bank.jbx"})
            std::ofstream(files_->path() + "/" + name) << "x";
        fs::create_directory(files_->path() + "/sub");
    }
    static void TearDownTestSuite()
    {
        delete prefix_;
        delete files_;
    }

    // words as bash splits the line (an '=' is a word of its own); the last
    // one is the word being completed. The offers, sorted.
    static RunResult Complete(const std::vector<std::string>& words)
    {
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
        std::vector<std::string> args{"HOME=" + files_->path(), "XDG_DATA_DIRS=" + prefix_->path() + "/share",
            "bash", "--norc", "--noprofile", "-c", script, "bash", files_->path(), "jbxtool"};
        args.insert(args.end(), words.begin(), words.end());
        return RunProgram("env", args);
    }

    static inline testing::TempDir* prefix_ = nullptr;
    static inline testing::TempDir* files_ = nullptr;
    static inline std::string installed_;
};

struct CompletionCase {
    std::vector<std::string> words;      // after "jbxtool"
    std::vector<std::string> offers;     // sorted as in the C locale
};

TEST_F(BashCompletion, OffersCommandsOptionsValuesAndFilesByExtension)
{
    ASSERT_EQ(installed_, "");
    const std::vector<std::string> banks{"B.JBX", "a.jbx", "my bank.jbx", "sub"};
    const std::vector<std::string> sounds{"s.wav", "sub", "v.VOC"};
    const CompletionCase cases[] = {
        {{""}, {"--help", "--version", "convert", "create", "extract", "info", "rename", "replace", "rewrite"}},
        {{"re"}, {"rename", "replace", "rewrite"}},
        {{"bogus", ""}, {}},
        {{"info", "-"}, {"--", "--any-version", "--help", "--json", "--unknown-block="}},
        {{"create", "--"}, {"--", "--any-version", "--help", "--output", "--output=", "--unknown-block="}},
        {{"replace", "-"}, {"--", "--any-version", "--help", "--output", "--output=", "--unknown-block=", "-o"}},
        {{"convert", "--unknown-block", "=", ""}, {"force", "skip", "stop"}},
        {{"convert", "--unknown-block", "=", "s"}, {"skip", "stop"}},
        {{"convert", "--unknown-block=f"}, {"--unknown-block=force"}},
        {{"info", ""}, banks},
        {{"rewrite", "a.jbx", ""}, banks},
        {{"info", "m"}, {"my bank.jbx"}},
        {{"convert", ""}, {"sub", "v.VOC"}},
        {{"convert", "--unknown-block", "=", "skip", "v.VOC", ""}, {"s.wav", "sub"}},
        {{"extract", "a.jbx", "1"}, {"1", "10"}},
        {{"extract", "a.jbx", "3", ""}, {"B.JBX", "a.jbx", "my bank.jbx", "notes.txt", "s.wav", "sub", "v.VOC"}},
        {{"replace", "a.jbx", "3", ""}, sounds},
        {{"replace", "a.jbx", "3", "s.wav", "-o", ""}, banks},
        {{"create", "-o", "out.jbx", "s.wav", "--any-version", ""}, sounds},
        {{"rename", "a.jbx", "2", ""}, {}},
        {{"rename", "a.jbx", "2", "x", "--output", "=", ""}, banks},
        {{"create", "--output=m"}, {"--output=my bank.jbx"}},
        // After the last operand nothing; after "--" a "-o" is an operand.
        {{"rewrite", "a.jbx", "B.JBX", ""}, {}},
        {{"create", "s.wav", "s.wav", "s.wav", "s.wav", "s.wav", "s.wav", "s.wav", "s.wav", "s.wav", "s.wav", ""}, {}},
        {{"create", "--", "-o", ""}, sounds},
    };
    for (const CompletionCase& c : cases) {
        std::string line = "jbxtool";
        for (const std::string& word : c.words)
            line += " [" + word + "]";
        SCOPED_TRACE(line);
        const RunResult result = Complete(c.words);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        std::vector<std::string> offers = Lines(result.out);
        if (offers == std::vector<std::string>{""})
            offers.clear();
        EXPECT_THAT(offers, ElementsAreArray(c.offers)) << result.out;
    }
}

// Builds the Debian package into folder; its path, or empty and a failure.
std::string BuildPackage(const std::string& folder)
{
    const RunResult cpack = RunProgram(JBX_CPACK, {"-G", "DEB", "--config", kBuildDir + "/CPackConfig.cmake",
                                                   "-B", folder});
    EXPECT_EQ(cpack.exitCode, 0) << cpack.out << cpack.err;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".deb")
            return entry.path().string();
    }
    ADD_FAILURE() << "no package built\n" << cpack.out << cpack.err;
    return {};
}

TEST(DebianPackage, HoldsTheInstallationUnderUsr)
{
    testing::TempDir out;
    const std::string deb = BuildPackage(out.path());
    ASSERT_FALSE(deb.empty());

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

    // Installed, the pages read and the documentation is the version's.
    testing::TempDir root;
    const RunResult unpack = RunProgram("dpkg-deb", {"-x", deb, root.path()});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.err;
    ExpectManualPagesRead(root.path() + "/usr/share/man/man1");
    const RunResult changelog = RunProgram("gzip", {"-dc", root.path() + "/usr/share/doc/jbxmaker/changelog.gz"});
    EXPECT_THAT(changelog.out, StartsWith("jbxmaker (" JBX_VERSION ") "));
    EXPECT_THAT(ReadFile(root.path() + "/usr/share/doc/jbxmaker/copyright"), HasSubstr("License: Expat"));
}

// What a distribution's reviewer runs first. Informational tags may stay;
// the output is printed so that the log shows them.
TEST(DebianPackage, PassesLintian)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "a package of the sanitizer build is nobody's to ship; lintian judges the normal build's";
#endif
    testing::TempDir out;
    const std::string deb = BuildPackage(out.path());
    ASSERT_FALSE(deb.empty());

    const RunResult lintian = RunProgram("lintian", {"--display-info", "--fail-on", "error,warning", deb});
    std::cout << "lintian " << fs::path(deb).filename().string() << ":\n" << lintian.out;
    EXPECT_EQ(lintian.exitCode, 0) << lintian.out << lintian.err;
    for (const std::string& line : Lines(lintian.out)) {
        EXPECT_THAT(line, Not(StartsWith("E: ")));
        EXPECT_THAT(line, Not(StartsWith("W: ")));
    }

    // No maintainer scripts at all: the caches are the triggers' business
    // and the player module is no library for ldconfig.
    testing::TempDir control;
    ASSERT_EQ(RunProgram("dpkg-deb", {"-e", deb, control.path() + "/DEBIAN"}).exitCode, 0);
    for (const char* script : {"preinst", "postinst", "prerm", "postrm"})
        EXPECT_FALSE(fs::exists(control.path() + "/DEBIAN/" + script)) << script;
}

} // namespace
} // namespace jbx
