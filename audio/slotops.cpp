#include "audio/slotops.h"

#include "bank/singlebytetext.h"
#include "app/mainwindowview.h"
#include "audio/voiceconvert.h"
#include "seam/desktop.h"
#include "seam/filesystem.h"
#include "bank/soundbank.h"

#include <algorithm>
#include <new>
#include <span>
#include <string_view>

namespace jbx {

namespace {

constexpr std::uint8_t kPadByte = 0x80;

constexpr std::string_view kCannotOpenSound = "Cannot open sound file";
constexpr std::string_view kOutOfMemory = "Not enough memory to load the sound file";

const FileFilter kWaveFilter = {"Wave Files (*.wav)", "*.wav"};
const std::vector<FileFilter> kReplaceFilters = {
    kWaveFilter,
    {"Voice Files (*.voc)", "*.voc"},
};

Owner OwnerOf(const MainWindowView* window)
{
    return window ? Owner::MainWindow : Owner::None;
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

namespace {

// The characters of a file title that name a slot, before any encoding.
std::u32string SlotNameCharacters(const std::string& title)
{
    const std::u32string characters = Utf8Characters(title);
    std::u32string name;
    for (std::size_t i = 0; i < characters.size() && name.size() < kSlotNameLimit; ++i) {
        name += characters[i];
        if (i + 1 < characters.size() && characters[i + 1] == U'.')
            break;
    }
    return name;
}

} // namespace

std::string SlotNameFromFileTitle(const std::string& title)
{
    std::string name;
    for (const char32_t c : SlotNameCharacters(title))
        name += char(SingleByteOf(c).value_or(std::uint8_t('?')));
    return name;
}

std::optional<char32_t> UnheldSlotNameCharacter(const std::string& title)
{
    return SingleByteFromCharacters(SlotNameCharacters(title)).refused;
}

namespace {

// The slot a file makes, built aside so that a failure on the way leaves the
// slot as it was. Allocations may throw std::bad_alloc.
ReplaceResult BuildSlotFromFile(Session& session, MainWindowView* window, InputFile& file,
    const std::string& path, SoundSlot& slot)
{
    const std::size_t length = std::size_t(file.size());
    // At least two bytes, so that the one-byte size of a rejected empty file
    // still leaves Extract its size + 1 bytes.
    SoundData data = MakeSoundData(std::max<std::size_t>(length + 1, 2));
    if (file.read(data->data(), length) != length) {
        ShowError(session.desktop, kCannotOpenSound, OwnerOf(window));
        return ReplaceResult::Unreadable;
    }
    (*data)[length] = kPadByte;

    slot.data = data;
    slot.name = SlotNameFromFileTitle(FileTitleFromPath(path));
    slot.size = std::int32_t(length);
    slot.fileOffset = 0;

    const std::span<const std::uint8_t> bytes(data->data(), length);
    const std::uint8_t first = (*data)[0];
    if (StartsWithVoiceMark(bytes)) {
        const ConversionContext context{session.desktop, session.bank.currentSlot, OwnerOf(window)};
        if (ConvertVoiceIntoSlot(context, slot, bytes) != ConvertResult::Converted)
            return ReplaceResult::NotConverted;
    } else if (first != 'C' && first != 'R') {
        ShowError(session.desktop, "Not a valid sound file", OwnerOf(window));
        slot.size = 1;
        slot.name = kNoName;
        return ReplaceResult::NotASound;
    }
    return ReplaceResult::Replaced;
}

} // namespace

ReplaceResult ReplaceSlotFromFile(Session& session, MainWindowView* window, int slotNumber,
    const std::string& path)
{
    // The size is known before anything is read: a file the slot's 32-bit
    // size (and a voice file's image) cannot hold is refused unread.
    auto file = InputFile::open(path);
    if (!file || std::uint64_t(file->size()) > kVoiceFileLimit) {
        ShowError(session.desktop, kCannotOpenSound, OwnerOf(window));
        return ReplaceResult::Unreadable;
    }

    SoundSlot& slot = session.bank.slot(slotNumber);
    SoundSlot replacement = slot;
    ReplaceResult result = ReplaceResult::OutOfMemory;
    try {
        result = BuildSlotFromFile(session, window, *file, path, replacement);
    } catch (const std::bad_alloc&) {
        ShowError(session.desktop, kOutOfMemory, OwnerOf(window));
        return ReplaceResult::OutOfMemory;
    }
    if (result != ReplaceResult::Unreadable)
        slot = std::move(replacement);
    return result;
}

ReplaceResult ReplaceSlot(Session& session, MainWindowView& window, int slotNumber)
{
    FileDialogRequest request;
    request.kind = FileDialogKind::Open;
    request.title = "Replace sound " + std::to_string(slotNumber);
    request.filters = kReplaceFilters;
    request.filterIndex = session.replaceFilterIndex;
    request.fileMustExist = true;

    const auto chosen = RunFileDialog(session.desktop, request);
    if (!chosen)
        return ReplaceResult::Cancelled;
    const ReplaceResult result = ReplaceSlotFromFile(session, &window, slotNumber, chosen->path);
    if (result == ReplaceResult::Unreadable || result == ReplaceResult::OutOfMemory)
        return result;
    ShowSlotInfo(session.bank, window, slotNumber);
    session.replaceFilterIndex = chosen->filterIndex;
    return result;
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

bool WriteSlotFile(const SoundBank& bank, const std::string& path, int slotNumber)
{
    const SoundSlot& slot = bank.slot(slotNumber);
    const std::size_t wanted = std::size_t(slot.size) + 1;
    const std::size_t length = std::min(wanted, slot.data->size());

    return WriteFileSafely(path, [&](ByteSink& file) { return file.write({slot.data->data(), length}); })
        == WriteFileResult::Written;
}

} // namespace jbx
