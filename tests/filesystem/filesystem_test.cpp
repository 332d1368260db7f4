// The file-system seam and bank files through it, on every platform the core
// is built for: bytes that a text-mode stream would change, names beyond
// ASCII, and replacing a file without losing it. The Windows build runs
// these under Wine.

#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/filesystem.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {
namespace {

using namespace jbx::testing;
namespace fs = std::filesystem;

fs::path U8Path(const std::string& utf8)
{
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Join(const std::string& folder, std::string_view name)
{
    const char separator = kNativePathStyle == PathStyle::Windows ? '\\' : '/';
    return folder + separator + std::string(name);
}

// The names in a folder, as UTF-8.
std::vector<std::string> Listing(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(U8Path(folder))) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Bytes that a text-mode stream changes on Windows: LF is written as CR LF,
// CR LF is read as LF, and 0x1A ends the file early.
const Bytes kTextModeTraps = {0x0A, 0x0D, 0x0A, 0x1A, 0x00, 0x0D, 0x0D, 0x0A, 0x1A, 0xFF, 0x0A, 0x0D};

// ---------------------------------------------------------------------------
// File titles: each platform's rule, checked on every build.

struct TitleCase {
    PathStyle style;
    const char* path;
    const char* title;
};

void PrintTo(const TitleCase& c, std::ostream* out)
{
    *out << (c.style == PathStyle::Windows ? "Windows " : "Posix ") << '"' << c.path << '"';
}

class FileTitleRules : public ::testing::TestWithParam<TitleCase> {};

TEST_P(FileTitleRules, TakeTheTextAfterTheLastSeparator)
{
    EXPECT_EQ(FileTitleFromPath(GetParam().path, GetParam().style), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(Filesystem, FileTitleRules, ::testing::Values(
    TitleCase{PathStyle::Windows, "taunts.jbx", "taunts.jbx"},
    TitleCase{PathStyle::Windows, "\\taunts.jbx", "taunts.jbx"},
    TitleCase{PathStyle::Windows, "C:\\games\\jeers\\taunts.jbx", "taunts.jbx"},
    TitleCase{PathStyle::Windows, "C:\\games\\", ""},
    TitleCase{PathStyle::Windows, "C:bank.jbx", "C:bank.jbx"},
    TitleCase{PathStyle::Windows, "C:/games/jeers/taunts.jbx", "C:/games/jeers/taunts.jbx"},
    TitleCase{PathStyle::Windows, "\\\\server\\share\\Klänge\\Überraschung-ß.jbx", "Überraschung-ß.jbx"},
    TitleCase{PathStyle::Posix, "taunts.jbx", "taunts.jbx"},
    TitleCase{PathStyle::Posix, "/home/ann/jeers/taunts.jbx", "taunts.jbx"},
    TitleCase{PathStyle::Posix, "/home/ann/", ""},
    TitleCase{PathStyle::Posix, "C:\\games\\taunts.jbx", "C:\\games\\taunts.jbx"},
    TitleCase{PathStyle::Posix, "/tmp/Klänge/Überraschung-ß.jbx", "Überraschung-ß.jbx"},
    TitleCase{PathStyle::Posix, "", ""}));

TEST(Filesystem, FileTitleFollowsThePlatformItRunsOn)
{
    // Each rule gives a different title for this one.
    const std::string path = "jeers\\old/taunts.jbx";
#ifdef _WIN32
    EXPECT_EQ(FileTitleFromPath(path), "old/taunts.jbx");
#else
    EXPECT_EQ(FileTitleFromPath(path), "taunts.jbx");
#endif
}

// ---------------------------------------------------------------------------
// Binary bytes

TEST(Filesystem, EveryByteValueGoesThroughUnchanged)
{
    TempDir dir;
    const std::string path = dir.file("bytes.bin");
    Bytes bytes = kTextModeTraps;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(std::uint8_t(value));
    bytes.insert(bytes.end(), kTextModeTraps.begin(), kTextModeTraps.end());

    SafeFileWriter writer(path);
    ASSERT_TRUE(writer.open());
    const std::span<const std::uint8_t> all(bytes);
    ASSERT_TRUE(writer.write(all.first(5)));
    ASSERT_TRUE(writer.write(all.subspan(5)));
    ASSERT_TRUE(writer.commit());

    EXPECT_EQ(ReadBytes(path), bytes) << "written as text";
    EXPECT_EQ(ReadWholeFile(path), bytes) << "read as text";

    auto file = InputFile::open(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), std::int64_t(bytes.size()));
    // Past the first 0x1A, where a text-mode read would see the end.
    file->seek(4);
    Bytes rest(bytes.size() - 4);
    EXPECT_EQ(file->read(rest.data(), rest.size()), rest.size());
    EXPECT_TRUE(std::equal(rest.begin(), rest.end(), bytes.begin() + 4));
    EXPECT_FALSE(file->eof());
    file->seek(3);
    EXPECT_EQ(file->readByte(), std::optional<std::uint8_t>(0x1A));
    EXPECT_EQ(file->readByte(), std::optional<std::uint8_t>(0x00));
    EXPECT_FALSE(file->eof());
}

// A bank whose sounds, names and credits are full of those bytes.
SoundBank TrapBank()
{
    SoundBank bank;
    const char* names[kSlotCount] = {"a\r\nb", "\x1a", "\n\n\n\n\n\n\n\n", "x\rx", "(none)",
        "\r", "end\x1a", "\n", "CRLF\r\n", "ten"};
    for (int i = 0; i < kSlotCount; ++i) {
        SoundSlot& slot = bank.slots[std::size_t(i)];
        Bytes sound = kTextModeTraps;
        const Bytes ramp = Ramp(std::size_t(40 * i), std::uint8_t(i));
        sound.insert(sound.end(), ramp.begin(), ramp.end());
        if (i == 1)
            sound.front() = 0x1A;   // a sound that starts with the end-of-file byte
        if (i == 4)
            sound.clear();
        slot.name = names[i];
        slot.size = std::int32_t(sound.size());
        slot.data = MakeSoundData(sound.size() + 1);
        std::copy(sound.begin(), sound.end(), slot.data->begin());
        slot.data->back() = 0x80;
    }
    bank.credits = {"Ann\r\nAuthor", "line one\nline two\r\n\x1a and more", "May 2001\r"};
    return bank;
}

Bytes InMemory(const SoundBank& bank)
{
    MemorySink sink;
    EXPECT_TRUE(WriteBank(bank, sink));
    return sink.data;
}

void ExpectSameBank(const SoundBank& loaded, const SoundBank& original)
{
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(loaded.slots[i].name, original.slots[i].name);
        EXPECT_EQ(loaded.slots[i].size, original.slots[i].size);
        EXPECT_EQ(*loaded.slots[i].data, *original.slots[i].data);
    }
    EXPECT_EQ(loaded.credits.author, original.credits.author);
    EXPECT_EQ(loaded.credits.description, original.credits.description);
    EXPECT_EQ(loaded.credits.dateFinished, original.credits.dateFinished);
}

TEST(Filesystem, BankWithLineEndAndEndOfFileBytesRoundTrips)
{
    TempDir dir;
    const std::string path = dir.file("traps.jbx");
    const SoundBank bank = TrapBank();
    ASSERT_EQ(WriteBankFile(bank, path), SaveResult::Saved);
    const Bytes file = ReadBytes(path);
    EXPECT_EQ(file, InMemory(bank));

    FakeDesktop desktop;
    Session session(desktop);
    LoadBank(session, path, nullptr);
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(session.bank.creditsConfirmed);
    ExpectSameBank(session.bank, bank);

    // And once more through the loaded copy: the same file again.
    const std::string again = dir.file("again.jbx");
    ASSERT_EQ(WriteBankFile(session.bank, again), SaveResult::Saved);
    EXPECT_EQ(ReadBytes(again), file);
}

// ---------------------------------------------------------------------------
// Names beyond ASCII: paths are UTF-8 in the program, whatever the platform
// keeps them as.

// Latin letters that a Western code page has, and one that no single-byte
// code page has, so that neither UTF-8 taken as ANSI nor ANSI goes unnoticed.
const std::string kFolderName = "Klänge 音";
const std::string kBankName = "Überraschung-ß.jbx";

TEST(Filesystem, BankSavedAndLoadedUnderANonAsciiName)
{
    TempDir dir;
    const std::string folder = dir.file(kFolderName);
    ASSERT_TRUE(fs::create_directory(U8Path(folder)));
    const std::string path = Join(folder, kBankName);

    const SoundBank bank = TrapBank();
    ASSERT_EQ(WriteBankFile(bank, path), SaveResult::Saved);
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{kFolderName});
    EXPECT_EQ(Listing(folder), std::vector<std::string>{kBankName});
    EXPECT_EQ(ReadBytes(path), InMemory(bank));
    EXPECT_EQ(FileTitleFromPath(path), kBankName);

    auto file = InputFile::open(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), std::int64_t(InMemory(bank).size()));
    file.reset();

