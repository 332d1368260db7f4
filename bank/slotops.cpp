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

ReplaceResult ReplaceSlotFromFile(Session& session, Owner owner, int slotNumber, const std::string& path)
{
    const auto file = InputFile::open(path);
    if (!file) {
        ShowError(session.desktop, kCannotOpenSound, owner);
        return ReplaceResult::Unreadable;
    }
    const ConversionContext context{session.desktop, session.bank.currentSlot, owner};
    return ReplaceSlotWithSound(session, owner, slotNumber, ReadSound(context, *file), path);
}

ReplaceResult ReplaceSlotWithSound(Session& session, Owner owner, int slotNumber, SoundRead sound,
    const std::string& path)
{
    // A file that is refused leaves the slot's sound in place: the slot used
    // to be emptied to "(none)" here, which threw away the user's sound for
    // a file that never was one.
    switch (sound.result) {
    case SoundReadResult::Read:
        PutSoundIntoSlot(session.bank.slot(slotNumber), std::move(sound), FileTitleFromPath(path));
        return ReplaceResult::Replaced;
    case SoundReadResult::NotConverted:
        return ReplaceResult::NotConverted;
    case SoundReadResult::NotASound:
    case SoundReadResult::Damaged:
    case SoundReadResult::NoDecoder:
        ShowError(session.desktop, "Not a valid sound file", owner);
        return ReplaceResult::NotASound;
    case SoundReadResult::TooLarge:
    case SoundReadResult::Unreadable:
        ShowError(session.desktop, kCannotOpenSound, owner);
        return ReplaceResult::Unreadable;
    case SoundReadResult::OutOfMemory:
        break;
    }
    ShowError(session.desktop, kOutOfMemory, owner);
    return ReplaceResult::OutOfMemory;
}

void PutSoundIntoSlot(SoundSlot& slot, SoundRead sound, const std::string& title)
{
    slot.data = std::make_shared<Bytes>(std::move(sound.buffer));
    slot.size = sound.size;
    slot.fileOffset = 0;
    slot.name = SlotNameFromFileTitle(title);
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

std::optional<ReshapeError> ShapeSlot(SoundSlot& slot, const Shaping& shaping)
{
    ReshapeResult shaped = ShapeWave(SlotFileBytes(slot), shaping);
    if (!shaped.image)
        return shaped.error;
    PutImage(slot, std::move(*shaped.image));
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
