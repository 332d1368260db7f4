#include "tests/bank/bankfiles.h"

#include "bank/bankformat.h"
#include "tests/support/testfiles.h"

namespace jbx::testing {

Bytes LayOutBank(const TestBank& bank)
{
    Bytes file;
    PutText(file, bank.magic);
    PutLE32(file, bank.lumpCount);
    PutLE32(file, 0);   // directory offset, filled in below

    std::array<std::uint32_t, 10> offsets{};
    for (std::size_t i = 0; i < bank.sounds.size(); ++i) {
        offsets[i] = std::uint32_t(file.size());
        file.insert(file.end(), bank.sounds[i].data.begin(), bank.sounds[i].data.end());
    }
    const auto creditsOffset = std::uint32_t(file.size());
    if (bank.fileInfo)
        file.insert(file.end(), bank.fileInfo->begin(), bank.fileInfo->end());

    Poke32(file, 8, std::uint32_t(file.size()));
    const auto append = [&file](const Bytes& bytes) { file.insert(file.end(), bytes.begin(), bytes.end()); };
    append(EntryBytes(0, 0, bank.startName));
    for (std::size_t i = 0; i < bank.sounds.size(); ++i)
        append(EntryBytes(offsets[i], std::uint32_t(bank.sounds[i].data.size()), bank.sounds[i].name));
    append(EntryBytes(0, 0, bank.stopName));
    if (bank.fileInfo)
        append(EntryBytes(creditsOffset, std::uint32_t(bank.fileInfo->size()), "FILEINFO"));
    if (bank.trailer)
        append(TrailerBytes());
    return file;
}

Bytes CreditsLump(std::string_view author, std::string_view description, std::string_view date)
{
    Bytes lump;
    for (std::string_view text : {author, description, date}) {
        PutText(lump, text);
        lump.push_back(0);
    }
    return lump;
}

Bytes TrailerBytes()
{
    return ToBytes(kCreditTrailer);
}

Bytes FakeWave(std::size_t n, std::uint8_t seed)
{
    Bytes image = Ramp(n, seed);
    const std::string_view riff = "RIFF";
    for (std::size_t i = 0; i < riff.size() && i < n; ++i)
        image[i] = std::uint8_t(riff[i]);
    return image;
}

Bytes NameField(std::string_view name)
{
    Bytes field(name.begin(), name.end());
    field.resize(8, 0);
    return field;
}

Bytes EntryBytes(std::uint32_t offset, std::uint32_t size, std::string_view name)
{
    Bytes entry;
    PutLE32(entry, offset);
    PutLE32(entry, size);
    const Bytes field = NameField(name);
    entry.insert(entry.end(), field.begin(), field.end());
    return entry;
}

std::uint32_t DirectoryOffset(const Bytes& file)
{
    return Peek32(file, 8);
}

std::size_t EntryPosition(const Bytes& file, int entry)
{
    return DirectoryOffset(file) + 16 * std::size_t(entry);
}

void Poke32(Bytes& file, std::size_t position, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i)
        file.at(position + i) = std::uint8_t(value >> (8 * i));
}

std::uint32_t Peek32(const Bytes& file, std::size_t position)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= std::uint32_t(file.at(position + i)) << (8 * i);
    return value;
}

} // namespace jbx::testing
