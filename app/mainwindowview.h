#pragma once

// The fields of the main window that the commands read and write, and what
// the window shows of the bank. The bank itself knows nothing of a window:
// each front end implements the view, and the commands fill it.

#include <string>
#include <string_view>

namespace jbx {

enum class LoadResult;
struct Session;
struct SoundBank;

inline constexpr std::string_view kCaptionPrefix = "JBX Maker - ";

class MainWindowView {
public:
    virtual ~MainWindowView() = default;

    virtual void setCaption(const std::string& caption) = 0;
    virtual std::string nameText() const = 0;         // the Name box, at most 8 characters
    virtual void setNameText(const std::string& text) = 0;
    virtual void setSizeText(const std::string& text) = 0;
    virtual void setExtractEnabled(bool enabled) = 0;
    virtual void focusSoundButton(int slotNumber) = 0;
};

// Sets the caption to "JBX Maker - " followed by bankTitle.
void UpdateMainTitle(const SoundBank& bank, MainWindowView& window);

// The same for a bank not yet loaded: Open shows the new title before the
// load's questions.
void UpdateMainTitle(std::string_view bankTitle, MainWindowView& window);

// NewBank, and the caption, Name box, Size text and Extract button follow.
void NewBank(Session& session, MainWindowView& window);

// Shows what LoadBank left: the caption, "(none)" in the Name box and an
// empty Size text; a failed load has left the empty bank, whose Extract
// button is off.
void ShowLoadedBank(const SoundBank& bank, LoadResult result, MainWindowView& window);

} // namespace jbx
