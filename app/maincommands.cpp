#include "app/maincommands.h"

#include "app/mainwindowview.h"
#include "app/savebank.h"
#include "app/slotcommands.h"
#include "app/soundeditor.h"
#include "bank/bankloader.h"
#include "seam/desktop.h"
#include "seam/filesystem.h"
#include "bank/soundbank.h"
#include "settings/settingsstore.h"

namespace jbx {

namespace {

constexpr std::string_view kCreditsQuestion =
    "You haven't entered any credits for the JBX you just saved.\n\n"
    "Click on the \"Credits...\" button in the main window to enter some.\n\n"
    "Save anyway?";
constexpr std::string_view kNewQuestion = "Current changes will be lost.\n\nContinue?";

void Call(const std::function<void()>& hook)
{
    if (hook)
        hook();
}

// Sets a flag for as long as it lives, however the scope is left; nested
// scopes leave it set until the outermost ends.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = was_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool was_;
};

} // namespace

MainCommands::MainCommands(Session& session, SettingsStore& settings, MainWindowView& window,
    MainWindowHooks hooks)
    : session_(session), settings_(settings), window_(window), hooks_(std::move(hooks))
{
}

void MainCommands::startWindow()
{
    UpdateMainTitle(session_.bank, window_);
    session_.bank.currentSlot = 1;
    if (session_.bank.slot(1).size == 0)
        window_.setExtractEnabled(false);
    window_.focusSoundButton(1);
}

bool MainCommands::run(int id, Notification notification)
{
    if (notification == Notification::Other || busy_)
        return false;

    const bool soundButton = id >= command::kSound1 && id <= command::kSound10;
    if (notification == Notification::DoubleClicked)
        return soundButton && editSound(id - command::kSound1 + 1);
    if (soundButton) {
        SelectSlot(session_, window_, id - command::kSound1 + 1);
        // Shift turns a sound button into "play, then replace this one".
        if (session_.desktop.shiftHeld()) {
            if (hooks_.pressReplace)
                hooks_.pressReplace();
            else
                replaceCurrentSlot();
        }
        return true;
    }

    const FlagScope busy(busy_);
    switch (id) {
    case command::kOpen:
        openBank();
        return true;
    case command::kSave:
        saveBank();
        return true;
    case command::kNew:
        newBank();
        return true;
    case command::kQuit:
        Call(hooks_.close);
        return true;
    case command::kCredits:
        Call(hooks_.showCredits);
        return true;
    case command::kExtract:
        ExtractSlot(session_, window_, session_.bank.currentSlot);
        return true;
    case command::kReplace:
        replaceCurrentSlot();
        return true;
    case command::kOptions:
        Call(hooks_.showOptions);
        return true;
    case command::kEditSound:
        return editSound(session_.bank.currentSlot);
    default:
        return false;
    }
}

bool MainCommands::editSound(int slotNumber)
{
    if (!hooks_.editSound || !CanEditSound(session_.bank, slotNumber))
        return false;
    const FlagScope busy(busy_);
    SoundEditor editor(session_, slotNumber);
    if (hooks_.editSound(editor)) {
        editor.keep();
        // Only the Size text: the Name box may hold a name not yet committed.
        if (slotNumber == session_.bank.currentSlot)
            window_.setSizeText(FormatSlotSize(session_.bank.slot(slotNumber).size));
    }
    return true;
}

void MainCommands::replaceCurrentSlot()
{
    const FlagScope busy(busy_);
    ReplaceSlot(session_, window_, session_.bank.currentSlot);
}

namespace {

constexpr std::string_view kBankMark = "IWAD";

// A dropped file that the one way in takes as a sound: a WAVE, a voice file,
// or one the decoder reads, damaged or not. Nothing for a bank and for
// files no sound format claims, which are the loader's to refuse.
std::optional<SoundRead> ReadDroppedSound(Session& session, const std::string& path)
{
    const auto file = InputFile::open(path);
    if (!file)
        return std::nullopt;
    char start[kBankMark.size()] = {};
    if (file->read(start, sizeof start) == sizeof start && std::string_view(start, sizeof start) == kBankMark)
        return std::nullopt;
    SoundRead sound = ReadSound({session.desktop, session.bank.currentSlot, Owner::MainWindow}, *file);
    if (sound.result == SoundReadResult::NotASound)
        return std::nullopt;
    return sound;
}

} // namespace