    FakeDesktop desktop;
    Session session(desktop);
    LoadBank(session, path, nullptr);
    EXPECT_TRUE(desktop.messages.empty());
    ExpectSameBank(session.bank, bank);

    // Saving over it replaces it in place.
    session.bank.slots[0].size = 3;
    ASSERT_EQ(WriteBankFile(session.bank, path), SaveResult::Saved);
    EXPECT_EQ(Listing(folder), std::vector<std::string>{kBankName});
    EXPECT_EQ(ReadBytes(path), InMemory(session.bank));
}

// Puts the current directory back, so that the temporary folder can go.
class CurrentDirectoryGuard {
public:
    CurrentDirectoryGuard() : saved_(fs::current_path()) {}
    ~CurrentDirectoryGuard() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

TEST(Filesystem, NonAsciiFoldersAsCurrentAndParentDirectory)
{
    TempDir dir;
    const std::string folder = dir.file(kFolderName);
    ASSERT_TRUE(fs::create_directory(U8Path(folder)));
    const std::string path = Join(folder, kBankName);

    EXPECT_EQ(ParentDirectory(path), folder);
    EXPECT_EQ(ParentDirectory(kBankName), ".");

    CurrentDirectoryGuard guard;
    ASSERT_TRUE(ChangeCurrentDirectory(folder));
    const std::string current = CurrentDirectory();
    EXPECT_TRUE(fs::equivalent(U8Path(current), U8Path(folder))) << current;
    EXPECT_EQ(FileTitleFromPath(current), kFolderName);

    // A bare name now means the file in that folder.
    WriteBytes(path, kTextModeTraps);
    EXPECT_EQ(ReadWholeFile(kBankName), kTextModeTraps);
    EXPECT_FALSE(ChangeCurrentDirectory(Join(folder, "missing")));
    EXPECT_EQ(CurrentDirectory(), current);
}

// ---------------------------------------------------------------------------
// Replacing an existing file

bool Replace(const std::string& target, const Bytes& bytes)
{
    SafeFileWriter writer(target);
    return writer.open() && writer.write(bytes) && writer.commit();
}

TEST(Filesystem, ReplacingAFileThatAReaderHoldsOpen)
{
    TempDir dir;
    const std::string target = dir.file(kBankName);
    const Bytes oldBytes = ToBytes("the bank that was there\r\n");
    WriteBytes(target, oldBytes);

    auto reader = InputFile::open(target);
    ASSERT_TRUE(reader);
#ifdef _WIN32
    // An open file cannot be replaced there: the save fails, and neither the
    // file nor its reader loses anything.
    EXPECT_FALSE(Replace(target, kTextModeTraps));
    EXPECT_EQ(ReadBytes(target), oldBytes);
#else
    EXPECT_TRUE(Replace(target, kTextModeTraps));
    EXPECT_EQ(ReadBytes(target), kTextModeTraps);
#endif
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{kBankName}) << "a temporary file was left";
    Bytes seen(oldBytes.size());
    EXPECT_EQ(reader->read(seen.data(), seen.size()), oldBytes.size());
    EXPECT_EQ(seen, oldBytes) << "the reader keeps the file it opened";
    reader.reset();

    // Once nobody holds it, it is replaced everywhere.
    const Bytes newest = ToBytes("newest\n");
    EXPECT_TRUE(Replace(target, newest));
    EXPECT_EQ(ReadBytes(target), newest);
    EXPECT_EQ(Listing(dir.path()), std::vector<std::string>{kBankName});
}

} // namespace
} // namespace jbx
