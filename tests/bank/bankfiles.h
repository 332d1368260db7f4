#pragma once

// Hand-made bank files for the bank tests, laid out byte by byte here so
// that the writer's output can be checked against something it did not make.

#include "bank/bytes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace jbx::testing {

struct TestSound {
    std::string name = "(none)";   // up to 8 bytes, may hold NULs of its own
    Bytes data;
};

struct TestBank {
    std::string magic = "IWAD";
    std::uint32_t lumpCount = 12;
    std::string startName = "JEERSTRT";
    std::string stopName = "JEERSTOP";
    std::array<TestSound, 10> sounds;
    std::optional<Bytes> fileInfo;   // the FILEINFO lump's bytes, and its entry
    bool trailer = true;
};

// Header, sounds, FILEINFO data, directory and trailer in the order a saved
// bank has them.
Bytes LayOutBank(const TestBank& bank);

// author NUL description NUL date NUL.
Bytes CreditsLump(std::string_view author, std::string_view description, std::string_view date);

// The trailer text every saved bank ends with (its fixed parts are checked
// on their own).
Bytes TrailerBytes();

// A sound image that does not start with "Crea": "RIFF" and then a ramp.
Bytes FakeWave(std::size_t n, std::uint8_t seed);

// An 8-byte name field: the name padded with NULs.
Bytes NameField(std::string_view name);

// One 16-byte directory entry.
Bytes EntryBytes(std::uint32_t offset, std::uint32_t size, std::string_view name);

std::uint32_t DirectoryOffset(const Bytes& file);
std::size_t EntryPosition(const Bytes& file, int entry);
void Poke32(Bytes& file, std::size_t position, std::uint32_t value);
std::uint32_t Peek32(const Bytes& file, std::size_t position);

} // namespace jbx::testing
