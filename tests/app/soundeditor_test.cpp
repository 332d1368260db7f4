#include "app/soundeditor.h"

#include "app/maincommands.h"
#include "audio/wavefile.h"
#include "bank/slotops.h"
#include "seam/desktop.h"
#include "tests/support/sessiontest.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace jbx;
using namespace jbx::testing;

namespace {

// A 16-bit WAVE of interleaved samples at 1000 Hz, so a frame is a millisecond.
Bytes Wave16(std::uint16_t channels, const std::vector<std::int16_t>& samples)
{
    Bytes bytes;
    for (const std::int16_t s : samples)
        PutLE16(bytes, std::uint16_t(s));
    return WaveImage(1, channels, 1000, 16, bytes);
}

// Stereo: 200 silent frames, 600 frames of a square wave at the given peak,
// 200 silent frames again: one second.
Bytes Clip(std::int16_t peak)
{
    std::vector<std::int16_t> samples;
    for (int f = 0; f < 1000; ++f) {
        const bool sounding = f >= 200 && f < 800;
        const std::int16_t value = sounding ? std::int16_t(f % 2 ? peak : -peak) : 0;
        samples.push_back(value);
        samples.push_back(std::int16_t(value / 2));
    }
    return Wave16(2, samples);
}

class SoundEditorTest : public SessionTest {
protected:
    void putSound(int slotNumber, Bytes image, const char* name = "hiss")
    {
        SoundSlot& slot = session.bank.slot(slotNumber);
        slot.size = std::int32_t(image.size());
        image.push_back(kPadByte);
        slot.data = std::make_shared<Bytes>(std::move(image));
        slot.name = name;
        slot.fileOffset = 64;
    }

    Bytes slotBytes(int slotNumber) const
    {
        const SoundSlot& slot = session.bank.slot(slotNumber);
        return Bytes(slot.data->begin(), slot.data->begin() + slot.size + 1);
    }
};

WaveFormat FormatOf(std::span<const std::uint8_t> image)
{
    const auto format = ReadWaveFormat(image);
    EXPECT_TRUE(format);
    return format.value_or(WaveFormat{});
}

} // namespace

TEST_F(SoundEditorTest, ShowsTheSoundInWordsAndFollowsEachStepUntilUndoneOrKept)
{
    putSound(3, Clip(22959));   // -3.1 dBFS
    const Bytes before = slotBytes(3);
    const SoundData opened = session.bank.slot(3).data;
    SoundEditor editor(session, 3);

    EXPECT_EQ(editor.caption(), "Sound 3 - hiss");
    EXPECT_EQ(editor.findings(), (std::vector<std::string>{"Problem: the game plays mono sounds only",
                                     "Warning: the game may need 8-bit"}));
    EXPECT_EQ(editor.waveformDescription(), "1.00 s, peak \u22123.1 dBFS");
    EXPECT_EQ(editor.peaks(7)->columns, 7u) << "a summary kept at another width does not serve";
    EXPECT_FALSE(editor.canRun(SoundCommand::Undo));
    EXPECT_FALSE(editor.canRun(SoundCommand::TrimToSelection)) << "nothing is selected";

    EXPECT_TRUE(editor.run(SoundCommand::TrimSilence, kSilenceFieldDefault));
    EXPECT_EQ(editor.frames(), 600u);
    EXPECT_TRUE(editor.run(SoundCommand::MakeMono));
    EXPECT_FALSE(editor.canRun(SoundCommand::MakeMono));
    EXPECT_TRUE(editor.run(SoundCommand::Normalize, kLevelFieldDefault));
    EXPECT_EQ(editor.waveformDescription(), "0.60 s, peak \u22121.0 dBFS");
    EXPECT_TRUE(editor.run(SoundCommand::MakeEightBit));
    EXPECT_FALSE(editor.canRun(SoundCommand::MakeEightBit));
    EXPECT_EQ(editor.formatText(), "PCM WAVE, 1 channel, 8 bits, 1000 Hz, 0.60 s");
    EXPECT_EQ(editor.findings(), std::vector<std::string>{"The game plays it as it is."});
    EXPECT_EQ(editor.sizeText(), "644 bytes");
    EXPECT_EQ(slotBytes(3), before) << "nothing reaches the slot before OK";

    EXPECT_FALSE(editor.run(SoundCommand::Normalize, "-1")) << "already at the level: no step to undo";
    for (int undo = 0; undo < 4; ++undo)
        EXPECT_TRUE(editor.run(SoundCommand::Undo)) << undo;
    EXPECT_FALSE(editor.run(SoundCommand::Undo));
    EXPECT_FALSE(editor.changed());
    editor.keep();
    EXPECT_EQ(session.bank.slot(3).data, opened) << "an unchanged sound leaves the slot untouched";
    EXPECT_EQ(session.bank.slot(3).fileOffset, 64);

    ASSERT_TRUE(editor.run(SoundCommand::MakeMono));
    editor.keep();
    const SoundSlot& slot = session.bank.slot(3);
    EXPECT_EQ(FormatOf(SlotFileBytes(slot)).channels, 1);
    EXPECT_EQ(slot.size, 44 + 2000);
    EXPECT_EQ((*slot.data)[std::size_t(slot.size)], kPadByte);
}

