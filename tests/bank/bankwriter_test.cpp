#include "bank/bankwriter.h"

#include "bank/bankformat.h"
#include "bank/bankloader.h"
#include "bank/soundbank.h"
#include "tests/bank/bankfiles.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

namespace jbx {
namespace {

using namespace jbx::testing;
namespace fs = std::filesystem;

// Puts a sound into a slot as a load would: size bytes and the pad byte.
void SetSound(SoundSlot& slot, std::string name, const Bytes& sound)
{
    slot.name = std::move(name);
    slot.size = std::int32_t(sound.size());
    slot.data = MakeSoundData(sound.size() + 1);
    std::copy(sound.begin(), sound.end(), slot.data->begin());
    slot.data->back() = 0x80;
}

// A model bank and the hand-laid file it must be written as.
struct Sample {
    SoundBank bank;
    TestBank file;
};

Sample MakeSample(bool withCredits = true)
{
    Sample sample;
    const char* names[] = {"laugh", "boo", "(none)", "ABCDEFGH", "x", "hiss", "taunt7", "s8", "nine", "ten"};
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        const Bytes sound = i == 4 ? Bytes{} : FakeWave(30 + 11 * i, std::uint8_t(7 * i));
        SetSound(sample.bank.slots[i], names[i], sound);
        sample.file.sounds[i] = {names[i], sound};
    }
    if (withCredits) {
        sample.bank.credits = {"Ann Author", "Ten sounds for taunting", "May 2001"};
        sample.file.fileInfo = CreditsLump("Ann Author", "Ten sounds for taunting", "May 2001");
    }
    return sample;
}

Bytes Written(const SoundBank& bank)
{
    MemorySink sink;
    EXPECT_TRUE(WriteBank(bank, sink));
    return sink.data;
}

TEST(BankWriter, EmptyBankIsHeaderDirectoryAndTrailer)
{
    FakeDesktop desktop;
    Session session(desktop);
    NewBank(session, nullptr);

    const Bytes file = Written(session.bank);

    Bytes expected = ToBytes("IWAD");
    PutLE32(expected, 12);
    PutLE32(expected, 12);
    auto append = [&expected](const Bytes& b) { expected.insert(expected.end(), b.begin(), b.end()); };
    append(EntryBytes(0, 0, "JEERSTRT"));
    for (int i = 0; i < kSlotCount; ++i)
        append(EntryBytes(12, 0, "(none)"));
    append(EntryBytes(0, 0, "JEERSTOP"));
    append(ToBytes(kCreditTrailer));
    EXPECT_EQ(file, expected);
    EXPECT_EQ(file.size(), 12 + 192 + kCreditTrailer.size());
}

TEST(BankWriter, LayoutMatchesHandMadeBank)
{
    for (bool withCredits : {true, false}) {
        SCOPED_TRACE(withCredits ? "with credits" : "without credits");
        const Sample sample = MakeSample(withCredits);
        EXPECT_EQ(Written(sample.bank), LayOutBank(sample.file));
    }
}

TEST(BankWriter, SoundEntryBytesAreLittleEndian)
{
    SoundBank bank;
    SetSound(bank.slots[0], "laugh", Bytes(5000, 0x55));

    const Bytes file = Written(bank);

    const Bytes expected{0x0c, 0, 0, 0, 0x88, 0x13, 0, 0, 'l', 'a', 'u', 'g', 'h', 0, 0, 0};
    const std::size_t entry1 = 12 + 5000 + 16;
    ASSERT_GE(file.size(), entry1 + 16);
    EXPECT_EQ(Bytes(file.begin() + entry1, file.begin() + entry1 + 16), expected);
    EXPECT_EQ(Peek32(file, 8), 12u + 5000u);
}

TEST(BankWriter, TrailerHasItsFixedParts)
{
    const std::string_view trailer = kCreditTrailer;
    const std::string_view opening =
        "\x1a\n\nThis JeerBox file was created or modified with JBXMaker for Windows v1.1, written by ";
    EXPECT_EQ(trailer.substr(0, opening.size()), opening);
    const auto visit = trailer.find(".\nVisit ");
    ASSERT_NE(visit, std::string_view::npos);
    EXPECT_GT(visit, opening.size()) << "the author's name comes before the full stop";
    EXPECT_TRUE(trailer.ends_with(" for more info."));
    EXPECT_EQ(trailer.find('\0'), std::string_view::npos);
    EXPECT_EQ(trailer.find('\r'), std::string_view::npos);
}

struct CreditsCase {
    const char* author;
    const char* description;
    const char* date;
    bool written;
};

void PrintTo(const CreditsCase& c, std::ostream* out)
{
    *out << '"' << c.author << "\" \"" << c.description << "\" \"" << c.date << '"';
}

class BankWriterCredits : public ::testing::TestWithParam<CreditsCase> {};

TEST_P(BankWriterCredits, WrittenOnlyWhenAllThreeAreSet)
{
    Sample sample = MakeSample(false);
    const CreditsCase& c = GetParam();
    sample.bank.credits = {c.author, c.description, c.date};
    const BankCredits before = sample.bank.credits;

    const Bytes file = Written(sample.bank);

    const std::size_t sounds = 12 + 30 * 9 + 11 * (0 + 1 + 2 + 3 + 5 + 6 + 7 + 8 + 9);
    const std::uint32_t directory = DirectoryOffset(file);
    EXPECT_EQ(Peek32(file, 4), 12u) << "the lump count stays 12";
    const std::size_t fileInfo = directory + 16 * 12;
    if (c.written) {
        const std::size_t length = std::strlen(c.author) + std::strlen(c.description) + std::strlen(c.date) + 3;
        EXPECT_EQ(directory, sounds + length);
        EXPECT_EQ(Bytes(file.begin() + std::ptrdiff_t(sounds), file.begin() + directory),
            CreditsLump(c.author, c.description, c.date));
        EXPECT_EQ(file, [&] {
            Bytes expected(file.begin(), file.begin() + std::ptrdiff_t(fileInfo));
            const Bytes entry = EntryBytes(std::uint32_t(sounds), std::uint32_t(length), "FILEINFO");
            expected.insert(expected.end(), entry.begin(), entry.end());
            PutText(expected, kCreditTrailer);
            return expected;
        }());
    } else {
        EXPECT_EQ(directory, sounds);
        EXPECT_EQ(file.size(), fileInfo + kCreditTrailer.size());
        EXPECT_EQ(Bytes(file.begin() + std::ptrdiff_t(fileInfo), file.end()), ToBytes(kCreditTrailer));
    }
    EXPECT_EQ(sample.bank.credits.author, before.author);
    EXPECT_EQ(sample.bank.credits.description, before.description);
    EXPECT_EQ(sample.bank.credits.dateFinished, before.dateFinished);
}

INSTANTIATE_TEST_SUITE_P(BankWriter, BankWriterCredits, ::testing::Values(
    CreditsCase{"Ann", "Taunts", "2001", true},
    CreditsCase{"A", "D", "T", true},
    CreditsCase{"Ann", "", "", false},
    CreditsCase{"Ann", "Taunts", "", false},
    CreditsCase{"Ann", "", "2001", false},
    CreditsCase{"", "Taunts", "2001", false},
    CreditsCase{"", "", "", false}));

TEST(BankWriter, CreditsAtTheirLimitsHaveFullLength)
{
    Sample sample = MakeSample(false);
    sample.bank.credits = {std::string(100, 'a'), std::string(256, 'd'), std::string(100, 't')};

    const Bytes file = Written(sample.bank);

    const std::size_t fileInfo = EntryPosition(file, 12);
    EXPECT_EQ(Peek32(file, fileInfo + 4), 100u + 256u + 100u + 3u);
    EXPECT_EQ(Bytes(file.begin() + std::ptrdiff_t(fileInfo + 8), file.begin() + std::ptrdiff_t(fileInfo + 16)),
        ToBytes("FILEINFO"));
}

TEST(BankWriter, NamesFillEightBytes)
{
    struct {
        const char* name;
        Bytes field;
    } const cases[] = {
        {"ABCDEFGH", ToBytes("ABCDEFGH")},
        {"abc", {'a', 'b', 'c', 0, 0, 0, 0, 0}},
        {"(none)", {'(', 'n', 'o', 'n', 'e', ')', 0, 0}},
        {"", Bytes(8, 0)},
        {"TOOLONGNAME", ToBytes("TOOLONGN")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SoundBank bank;
        bank.slots[3].name = c.name;
        const Bytes file = Written(bank);
        const std::size_t name = EntryPosition(file, 4) + 8;
        EXPECT_EQ(Bytes(file.begin() + std::ptrdiff_t(name), file.begin() + std::ptrdiff_t(name + 8)), c.field);
        EXPECT_EQ(file.size(), 12 + 192 + kCreditTrailer.size());
    }
}

TEST(BankWriter, PadByteIsNeverWritten)
{
    SoundBank bank;
    SetSound(bank.slots[0], "a", Bytes{1, 2, 3});
    // A converted voice file: the image's last byte stands at index size.
    bank.slots[1].size = 4;
    bank.slots[1].data = std::make_shared<Bytes>(Bytes{9, 8, 7, 6, 5, 0, 0});

    const Bytes file = Written(bank);

    EXPECT_EQ(Bytes(file.begin() + 12, file.begin() + 19), (Bytes{1, 2, 3, 9, 8, 7, 6}));
    EXPECT_EQ(DirectoryOffset(file), 19u);
}

// Records the sink's length at every progress report.
class RecordingSink : public ByteSink {
public:
    bool write(std::span<const std::uint8_t> bytes) override
    {
        ++writes;
        if (failAt == writes - 1)
            return false;
        data.insert(data.end(), bytes.begin(), bytes.end());
        return true;
    }
    Bytes data;
    int writes = 0;
    int failAt = -1;
};

TEST(BankWriter, ProgressBeforeEachSoundAndAfterTheSoundEntries)
{
    const Sample sample = MakeSample();
    RecordingSink sink;
    std::vector<std::pair<int, std::size_t>> reports;

    const auto record = [&](int position) { reports.emplace_back(position, sink.data.size()); };
    ASSERT_TRUE(WriteBank(sample.bank, sink, record));

    std::vector<std::pair<int, std::size_t>> expected;
    std::size_t offset = 12;
    for (int i = 0; i < kSlotCount; ++i) {
        expected.emplace_back(9 * i, offset);
        offset += std::size_t(sample.bank.slots[std::size_t(i)].size);
    }
    expected.emplace_back(100, DirectoryOffset(sink.data) + 16 * 11);
    EXPECT_EQ(reports, expected);
}

TEST(BankWriter, StopsAtFirstFailedWrite)
{
    const Sample sample = MakeSample();
    RecordingSink counter;
    ASSERT_TRUE(WriteBank(sample.bank, counter));
    ASSERT_GT(counter.writes, 2);

    for (int failAt = 0; failAt < counter.writes; ++failAt) {
        SCOPED_TRACE(failAt);
        RecordingSink sink;
        sink.failAt = failAt;
        EXPECT_FALSE(WriteBank(sample.bank, sink));
        EXPECT_EQ(sink.writes, failAt + 1) << "wrote on after a failure";
    }
}

TEST(BankWriter, RoundTripIsByteIdentical)
{
    TempDir dir;
    const std::string path = dir.file("round.jbx");
    Sample sample = MakeSample();
    // A converted voice file keeps its last image byte only in memory.
    sample.bank.slots[5].size = 40;
    sample.bank.slots[5].data = std::make_shared<Bytes>(Ramp(41 + 48, 1));
    ASSERT_EQ(WriteBankFile(sample.bank, path), SaveResult::Saved);
    const Bytes first = ReadBytes(path);
    EXPECT_EQ(first, Written(sample.bank));

    FakeDesktop desktop;
    Session session(desktop);
    LoadBank(session, path, nullptr);
    ASSERT_TRUE(desktop.messages.empty());

    EXPECT_EQ(Written(session.bank), first);
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        SCOPED_TRACE(i);
        const SoundSlot& original = sample.bank.slots[i];
        const SoundSlot& loaded = session.bank.slots[i];
        EXPECT_EQ(loaded.name, original.name);
        EXPECT_EQ(loaded.size, original.size);
        Bytes expected(original.data->begin(), original.data->begin() + original.size);
        expected.push_back(0x80);
        EXPECT_EQ(*loaded.data, expected);
    }
    EXPECT_EQ(session.bank.credits.author, sample.bank.credits.author);
    EXPECT_EQ(session.bank.credits.description, sample.bank.credits.description);
    EXPECT_EQ(session.bank.credits.dateFinished, sample.bank.credits.dateFinished);
}

// Saving to a file: whatever goes wrong, the file that was there stays.
class BankSave : public ::testing::Test {
protected:
    BankSave() { WriteBytes(existing, oldBytes); }

