#include "bank/soundbank.h"

#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <ostream>
#include <set>

namespace jbx {
namespace {

using testing::FakeDesktop;
using testing::FakeMainWindow;

// A bank that holds something in every field NewBank resets.
void FillBank(SoundBank& bank)
{
    bank.bankTitle = "taunts.jbx";
    bank.creditsConfirmed = true;
    bank.credits = {"Ann", "Some taunts", "2001"};
    bank.currentSlot = 7;
    for (int i = 0; i < kSlotCount; ++i) {
        SoundSlot& slot = bank.slots[std::size_t(i)];
        slot.name = "snd" + std::to_string(i);
        slot.fileOffset = 100 + i;
        slot.size = 3;
        slot.data = MakeSoundData(4);
        slot.data->assign({1, 2, 3, 0x80});
    }
}

void ExpectEmptyBank(const SoundBank& bank)
{
    EXPECT_EQ(bank.bankTitle, "Untitled");
    EXPECT_FALSE(bank.creditsConfirmed);
    EXPECT_TRUE(bank.credits.author.empty());
    EXPECT_TRUE(bank.credits.description.empty());
    EXPECT_TRUE(bank.credits.dateFinished.empty());
    std::set<const Bytes*> buffers;
    for (const SoundSlot& slot : bank.slots) {
        EXPECT_EQ(slot.name, "(none)");
        EXPECT_EQ(slot.fileOffset, 0);
        EXPECT_EQ(slot.size, 0);
        ASSERT_TRUE(slot.data);
        EXPECT_EQ(*slot.data, Bytes{0});
        buffers.insert(slot.data.get());
    }
    EXPECT_EQ(buffers.size(), std::size_t(kSlotCount)) << "slots share a buffer";
}

TEST(SoundBankModel, NewBankWithWindowResetsBankAndWindow)
{
    FakeDesktop desktop;
    Session session(desktop);
    FillBank(session.bank);
    const SoundData playing = session.bank.slots[2].data;
    FakeMainWindow window;
    window.name = "snd2";
    window.sizeText = "3 bytes";
    window.extractEnabled = true;

    NewBank(session, &window);

    ExpectEmptyBank(session.bank);
    EXPECT_EQ(session.bank.currentSlot, 7);
    EXPECT_EQ(window.caption, "JBX Maker - Untitled");
    EXPECT_EQ(window.name, "(none)");
    EXPECT_EQ(window.sizeText, "");
    EXPECT_FALSE(window.extractEnabled);
    EXPECT_TRUE(desktop.messages.empty());
    // A sound that may still be playing keeps its bytes.
    EXPECT_EQ(*playing, (Bytes{1, 2, 3, 0x80}));
}

TEST(SoundBankModel, NewBankWithoutWindowResetsOnlyTheBank)
{
    FakeDesktop desktop;
    Session session(desktop);
    FillBank(session.bank);

    NewBank(session, nullptr);

    ExpectEmptyBank(session.bank);
    EXPECT_EQ(session.bank.currentSlot, 7);
    EXPECT_TRUE(desktop.messages.empty());
}

TEST(SoundBankModel, CaptionShowsLongTitleInFull)
{
    FakeDesktop desktop;
    Session session(desktop);
    session.bank.bankTitle = std::string(kTitleLimit, 'x');
    FakeMainWindow window;

    UpdateMainTitle(session.bank, window);

    EXPECT_EQ(window.caption, "JBX Maker - " + std::string(kTitleLimit, 'x'));
}

struct TitleCase {
    PathStyle style;
    const char* path;
    const char* title;
};

void PrintTo(const TitleCase& c, std::ostream* out)
{
    *out << (c.style == PathStyle::Windows ? "Windows " : "Posix ") << '"' << c.path << '"';
}

class FileTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(FileTitle, TakesTextAfterLastSeparator)
{
    EXPECT_EQ(FileTitleFromPath(GetParam().path, GetParam().style), GetParam().title);
}

constexpr auto kWindows = PathStyle::Windows;
constexpr auto kPosix = PathStyle::Posix;

INSTANTIATE_TEST_SUITE_P(SoundBankModel, FileTitle, ::testing::Values(
    // Only the backslash separates; a slash or a drive letter's colon does not.
    TitleCase{kWindows, "taunts.jbx", "taunts.jbx"},
    TitleCase{kWindows, "\\taunts.jbx", "taunts.jbx"},
    TitleCase{kWindows, "C:\\games\\jeers\\taunts.jbx", "taunts.jbx"},
    TitleCase{kWindows, "C:\\games\\", ""},
    TitleCase{kWindows, "C:bank.jbx", "C:bank.jbx"},
    TitleCase{kWindows, "C:\\games/jeers/taunts.jbx", "games/jeers/taunts.jbx"},
    TitleCase{kWindows, "", ""},
    // Only the slash separates; a backslash is part of a file name.
    TitleCase{kPosix, "taunts.jbx", "taunts.jbx"},
    TitleCase{kPosix, "/taunts.jbx", "taunts.jbx"},
    TitleCase{kPosix, "/home/ann/jeers/taunts.jbx", "taunts.jbx"},
    TitleCase{kPosix, "/home/ann/", ""},
    TitleCase{kPosix, "jeers/my bank.v2.jbx", "my bank.v2.jbx"},
    TitleCase{kPosix, "/home/ann\\jeers\\taunts.jbx", "ann\\jeers\\taunts.jbx"},
    TitleCase{kPosix, "", ""}));

TEST(SoundBankModel, FileTitleUsesThisPlatformsSeparator)
{
#ifdef _WIN32
    EXPECT_EQ(FileTitleFromPath("C:\\jeers/x\\taunts.jbx"), "taunts.jbx");
    EXPECT_EQ(FileTitleFromPath("jeers/taunts.jbx"), "jeers/taunts.jbx");
#else
    EXPECT_EQ(FileTitleFromPath("/jeers\\x/taunts.jbx"), "taunts.jbx");
    EXPECT_EQ(FileTitleFromPath("jeers\\taunts.jbx"), "jeers\\taunts.jbx");
#endif
}

} // namespace
} // namespace jbx
