#include "bank/bankformat.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "seam/bytes.h"
#include "bank/soundbank.h"
#include "seam/filesystem.h"
#include "tests/support/failingsink.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"
#include "tests/support/memorylimit.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>

namespace jbx {
namespace {

using namespace jbx::testing;

// Bank files laid out byte by byte: files the program did not make.

Bytes CreditsLump(const std::string& author, const std::string& description, const std::string& date)
{
    return ToBytes(author + '\0' + description + '\0' + date + '\0');
}

// Sounds that do not start with "Crea", the fifth empty; names of 1..8 letters.
struct TestBank {
    std::string magic = "IWAD", startName = "JEERSTRT", stopName = "JEERSTOP";
    std::array<std::string, 10> names{"laugh", "boo", "(none)", "ABCDEFGH", "x", "hiss", "taunt7", "s8", "nine", "ten"};
    std::array<Bytes, 10> sounds = [] {
        std::array<Bytes, 10> sounds;
        for (std::size_t i = 0; i < 10; ++i)
            sounds[i] = Ramp(i == 4 ? 0 : 20 + 7 * i, std::uint8_t(i * 16));
        return sounds;
    }();
    std::optional<Bytes> fileInfo = CreditsLump("Ann Author", "Ten sounds for taunting", "May 2001");
};

void PutEntry(Bytes& out, std::size_t offset, std::size_t size, std::string name)
{
    PutLE32(out, std::uint32_t(offset));
    PutLE32(out, std::uint32_t(size));
    name.resize(8, '\0');
    PutText(out, name);
}

Bytes LayOutBank(const TestBank& bank)
{
    Bytes body, directory;
    PutEntry(directory, 0, 0, bank.startName);
    for (std::size_t i = 0; i < 10; ++i) {
        PutEntry(directory, 12 + body.size(), bank.sounds[i].size(), bank.names[i]);
        body.insert(body.end(), bank.sounds[i].begin(), bank.sounds[i].end());
    }
    PutEntry(directory, 0, 0, bank.stopName);
    if (bank.fileInfo) {
        PutEntry(directory, 12 + body.size(), bank.fileInfo->size(), "FILEINFO");
        body.insert(body.end(), bank.fileInfo->begin(), bank.fileInfo->end());
    }
    Bytes file = ToBytes(bank.magic);
    PutLE32(file, 12);
    PutLE32(file, std::uint32_t(12 + body.size()));
    file.insert(file.end(), body.begin(), body.end());
    file.insert(file.end(), directory.begin(), directory.end());
    PutText(file, kCreditTrailer);
    return file;
}

std::size_t EntryPosition(const Bytes& f, int entry)
{
    return ReadLE32(&f.at(8)) + 16 * std::size_t(entry);
}

const BankCredits kCredits{"Ann Author", "Ten sounds for taunting", "May 2001"};

// The bank a load of file gives: each buffer holds the sound and the pad byte.
SoundBank ModelOf(const TestBank& file, const BankCredits& credits = kCredits)
{
    SoundBank bank;
    for (std::size_t i = 0, offset = 12; i < kSlotCount; offset += file.sounds[i++].size()) {
        bank.slots[i] = {file.names[i], std::int32_t(offset), std::int32_t(file.sounds[i].size()),
            std::make_shared<Bytes>(file.sounds[i])};
        bank.slots[i].data->push_back(0x80);
    }
    bank.credits = credits;
    return bank;
}

using SlotView = std::tuple<std::string, std::int32_t, std::int32_t, Bytes>;
using Credits = std::tuple<std::string, std::string, std::string>;

std::pair<std::vector<SlotView>, Credits> Contents(const SoundBank& bank)
{
    std::vector<SlotView> slots;
    for (const SoundSlot& slot : bank.slots)
        slots.emplace_back(slot.name, slot.fileOffset, slot.size, *slot.data);
    return {slots, {bank.credits.author, bank.credits.description, bank.credits.dateFinished}};
}

TEST(SoundBankModel, NewBankEmptiesEveryFieldButTheCurrentSlot)
{
    FakeDesktop desktop;
    Session session(desktop);
    SoundBank& bank = session.bank;
    bank = ModelOf({});
    bank.bankTitle = "taunts.jbx";
    bank.creditsConfirmed = true;
    bank.currentSlot = 7;
    const SoundData playing = bank.slots[2].data;
    NewBank(session);

    EXPECT_EQ(std::tie(bank.bankTitle, bank.creditsConfirmed, bank.currentSlot), std::make_tuple("Untitled", false, 7));
    EXPECT_EQ(Contents(bank), std::make_pair(std::vector<SlotView>(kSlotCount, {"(none)", 0, 0, Bytes{0}}), Credits{}));
    EXPECT_NE(bank.slots[0].data, bank.slots[1].data) << "slots share a buffer";
    EXPECT_EQ(*playing, *ModelOf({}).slots[2].data) << "a sound that may be playing keeps its bytes";
}

TEST(SoundBankModel, FileTitleIsTheTextAfterThePlatformsLastSeparator)
{
    const struct { PathStyle style; const char* path; const char* title; } cases[] = {
        {PathStyle::Windows, "C:\\games\\jeers\\taunts.jbx", "taunts.jbx"},
        {PathStyle::Windows, "C:/games/taunts.jbx", "C:/games/taunts.jbx"},
        {PathStyle::Posix, "/tmp/Klänge/Überraschung-ß.jbx", "Überraschung-ß.jbx"},
        {PathStyle::Posix, "C:\\games\\taunts.jbx", "C:\\games\\taunts.jbx"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileTitleFromPath(c.path, c.style), c.title) << c.path;
}

const Message kNotABank{"Not a valid JeerBox sound file", "Error", MessageButtons::Ok, MessageIcon::Stop,
    Owner::MainWindow};

class BankLoader : public ::testing::Test {
protected:
    LoadResult Load(const Bytes& file, const std::string& from = {}, Owner owner = Owner::MainWindow)
    {
        WriteBytes(path, file);
        desktop.messages.clear();
        const LoadOutcome outcome = LoadBank(session, from.empty() ? path : from, owner);
        refusedSlots = outcome.refusedSlots;
        return outcome.result;
    }

    void ExpectRejected(LoadResult result, LoadResult expected = LoadResult::NotABank,
        const Message& message = kNotABank)
    {
        EXPECT_EQ(result, expected);
        EXPECT_EQ(desktop.messages, std::vector<Message>{message});
        EXPECT_EQ(std::tie(session.bank.bankTitle, session.bank.creditsConfirmed), std::make_tuple("Untitled", false));
        EXPECT_EQ(Contents(session.bank), Contents(SoundBank{}));
    }

    TempDir dir;
    std::string path = dir.file("bank.jbx");
    FakeDesktop desktop;
    Session session{desktop};
    std::vector<int> refusedSlots;
};

TEST_F(BankLoader, AcceptsWhenAnyOfThreeTestsHoldsAndReportsFailure)
{
    const std::tuple<std::string, std::string, std::string, bool> cases[] = {
        {"IWAD", "OTHER", "OTHER", true},
        {"PWAD", "JEERSTRT", "OTHER", true},
        {"PWAD", "OTHER", "JEERSTOP", true},
        {"PWAD", "OTHER", "OTHER", false},
        // Every test takes all its bytes, case and all.
        {"iwad", "jeerstrt", "jeerstop", false},
        {"PWAD", "JEERSTOP", "JEERSTRT", false},
        {"PWAD", std::string("JEERSTR\0", 8), std::string("JEER\0TOP", 8), false},
    };
    for (const auto& [magic, startName, stopName, accepted] : cases) {
        SCOPED_TRACE(magic + "/" + startName + "/" + stopName);
        NewBank(session);
        const TestBank sample{magic, startName, stopName};
        const LoadResult result = Load(LayOutBank(sample));
        if (!accepted) {
            ExpectRejected(result);
            continue;
        }
        EXPECT_EQ(result, LoadResult::Loaded);
        EXPECT_EQ(Contents(session.bank), Contents(ModelOf(sample)));   // the fifth holds only the pad byte
        EXPECT_EQ(std::tie(desktop.messages, session.bank.creditsConfirmed, session.bank.bankTitle),
            std::make_tuple(std::vector<Message>{}, true, "bank.jbx"));
    }
    // Before the window exists the message has no owner; a file that cannot be opened has none either way.
    Message unowned = kNotABank;
    unowned.owner = Owner::None;
    Load(LayOutBank({}));   // something to lose
    ExpectRejected(Load(ToBytes("not a bank"), path, Owner::None), LoadResult::NotABank, unowned);
    Load(LayOutBank({}));
    ExpectRejected(Load({}, dir.file("missing.jbx")), LoadResult::CannotOpen,
        {"Cannot open JBX file", "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::None});
}

// Each text stops after its NUL or at its limit; a NUL right after a full text is the one a save puts there.
TEST_F(BankLoader, CreditsKeepTheirLimits)
{
    const std::string a(100, 'a'), d(256, 'd'), t(100, 't');
    const std::tuple<Bytes, std::string, std::string, std::string> cases[] = {
        {ToBytes(a + d + t), a, d, t},
        {CreditsLump(a, d, t), a, d, t},
        {ToBytes("a" + std::string(1, '\0') + d + "Ydate"), "a", d, "Ydate"},
    };
    for (const auto& [lump, author, description, date] : cases) {
        SCOPED_TRACE(date);
        Load(LayOutBank({.fileInfo = lump}));
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_EQ(Contents(session.bank).second, std::tie(author, description, date));
    }
}

TEST_F(BankLoader, OnlyLumpsOfElevenBytesOrMoreAreVoiceFiles)
{
    TestBank sample;
    sample.sounds[1] = ToBytes("Crea456789");
    sample.sounds[6] = ToBytes("Crea4567890");   // starts like a voice file but is none
    // The unknown-block dialog shows the current slot, whichever lump it is in.
    sample.sounds[8] = VoiceFileBuilder().soundBlock(166, Ramp(4)).block(11, Ramp(3)).terminator().build();
    session.bank.currentSlot = 2;
    desktop.unknownBlockAnswers = {UnknownBlockChoice::SkipBlock};
    EXPECT_EQ(Load(LayOutBank(sample)), LoadResult::Loaded) << "a refused voice lump does not fail the load";

    EXPECT_EQ(*session.bank.slots[1].data, ToBytes("Crea456789\x80"));
    // Refused by the converter: its zero-filled buffer stays, and the caller learns which.
    EXPECT_EQ(*session.bank.slots[6].data, Bytes(11 + 48, 0));
    EXPECT_EQ(refusedSlots, std::vector<int>{7});
    EXPECT_EQ(session.bank.slots[8].size, 44 + 4 - 1) << "one less than the image";
    EXPECT_EQ(desktop.unknownBlockQuestions,
        (std::vector<std::pair<UnknownBlockDetails, Owner>>{{{2, 11, 3}, Owner::MainWindow}}));
}

TEST_F(BankLoader, DamagedFileIsRejectedOrReadSafely)
{
    const Bytes good = LayOutBank({});
    // A value is written into entry's field (entry -1: the header); none cuts the file there.
    const std::tuple<const char*, int, std::size_t, std::optional<std::uint32_t>, bool> cases[] = {
        {"header cut inside directory offset", -1, 11, {}, true},
        {"directory offset negative", -1, 8, 0x80000000u, true},
        {"directory ends inside entry 10", 10, 15, {}, true},
        {"sound offset negative", 3, 0, 0xfffffffcu, true},
        {"sound size negative", 6, 4, 0xffffffffu, true},
        {"sound size largest", 7, 4, 0x7fffffffu, true},
        {"empty sound with wild offset", 5, 0, 0x90000000u, false},
        {"sound at offset 0", 3, 0, 0, false},
        {"sound offset at end", 4, 0, std::uint32_t(good.size()), false},
        {"sound size the whole file", 2, 4, std::uint32_t(good.size()), false},
        {"stop marker with a wild size", 11, 4, 0xffffffffu, false},
        {"sound running past the end", 10, 0, std::uint32_t(good.size() - 4), false},
        {"directory ends inside stop marker", 11, 9, {}, false},
        {"credits offset past end", 12, 0, 0x7fffffffu, false},
    };
    for (const auto& [what, entry, field, value, rejected] : cases) {
        SCOPED_TRACE(what);
        Load(good);   // something to lose
        Bytes file = good;
        const std::size_t at = (entry < 0 ? 0 : EntryPosition(file, entry)) + field;
        value ? WriteLE32(&file.at(at), *value) : file.resize(at);
        const LoadResult result = Load(file);
        if (rejected) {
            ExpectRejected(result);
            continue;
        }
        EXPECT_EQ(result, LoadResult::Loaded);
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_TRUE(session.bank.creditsConfirmed);
        for (const SoundSlot& slot : session.bank.slots) {
            ASSERT_LE(std::size_t(slot.size), file.size());
            EXPECT_EQ(slot.data->size(), std::size_t(slot.size) + 1);
            EXPECT_EQ(slot.data->back(), 0x80);
        }
    }
    // Credits at offset 0 are read from the header: "IWAD", the low byte of 12, NUL.
    Bytes file = good;
    WriteLE32(&file.at(EntryPosition(file, 12)), 0);
    Load(file);
    EXPECT_EQ(session.bank.credits.author, "IWAD\x0C");
}

Bytes Written(const SoundBank& bank)
{
    MemorySink sink;
    EXPECT_TRUE(WriteBank(bank, sink));
    return sink.data;
}

// Names are cut to 8 bytes, the pad byte and beyond stay in memory, FILEINFO needs all three credits.
TEST(BankWriter, LayoutMatchesHandMadeBank)
{
    const std::string a(100, 'a'), d(256, 'd'), t(100, 't');
    const std::pair<BankCredits, std::optional<Bytes>> cases[] = {
        {{a, d, t}, CreditsLump(a, d, t)},
        {{"Ann", "Taunts", ""}, std::nullopt},
        {{"", "Taunts", "2001"}, std::nullopt},
    };
    for (const auto& [credits, fileInfo] : cases) {
        SCOPED_TRACE(credits.author + "/" + credits.dateFinished);
        TestBank file{.fileInfo = fileInfo};
        SoundBank bank = ModelOf(file, credits);
        file.names[7] = "TOOLONGN";
        bank.slots[7].name = "TOOLONGNAME";
        bank.slots[5].data->resize(bank.slots[5].data->size() + 48, 0x77);   // as after a conversion
        EXPECT_EQ(Written(bank), LayOutBank(file));
    }
}

TEST(BankWriter, ProgressBeforeEachSoundAndAfterTheSoundEntries)
{
    const SoundBank bank = ModelOf({});
    MemorySink sink;
    std::vector<std::pair<int, std::size_t>> reports, expected;
    ASSERT_TRUE(WriteBank(bank, sink, [&](int p) { reports.emplace_back(p, sink.data.size()); }));
    for (std::size_t i = 0; i < kSlotCount; ++i)
        expected.emplace_back(9 * int(i), std::size_t(bank.slots[i].fileOffset));
    expected.emplace_back(100, EntryPosition(sink.data, 11));
    EXPECT_EQ(reports, expected);
}

// Every write can fail: the header, each sound with bytes, the parts around the last report.
TEST(BankWriter, ReportsEveryFailedWrite)
{
    const SoundBank bank = ModelOf({});
    for (int failAt = 0; failAt <= 12; ++failAt) {
        MemorySink target;
        FailingSink failing(target, failAt);
        EXPECT_EQ(WriteBank(bank, failing), failAt == 12) << failAt;
        if (failAt == 12) {
            EXPECT_EQ(target.data, Written(bank));
        }
    }
}

// Sounds that claim sizes without holding them, so that banks up to the 32-bit limit can be written into a
// sink that only counts; and a source that fails under the save.
class ClaimedSounds : public StoredSounds {
public:
    std::int64_t storedSize(const SoundBank&, int slotNumber) const override { return sizes[std::size_t(slotNumber - 1)]; }
    bool writeStored(const SoundBank&, int, ByteSink&) override { return true; }
    bool failed() const override { return failing; }
    std::array<std::int64_t, kSlotCount> sizes{};
    bool failing = false;
};

class CountingSink : public ByteSink {
public:
    bool write(std::span<const std::uint8_t> bytes) override
    {
        count += bytes.size();
        return true;
    }
    std::size_t count = 0;
};

// Offsets are signed 32-bit numbers: the length is known before anything is read, a bank one byte longer than
// they reach is refused unwritten, and a save whose sounds' file failed under it is no good.
TEST(BankWriter, KnowsItsLengthAndRefusesABankBeyondItsOffsets)
{
    for (const bool credits : {false, true}) {
        const SoundBank bank = ModelOf({}, credits ? kCredits : BankCredits{});
        StoredSounds buffers;
        EXPECT_EQ(BankFileLength(bank, buffers), std::int64_t(Written(bank).size()));
    }

    const SoundBank bank = ModelOf({});
    ClaimedSounds sounds;
    sounds.sizes.fill(kBankLimit / kSlotCount);
    sounds.sizes[0] += kBankLimit - BankFileLength(bank, sounds);
    CountingSink fits;
    EXPECT_TRUE(WriteBank(bank, sounds, fits));
    EXPECT_EQ(BankFileLength(bank, sounds), kBankLimit);

    ++sounds.sizes[9];
    CountingSink beyond;
    EXPECT_FALSE(WriteBank(bank, sounds, beyond));
    EXPECT_EQ(beyond.count, 0u);

    --sounds.sizes[9];
    sounds.failing = true;
    CountingSink failed;
    EXPECT_FALSE(WriteBank(bank, sounds, failed));
}

// Ten entries sharing one 32 MB lump ask for ten times the file's size: told, not the end of the program.
TEST(BankLoaderMemory, OverlappingLumpsBeyondTheMemoryLimitAreReported)
{
#if !JBX_MEMORY_LIMIT_WORKS
    GTEST_SKIP() << JBX_NO_MEMORY_LIMIT_REASON;
#else
    TempDir dir;
    const std::string path = dir.file("overlap.jbx");
    WriteOverlappingBank(path, std::uint32_t(32) << 20);

    const std::string outcome = RunWithMemoryLimit(std::size_t(96) << 20, [&] {
        FakeDesktop desktop;
        Session session(desktop);
        session.bank = ModelOf({});   // something to lose
        std::string told = std::to_string(int(LoadBank(session, path, Owner::MainWindow).result));
        for (const Message& m : desktop.messages)
            told += " " + m.text + "|" + std::to_string(int(m.owner));
        return told + (Contents(session.bank) == Contents(SoundBank{}) ? " emptied" : "");
    });
    EXPECT_EQ(outcome, "3 Not enough memory to load the JBX file|1 emptied");
#endif
}

} // namespace
} // namespace jbx
