#include "app/slotcommands.h"

#include "audio/voiceconvert.h"
#include "seam/desktop.h"
#include "seam/sounddecoder.h"
#include "tests/support/testfiles.h"
#include "tests/support/memorylimit.h"
#include "tests/support/sessiontest.h"

#include <filesystem>
#include <optional>
#include <tuple>

using namespace jbx;
using namespace jbx::testing;

namespace {

using SlotTest = SessionTest;

Message ErrorMessage(const char* text)
{
    return {text, "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::MainWindow};
}

} // namespace

TEST(SlotText, SizeUnitsAndNamesFromFileTitles)
{
    const std::pair<std::int32_t, const char*> sizes[] = {{1023, "1023 bytes"}, {1024, "1 KB"},
        {1048575, "1023 KB"}, {1048576, "1 MB"}, {2049535, "1 MB"}, {2049536, "2 MB"}, {16777215, "16 MB"},
        {16777216, "16777216 bytes"}};
    for (const auto& [size, text] : sizes)
        EXPECT_EQ(FormatSlotSize(size), text) << size;
    // Titles are UTF-8, names eight Windows-1252 bytes; what the code page lacks is a '?' the tool refuses.
    const struct {
        const char* title;
        const char* name;
        std::optional<char32_t> unheld;
    } names[] = {
        {"drum.loop.wav", "drum", {}},
        {"noext", "noext", {}},
        {"verylongname.wav", "verylong", {}},
        {".hidden.wav", ".hidden", {}},
        {"\u00DCberraschung.wav", "\xDC" "berrasc", {}},
        {"\u20ACuro.wav", "\x80uro", {}},
        {"\u0436\u0443\u043A.wav", "???", U'\u0436'},
        {"lautst\u00E4rke\u0436.wav", "lautst\xE4r", {}},
        {"ab\xE9.wav", "ab?", U'\uFFFD'},
    };
    for (const auto& c : names) {
        EXPECT_EQ(SlotNameFromFileTitle(c.title), c.name) << c.title;
        EXPECT_EQ(UnheldSlotNameCharacter(c.title), c.unheld) << c.title;
    }
}

TEST_F(SlotTest, SelectingCommitsTheTypedNameAndPlaysOrShowsAnEmptySlot)
{
    session.bank.slot(5) = {"five", 0, 100, MakeSoundData(101)};
    session.bank.currentSlot = 2;
    window.name = "bark";
    window.extractEnabled = false;
    SelectSlot(session, window, 5);
    EXPECT_EQ(std::tie(session.bank.slot(2).name, session.bank.currentSlot, window.focusedButton, window.name,
                  window.sizeText, window.extractEnabled),
        std::make_tuple("bark", 5, 5, "five", "100 bytes", true));
    EXPECT_EQ(desktop.played, std::vector<SoundData>{session.bank.slot(5).data});

    window.name = "(none)";
    SelectSlot(session, window, 3);
    EXPECT_EQ(session.bank.slot(5).name, "five") << "\"(none)\" in the box renames nothing";
    EXPECT_EQ(std::tie(window.sizeText, window.extractEnabled), std::make_tuple("", false));
    EXPECT_EQ(desktop.played.size(), 1u);
}

// A file keeps its UTF-8 name on disk; the slot gets eight Windows-1252 bytes, one a character.
TEST_F(SlotTest, ReplaceTellsWhatBecameOfTheFile)
{
    const Bytes voice = VoiceFileBuilder().soundBlock(166, Ramp(3)).terminator().build();
    const Message notVoice{"Not a Creative Voice File", "Error", MessageButtons::Ok, MessageIcon::Stop, Owner::None};
    const Bytes kept = ToBytes("RIFFkeep\x80");
    const struct {
        const char* file;
        std::optional<Bytes> bytes;   // nothing: the file is gone before it is read
        ReplaceResult result;
        std::int32_t size;
        const char* name;
        std::optional<Bytes> data;    // nothing: not looked at
        std::vector<Message> told;
    } cases[] = {
        {"\u00DCberraschung.wav", ToBytes("RIFF...."), ReplaceResult::Replaced, 8, "\xDC" "berrasc",
            ToBytes("RIFF....\x80"), {}},
        {"growl.voc", voice, ReplaceResult::Replaced, 44 + 3, "growl", {}, {}},
        // A refused file leaves the slot's sound as it was, also where the
        // slot used to end up silent or empty.
        {"nonsense.voc", ToBytes("Creative nonsense file here"), ReplaceResult::NotConverted, 8, "keep", kept,
            {notVoice}},
        {"program.exe", ToBytes("MZ\x90"), ReplaceResult::NotASound, 8, "keep", kept,
            {ErrorMessage("Not a valid sound file")}},
        {"empty.wav", Bytes{}, ReplaceResult::NotASound, 8, "keep", kept, {ErrorMessage("Not a valid sound file")}},
        // Too short for the voice mark, and a 'C': kept as it is, unasked.
        {"cre.voc", ToBytes("Cre"), ReplaceResult::Replaced, 3, "cre", ToBytes("Cre\x80"), {}},
        {"vanished.wav", std::nullopt, ReplaceResult::Unreadable, 8, "keep", kept,
            {ErrorMessage("Cannot open sound file")}},
        {nullptr, std::nullopt, ReplaceResult::Cancelled, 8, "keep", kept, {}},
    };
    window.extractEnabled = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "cancelled");
        session.bank.slot(4) = {"keep", 0, 8, std::make_shared<Bytes>(kept)};
        window.name = "keep";
        window.sizeText = "?";
        session.replaceFilterIndex = 1;
        desktop.messages.clear();
        if (c.bytes)
            WriteBytes(dir.file(c.file), *c.bytes);
        desktop.fileAnswers.push_back(c.file ? std::optional(ChosenFile{dir.file(c.file), 2}) : std::nullopt);

