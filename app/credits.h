#pragma once

// The Credits dialog's rules, apart from any toolkit: what its three boxes
// show, what OK stores, what Erase asks and does, and which characters the
// description box takes. A front end owns the widgets and the template
// texts of its form, and calls in here for everything else.
//
// Box texts cross this interface as bank bytes (Windows-1252, see
// bank/singlebytetext.h), one byte a character, with "\n" for a line break; the stored description ends its
// lines with CR LF.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

class Desktop;
struct SoundBank;

// The most characters the description box takes; a line break counts as
// two, because it is stored as CR LF. A loaded description may hold one more.
inline constexpr std::size_t kTypedDescriptionLimit = 255;

inline constexpr std::string_view kNoCreditsText = "This file didn't have any credits saved in it.";
inline constexpr std::string_view kEraseCreditsQuestion =
    "This action will erase the credits from memory, and they will not be saved "
    "to disk next time you save the file.\n\nContinue?";

// What the three boxes hold.
struct CreditsBoxes {
    std::string author;
    std::string description;
    std::string dateFinished;

    bool operator==(const CreditsBoxes&) const = default;
};

// What to put into the boxes; a box without a text keeps what it shows,
// which as the dialog opens is its template text ("Anonymous",
// "None Entered", "??/??/??").
struct CreditsPlacement {
    std::optional<std::string> author;
    std::optional<std::string> description;
    std::optional<std::string> dateFinished;

    bool operator==(const CreditsPlacement&) const = default;
};

// Whether a character of the description box (UTF-16) breaks a line: LF
// from a plain box, U+2028 or U+2029 from boxes that hold paragraphs. Each
// comes across this interface as "\n".
bool IsDescriptionLineBreak(char16_t c);

// An insertion of `count` characters at `position` into the description
// box, whose whole text after the insertion is `boxText` (UTF-16, as
// toolkits hold it; a line break is LF or U+2028/U+2029). Gives, for each
// inserted character, whether it stays: characters no single-byte text can
// hold go first, then, while the box is over kTypedDescriptionLimit, the
// insertion's last characters, as a limited edit box refuses the excess of
// a paste. Characters outside the insertion always stay.
std::vector<bool> KeptOfDescriptionInsertion(
    std::u16string_view boxText, std::size_t position, std::size_t count);

// The dialog's state while it is up: the bank it edits and whether any box
// was edited since it last placed its texts. Front ends report a box change
// with boxChanged() only when the user made it, never for texts they place
// from openingTexts() or erase().
class CreditsEditor {
public:
    CreditsEditor(SoundBank& bank, Desktop& desktop);

    // For every stored text that is not empty, its box form. Confirmed
    // credits that are all empty (a bank loaded without any, or erased) show
    // an empty author and date and kNoCreditsText.
    CreditsPlacement openingTexts() const;

    void boxChanged() { edited_ = true; }
    bool edited() const { return edited_; }

    // OK: when a box was edited, stores all three, the untouched ones with
    // whatever they show, each cut to its limit; confirms the credits either
    // way.
    void accept(const CreditsBoxes& boxes);

    // Erase...: asks, owned by the dialog. On Yes the credits are emptied and
    // confirmed at once (a later Cancel keeps it so), the edited state is
    // cleared, and the texts the boxes are to show come back; on No, nothing.
    std::optional<CreditsPlacement> erase();

private:
    SoundBank& bank_;
    Desktop& desktop_;
    bool edited_ = false;
};

} // namespace jbx
