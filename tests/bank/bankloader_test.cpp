#include "bank/bankloader.h"

#include "bank/filesystem.h"
#include "bank/soundbank.h"
#include "tests/bank/bankfiles.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <ostream>

namespace jbx {
namespace {

using namespace jbx::testing;

// Test names from the cases' descriptions.
template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info)
{
    std::string name = info.param.what;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

const Message kNotABankMessage{"Not a valid JeerBox sound file", "Error", MessageButtons::Ok,
    MessageIcon::Stop, Owner::MainWindow};
const Message kCannotOpenMessage{"Cannot open JBX file", "Error", MessageButtons::Ok,
    MessageIcon::Stop, Owner::None};

// Ten sounds of different sizes, one of them empty, names of 1..8 letters
// and one unnamed slot, and credits.
TestBank SampleBank()
{
    TestBank bank;
    const char* names[] = {"laugh", "boo", "(none)", "ABCDEFGH", "x", "hiss", "taunt7", "s8", "nine", "ten"};
    for (std::size_t i = 0; i < bank.sounds.size(); ++i) {
        bank.sounds[i].name = names[i];
        bank.sounds[i].data = i == 4 ? Bytes{} : FakeWave(20 + 7 * i, std::uint8_t(i * 16));
    }
    bank.fileInfo = CreditsLump("Ann Author", "Ten sounds for taunting", "May 2001");
    return bank;
}

class BankLoader : public ::testing::Test {
protected:
    BankLoader()
    {
        session.bank.bankTitle = "sample.jbx";
        session.bank.currentSlot = 4;
        window.name = "old";
        window.sizeText = "1234";
        window.extractEnabled = true;
    }

    void Load(const Bytes& file, bool withWindow = true)
    {
        WriteBytes(path, file);
        LoadBank(session, path, withWindow ? &window : nullptr);
    }

    void ExpectLoadedAs(const TestBank& expected)
    {
        const SoundBank& bank = session.bank;
        const Bytes file = LayOutBank(expected);
        for (std::size_t i = 0; i < bank.slots.size(); ++i) {
            SCOPED_TRACE("slot index " + std::to_string(i));
            const SoundSlot& slot = bank.slots[i];
            const Bytes& sound = expected.sounds[i].data;
            EXPECT_EQ(slot.name, expected.sounds[i].name);
            EXPECT_EQ(slot.size, std::int32_t(sound.size()));
            EXPECT_EQ(std::uint32_t(slot.fileOffset), Peek32(file, EntryPosition(file, 1 + int(i))));
            Bytes padded = sound;
            padded.push_back(0x80);
            EXPECT_EQ(*slot.data, padded);
        }
        EXPECT_TRUE(bank.creditsConfirmed);
        EXPECT_TRUE(desktop.messages.empty());
    }

    void ExpectRejected(Owner owner = Owner::MainWindow)
    {
        Message message = kNotABankMessage;
        message.owner = owner;
        EXPECT_EQ(desktop.messages, std::vector<Message>{message});
        ExpectEmptyBank();
    }

    void ExpectEmptyBank()
    {
        const SoundBank& bank = session.bank;
        EXPECT_EQ(bank.bankTitle, "Untitled");
        EXPECT_FALSE(bank.creditsConfirmed);
        EXPECT_TRUE(bank.credits.empty());
        for (const SoundSlot& slot : bank.slots) {
            EXPECT_EQ(slot.size, 0);
            EXPECT_EQ(slot.name, "(none)");
            EXPECT_EQ(*slot.data, Bytes{0});
        }
        EXPECT_EQ(bank.currentSlot, 4);
    }

    TempDir dir;
    std::string path = dir.file("bank.jbx");
    FakeDesktop desktop;
    FakeMainWindow window;
    Session session{desktop};
};

TEST_F(BankLoader, LoadsSoundsNamesOffsetsAndCredits)
{
    const TestBank sample = SampleBank();
    Load(LayOutBank(sample));

    ExpectLoadedAs(sample);
    EXPECT_EQ(session.bank.credits.author, "Ann Author");
    EXPECT_EQ(session.bank.credits.description, "Ten sounds for taunting");
    EXPECT_EQ(session.bank.credits.dateFinished, "May 2001");
    EXPECT_EQ(session.bank.bankTitle, "sample.jbx");
    EXPECT_EQ(session.bank.currentSlot, 4);
    // An empty sound still gets its pad byte.
    EXPECT_EQ(*session.bank.slots[4].data, Bytes{0x80});
}

TEST_F(BankLoader, WindowAfterSuccessShowsTitleAndNoSlot)
{
    Load(LayOutBank(SampleBank()));

    EXPECT_EQ(window.caption, "JBX Maker - sample.jbx");
    EXPECT_EQ(window.name, "(none)");
    EXPECT_EQ(window.sizeText, "");
    EXPECT_TRUE(window.extractEnabled) << "Extract keeps its state until a sound is selected";
}

TEST_F(BankLoader, BankWithoutCreditsIsStillConfirmed)
{
    TestBank sample = SampleBank();
    sample.fileInfo.reset();
    session.bank.credits = {"old", "old", "old"};
    const Bytes file = LayOutBank(sample);
    ASSERT_GE(file.size(), EntryPosition(file, 13)) << "the trailer stands where entry 12 would";
    Load(file);

    ExpectLoadedAs(sample);
    EXPECT_TRUE(session.bank.credits.empty());
}

struct VerdictCase {
    const char* magic;
    const char* startName;
    const char* stopName;
    bool accepted;
};

void PrintTo(const VerdictCase& c, std::ostream* out)
{
    *out << c.magic << "/" << c.startName << "/" << c.stopName;
}

class BankVerdict : public BankLoader, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(BankVerdict, AcceptsWhenAnyOfThreeTestsHolds)
{
    TestBank sample = SampleBank();
    sample.magic = GetParam().magic;
    sample.startName = GetParam().startName;
    sample.stopName = GetParam().stopName;
    Load(LayOutBank(sample));

    if (GetParam().accepted)
        ExpectLoadedAs(sample);
    else
        ExpectRejected();
}

INSTANTIATE_TEST_SUITE_P(BankLoader, BankVerdict, ::testing::Values(
    VerdictCase{"IWAD", "JEERSTRT", "JEERSTOP", true},
    VerdictCase{"IWAD", "OTHER", "OTHER", true},
    VerdictCase{"PWAD", "JEERSTRT", "OTHER", true},
    VerdictCase{"PWAD", "OTHER", "JEERSTOP", true},
    VerdictCase{"IWAD", "JEERSTRT", "OTHER", true},
    VerdictCase{"PWAD", "JEERSTRT", "JEERSTOP", true},
    VerdictCase{"PWAD", "OTHER", "OTHER", false},
    // Every name test takes all eight bytes, case and all.
    VerdictCase{"iwad", "jeerstrt", "jeerstop", false},
    VerdictCase{"PWAD", "JEERSTRX", "JEERSTOX", false},
    VerdictCase{"PWAD", "JEERSTOP", "JEERSTRT", false}));

TEST_F(BankLoader, MarkerNameCutShortByNulDoesNotCount)
{
    TestBank sample = SampleBank();
    sample.magic = "PWAD";
    sample.startName = std::string("JEERSTR\0", 8);
    sample.stopName = std::string("JEER\0TOP", 8);
    Load(LayOutBank(sample));

    ExpectRejected();
}

TEST_F(BankLoader, LumpCountIsIgnored)
{
    for (std::uint32_t count : {0u, 12u, 13u, 0xffffffffu}) {
        SCOPED_TRACE(count);
        desktop.messages.clear();
        TestBank sample = SampleBank();
        sample.lumpCount = count;
        Load(LayOutBank(sample));
        ExpectLoadedAs(sample);
    }
}

TEST_F(BankLoader, RejectionWithoutWindowHasNoOwner)
{
    Load(Bytes{}, false);

    ExpectRejected(Owner::None);
}

TEST_F(BankLoader, RejectionResetsBankAndWindow)
{
    Load(LayOutBank(SampleBank()));   // something to lose
    desktop.messages.clear();
    session.bank.bankTitle = "other.jbx";

    Load(ToBytes("just some text, not a bank at all"));

    ExpectRejected();
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
    EXPECT_EQ(window.name, "(none)");
    EXPECT_EQ(window.sizeText, "");
    EXPECT_FALSE(window.extractEnabled);
}

TEST_F(BankLoader, UnopenableFileGivesEmptyBank)
{
    const std::string paths[] = {dir.file("missing.jbx"), dir.path()};
    for (const std::string& unopenable : paths) {
        for (bool withWindow : {true, false}) {
            SCOPED_TRACE(unopenable + (withWindow ? " with window" : " without window"));
            Load(LayOutBank(SampleBank()));
            desktop.messages.clear();
            window = FakeMainWindow{};

            LoadBank(session, unopenable, withWindow ? &window : nullptr);

            EXPECT_EQ(desktop.messages, std::vector<Message>{kCannotOpenMessage});
            ExpectEmptyBank();
            if (withWindow) {
                EXPECT_EQ(window.caption, "JBX Maker - Untitled");
                EXPECT_EQ(window.name, "(none)");
                EXPECT_FALSE(window.extractEnabled);
            } else {
                EXPECT_EQ(window.captionChanges, 0);
            }
        }
    }
}

// Credits: each text stops after its NUL or at its limit, whichever comes
// first, and the next one starts with the following byte.
struct CreditsCase {
    const char* what;
    Bytes lump;
    std::string author;
    std::string description;
    std::string date;
};

void PrintTo(const CreditsCase& c, std::ostream* out) { *out << c.what; }

class BankCreditsRead : public BankLoader, public ::testing::WithParamInterface<CreditsCase> {};

TEST_P(BankCreditsRead, TextsKeepTheirLimits)
{
    TestBank sample = SampleBank();
    sample.fileInfo = GetParam().lump;
    Load(LayOutBank(sample));

    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(session.bank.credits.author, GetParam().author);
    EXPECT_EQ(session.bank.credits.description, GetParam().description);
    EXPECT_EQ(session.bank.credits.dateFinished, GetParam().date);
}

Bytes Concat(std::initializer_list<std::string> parts)
{
    Bytes bytes;
    for (const std::string& part : parts)
        PutText(bytes, part);
    return bytes;
}

const std::string A100(100, 'a');
const std::string D256(256, 'd');
const std::string T100(100, 't');
const std::string NUL(1, '\0');

INSTANTIATE_TEST_SUITE_P(BankLoader, BankCreditsRead, ::testing::Values(
    CreditsCase{"all at their limits without NULs", Concat({A100, D256, T100}), A100, D256, T100},
    CreditsCase{"limits, then NULs", Concat({A100, D256, T100, NUL, NUL, NUL}), A100, D256, T100},
    // A text at its limit is not followed by its own NUL: that NUL ends the
    // next text, so a saved 100-character author pushes the others along.
    CreditsCase{"author at its limit, then its NUL", CreditsLump(A100, "desc", "date"), A100, "", "desc"},
    CreditsCase{"author one over its limit", Concat({A100, "X", NUL, "date", NUL}), A100, "X", "date"},
    CreditsCase{"description one over its limit", Concat({"a", NUL, D256, "Ydate", NUL}), "a", D256, "Ydate"},
    CreditsCase{"one below the limits", Concat({A100.substr(1), NUL, D256.substr(1), NUL, T100.substr(1), NUL}),
        A100.substr(1), D256.substr(1), T100.substr(1)},
    CreditsCase{"empty texts", Bytes{0, 0, 0}, "", "", ""},
    CreditsCase{"empty lump reads on into the directory", Bytes{}, "", "", ""}),
    CaseName<CreditsCase>);

// A FILEINFO lump that the end of the file cuts off keeps what was read.
TEST_F(BankLoader, CreditsCutOffByEndOfFileKeepWhatWasRead)
{
    TestBank sample = SampleBank();
    sample.fileInfo = Bytes{};
    sample.trailer = false;
    Bytes file = LayOutBank(sample);
    Poke32(file, EntryPosition(file, 12), std::uint32_t(file.size()));
    PutText(file, "Ann");
    file.push_back(0);
    PutText(file, "Half a descr");
    Load(file);

    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(session.bank.credits.author, "Ann");
    EXPECT_EQ(session.bank.credits.description, "Half a descr");
    EXPECT_EQ(session.bank.credits.dateFinished, "");
    EXPECT_TRUE(session.bank.creditsConfirmed);
}

// Directories that hold no credits the loader can use: the bank is still
// accepted with empty credits.
struct NoCreditsCase {
    const char* what;
    std::function<void(Bytes&)> damage;
};

void PrintTo(const NoCreditsCase& c, std::ostream* out) { *out << c.what; }

class BankWithoutCredits : public BankLoader, public ::testing::WithParamInterface<NoCreditsCase> {};

TEST_P(BankWithoutCredits, LoadsWithEmptyCredits)
{
    TestBank sample = SampleBank();
    Bytes file = LayOutBank(sample);
    GetParam().damage(file);
    session.bank.credits = {"old", "old", "old"};
    Load(file);

    ExpectLoadedAs(sample);
    EXPECT_TRUE(session.bank.credits.empty());
}

std::size_t CreditsEntry(const Bytes& file)
{
    return EntryPosition(file, 12);
}

INSTANTIATE_TEST_SUITE_P(BankLoader, BankWithoutCredits, ::testing::Values(
    NoCreditsCase{"directory ends after stop marker",
        [](Bytes& f) { f.resize(CreditsEntry(f)); }},
    NoCreditsCase{"entry 12 ends inside its offset",
        [](Bytes& f) { f.resize(CreditsEntry(f) + 3); }},
    NoCreditsCase{"entry 12 ends before its name",
        [](Bytes& f) { f.resize(CreditsEntry(f) + 8); }},
    NoCreditsCase{"entry 12 name cut to FILEINF",
        [](Bytes& f) { f.resize(CreditsEntry(f) + 15); }},
    NoCreditsCase{"entry 12 named FILEINFX",
        [](Bytes& f) { f[CreditsEntry(f) + 15] = 'X'; }},
    NoCreditsCase{"entry 12 named fileinfo",
        [](Bytes& f) { f[CreditsEntry(f) + 8] = 'f'; }},
    NoCreditsCase{"credits offset negative",
        [](Bytes& f) { Poke32(f, CreditsEntry(f), 0xfffffff0u); }},
    NoCreditsCase{"credits offset at end of file",
        [](Bytes& f) { Poke32(f, CreditsEntry(f), std::uint32_t(f.size())); }},
    NoCreditsCase{"credits offset past end of file",
        [](Bytes& f) { Poke32(f, CreditsEntry(f), 0x7fffffffu); }}),
    CaseName<NoCreditsCase>);

TEST_F(BankLoader, LumpRunningPastEndKeepsZeros)
{
    // The last sound's lump is made to start 4 bytes before the end of the
    // file while keeping its size.
    TestBank sample = SampleBank();
    Bytes file = LayOutBank(sample);
    const std::size_t entry = EntryPosition(file, 10);
    const auto size = Peek32(file, entry + 4);
    Poke32(file, entry, std::uint32_t(file.size() - 4));
    Load(file);

    EXPECT_TRUE(desktop.messages.empty());
    const SoundSlot& slot = session.bank.slots[9];
    ASSERT_EQ(slot.size, std::int32_t(size));
    Bytes expected(file.end() - 4, file.end());
    expected.resize(size, 0);
    expected.push_back(0x80);
    EXPECT_EQ(*slot.data, expected);
}

TEST_F(BankLoader, LumpStartingAtEndOfFileIsAllZeros)
{
    TestBank sample = SampleBank();
    Bytes file = LayOutBank(sample);
    Poke32(file, EntryPosition(file, 1), std::uint32_t(file.size()));
    Poke32(file, EntryPosition(file, 1) + 4, 5);
    Load(file);

    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_EQ(*session.bank.slots[0].data, (Bytes{0, 0, 0, 0, 0, 0x80}));
}

TEST_F(BankLoader, ShortVoiceMarkedLumpIsLeftAsIs)
{
    TestBank sample = SampleBank();
    sample.sounds[1].data = ToBytes("Crea456789");                    // 10 bytes
    sample.sounds[2].data = ToBytes("crea and then some");            // wrong case
    sample.sounds[3].data = ToBytes("CreA and then some");
    Load(LayOutBank(sample));

    ExpectLoadedAs(sample);
}

TEST_F(BankLoader, VoiceMarkedLumpGoesThroughConversion)
{
    // Eleven bytes that start like a voice file but are none: the converter
    // refuses it, and the slot keeps the zero-filled output it was given.
    TestBank sample = SampleBank();
    sample.sounds[6].data = ToBytes("Crea4567890");
    Load(LayOutBank(sample));

    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.front().text, "Not a Creative Voice File");
    const SoundSlot& slot = session.bank.slots[6];
    EXPECT_EQ(slot.size, 11);
    EXPECT_EQ(*slot.data, Bytes(11 + 48, 0));
    EXPECT_TRUE(session.bank.creditsConfirmed);
}

TEST_F(BankLoader, VoiceLumpBecomesWaveImage)
{
    const Bytes samples = Ramp(40, 3);
    TestBank sample = SampleBank();
    sample.sounds[0].data = VoiceFileBuilder().soundBlock(156, samples).terminator().build();
    Load(LayOutBank(sample));

    EXPECT_TRUE(desktop.messages.empty());
    const SoundSlot& slot = session.bank.slots[0];
    const std::size_t imageLength = 44 + samples.size();
    EXPECT_EQ(slot.size, std::int32_t(imageLength - 1));
    ASSERT_EQ(slot.data->size(), sample.sounds[0].data.size() + 48);
    const Bytes& image = *slot.data;
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 4), ToBytes("RIFF"));
    EXPECT_EQ(Bytes(image.begin() + 8, image.begin() + 12), ToBytes("WAVE"));
    EXPECT_EQ(Bytes(image.begin() + 44, image.begin() + std::ptrdiff_t(imageLength)), samples);
    // The other slots are read as they are.
    EXPECT_EQ(slot.name, "laugh");
    EXPECT_EQ(session.bank.slots[1].size, std::int32_t(sample.sounds[1].data.size()));
}

