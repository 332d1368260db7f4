#pragma once

// The Options sheet's rules, the same for every front end: what opening the
// sheet reads, what OK writes, the association request, the About page's
// clicks and surprise, and every text the sheet shows besides its forms'
// fixed labels. A front end builds the five tabbed pages and forwards what
// the user does to an OptionsSession; a Win32 property sheet does so from its
// page procedures.

#include "seam/bytes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace jbx {

class Desktop;
class SettingsStore;

inline constexpr std::string_view kOptionsCaption = "Options";

// The pages in tab order; the sheet opens on the File page.
enum class OptionsPage { File, Contact, KnownBugs, Tips, About };
inline constexpr std::size_t kOptionsPageCount = 5;
inline constexpr std::array<std::string_view, kOptionsPageCount> kOptionsPageTitles = {
    "File", "Contact", "Known Bugs", "Tips", "About"};

// The texts of the Known Bugs and Tips boxes. They keep their CRLF line
// breaks; the boxes show each as one line break.
inline constexpr std::string_view kKnownBugsText =
    "*  The \"Unknown Voice File Block\" dialog box's \"Details\" button doesn't work correctly with "
    "font sizes other than 8, and sometimes the buttons don't do the correct action.\r\n\r\n"
    "*  Sometimes converting a VOC file into a WAVE file (i.e. \"Replace...\" a sound with a VOC "
    "file, and then \"Export...\" it), the program won't save the WAVE file correctly (mainly Sound "
    "Recorder won't open it).  If anyone has this problem, please e-mail me the .VOC file.\r\n\r\n"
    "*  This isn't really a bug, but in this version if you load a .voc file, it will be converted "
    "into a .wav file so Windows can play it.  This means that if you load an JBX file that has VOC "
    "files in it, when you save it again they will all have become WAVs!\r\n\r\n";

inline constexpr std::string_view kTipsText =
    "*  You can load and play VOC files as well as WAV files.\r\n\r\n"
    "*  You can convert .VOC files into .WAV files by replacing a sound with a .VOC file and then "
    "extracting it.\r\n\r\n"
    "*  The Associate button on the options tab will let you load .JBX files with JBX Maker.  It is "
    "compatible with other programs as well, so if you have, say, RealPlayer, you can just "
    "right-click on the file and choose the required program to open it with.\r\n\r\n"
    "*  If you press <SHIFT> while clicking on a sound button, it will play the sound and then bring "
    "up the Replace Sound dialog box.\r\n\r\n"
    "*  You don't have to click on the sound buttons - You can press 0-9 (or rather 1-0 as 0 is "
    "sound 10)\r\n\r\n"
    "*  If your sound won't play in the game, make sure:\r\n"
    "  1. It is a valid sound file (and JBX Maker will play it).\r\n"
    "  2. It is a MONO sound - the game won't play STEREO sounds (and it might have to be 8 bit, not "
    "16 bit - I'm not sure).\r\n\r\n";

// Replaces the About page's description; the line feed leaves its first line
// empty.
inline constexpr std::string_view kSurpriseText = "\nPretty cool, huh?";

// The About sound's WAVE image (resources/sounds/about.wav), compiled into
// the core so that every front end plays the very same bytes.
std::span<const std::uint8_t> AboutSoundWave();

// The File page's two preferences: true is "Last Used Directory".
struct OptionsChoices {
    bool useLastOpenDir = false;
    bool useLastSaveDir = false;

    bool operator==(const OptionsChoices&) const = default;
};

// How the sheet was closed. Cancel stands for every way but OK: the Cancel
// button, Escape, the close box, and a sheet that could not be shown.
enum class OptionsResult { Ok, Cancel };

// One showing of the Options sheet, from opening to closing. Nothing reaches
// the settings store or the association before close() with OK, and nothing
// carries over to the next showing except what OK wrote.
class OptionsSession {
public:
    // Reads UseLastOpenDir, then UseLastSaveDir, as the sheet opens.
    OptionsSession(SettingsStore& settings, Desktop& desktop);

    OptionsSession(const OptionsSession&) = delete;
    OptionsSession& operator=(const OptionsSession&) = delete;

    // What the File page shows when it is created, and what it hands back
    // from its radio buttons when it is destroyed, however the sheet closes.
    const OptionsChoices& choices() const { return choices_; }
    void setChoices(const OptionsChoices& choices) { choices_ = choices; }

    // The Associate button: only remembered until the sheet closes.
    void requestAssociation() { associationRequested_ = true; }
    bool associationRequested() const { return associationRequested_; }

    // A click on the About page's icon: counted and heard from the start.
    void aboutIconClicked();
    // The count alone, for a front end that plays the About sound itself
    // (the Windows editor plays it from its own program file's resources).
    void countAboutIconClick();
    std::uint8_t aboutClickCount() const { return aboutClickCount_; }

    // A click on the About page's "Written by" text: the description's new
    // text after exactly three icon clicks with Shift held, else nothing.
    std::optional<std::string_view> writtenByClicked() const;

    // Ends the showing. With OK: associate once if it was requested, then
    // write both preferences, changed or not, whatever the association did.
    // With Cancel: nothing. Call it once, after the sheet's windows are gone.
    void close(OptionsResult result, const std::function<void()>& associate);

private:
    SettingsStore& settings_;
    Desktop& desktop_;
    OptionsChoices choices_;
    bool associationRequested_ = false;
    // 8 bits and wrapping: 256 more clicks make it three again.
    std::uint8_t aboutClickCount_ = 0;
    SoundData aboutSound_;   // made at the first icon click, then played again

};

} // namespace jbx