TEST_F(SoundEditorTest, SelectsByMouseAndKeysAndTrimsAndPlaysTheSelection)
{
    putSound(1, Clip(1000));
    SoundEditor editor(session, 1);

    editor.pressAt(700);
    editor.dragTo(300);
    EXPECT_EQ(editor.selection(), (FrameRange{300, 400})) << "a drag leftwards selects as well";
    editor.dragTo(5000);
    EXPECT_EQ(editor.selection(), (FrameRange{700, 300})) << "clipped to the sound";

    editor.moveCaret(SelectionKey::Left, true, 150);
    EXPECT_EQ(editor.selection(), (FrameRange{700, 150}));
    editor.moveCaret(SelectionKey::Home, true, 150);
    EXPECT_EQ(editor.selection(), (FrameRange{0, 700}));
    editor.moveCaret(SelectionKey::Right, false, 150);
    EXPECT_EQ(editor.selection(), (FrameRange{150, 0})) << "without Shift the selection empties at the caret";
    editor.moveCaret(SelectionKey::Left, false, 400);
    EXPECT_EQ(editor.selection(), (FrameRange{0, 0}));
    editor.moveCaret(SelectionKey::End, false, 1);
    editor.moveCaret(SelectionKey::Right, true, 400);
    EXPECT_EQ(editor.selection(), (FrameRange{1000, 0})) << "the caret stops at the end";
    editor.moveCaret(SelectionKey::Left, true, 250);
    EXPECT_EQ(editor.selection(), (FrameRange{750, 250}));

    editor.play();
    ASSERT_EQ(desktop.played.size(), 1u);
    EXPECT_EQ(FormatOf(*desktop.played[0]).dataLength, 250u * 4);

    editor.selectAll();
    EXPECT_FALSE(editor.canRun(SoundCommand::TrimToSelection)) << "the whole sound selected trims nothing";
    editor.pressAt(100);
    editor.dragTo(350);
    ASSERT_TRUE(editor.run(SoundCommand::TrimToSelection));
    EXPECT_EQ(editor.frames(), 250u);
    EXPECT_EQ(editor.selection(), (FrameRange{0, 0}));
    editor.play();
    EXPECT_EQ(FormatOf(*desktop.played.at(1)).dataLength, 250u * 4) << "no selection plays all";

    ASSERT_TRUE(editor.run(SoundCommand::Undo));
    EXPECT_EQ(editor.selection(), (FrameRange{100, 250})) << "Undo brings the selection back with the sound";
}

TEST_F(SoundEditorTest, FieldsTakeLevelsAsPeopleTypeThemAndRefuseTheRestWithoutAStep)
{
    putSound(2, Clip(1000));
    SoundEditor editor(session, 2);

    // Too high or a doubled sign would normalize where trimming refuses anyway.
    for (const char* bad : {"", "loud", "-121", "-40x", "1e999"})
        EXPECT_FALSE(editor.run(SoundCommand::TrimSilence, bad)) << bad;
    for (const char* bad : {"5", "--0", "-60.5 dBFS"})
        EXPECT_FALSE(editor.run(SoundCommand::Normalize, bad)) << bad;
    ASSERT_EQ(desktop.messages.size(), 8u);
    EXPECT_EQ(desktop.messages[0], (Message{"The silence threshold must be a number from -120 to 0 dBFS.", "Error",
                                       MessageButtons::Ok, MessageIcon::Stop, Owner::Dialog}));
    EXPECT_EQ(desktop.messages[7].text, "The level must be a number from -60 to 0 dBFS.");
    EXPECT_FALSE(editor.changed());

    EXPECT_TRUE(editor.run(SoundCommand::Normalize, " \u22126 dB "));
    EXPECT_EQ(editor.waveformDescription(), "1.00 s, peak \u22126.0 dBFS");
    EXPECT_TRUE(editor.run(SoundCommand::TrimSilence, "-20.5dBFS")) << "-20.5 dBFS is below the quieter channel";
    EXPECT_EQ(editor.frames(), 600u);

    desktop.messages.clear();
    EXPECT_FALSE(editor.run(SoundCommand::TrimSilence, "0"));
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0],
        (Message{"The whole sound is below 0 dBFS, so trimming its silence would leave nothing.", "Warning",
            MessageButtons::Ok, MessageIcon::Exclamation, Owner::Dialog}));
    EXPECT_EQ(editor.frames(), 600u);
}

