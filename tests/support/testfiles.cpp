#include "tests/support/testfiles.h"

#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "seam/filesystem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace jbx::testing {

TempDir::TempDir() : start_(CurrentDirectory())
{
    static std::atomic<int> counter{0};
    std::random_device random;
    for (;;) {
        const fs::path candidate = fs::temp_directory_path()
            / ("jbx-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        if (fs::create_directory(candidate)) {
            path_ = Utf8FromPath(candidate);
            return;
        }
    }
}

TempDir::~TempDir()
{
    std::error_code ignored;
    const fs::path folder = PathFromUtf8(path_);
    // Windows cannot remove the current directory.
    const fs::path inside = fs::current_path(ignored).lexically_relative(folder);
    if (!ignored && !inside.empty() && *inside.begin() != "..")
        ChangeCurrentDirectory(start_);
    // Restore write permission that a test may have taken away.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(folder, ignored);
}

std::string TempDir::file(std::string_view name) const
{
    return Utf8FromPath(PathFromUtf8(path_) / PathFromUtf8(std::string(name)));
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << path;
}

Bytes ReadBytes(const std::string& path)
{
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ToBytes(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

void PutLE32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(value >> (8 * i)));
}

void PutLE16(Bytes& out, std::uint16_t value)
{
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void PutText(Bytes& out, std::string_view text)
{
    out.insert(out.end(), text.begin(), text.end());
}

void WriteOneSoundBank(const std::string& path)
{
    SoundBank bank;
    bank.slot(4) = {"s4", 0, 8, std::make_shared<Bytes>(Bytes{'R', 'I', 'F', 'F', 1, 2, 3, 4, 0x80})};
    ASSERT_EQ(WriteBankFile(bank, path), WriteFileResult::Written) << path;
}

void WriteOverlappingBank(const std::string& path, std::uint32_t length)
{
    Bytes bank = ToBytes("IWAD");
    PutLE32(bank, 12);
    PutLE32(bank, 12);
    for (int entry = 0; entry < 12; ++entry) {
        const bool sound = entry >= 1 && entry <= 10;
        PutLE32(bank, 0);
        PutLE32(bank, sound ? length : 0);
        PutText(bank, entry == 0 ? "JEERSTRT" : entry == 11 ? "JEERSTOP" : std::string_view("big\0\0\0\0\0", 8));
    }
    WriteBytes(path, bank);
    fs::resize_file(PathFromUtf8(path), length);
}

VoiceFileBuilder::VoiceFileBuilder(std::uint8_t minor, std::uint8_t major)
{
    PutText(header_, "Creative Voice File\x1a");
    PutLE16(header_, 26);
    header_.push_back(minor);
    header_.push_back(major);
    header_.push_back(std::uint8_t(0x33 - minor));
    header_.push_back(std::uint8_t(0x12 - major));
}

VoiceFileBuilder& VoiceFileBuilder::check(std::uint8_t low, std::uint8_t high)
{
    header_[24] = low;
    header_[25] = high;
    return *this;
}

VoiceFileBuilder& VoiceFileBuilder::dataOffset(std::uint16_t offset)
{
    header_[20] = std::uint8_t(offset);
    header_[21] = std::uint8_t(offset >> 8);
    return *this;
}

VoiceFileBuilder& VoiceFileBuilder::block(std::uint8_t type, std::uint32_t length, const Bytes& body)
{
    PutLE32(body_, type | length << 8);   // the type byte, then a 3-byte length
    body_.insert(body_.end(), body.begin(), body.end());
    return *this;
}

VoiceFileBuilder& VoiceFileBuilder::soundBlock(std::uint8_t timeConstant, const Bytes& samples)
{
    Bytes body{timeConstant, 0};
    body.insert(body.end(), samples.begin(), samples.end());
    return block(1, body);
}

VoiceFileBuilder& VoiceFileBuilder::terminator()
{
    body_.push_back(0);
    return *this;
}

VoiceFileBuilder& VoiceFileBuilder::raw(const Bytes& bytes)
{
    body_.insert(body_.end(), bytes.begin(), bytes.end());
    return *this;
}

Bytes VoiceFileBuilder::build() const
{
    Bytes file = header_;
    file.insert(file.end(), body_.begin(), body_.end());
    return file;
}

Bytes Ramp(std::size_t n, std::uint8_t start)
{
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = std::uint8_t(start + i);
    return bytes;
}

Bytes WaveImage(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, const Bytes& samples,
    std::uint16_t subFormat)
{
    const bool extensible = tag == 0xFFFE;
    const std::uint16_t blockAlign = std::uint16_t(channels * bits / 8);
    const std::size_t pad = samples.size() % 2;
    Bytes image = ToBytes("RIFF");
    PutLE32(image, std::uint32_t((extensible ? 60 : 36) + samples.size() + pad));
    PutText(image, "WAVEfmt ");
    PutLE32(image, extensible ? 40 : 16);
    PutLE16(image, tag);
    PutLE16(image, channels);
    PutLE32(image, rate);
    PutLE32(image, rate * blockAlign);
    PutLE16(image, blockAlign);
    PutLE16(image, bits);
    if (extensible) {
        PutLE16(image, 22);
        PutLE16(image, bits);
        PutLE32(image, 0);
        PutLE16(image, subFormat);
        PutText(image, std::string_view("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14));
    }
    PutText(image, "data");
    PutLE32(image, std::uint32_t(samples.size()));
    image.insert(image.end(), samples.begin(), samples.end());
    image.resize(image.size() + pad, 0);
    return image;
}

Bytes PcmWave(std::uint32_t dataBytes)
{
    Bytes image = WaveImage(1, 1, 11025, 8, Ramp(dataBytes, 0x40));
    image.resize(44 + dataBytes);   // an odd data chunk loses its pad byte
    WriteLE32(&image[4], 36 + dataBytes);
    return image;
}

} // namespace jbx::testing