        EXPECT_EQ(ReplaceSlot(session, window, 4), c.result);
        const SoundSlot& slot = session.bank.slot(4);
        EXPECT_EQ(std::tie(slot.size, slot.name, window.name), std::make_tuple(c.size, c.name, c.name));
        if (c.data) {
            EXPECT_EQ(*slot.data, *c.data);
        }
        EXPECT_EQ(desktop.messages, c.told);
        const bool untouched = c.result == ReplaceResult::Unreadable || c.result == ReplaceResult::Cancelled;
        EXPECT_EQ(session.replaceFilterIndex, untouched ? 1 : 2);
        EXPECT_EQ(window.sizeText, untouched ? "?" : FormatSlotSize(c.size));
    }
    const FileDialogRequest& r = desktop.fileDialogs.at(0);
    EXPECT_EQ(std::tie(r.kind, r.title, r.filters, r.filterIndex, r.fileMustExist),
        std::make_tuple(FileDialogKind::Open, "Replace sound 4",
            std::vector<FileFilter>{{"Wave Files (*.wav)", "*.wav"}, {"Voice Files (*.voc)", "*.voc"},
                {"Other sound files", std::string(DecodedPatterns())}},
            1, true));
    EXPECT_FALSE(window.extractEnabled) << "Replace leaves the Extract button alone";
    EXPECT_TRUE(desktop.played.empty());
}

