#include "bank/bankformat.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <set>

namespace jbx {
namespace {

using namespace jbx::testing;
namespace fs = std::filesystem;

// Bank files are laid out byte by byte here, so that the loader is fed, and
// the writer checked against, files the program did not make.

Bytes CreditsLump(const std::string& author, const std::string& description, const std::string& date)
{
    return ToBytes(author + '\0' + description + '\0' + date + '\0');
}

// Sounds of different sizes that do not start with "Crea", the fifth one
// empty; names of 1..8 letters and an unnamed slot; credits.
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

// Header, sounds, credits, directory and trailer, in a saved bank's order.
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

void Poke32(Bytes& f, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        f.at(at + i) = std::uint8_t(value >> (8 * i));
}

std::size_t EntryPosition(const Bytes& f, int entry)
{
    return (f.at(8) | f.at(9) << 8 | f.at(10) << 16 | std::size_t(f.at(11)) << 24) + 16 * std::size_t(entry);
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
std::vector<SlotView> Slots(const SoundBank& bank)
{
    std::vector<SlotView> slots;
    for (const SoundSlot& slot : bank.slots)
        slots.emplace_back(slot.name, slot.fileOffset, slot.size, *slot.data);
    return slots;
}

auto Credits(const SoundBank& bank)
{
    return std::make_tuple(bank.credits.author, bank.credits.description, bank.credits.dateFinished);
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
    FakeMainWindow window;
    window.name = "boo";
    window.sizeText = "27";
    NewBank(session, &window);

    EXPECT_EQ(std::tie(bank.bankTitle, bank.creditsConfirmed, bank.currentSlot), std::make_tuple("Untitled", false, 7));
    EXPECT_EQ(Credits(bank), Credits(SoundBank{}));
    EXPECT_EQ(Slots(bank), std::vector<SlotView>(kSlotCount, {"(none)", 0, 0, Bytes{0}}));
    std::set<const Bytes*> buffers;
    for (const SoundSlot& slot : bank.slots)
        buffers.insert(slot.data.get());
    EXPECT_EQ(buffers.size(), std::size_t(kSlotCount)) << "slots share a buffer";
    EXPECT_EQ(*playing, *ModelOf({}).slots[2].data) << "a sound that may be playing keeps its bytes";
    EXPECT_EQ(std::tie(window.caption, window.name, window.sizeText, window.extractEnabled),
        std::make_tuple("JBX Maker - Untitled", "(none)", "", false));
}

const Message kNotABank{"Not a valid JeerBox sound file", "Error", MessageButtons::Ok, MessageIcon::Stop,
    Owner::MainWindow};

class BankLoader : public ::testing::Test {
protected:
    void Load(const Bytes& file, const std::string& from = {}, bool withWindow = true)
    {
        WriteBytes(path, file);
        desktop.messages.clear();
        LoadBank(session, from.empty() ? path : from, withWindow ? &window : nullptr);
    }

    // A rejected file leaves the bank NewBank makes.
    void ExpectRejected(const Message& message = kNotABank)
    {
        EXPECT_EQ(desktop.messages, std::vector<Message>{message});
        EXPECT_EQ(std::tie(session.bank.bankTitle, session.bank.creditsConfirmed), std::make_tuple("Untitled", false));
        EXPECT_EQ(Credits(session.bank), Credits(SoundBank{}));
        EXPECT_EQ(Slots(session.bank), Slots(SoundBank{}));
    }

    TempDir dir;
    std::string path = dir.file("bank.jbx");
    FakeDesktop desktop;
    FakeMainWindow window;
    Session session{desktop};
};

TEST_F(BankLoader, AcceptsWhenAnyOfThreeTestsHolds)
{
    struct {
        std::string magic, startName, stopName;
        bool accepted;
    } const cases[] = {
        {"IWAD", "OTHER", "OTHER", true},
        {"PWAD", "JEERSTRT", "OTHER", true},
        {"PWAD", "OTHER", "JEERSTOP", true},
        {"PWAD", "OTHER", "OTHER", false},
        // Every test takes all its bytes, case and all.
        {"iwad", "jeerstrt", "jeerstop", false},
        {"PWAD", "JEERSTRX", "JEERSTOX", false},
        {"PWAD", "JEERSTOP", "JEERSTRT", false},
        {"PWAD", std::string("JEERSTR\0", 8), std::string("JEER\0TOP", 8), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.magic + "/" + c.startName + "/" + c.stopName);
        NewBank(session, nullptr);
        session.bank.bankTitle = "sample.jbx";
        const TestBank sample{c.magic, c.startName, c.stopName};
        Load(LayOutBank(sample));
        if (!c.accepted) {
            ExpectRejected();
            continue;
        }
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_EQ(Slots(session.bank), Slots(ModelOf(sample)));   // the fifth holds only the pad byte
        EXPECT_EQ(Credits(session.bank), Credits(ModelOf(sample)));
        EXPECT_TRUE(session.bank.creditsConfirmed);
        EXPECT_EQ(window.caption, "JBX Maker - sample.jbx");
    }
}

TEST_F(BankLoader, FailureIsReportedWithOwnerOnlyForAWindow)
{
    Message unowned = kNotABank;
    unowned.owner = Owner::None;
    const Message cannotOpen{"Cannot open JBX file", "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::None};
    Load(LayOutBank({}));   // something to lose
    Load(ToBytes("not a bank"), path, false);
    ExpectRejected(unowned);
    for (bool withWindow : {true, false}) {
        Load(LayOutBank({}));
        window = FakeMainWindow{};
        Load({}, dir.file("missing.jbx"), withWindow);
        ExpectRejected(cannotOpen);
        EXPECT_EQ(window.caption, withWindow ? "JBX Maker - Untitled" : "");
    }
}

// Each text stops after its NUL or at its limit, whichever comes first, and
// the next one starts with the following byte.
TEST_F(BankLoader, CreditsKeepTheirLimits)
{
    const std::string a(100, 'a'), d(256, 'd'), t(100, 't');
    struct {
        Bytes lump;
        std::string author, description, date;
    } const cases[] = {
        {ToBytes(a + d + t), a, d, t},
        {CreditsLump(a.substr(1), d.substr(1), t.substr(1)), a.substr(1), d.substr(1), t.substr(1)},
        // A saved 100-character author's NUL ends the description instead.
        {CreditsLump(a, "desc", "date"), a, "", "desc"},
        {ToBytes("a" + std::string(1, '\0') + d + "Ydate"), "a", d, "Ydate"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        Load(LayOutBank({.fileInfo = c.lump}));
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_EQ(Credits(session.bank), std::tie(c.author, c.description, c.date));
    }
}

TEST_F(BankLoader, OnlyLumpsOfElevenBytesOrMoreAreVoiceFiles)
{
    TestBank sample;
    sample.sounds[1] = ToBytes("Crea456789");
    sample.sounds[6] = ToBytes("Crea4567890");   // starts like a voice file but is none
    Load(LayOutBank(sample));

    EXPECT_EQ(*session.bank.slots[1].data, ToBytes("Crea456789\x80"));
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.front().text, "Not a Creative Voice File");
    // The converter refused it: the slot keeps the zero-filled buffer it gave it.
    EXPECT_EQ(*session.bank.slots[6].data, Bytes(11 + 48, 0));
}

// A damaged directory is rejected however right the names are; damage the
// loader can read around never reads or allocates beyond the file.
TEST_F(BankLoader, DamagedFileIsRejectedOrReadSafely)
{
    using Damage = std::function<void(Bytes&)>;
    const auto poke = [](int entry, std::size_t field, std::uint32_t value) -> Damage {
        return [=](Bytes& f) { Poke32(f, entry < 0 ? 8 : EntryPosition(f, entry) + field, value); };
    };
    const auto cut = [](int entry, std::size_t extra) -> Damage {
        return [=](Bytes& f) { f.resize(entry < 0 ? extra : EntryPosition(f, entry) + extra); };
    };
    struct {
        const char* what;
        Damage damage;
        bool rejected;
    } const cases[] = {
        {"empty file", cut(-1, 0), true},
        {"header cut inside directory offset", cut(-1, 11), true},
        {"directory offset negative", poke(-1, 0, 0x80000000u), true},
        {"directory offset at end", [](Bytes& f) { Poke32(f, 8, std::uint32_t(f.size())); }, true},
        {"directory ends inside entry 10", cut(10, 15), true},
        {"sound offset negative", poke(3, 0, 0xfffffffcu), true},
        {"sound offset past end", poke(1, 0, 0x7fffffffu), true},
        {"sound size negative", poke(6, 4, 0xffffffffu), true},
        {"sound size largest", poke(7, 4, 0x7fffffffu), true},
        {"empty sound with wild offset", poke(5, 0, 0x90000000u), false},
        {"sound running past the end", [](Bytes& f) { Poke32(f, EntryPosition(f, 10), std::uint32_t(f.size() - 4)); }, false},
        {"directory ends inside stop marker", cut(11, 9), false},
        {"credits entry cut short", cut(12, 15), false},
        {"credits offset past end", poke(12, 0, 0x7fffffffu), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Load(LayOutBank({}));   // something to lose
        Bytes file = LayOutBank({});
        c.damage(file);
        Load(file);
        if (c.rejected) {
            ExpectRejected();
            continue;
        }
        EXPECT_TRUE(desktop.messages.empty());
        EXPECT_TRUE(session.bank.creditsConfirmed);
        for (const SoundSlot& slot : session.bank.slots) {
            ASSERT_LE(std::size_t(slot.size), file.size());
            EXPECT_EQ(slot.data->size(), std::size_t(slot.size) + 1);
            EXPECT_EQ(slot.data->back(), 0x80);
        }
    }
}

Bytes Written(const SoundBank& bank)
{
    MemorySink sink;
    EXPECT_TRUE(WriteBank(bank, sink));
    return sink.data;
}

// Names are cut to 8 bytes, the pad byte and whatever follows it stay in
// memory, and FILEINFO comes only with all three credits.
TEST(BankWriter, LayoutMatchesHandMadeBank)
{
    FakeDesktop desktop;
    Session session(desktop);
    NewBank(session, nullptr);
    TestBank empty{.sounds = {}, .fileInfo = std::nullopt};
    empty.names.fill("(none)");
    EXPECT_EQ(Written(session.bank), LayOutBank(empty));

    const std::string a(100, 'a'), d(256, 'd'), t(100, 't');
    const std::pair<BankCredits, std::optional<Bytes>> cases[] = {
        {kCredits, TestBank{}.fileInfo},
        {{a, d, t}, CreditsLump(a, d, t)},
        {{"Ann", "", ""}, std::nullopt},
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
    const TestBank file;
    MemorySink sink;
    std::vector<std::pair<int, std::size_t>> reports, expected;
    ASSERT_TRUE(WriteBank(ModelOf(file), sink, [&](int p) { reports.emplace_back(p, sink.data.size()); }));
    std::size_t offset = 12;
    for (std::size_t i = 0; i < kSlotCount; offset += file.sounds[i++].size())
        expected.emplace_back(9 * int(i), offset);
    expected.emplace_back(100, EntryPosition(sink.data, 11));
    EXPECT_EQ(reports, expected);
}

// Whatever goes wrong, the file that was there stays, and no temporary file
// is left beside it; once saved, it loads and saves again byte for byte.
TEST(BankWriter, SaveReplacesTheFileOnlyWhenComplete)
{
    TempDir dir;
    const std::string existing = dir.file("old.jbx");
    const Bytes oldBytes = ToBytes("an older bank that must survive");
    WriteBytes(existing, oldBytes);
    const SoundBank bank = ModelOf({});
    const auto files = [&dir] { return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()); };

    EXPECT_EQ(WriteBankFile(bank, existing + "/bank.jbx"), SaveResult::CannotCreate);
    EXPECT_EQ(WriteBankFile(bank, dir.file("missing/bank.jbx")), SaveResult::CannotCreate);
    int failAt = 0;
    for (; WriteBankFile(bank, existing, {}, failAt) == SaveResult::CannotWrite; ++failAt) {
        EXPECT_EQ(ReadBytes(existing), oldBytes) << failAt;
        EXPECT_EQ(files(), 1) << failAt;
    }
    EXPECT_GT(failAt, 10) << "every sound is a write that can fail";
    const Bytes saved = ReadBytes(existing);
    EXPECT_EQ(saved, Written(bank)) << "the first write that does not fail saves the bank";
    EXPECT_EQ(files(), 1);

    FakeDesktop desktop;
    Session session(desktop);
    LoadBank(session, existing, nullptr);
    ASSERT_TRUE(desktop.messages.empty());
    EXPECT_EQ(Written(session.bank), saved);
}

} // namespace
} // namespace jbx
