#pragma once

// What the main window's commands do, apart from any toolkit: the editor's
// window forwards clicks, mnemonics, accelerator keys and dropped files here.
// Qt-free, so that every command is tested through the scripted desktop and
// a native front end can share it.

#include "app/savebank.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace jbx {

class MainWindowView;
class SettingsStore;
class SoundEditor;
struct Session;
struct SoundBank;

// Control and command ids of the main window.
namespace command {
inline constexpr int kSound1 = 100;
inline constexpr int kSound10 = 109;
inline constexpr int kOpen = 120;
inline constexpr int kSave = 121;
inline constexpr int kNew = 123;
inline constexpr int kQuit = 125;
inline constexpr int kCredits = 126;
inline constexpr int kExtract = 127;
inline constexpr int kReplace = 128;
inline constexpr int kOptions = 136;
// The Sound window for the current slot: the sound buttons' context menu,
// a double-click on a sound button and Alt+E. No control of the main
// window carries it.
inline constexpr int kEditSound = 160;
} // namespace command

// Control ids of the "Last File Played" panel.
inline constexpr int kNameBoxId = 150;
inline constexpr int kSizeTextId = 151;

// How a command reached the window. A click (or a mnemonic) and an
// accelerator key run commands; a double-click on a sound button opens its
// Sound window (its first click has played it); focus notices do nothing.
// The numbers are the Windows notification codes.
enum class Notification { Clicked = 0, Accelerator = 1, Other = 2, DoubleClicked = 5 };

// The sound buttons' context menu, in order: the commands of the buttons
// below them, and the Sound window. Each acts on the current slot.
struct SoundMenuItem {
    std::string_view text;   // '&' marks the mnemonic
    int command = 0;
};
inline constexpr std::array<SoundMenuItem, 3> kSoundMenu{{
    {"&Replace\u2026", command::kReplace},
    {"E&xtract\u2026", command::kExtract},
    {"&Edit sound\u2026", command::kEditSound},
}};

// The parts of the main window that live outside the core.
struct MainWindowHooks {
    std::function<void()> showCredits;   // the Credits dialog, modal
    std::function<void()> showOptions;   // the Options sheet, modal
    std::function<void()> close;         // closes the window; nothing is asked or saved
    // Presses the Replace button, for a sound button clicked with Shift.
    // Without it, Replace runs at once.
    std::function<void()> pressReplace;
    // Runs the writing of a save; see RunAside in savebank.h. Without it the
    // bank is written on the calling thread, the window still meanwhile.
    RunAside runAside = {};
    // Runs the Sound window over editor, modal; true when it was closed with
    // OK. Without it the window never opens.
    std::function<bool(SoundEditor& editor)> editSound = {};
};

class MainCommands {
public:
    MainCommands(Session& session, SettingsStore& settings, MainWindowView& window,
        MainWindowHooks hooks);

    // What the window does once when it is created: caption, current slot 1,
    // Extract disabled when slot 1 is empty, focus on Sound 1.
    void startWindow();

    // Runs command id; false when the id or the notification runs nothing,
    // or while a command is under way (see busy()).
    bool run(int id, Notification notification = Notification::Clicked);

    // Takes the first dropped file; the others are ignored. A sound goes
    // into the current slot as Replace puts it there; anything else is
    // loaded as a bank, and like Open, a load that runs out of memory keeps
    // the bank that was open. Ignored while a command is under way.
    void dropFiles(const std::vector<std::string>& paths);

    // True from the start of a command or a drop to its end: while its
    // questions, file dialogs, the Credits dialog or the Options sheet are
    // up, while a load or Replace reads and while a save writes. The boxes
    // keep the window's mouse and keys away, but not everything: a screen
    // reader presses buttons directly, a box that no window owns blocks
    // nothing, and the toolkit's modality may let an accelerator through.
    // Whatever arrives meanwhile is ignored, since it would stack a second
    // question or replace the bank that the first command is working on.
    // Selecting a slot asks nothing and is over at once, so that a sound
    // button may press Replace (pressReplace) while it runs.
    bool busy() const { return busy_; }

    // The Open command.
    void openBank();

    // The Save command: the credits question while they are unsettled, then
    // SaveBank with the runAside hook.
    void saveBank();

    // The New command: asks, then empties the bank.
    void newBank();

private:
    // LoadBank over the bank that was open before; see the .cpp.
    void loadOver(SoundBank previous, const std::string& typedName, const std::string& path);

    // Replace on the current slot, with commands held off.
    void replaceCurrentSlot();

    // The Sound window for a slot that holds a sound; the slot changes, and
    // the Size text with it, only when the window is confirmed.
    bool editSound(int slotNumber);

    bool busy_ = false;

    Session& session_;
    SettingsStore& settings_;
    MainWindowView& window_;
    MainWindowHooks hooks_;
};

// Fills the bank before the window exists: an empty command line gives the
// empty bank, anything else is one bank path, blanks and quotes included.
void PrepareBank(Session& session, const std::string& commandLine);

// The command-line arguments joined by single blanks: the one bank path.
std::string JoinArguments(const std::vector<std::string>& arguments);

} // namespace jbx
