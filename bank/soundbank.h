#pragma once

// The one open document and the operations on it that every part shares.

#include "seam/bytes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace jbx {

class Desktop;

inline constexpr int kSlotCount = 10;
inline constexpr std::size_t kSlotNameLimit = 8;       // width of a lump name
inline constexpr std::size_t kAuthorLimit = 100;
inline constexpr std::size_t kDescriptionLimit = 256;  // as loaded; typed: 255
inline constexpr std::size_t kDateFinishedLimit = 100;

inline constexpr std::string_view kNoName = "(none)";
inline constexpr std::string_view kUntitled = "Untitled";

struct SoundSlot {
    std::string name{kNoName};   // at most 8 characters
    std::int32_t fileOffset = 0;
    std::int32_t size = 0;       // bytes a bank file stores; 0 = no sound
    // At least size + 1 bytes; the byte at index size is kPadByte, which
    // Extract writes but Save does not.
    SoundData data = MakeSoundData(1);
};

struct BankCredits {
    std::string author;          // at most 100 characters
    std::string description;     // at most 256 (255 when typed)
    std::string dateFinished;    // at most 100

    bool empty() const { return author.empty() && description.empty() && dateFinished.empty(); }
    bool complete() const { return !author.empty() && !description.empty() && !dateFinished.empty(); }
};

struct SoundBank {
    std::array<SoundSlot, kSlotCount> slots;
    std::string bankTitle;
    BankCredits credits;
    bool creditsConfirmed = false;
    std::int32_t currentSlot = 0;   // slotNumber 1..10; 0 until the window starts

    SoundSlot& slot(int slotNumber) { return slots.at(std::size_t(slotNumber - 1)); }
    const SoundSlot& slot(int slotNumber) const { return slots.at(std::size_t(slotNumber - 1)); }
};

// Everything one run of the program keeps: the document, what the slot
// commands remember between calls, and the desktop they talk to. There is exactly one per run; it is passed by reference.
struct Session {
    explicit Session(Desktop& d) : desktop(d) {}

    SoundBank bank;
    int replaceFilterIndex = 0;
    Desktop& desktop;
};

// Resets the bank to the empty, untitled one.
void NewBank(Session& session);

// Which character separates the folders of a path. On Windows only the
// backslash does: a slash or a drive letter's colon is part of the title.
enum class PathStyle { Windows, Posix };
#ifdef _WIN32
inline constexpr PathStyle kNativePathStyle = PathStyle::Windows;
#else
inline constexpr PathStyle kNativePathStyle = PathStyle::Posix;
#endif

// The file name of a path: the text after the last separator of the style
// ('\\' for Windows, '/' for Posix), or the whole path without one; empty
// when the path ends in a separator.
std::string FileTitleFromPath(std::string_view path, PathStyle style);

// FileTitleFromPath with the separator of the platform the program runs on.
std::string FileTitleFromPath(std::string_view path);

} // namespace jbx