// Damaged directories are rejected like an unrecognised file, even when the
// names and magic are right.
struct DamageCase {
    const char* what;
    std::function<void(Bytes&)> damage;
    bool rejected;
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.what; }

class BankDamage : public BankLoader, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(BankDamage, IsRejectedOrReadSafely)
{
    Load(LayOutBank(SampleBank()));   // something to lose
    desktop.messages.clear();
    session.bank.bankTitle = "damaged.jbx";

    Bytes file = LayOutBank(SampleBank());
    GetParam().damage(file);
    Load(file);

    if (GetParam().rejected) {
        ExpectRejected();
        return;
    }
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_TRUE(session.bank.creditsConfirmed);
    for (const SoundSlot& slot : session.bank.slots) {
        ASSERT_GE(slot.size, 0);
        ASSERT_LE(std::size_t(slot.size), file.size());
        EXPECT_EQ(slot.data->size(), std::size_t(slot.size) + 1);
        EXPECT_EQ(slot.data->back(), 0x80);
    }
}

std::size_t SoundEntry(const Bytes& file, int slotNumber)
{
    return EntryPosition(file, slotNumber);
}

INSTANTIATE_TEST_SUITE_P(BankLoader, BankDamage, ::testing::Values(
    DamageCase{"empty file", [](Bytes& f) { f.clear(); }, true},
    DamageCase{"header cut after magic", [](Bytes& f) { f.resize(4); }, true},
    DamageCase{"header cut inside directory offset", [](Bytes& f) { f.resize(11); }, true},
    DamageCase{"directory offset negative", [](Bytes& f) { Poke32(f, 8, 0xffffffffu); }, true},
    DamageCase{"directory offset most negative", [](Bytes& f) { Poke32(f, 8, 0x80000000u); }, true},
    DamageCase{"directory offset past end", [](Bytes& f) { Poke32(f, 8, std::uint32_t(f.size() + 1)); }, true},
    DamageCase{"directory offset largest", [](Bytes& f) { Poke32(f, 8, 0x7fffffffu); }, true},
    DamageCase{"directory offset at end", [](Bytes& f) { Poke32(f, 8, std::uint32_t(f.size())); }, true},
    DamageCase{"directory ends inside entry 10", [](Bytes& f) { f.resize(EntryPosition(f, 11) - 1); }, true},
    DamageCase{"directory ends inside entry 1", [](Bytes& f) { f.resize(EntryPosition(f, 1) + 5); }, true},
    DamageCase{"sound offset negative", [](Bytes& f) { Poke32(f, SoundEntry(f, 3), 0xfffffffcu); }, true},
    DamageCase{"sound size negative", [](Bytes& f) { Poke32(f, SoundEntry(f, 5) + 4, 0xffffffffu); }, true},
    DamageCase{"sound size most negative", [](Bytes& f) { Poke32(f, SoundEntry(f, 10) + 4, 0x80000000u); }, true},
    DamageCase{"sound offset past end",
        [](Bytes& f) { Poke32(f, SoundEntry(f, 1), std::uint32_t(f.size() + 1)); }, true},
    DamageCase{"sound size larger than file",
        [](Bytes& f) { Poke32(f, SoundEntry(f, 7) + 4, std::uint32_t(f.size() + 1)); }, true},
    DamageCase{"sound size largest", [](Bytes& f) { Poke32(f, SoundEntry(f, 2) + 4, 0x7fffffffu); }, true},
    DamageCase{"empty sound with wild offset",
        [](Bytes& f) { Poke32(f, SoundEntry(f, 5), 0x90000000u); Poke32(f, SoundEntry(f, 5) + 4, 0); }, false},
    DamageCase{"sound size equal to file", [](Bytes& f) {
        Poke32(f, SoundEntry(f, 2), 0);
        Poke32(f, SoundEntry(f, 2) + 4, std::uint32_t(f.size()));
    }, false},
    DamageCase{"directory ends inside stop marker", [](Bytes& f) { f.resize(EntryPosition(f, 11) + 9); }, false}),
    CaseName<DamageCase>);

// ReadBankLumps on its own never allocates more than the file holds, even
// when the slots were not vetted by ReadBankDirectory.
TEST_F(BankLoader, LumpReaderIgnoresSizesBeyondFile)
{
    WriteBytes(path, LayOutBank(SampleBank()));
    auto file = InputFile::open(path);
    ASSERT_TRUE(file);
    session.bank.slots[0].size = 0x7fffffff;
    session.bank.slots[1].size = -5;
    session.bank.slots[2].fileOffset = -1;
    session.bank.slots[2].size = 3;

    ReadBankLumps(session, *file, &window);

    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(session.bank.slots[std::size_t(i)].size, 0);
        EXPECT_EQ(*session.bank.slots[std::size_t(i)].data, Bytes{0x80});
    }
}

} // namespace
} // namespace jbx
