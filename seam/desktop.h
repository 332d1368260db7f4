#pragma once

// The one interface through which the Qt-free core reaches the desktop:
// message boxes, file choosers, the unknown-block question, playback, the
// Shift key and the Save progress window.
//
// The Qt editor implements it with real widgets, jbxtool answers it from its
// command-line options, and the tests script it and record every call.

#include "seam/bytes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

// Which window owns a message box or dialog. The core only ever names the
// main window or nothing; the Credits dialog owns its own Erase question.
enum class Owner { None, MainWindow, Dialog };

enum class MessageButtons { Ok, YesNo };

// Stop = hand/stop sign, Question, Exclamation = warning, Asterisk = information.
enum class MessageIcon { Stop, Question, Exclamation, Asterisk };

enum class MessageAnswer { Ok, Yes, No };

class Desktop;

struct Message {
    std::string text;
    std::string caption;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::Stop;
    Owner owner = Owner::None;

    bool operator==(const Message&) const = default;
};

// The captions every part shares.
inline constexpr std::string_view kErrorCaption = "Error";
inline constexpr std::string_view kWarningCaption = "Warning";

// Tells the user of a failure: caption "Error", OK, the stop icon.
void ShowError(Desktop& desktop, std::string_view text, Owner owner);

// Asks a question with Yes and No under caption "Warning"; true only for Yes.
bool AskYesNo(Desktop& desktop, std::string_view text, MessageIcon icon, Owner owner);

// The user's answer to the unknown voice block dialog; the numbers are the
// dialog's own results.
enum class UnknownBlockChoice { StopConversion = 0, SkipBlock = 1, ForceConversion = 2 };

struct UnknownBlockDetails {
    int soundNumber = 0;             // currentSlot when the dialog opens
    std::uint32_t blockType = 0;
    std::uint32_t blockLength = 0;

    bool operator==(const UnknownBlockDetails&) const = default;
};

// The unknown-block dialog opens collapsed, its Details button reading
// kShowDetailsText; the button shows or hides the strip with the block's
// numbers and says what pressing it again will do.
inline constexpr std::string_view kShowDetailsText = "Details >>";
inline constexpr std::string_view kHideDetailsText = "Details <<";

struct FileFilter {
    std::string description;         // "Wave Files (*.wav)"
    std::string pattern;             // "*.wav"

    bool operator==(const FileFilter&) const = default;
};

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    std::string title;
    std::vector<FileFilter> filters;
    int filterIndex = 0;             // 0 selects the first filter, else 1-based
    std::string startDirectory;      // empty: the process's current directory
    std::string defaultSuffix;       // empty: a name is used as typed
    bool confirmOverwrite = false;
    bool fileMustExist = false;      // Open dialogs: only existing files
    bool pathMustExist = false;      // Save dialogs: the folder must exist
    Owner owner = Owner::MainWindow;

    bool operator==(const FileDialogRequest&) const = default;
};

struct ChosenFile {
    std::string path;                // full path of the chosen file
    int filterIndex = 1;             // 1-based index of the filter in use
};

class Desktop {
public:
    virtual ~Desktop() = default;

    // Shows a modal message box and returns the button the user pressed.
    virtual MessageAnswer showMessage(const Message& message) = 0;

    // Runs the "Warning" dialog for a voice block of unknown type.
    virtual UnknownBlockChoice askUnknownBlock(const UnknownBlockDetails& details, Owner owner) = 0;

    // Runs a file dialog; nothing when the user cancelled.
    virtual std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) = 0;

    // Starts playing a WAVE image asynchronously, stopping whatever played
    // before. The player keeps its own reference to the bytes, so the slot may
    // drop them at any time. Undecodable data are silence.
    virtual void playSound(SoundData image) = 0;

    virtual bool shiftHeld() const = 0;

    // The "Saving" progress window, positions 0..100.
    virtual void openProgress() = 0;
    virtual void setProgress(int position) = 0;
    virtual void closeProgress() = 0;
};

// Runs a file dialog through the desktop. When the user confirms it, the
// process's current directory becomes the chosen file's folder, as the
// platform's own dialogs do; "." in the settings then means that folder.
std::optional<ChosenFile> RunFileDialog(Desktop& desktop, const FileDialogRequest& request);

} // namespace jbx
