#include "bank/bankloader.h"

#include "audio/voiceconvert.h"
#include "bank/bankformat.h"
#include "bank/slotops.h"
#include "seam/desktop.h"
#include "seam/filesystem.h"
#include "bank/soundbank.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <span>
#include <string>
#include <string_view>

namespace jbx {

namespace {

// The directory as far as the loader looks at it: the start marker, the ten
// sounds, the stop marker and the would-be FILEINFO entry.
constexpr std::size_t kReadEntries = 13;
constexpr std::size_t kStartEntry = 0;
constexpr std::size_t kStopEntry = 11;
constexpr std::size_t kCreditsEntry = 12;
constexpr std::size_t kNameOffset = 8;

// The entries that must be wholly inside the file: the start marker (which
// comes first) and the ten sounds. The stop marker and entry 12 may be cut off.
constexpr std::int64_t kRequiredDirectoryBytes = kEntrySize * (1 + kSlotCount);

// The three texts at their limits and the NULs after the first two.
constexpr std::int64_t kCreditsReadLimit =
    std::int64_t(kAuthorLimit + kDescriptionLimit + kDateFinishedLimit + 2);

constexpr std::string_view kCannotOpen = "Cannot open JBX file";
constexpr std::string_view kOutOfMemory = "Not enough memory to load the JBX file";
constexpr std::string_view kNotABank = "Not a valid JeerBox sound file";

std::int32_t ReadInt32(const std::uint8_t* p)
{
    return std::int32_t(ReadLE32(p));
}

// True when the 8 bytes at p are exactly the name: no NUL ends it early.
bool NameIs(const std::uint8_t* p, std::string_view name)
{
    return std::memcmp(p, name.data(), kSlotNameLimit) == 0;
}

// A name field of 8 bytes, ending at its first NUL if it has one.
std::string NameFromField(const std::uint8_t* p)
{
    const auto* end = std::find(p, p + kSlotNameLimit, std::uint8_t(0));
    return std::string(p, end);
}

// Takes one credit text from the front of bytes: up to and including a NUL,
// or exactly limit bytes when no NUL comes first, or what is left. A text
// that fills its limit is still followed by the NUL our own writer puts
// after every text; that NUL is skipped too, or a saved 100-character
// author would load back with the description empty and the date moved up.
std::string TakeCreditText(std::span<const std::uint8_t>& bytes, std::size_t limit)
{
    const std::size_t window = std::min(limit, bytes.size());
    const auto begin = bytes.begin();
    const auto nul = std::find(begin, begin + std::ptrdiff_t(window), std::uint8_t(0));
    std::string text(begin, nul);
    const bool filled = text.size() == limit;
    const bool terminated = text.size() < window || (filled && window < bytes.size() && bytes[window] == 0);
    bytes = bytes.subspan(text.size() + (terminated ? 1 : 0));
    return text;
}

bool RejectBank(Session& session, Owner owner)
{
    ShowError(session.desktop, kNotABank, owner);
    return false;
}

void ReadCredits(BankCredits& credits, InputFile& file, std::int32_t offset)
{
    const std::int64_t fileSize = file.size();
    if (offset < 0 || offset >= fileSize)
        return;
    std::array<std::uint8_t, kCreditsReadLimit> buffer{};
    file.seek(offset);
    const std::size_t wanted = std::size_t(std::min(kCreditsReadLimit, fileSize - offset));
    std::span<const std::uint8_t> bytes(buffer.data(), file.read(buffer.data(), wanted));
    credits.author = TakeCreditText(bytes, kAuthorLimit);
    credits.description = TakeCreditText(bytes, kDescriptionLimit);
    credits.dateFinished = TakeCreditText(bytes, kDateFinishedLimit);
}

} // namespace

bool SoundEntryIsDamaged(std::int32_t offset, std::int32_t size, std::int64_t fileSize)
{
    // Empty entries are never read, whatever their offset says.
    if (size == 0)
        return false;
    return offset < 0 || size < 0 || offset > fileSize || size > fileSize;
}

bool IsVoiceLump(std::int32_t size, std::span<const std::uint8_t> start)
{
    return size >= kVoiceLumpMinSize && StartsWithVoiceMark(start);
}

LoadOutcome LoadBank(Session& session, const std::string& path, Owner owner)
{
    const auto file = InputFile::open(path);
    return LoadBankFrom(session, path, file.get(), owner, ReadBankLumps);
}

LoadOutcome LoadBankFrom(Session& session, const std::string& path, InputFile* file, Owner owner,
    const LumpReader& readLumps)
{
    session.bank.bankTitle = FileTitleFromPath(path);
    LoadOutcome outcome;
    LoadResult& result = outcome.result;
    if (!file) {
        ShowError(session.desktop, kCannotOpen, Owner::None);
        NewBank(session);
        result = LoadResult::CannotOpen;
    } else if (ReadBankDirectory(session, *file, owner)) {
        try {
            outcome.refusedSlots = readLumps(session, *file, owner);
            session.bank.creditsConfirmed = true;
        } catch (const std::bad_alloc&) {
            // Lumps may overlap, so a file can ask for several times its own
            // size; running out of memory must not end the program.
            NewBank(session);
            ShowError(session.desktop, kOutOfMemory, owner);
            result = LoadResult::OutOfMemory;
        }
    } else {
        NewBank(session);
        result = LoadResult::NotABank;
    }
    return outcome;
}

bool ReadBankDirectory(Session& session, InputFile& file, Owner owner)
{
    const std::int64_t fileSize = file.size();

    std::array<std::uint8_t, kHeaderSize> header{};
    file.seek(0);
    if (file.read(header.data(), header.size()) != header.size())
        return RejectBank(session, owner);   // no directory offset to follow
    bool accepted = std::memcmp(header.data(), kBankMagic.data(), kBankMagic.size()) == 0;

    const std::int32_t directoryOffset = ReadInt32(&header[kDirectoryOffsetField]);
    if (directoryOffset < 0 || directoryOffset > fileSize
        || fileSize - directoryOffset < kRequiredDirectoryBytes)
        return RejectBank(session, owner);

    std::array<std::uint8_t, kReadEntries * kEntrySize> directory{};
    file.seek(directoryOffset);
    const std::size_t got = file.read(directory.data(), directory.size());
    const auto entry = [&](std::size_t index) { return &directory[index * kEntrySize]; };
    const auto present = [&](std::size_t index, std::size_t bytes) {
        return got >= index * kEntrySize + bytes;
    };

    for (int i = 0; i < kSlotCount; ++i) {
        const std::uint8_t* e = entry(std::size_t(1 + i));
        if (SoundEntryIsDamaged(ReadInt32(e), ReadInt32(e + 4), fileSize))
            return RejectBank(session, owner);
    }

    if (NameIs(entry(kStartEntry) + kNameOffset, kStartMarker))
        accepted = true;

    for (int i = 0; i < kSlotCount; ++i) {
        const std::uint8_t* e = entry(std::size_t(1 + i));
        SoundSlot& slot = session.bank.slots[std::size_t(i)];
        slot.fileOffset = ReadInt32(e);
        slot.size = ReadInt32(e + 4);
        slot.name = NameFromField(e + kNameOffset);
    }

    if (present(kStopEntry, kEntrySize) && NameIs(entry(kStopEntry) + kNameOffset, kStopMarker))
        accepted = true;

    BankCredits& credits = session.bank.credits;
    credits = {};
    if (present(kCreditsEntry, kEntrySize)
        && NameIs(entry(kCreditsEntry) + kNameOffset, kCreditsLumpName))
        ReadCredits(credits, file, ReadInt32(entry(kCreditsEntry)));

    if (!accepted)
        return RejectBank(session, owner);
    return true;
}

std::vector<int> ReadBankLumps(Session& session, InputFile& file, Owner owner)
{
    std::vector<int> refused;
    for (int number = 1; number <= kSlotCount; ++number) {
        SoundSlot& slot = session.bank.slot(number);
        // An entry the file cannot hold (ReadBankDirectory refuses those) is
        // read as empty, so no caller can allocate more than the file holds.
        if (SoundEntryIsDamaged(slot.fileOffset, slot.size, file.size()))
            slot.size = 0;
        const std::size_t size = std::size_t(slot.size);
        slot.data = MakeSoundData(size + 1);
        Bytes& data = *slot.data;
        if (size > 0) {
            file.seek(slot.fileOffset);
            file.read(data.data(), size);   // a lump cut short keeps its zeros
        }
        data[size] = kPadByte;

        const std::span<const std::uint8_t> lump(data.data(), size);
        if (IsVoiceLump(slot.size, lump)) {
            const ConversionContext context{session.desktop, session.bank.currentSlot, owner};
            if (ConvertVoiceIntoSlot(context, slot, lump) != ConvertResult::Converted)
                refused.push_back(number);
        }
    }
    return refused;
}

} // namespace jbx