void MainCommands::dropFiles(const std::vector<std::string>& paths)
{
    if (paths.empty() || busy_)
        return;
    const FlagScope busy(busy_);
    // A sound dropped on the window goes into the current slot as Replace
    // would put it there. Loading it as a bank, as every dropped file once
    // was, emptied the bank and lost its unsaved work.
    if (auto sound = ReadDroppedSound(session_, paths.front())) {
        const int slot = session_.bank.currentSlot;
        if (ReplaceSlotWithSound(session_, Owner::MainWindow, slot, std::move(*sound), paths.front())
            == ReplaceResult::Replaced) {
            OfferGameReady(session_, slot, Owner::MainWindow);
            window_.setExtractEnabled(true);
        }
        ShowSlotInfo(session_.bank, window_, slot);
        return;
    }
    SoundBank previous = session_.bank;
    const std::string typedName = window_.nameText();
    loadOver(std::move(previous), typedName, paths.front());
}

void MainCommands::loadOver(SoundBank previous, const std::string& typedName, const std::string& path)
{
    // A file that cannot be opened or is no bank leaves the empty bank, as it
    // always has. Running out of memory is not the file's fault, so that one
    // failure puts back the bank that was open, unsaved changes and the
    // name being typed included. The copy shares the sound buffers, so
    // keeping it costs nothing until the load replaces them.
    const LoadResult result = LoadBank(session_, path, Owner::MainWindow).result;
    ShowLoadedBank(session_.bank, result, window_);
    if (result != LoadResult::OutOfMemory)
        return;
    session_.bank = std::move(previous);
    UpdateMainTitle(session_.bank, window_);
    const int current = session_.bank.currentSlot;
    const bool hasSound = current >= 1 && current <= kSlotCount && session_.bank.slot(current).size != 0;
    ShowSlotInfo(session_.bank, window_, hasSound ? std::optional<int>(current) : std::nullopt);
    window_.setNameText(typedName);
    window_.setExtractEnabled(hasSound);
}

void MainCommands::openBank()
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Open";
    request.filters = {{"JeerBox Files (*.jbx)", "*.jbx"}};
    request.startDirectory = LoadStartDirectory(settings_, DirectoryKind::Open);
    request.defaultSuffix = "JBX";
    request.fileMustExist = true;

    const auto chosen = RunFileDialog(session_.desktop, request);
    if (!chosen)
        return;

    SoundBank previous = session_.bank;
    const std::string typedName = window_.nameText();
    UpdateMainTitle(FileTitleFromPath(chosen->path), window_);
    // Remembered before loading, so a file that turns out not to be a bank
    // still leaves its folder as the one to come back to.
    StoreLastDirectory(settings_, DirectoryKind::Open);
    loadOver(std::move(previous), typedName, chosen->path);
}

void MainCommands::saveBank()
{
    if (!session_.bank.creditsConfirmed
        && !AskYesNo(session_.desktop, kCreditsQuestion, MessageIcon::Stop, Owner::MainWindow))
        return;
    SaveBank(session_, settings_, window_, hooks_.runAside);
}

void MainCommands::newBank()
{
    if (AskYesNo(session_.desktop, kNewQuestion, MessageIcon::Question, Owner::MainWindow))
        NewBank(session_, window_);
}

void PrepareBank(Session& session, const std::string& commandLine)
{
    if (commandLine.empty()) {
        NewBank(session);
        return;
    }
    LoadBank(session, commandLine, Owner::None);
}

std::string JoinArguments(const std::vector<std::string>& arguments)
{
    std::string joined;
    for (const std::string& argument : arguments) {
        if (&argument != &arguments.front())
            joined += ' ';
        joined += argument;
    }
    return joined;
}

} // namespace jbx
