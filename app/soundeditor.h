#pragma once

// The Sound window's rules, apart from any toolkit: the sound being shaped,
// its steps back, the selection, and every text the window shows. A front
// end draws what this reports and forwards the user's clicks and keys; the
// slot changes only when the window is confirmed (keep()).

#include "audio/shape.h"
#include "seam/bytes.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

struct Session;
struct SoundBank;

enum class SoundCommand {
    TrimToSelection,
    TrimSilence,    // takes the threshold field's text
    Normalize,      // takes the level field's text
    MakeMono,
    MakeEightBit,
    Undo,
};

// The texts of the window's fields when it opens.
inline constexpr std::string_view kSilenceFieldDefault = "-40";
inline constexpr std::string_view kLevelFieldDefault = "-1";

// The keys that move the selection's moving end (the caret).
enum class SelectionKey { Left, Right, Home, End };

// A frame range [first, first + count).
struct FrameRange {
    std::uint64_t first = 0;
    std::uint64_t count = 0;

    bool operator==(const FrameRange&) const = default;
};

// One mark of the time scale: where it stands, in pixels from the left edge
// of a waveform `width` pixels wide, and its label ("0.5 s").
struct TimeMark {
    int x = 0;
    std::string label;

    bool operator==(const TimeMark&) const = default;
};

// Whether the Sound window opens for a slot: only one that holds a sound.
bool CanEditSound(const SoundBank& bank, int slotNumber);

class SoundEditor {
public:
    // Takes the slot's sound as it is now; the slot is not touched until
    // keep().
    SoundEditor(Session& session, int slotNumber);

    int slotNumber() const { return slotNumber_; }

    // "Sound 3 - hiss"
    std::string caption() const;

    // The sound as it stands after the steps so far, without the slot's pad
    // byte.
    std::span<const std::uint8_t> image() const;

    // Whether the shaping commands take this sound (ReshapeTakes); a sound
    // they do not take is shown by its format line and findings only.
    bool shapeable() const;

    // The format as `jbxtool check` words it:
    // "PCM WAVE, 2 channels, 16 bits, 11025 Hz, 1.00 s".
    std::string formatText() const;

    // What the game may not play, one line each: "Problem: ..." and
    // "Warning: ...", or a line saying the game plays it.
    std::vector<std::string> findings() const;

    // The size the slot would have, as the main window's Size text words it.
    std::string sizeText() const;

    // The waveform's accessible description: "1.00 s, peak −3.1 dBFS", or
    // "1.00 s, silent".
    std::string waveformDescription() const;

    std::uint64_t frames() const;
    std::uint16_t channels() const;
    double seconds() const;

    // The waveform's columns; see SoundPeaks. Nothing when not shapeable.
    // The last few summaries are kept while their sound lives, so a window
    // opened again, or a step undone, reads no sample.
    std::optional<PeakSummary> peaks(std::size_t columns) const;

    // The time scale of a waveform `width` pixels wide: marks at a round step
    // (0.01, 0.02, 0.05, 0.1, ... seconds) leaving at least minimumGap pixels
    // between them, from 0 s.
    std::vector<TimeMark> timeScale(int width, int minimumGap) const;

    // The selection; empty (count 0) when nothing is selected, first then
    // being the caret.
    FrameRange selection() const;
    // The mouse: a press puts both ends at frame, a drag moves the caret.
    void pressAt(std::uint64_t frame);
    void dragTo(std::uint64_t frame);
    // The keys: Left/Right move the caret by `step` frames, Home/End to
    // either end; with Shift the selection reaches from where it began to
    // the caret, without it the selection is emptied at the caret.
    void moveCaret(SelectionKey key, bool shift, std::uint64_t step);
    void selectAll();

    // Whether a command would do anything now: Undo needs a step to go back
    // to, Trim to selection a selection, Make mono a sound of more than one
    // channel, Make 8-bit one of wider samples or float, every one a
    // shapeable sound.
    bool canRun(SoundCommand command) const;

    // Runs a command; field is the threshold's or level's text for Trim
    // silence and Normalize. A field that is no number in its range, or a
    // trim that would leave nothing, is told through the desktop (owner: the
    // window) and changes nothing. True when the sound changed.
    bool run(SoundCommand command, std::string_view field = {});

    // Whether any step has been taken and not undone.
    bool changed() const;

    // Plays the selection, or the whole sound without one.
    void play();

    // OK: the slot takes the sound as it stands; an unchanged sound leaves
    // the slot untouched.
    void keep();

private:
    struct Step {
        SoundData data;          // image and pad byte
        std::size_t size = 0;    // without the pad byte
        std::uint64_t anchor = 0;
        std::uint64_t caret = 0;
    };

    const Step& current() const { return steps_.back(); }
    // The largest magnitude of any sample (full scale 1.0); nothing when not
    // shapeable.
    std::optional<double> peakLevel() const;
    // A command's result becomes a step, unless it changed nothing; a
    // result of other frames empties the selection.
    bool take(ReshapeResult result, bool framesMoved);

    Session& session_;
    int slotNumber_;
    std::vector<Step> steps_;
    std::uint64_t anchor_ = 0;
    std::uint64_t caret_ = 0;
};

} // namespace jbx
