#pragma once

// The layout of a bank file, shared by the loader and the writer.

#include <cstdint>
#include <string_view>

namespace jbx {

inline constexpr std::string_view kBankMagic = "IWAD";
inline constexpr std::string_view kStartMarker = "JEERSTRT";
inline constexpr std::string_view kStopMarker = "JEERSTOP";
inline constexpr std::string_view kCreditsLumpName = "FILEINFO";

inline constexpr std::int64_t kHeaderSize = 12;
inline constexpr std::int64_t kDirectoryOffsetField = 8;
inline constexpr std::int64_t kEntrySize = 16;
inline constexpr std::int32_t kWrittenLumpCount = 12;   // also with FILEINFO as a 13th entry

// A lump that starts like a voice file is one only from this size on;
// shorter lumps stay as they are.
inline constexpr std::int32_t kVoiceLumpMinSize = 11;

// Appended after the directory; it belongs to no lump and readers ignore it.
inline constexpr std::string_view kCreditTrailer =
    "\x1a\n\n"
    "This JeerBox file was created or modified with JBXMaker for Windows v1.1, "
    "written by the JBX Maker project.\n"
    "Visit https://jbxmaker.example.org/ for more info.";

} // namespace jbx
