#pragma once

// Building blocks for tests: private temporary folders and hand-made bank and voice files, byte by byte,
// independent of the code under test.

#include "seam/bytes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace jbx::testing {

// A fresh folder under the system's temporary folder, removed with its contents when the object goes; a test that
// moved into it (as confirming a file dialog does) is moved back to the folder it started in.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // UTF-8, like every path in the program.
    const std::string& path() const { return path_; }
    // A file in the folder, joined with the platform's separator, as the desktop's file dialogs would give it.
    std::string file(std::string_view name) const;

private:
    std::string path_;
    std::string start_;
};

void WriteBytes(const std::string& path, const Bytes& bytes);
Bytes ReadBytes(const std::string& path);
Bytes ToBytes(std::string_view text);

void PutLE32(Bytes& out, std::uint32_t value);
void PutLE16(Bytes& out, std::uint16_t value);
void PutText(Bytes& out, std::string_view text);   // without a terminator

// A bank written by the program with one sound: "s4" in slot 4, 8 bytes.
void WriteOneSoundBank(const std::string& path);

// A bank of `length` bytes, most of them a hole that takes no disk, whose ten sound entries each cover the whole
// file: loading it asks for ten times its size.
void WriteOverlappingBank(const std::string& path, std::uint32_t length);

// A voice file: a 26-byte header, then blocks, appended in order.
class VoiceFileBuilder {
public:
    // Version 1.10 (minor 10, major 1) with the matching check word.
    explicit VoiceFileBuilder(std::uint8_t minor = 10, std::uint8_t major = 1);

    // Overrides the header's check word bytes.
    VoiceFileBuilder& check(std::uint8_t low, std::uint8_t high);
    VoiceFileBuilder& dataOffset(std::uint16_t offset);

    // A block with its type byte and 3-byte length, then the body as given.
    VoiceFileBuilder& block(std::uint8_t type, std::uint32_t length, const Bytes& body);
    VoiceFileBuilder& block(std::uint8_t type, const Bytes& body)
    {
        return block(type, std::uint32_t(body.size()), body);
    }
    VoiceFileBuilder& soundBlock(std::uint8_t timeConstant, const Bytes& samples);   // type 1
    VoiceFileBuilder& terminator();                                                  // type 0
    VoiceFileBuilder& raw(const Bytes& bytes);

    Bytes build() const;

private:
    Bytes header_;
    Bytes body_;
};

// Sample bytes 0, 1, 2, .. n-1 (mod 256), plus an offset to tell sounds apart.
Bytes Ramp(std::size_t n, std::uint8_t start = 0);

// A WAVE image: the RIFF header, a fmt chunk whose frame size and byte rate follow from the other fields (an
// extensible one, for tag 0xFFFE, naming subFormat), and a data chunk of the samples with its pad byte.
Bytes WaveImage(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& samples,
    std::uint16_t subFormat = 1);

// A whole 8-bit mono PCM WAVE image at 11025 Hz whose data chunk holds dataBytes of a ramp, without a pad byte.
Bytes PcmWave(std::uint32_t dataBytes);

} // namespace jbx::testing