    // The folder's entries, to see that no temporary file is left behind.
    std::vector<std::string> Listing() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    std::string existing = dir.file("old.jbx");
    Bytes oldBytes = ToBytes("an older bank that must survive");
    Sample sample = MakeSample();
};

TEST_F(BankSave, ReplacesExistingFile)
{
    EXPECT_EQ(WriteBankFile(sample.bank, existing), SaveResult::Saved);

    EXPECT_EQ(ReadBytes(existing), Written(sample.bank));
    EXPECT_EQ(Listing(), std::vector<std::string>{"old.jbx"});
}

TEST_F(BankSave, FailedWriteKeepsExistingFile)
{
    RecordingSink counter;
    ASSERT_TRUE(WriteBank(sample.bank, counter));

    for (int failAt = 0; failAt < counter.writes; ++failAt) {
        SCOPED_TRACE(failAt);
        EXPECT_EQ(WriteBankFile(sample.bank, existing, {}, failAt), SaveResult::CannotWrite);
        EXPECT_EQ(ReadBytes(existing), oldBytes);
        EXPECT_EQ(Listing(), std::vector<std::string>{"old.jbx"});
    }
}

TEST_F(BankSave, UnwritablePlacesKeepEverythingAsItWas)
{
    const std::string throughFile = existing + "/bank.jbx";
    EXPECT_EQ(WriteBankFile(sample.bank, throughFile), SaveResult::CannotCreate);

    const std::string missingFolder = dir.file("missing/bank.jbx");
    EXPECT_EQ(WriteBankFile(sample.bank, missingFolder), SaveResult::CannotCreate);
    EXPECT_FALSE(fs::exists(dir.file("missing")));

    // A folder where the file should go cannot be replaced by it.
    const std::string folder = dir.file("folder.jbx");
    fs::create_directory(folder);
    EXPECT_EQ(WriteBankFile(sample.bank, folder), SaveResult::CannotWrite);
    EXPECT_TRUE(fs::is_directory(folder));

    EXPECT_EQ(ReadBytes(existing), oldBytes);
    EXPECT_EQ(Listing(), (std::vector<std::string>{"folder.jbx", "old.jbx"}));
}

TEST_F(BankSave, ReadOnlyFolderKeepsExistingFile)
{
    const fs::path folder = dir.file("locked");
    fs::create_directory(folder);
    const std::string target = (folder / "bank.jbx").string();
    WriteBytes(target, oldBytes);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    // Give the folder back so that the temporary folder can be removed.
    struct Unlock {
        fs::path folder;
        ~Unlock() { fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add); }
    } const unlock{folder};
    {
        // An administrator writes regardless of permissions.
        std::ofstream probe(folder / "probe");
        if (probe.is_open()) {
            probe.close();
            fs::remove(folder / "probe");
            GTEST_SKIP() << "permissions do not stop this user from writing";
        }
    }

    EXPECT_EQ(WriteBankFile(sample.bank, target), SaveResult::CannotCreate);
    EXPECT_EQ(ReadBytes(target), oldBytes);
}

} // namespace
} // namespace jbx