// A sound the game cannot play is offered to be made mono and 8-bit, once,
// after it has gone into the slot; one it plays is not asked about.
TEST_F(SlotTest, ReplaceOffersToMakeTheSoundOneTheGamePlays)
{
    const Bytes stereo = WaveImage(1, 2, 11025, 16, {0x10, 0x00, 0x30, 0x00, 0xF0, 0xFF, 0x10, 0x00});
    WriteBytes(dir.file("stereo.wav"), stereo);
    WriteBytes(dir.file("mono.wav"), PcmWave(5));
    const Message question{"Sound 3 is stereo, 16-bit. The game plays mono sounds only, and may need 8-bit.\n\n"
                           "Make it mono and 8-bit?",
        "Warning", MessageButtons::YesNo, MessageIcon::Question, Owner::MainWindow};
    const struct {
        const char* file;
        std::optional<MessageAnswer> answer;   // nothing: not asked
        Bytes stored;                          // the slot's sound, without the byte after it
    } cases[] = {
        {"stereo.wav", MessageAnswer::No, stereo},
        // (16 + 48) / 2 = 32 and (-16 + 16) / 2 = 0, both under half an 8-bit step.
        {"stereo.wav", MessageAnswer::Yes, WaveImage(1, 1, 11025, 8, {128, 128})},
        {"mono.wav", std::nullopt, PcmWave(5)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        desktop.messages.clear();
        if (c.answer)
            desktop.messageAnswers.push_back(*c.answer);
        desktop.fileAnswers.push_back(ChosenFile{dir.file(c.file), 1});
        ASSERT_EQ(ReplaceSlot(session, window, 3), ReplaceResult::Replaced);
        EXPECT_EQ(desktop.messages, c.answer ? std::vector{question} : std::vector<Message>{});
        const SoundSlot& slot = session.bank.slot(3);
        EXPECT_EQ(Bytes(slot.data->begin(), slot.data->begin() + slot.size), c.stored);
        EXPECT_EQ(window.sizeText, FormatSlotSize(slot.size));
    }
}

TEST_F(SlotTest, ExtractAsksForAWaveFileAndReportsOneItCannotCreate)
{
    session.bank.slot(4) = {"four", 0, 8, std::make_shared<Bytes>(ToBytes("RIFFfour\x80"))};
    desktop.fileAnswers = {ChosenFile{dir.file("four"), 1}, ChosenFile{dir.file("no/such/four.wav"), 1},
        std::nullopt};
    EXPECT_EQ(ExtractSlot(session, window, 4), ExtractResult::Extracted);
    // A name without extension is used as typed: no default suffix.
    const FileDialogRequest& r = desktop.fileDialogs.at(0);
    EXPECT_EQ(std::tie(r.kind, r.title, r.filters, r.confirmOverwrite, r.pathMustExist, r.defaultSuffix),
        std::make_tuple(FileDialogKind::Save, "Extract", std::vector<FileFilter>{{"Wave Files (*.wav)", "*.wav"}},
            true, true, ""));
    EXPECT_EQ(ReadBytes(dir.file("four")), ToBytes("RIFFfour\x80"));

    EXPECT_EQ(ExtractSlot(session, window, 4), ExtractResult::NotWritten);
    EXPECT_EQ(desktop.messages, std::vector<Message>{ErrorMessage("Cannot create sound file")});
    EXPECT_EQ(ExtractSlot(session, window, 4), ExtractResult::Cancelled);
}

// Replace under a memory limit: a file whose buffers do not fit is reported and leaves the slot as it was; a file
// too large for a slot is refused before anything is read. The files are sparse, so they take no disk.
TEST_F(SlotTest, ReplaceThatRunsOutOfMemoryKeepsTheSlot)
{
#if !JBX_MEMORY_LIMIT_WORKS
    GTEST_SKIP() << JBX_NO_MEMORY_LIMIT_REASON;
#else
    const Bytes voiceHeader = VoiceFileBuilder().soundBlock(166, Ramp(16)).terminator().build();
    const std::tuple<const char*, Bytes, std::uint64_t, const char*> cases[] = {
        {"small.wav", ToBytes("RIFF"), 1024, "0 small 1024 []"},
        // The slot's buffer alone is more than the limit allows.
        {"huge.wav", ToBytes("RIFF"), kVoiceFileLimit, "4 keep 8 [Not enough memory to load the sound file]"},
        // The buffer fits; the image the conversion needs beside it does not.
        {"large.voc", voiceHeader, std::uint64_t(64) << 20, "4 keep 8 [Not enough memory to load the sound file]"},
        // More than a slot's 32-bit size (and a voice file's image) can hold: never read at all.
        {"giant.wav", ToBytes("RIFF"), kVoiceFileLimit + 1, "3 keep 8 [Cannot open sound file]"},
    };
    for (const auto& [file, start, length, outcome] : cases) {
        const std::string path = dir.file(file);
        WriteBytes(path, start);
        std::filesystem::resize_file(path, length);
        EXPECT_EQ(RunWithMemoryLimit(std::size_t(96) << 20, [&] {
            session.bank.slot(4) = {"keep", 0, 8, std::make_shared<Bytes>(ToBytes("RIFFkeep\x80"))};
            desktop.fileAnswers.push_back(ChosenFile{path, 1});
            const ReplaceResult result = ReplaceSlot(session, window, 4);
            std::string told;
            for (const Message& m : desktop.messages)
                told += m.text;
            const SoundSlot& slot = session.bank.slot(4);
            return std::to_string(int(result)) + " " + slot.name + " " + std::to_string(slot.size) + " [" + told + "]";
        }),
            outcome)
            << file;
        std::filesystem::remove(path);
    }
#endif
}
