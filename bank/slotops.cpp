#include "bank/slotops.h"

#include "bank/singlebytetext.h"
#include "bank/soundbank.h"
#include "seam/filesystem.h"

#include <algorithm>
#include <new>
#include <span>
#include <string_view>

namespace jbx {

namespace {

constexpr std::string_view kCannotOpenSound = "Cannot open sound file";
constexpr std::string_view kOutOfMemory = "Not enough memory to load the sound file";

} // namespace

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
ReplaceResult BuildSlotFromFile(Session& session, Owner owner, InputFile& file, const std::string& path,
    SoundSlot& slot)
{
    const std::size_t length = std::size_t(file.size());
    // At least two bytes, so that the one-byte size of a rejected empty file
    // still leaves Extract its size + 1 bytes.
    SoundData data = MakeSoundData(std::max<std::size_t>(length + 1, 2));
    if (file.read(data->data(), length) != length) {
        ShowError(session.desktop, kCannotOpenSound, owner);
        return ReplaceResult::Unreadable;
    }
    (*data)[length] = kPadByte;

    slot.data = data;
    slot.name = SlotNameFromFileTitle(FileTitleFromPath(path));
    slot.size = std::int32_t(length);
    slot.fileOffset = 0;

    const std::span<const std::uint8_t> bytes(data->data(), length);
    if (StartsWithVoiceMark(bytes)) {
        const ConversionContext context{session.desktop, session.bank.currentSlot, owner};
        if (ConvertVoiceIntoSlot(context, slot, bytes) != ConvertResult::Converted)
            return ReplaceResult::NotConverted;
    } else if (!ReplaceTakes(bytes)) {
        ShowError(session.desktop, "Not a valid sound file", owner);
        slot.size = 1;
        slot.name = kNoName;
        return ReplaceResult::NotASound;
    }
    return ReplaceResult::Replaced;
}

} // namespace

bool ReplaceTakes(std::span<const std::uint8_t> start)
{
    return !start.empty() && (start[0] == 'C' || start[0] == 'R');
}

ReplaceResult ReplaceSlotFromFile(Session& session, Owner owner, int slotNumber, const std::string& path)
{
    // The size is known before anything is read: a file the slot's 32-bit
    // size (and a voice file's image) cannot hold is refused unread.
    auto file = InputFile::open(path);
    if (!file || std::uint64_t(file->size()) > kVoiceFileLimit) {
        ShowError(session.desktop, kCannotOpenSound, owner);
        return ReplaceResult::Unreadable;
    }

    SoundSlot& slot = session.bank.slot(slotNumber);
    SoundSlot replacement = slot;
    ReplaceResult result = ReplaceResult::OutOfMemory;
    try {
        result = BuildSlotFromFile(session, owner, *file, path, replacement);
    } catch (const std::bad_alloc&) {
        ShowError(session.desktop, kOutOfMemory, owner);
        return ReplaceResult::OutOfMemory;
    }
    if (result != ReplaceResult::Unreadable)
        slot = std::move(replacement);
    return result;
}

std::span<const std::uint8_t> SlotFileBytes(const SoundSlot& slot)
{
    const std::size_t wanted = std::size_t(slot.size) + 1;
    return {slot.data->data(), std::min(wanted, slot.data->size())};
}

bool WriteSlotFile(const SoundBank& bank, const std::string& path, int slotNumber)
{
    const auto bytes = SlotFileBytes(bank.slot(slotNumber));
    return WriteFileSafely(path, [&](ByteSink& file) { return file.write(bytes); }) == WriteFileResult::Written;
}

namespace {

void PutImage(SoundSlot& slot, Bytes image)
{
    slot.size = std::int32_t(image.size());
    image.push_back(kPadByte);
    slot.data = std::make_shared<Bytes>(std::move(image));
    slot.fileOffset = 0;
}

} // namespace

void PutWaveImageIntoSlot(SoundSlot& slot, Bytes image, const std::string& title)
{
    PutImage(slot, std::move(image));
    slot.name = SlotNameFromFileTitle(title);
}

std::optional<ReshapeError> ReshapeSlot(SoundSlot& slot, const Reshape& reshape)
{
    ReshapeResult reshaped = ReshapeWave(SlotFileBytes(slot), reshape);
    if (!reshaped.image)
        return reshaped.error;
    PutImage(slot, std::move(*reshaped.image));
    return std::nullopt;
}

ConvertResult ConvertVoiceIntoSlot(const ConversionContext& context, SoundSlot& slot,
    std::span<const std::uint8_t> voiceFile)
{
    // voiceFile is usually the slot's own buffer, and the program runs on
    // while the conversion asks its questions: held here, the bytes stay
    // readable until the image has taken their place, whatever becomes of
    // the slot meanwhile.
    const SoundData reading = slot.data;
    SoundData image = MakeSoundData(voiceFile.size() + kWaveImageSlack);
    std::int32_t size = std::int32_t(voiceFile.size());
    const ConvertResult result = ConvertVoiceFile(context, *image, voiceFile, size);
    slot.data = std::move(image);
    slot.size = size;
    return result;
}

} // namespace jbx