TEST_F(SoundEditorTest, ASilentSoundIsShownAndLeftAsItIs)
{
    putSound(4, Wave16(1, std::vector<std::int16_t>(500, 0)));
    SoundEditor editor(session, 4);
    EXPECT_EQ(editor.waveformDescription(), "0.50 s, silent");
    EXPECT_FALSE(editor.run(SoundCommand::Normalize, "-1"));
    EXPECT_FALSE(editor.run(SoundCommand::TrimSilence, "-40"));
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_EQ(desktop.messages[0].text, "The sound is silent, so it has no level to bring up.");
    EXPECT_FALSE(editor.changed());
}

TEST_F(SoundEditorTest, ASoundNoShapingTakesIsShownButNotShaped)
{
    putSound(5, WaveImage(2, 1, 8000, 4, Ramp(100)));   // ADPCM
    SoundEditor editor(session, 5);
    EXPECT_FALSE(editor.shapeable());
    EXPECT_FALSE(editor.peaks(100));
    for (const SoundCommand command : {SoundCommand::TrimSilence, SoundCommand::Normalize, SoundCommand::MakeMono,
             SoundCommand::MakeEightBit})
        EXPECT_FALSE(editor.canRun(command)) << int(command);
}

TEST_F(SoundEditorTest, TheTimeScaleTakesTheFirstRoundStepWideEnough)
{
    putSound(1, Clip(1000));
    const SoundEditor editor(session, 1);
    EXPECT_EQ(editor.timeScale(400, 50), (std::vector<TimeMark>{{0, "0 s"}, {80, "0.2 s"}, {160, "0.4 s"},
                                             {240, "0.6 s"}, {320, "0.8 s"}, {400, "1 s"}}));
    EXPECT_EQ(editor.timeScale(400, 10)[1], (TimeMark{20, "0.05 s"}));
    EXPECT_EQ(editor.timeScale(100, 60)[1], (TimeMark{100, "1 s"}));
    EXPECT_TRUE(editor.timeScale(0, 50).empty());
}

namespace {

class EditSoundCommandTest : public SoundEditorTest {
protected:
    EditSoundCommandTest()
        : commands(session, settings, window, {nullptr, nullptr, nullptr, nullptr, {}, [this](SoundEditor& editor) {
                       opened.push_back(editor.slotNumber());
                       EXPECT_TRUE(commands.busy());
                       EXPECT_FALSE(commands.run(command::kNew)) << "nothing else runs while the window is up";
                       editor.run(SoundCommand::MakeMono);
                       return confirm;
                   }})
    {
    }

    MainCommands commands;
    std::vector<int> opened;
    bool confirm = true;
};

} // namespace

TEST_F(EditSoundCommandTest, OpensForASlotWithASoundAndOnlyOkChangesTheSlotAndItsSize)
{
    putSound(2, Clip(1000));
    putSound(6, Clip(1000));
    commands.startWindow();
    EXPECT_FALSE(commands.run(command::kEditSound)) << "slot 1 is empty";
    EXPECT_FALSE(commands.run(command::kSound1, Notification::DoubleClicked));
    EXPECT_FALSE(commands.run(command::kOpen, Notification::DoubleClicked));
    EXPECT_TRUE(opened.empty());

    ASSERT_TRUE(commands.run(command::kSound1 + 1));
    window.sizeText.clear();
    confirm = false;
    const Bytes before = slotBytes(2);
    EXPECT_TRUE(commands.run(command::kEditSound, Notification::Accelerator));
    EXPECT_EQ(slotBytes(2), before);
    EXPECT_EQ(window.sizeText, "");

    confirm = true;
    EXPECT_TRUE(commands.run(command::kEditSound));
    EXPECT_EQ(FormatOf(SlotFileBytes(session.bank.slot(2))).channels, 1);
    EXPECT_EQ(window.sizeText, "1 KB");

    const std::size_t played = desktop.played.size();
    EXPECT_TRUE(commands.run(command::kSound1 + 5, Notification::DoubleClicked));
    EXPECT_EQ(opened, (std::vector<int>{2, 2, 6}));
    EXPECT_EQ(desktop.played.size(), played) << "the double-click's own click has played it";
    EXPECT_EQ(window.sizeText, "1 KB") << "slot 6 is not the current one";
    EXPECT_FALSE(commands.busy());
}
