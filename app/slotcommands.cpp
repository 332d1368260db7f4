#include "app/slotcommands.h"

#include "app/mainwindowview.h"
#include "bank/slotcheck.h"
#include "seam/sounddecoder.h"
#include "seam/desktop.h"
#include "bank/soundbank.h"

#include <vector>

namespace jbx {

namespace {

const FileFilter kWaveFilter = {"Wave Files (*.wav)", "*.wav"};

// The third filter comes after the two that filter indexes 1 and 2 have
// always meant, so that a remembered index keeps its meaning.
std::vector<FileFilter> ReplaceFilters()
{
    return {
        kWaveFilter,
        {"Voice Files (*.voc)", "*.voc"},
        {"Other sound files", std::string(DecodedPatterns())},
    };
}

} // namespace

std::string FormatSlotSize(std::int32_t size)
{
    if (size >= 1024 && size <= 1048575)
        return std::to_string(size / 1024) + " KB";
    // The MB divisor is 1,024,768, not 1,048,576: the figures users know
    // from this program have always been computed that way.
    if (size >= 1048576 && size <= 16777215)
        return std::to_string(size / 1024768) + " MB";
    return std::to_string(std::uint32_t(size)) + " bytes";
}

void ShowSlotInfo(const SoundBank& bank, MainWindowView& window, std::optional<int> slotNumber)
{
    if (!slotNumber) {
        window.setNameText(std::string(kNoName));
        window.setSizeText({});
        return;
    }
    const SoundSlot& slot = bank.slot(*slotNumber);
    window.setNameText(slot.name);
    window.setSizeText(FormatSlotSize(slot.size));
}

void SelectSlot(Session& session, MainWindowView& window, int slotNumber)
{
    SoundBank& bank = session.bank;
    window.focusSoundButton(slotNumber);

    // A name typed into the Name box belongs to the slot that was current.
    const std::string typed = window.nameText().substr(0, kSlotNameLimit);
    if (typed != kNoName && bank.currentSlot >= 1 && bank.currentSlot <= kSlotCount)
        bank.slot(bank.currentSlot).name = typed;

    bank.currentSlot = slotNumber;
    const SoundSlot& slot = bank.slot(slotNumber);
    if (slot.size == 0) {
        ShowSlotInfo(bank, window, std::nullopt);
        window.setExtractEnabled(false);
        return;
    }
    window.setExtractEnabled(true);
    ShowSlotInfo(bank, window, slotNumber);
    session.desktop.playSound(slot.data);
}

ReplaceResult ReplaceSlot(Session& session, MainWindowView& window, int slotNumber)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Replace sound " + std::to_string(slotNumber);
    request.filters = ReplaceFilters();
    request.filterIndex = session.replaceFilterIndex;
    request.fileMustExist = true;

    const auto chosen = RunFileDialog(session.desktop, request);
    if (!chosen)
        return ReplaceResult::Cancelled;
    const ReplaceResult result = ReplaceSlotFromFile(session, Owner::MainWindow, slotNumber, chosen->path);
    if (result == ReplaceResult::Unreadable || result == ReplaceResult::OutOfMemory)
        return result;
    if (result == ReplaceResult::Replaced)
        OfferGameReady(session, slotNumber, Owner::MainWindow);
    ShowSlotInfo(session.bank, window, slotNumber);
    session.replaceFilterIndex = chosen->filterIndex;
    return result;
}

bool OfferGameReady(Session& session, int slotNumber, Owner owner)
{
    SoundSlot& slot = session.bank.slot(slotNumber);
    const auto question = GameReadyQuestion(slot, slotNumber);
    if (!question || !AskYesNo(session.desktop, *question, MessageIcon::Question, owner))
        return false;
    return !ShapeSlot(slot, {.mono = true, .eightBit = true});
}

ExtractResult ExtractSlot(Session& session, MainWindowView& /*owner*/, int slotNumber)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.title = "Extract";
    request.filters = {kWaveFilter};
    request.confirmOverwrite = true;
    request.pathMustExist = true;

    const auto chosen = RunFileDialog(session.desktop, request);
    if (!chosen)
        return ExtractResult::Cancelled;
    if (!WriteSlotFile(session.bank, chosen->path, slotNumber)) {
        ShowError(session.desktop, "Cannot create sound file", Owner::MainWindow);
        return ExtractResult::NotWritten;
    }
    return ExtractResult::Extracted;
}

} // namespace jbx
