#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace jbx {

using Bytes = std::vector<std::uint8_t>;

// A slot's sound buffer. Shared so that the player can keep playing a buffer
// that the slot has already replaced.
using SoundData = std::shared_ptr<Bytes>;

// What a slot's buffer holds after its last sound byte, which Extract
// writes but Save does not.
inline constexpr std::uint8_t kPadByte = 0x80;

// A new zero-filled sound buffer of n bytes.
inline SoundData MakeSoundData(std::size_t n)
{
    return std::make_shared<Bytes>(n);
}

inline std::uint32_t ReadLE32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16
        | std::uint32_t(p[3]) << 24;
}

inline std::uint16_t ReadLE16(const std::uint8_t* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

inline void WriteLE32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

inline void WriteLE16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

// Where a writer puts its bytes. write() returns false once anything failed.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;

    // Copies up to length bytes of the open file descriptor from offset on
    // without passing them through the program, where the platform can.
    // Returns how many it copied, which may be fewer or none (the caller
    // then copies the rest itself), or -1 once a write failed.
    virtual std::int64_t copyDirect(int /*descriptor*/, std::int64_t /*offset*/, std::int64_t /*length*/)
    {
        return 0;
    }
};

class MemorySink : public ByteSink {
public:
    bool write(std::span<const std::uint8_t> bytes) override
    {
        data.insert(data.end(), bytes.begin(), bytes.end());
        return true;
    }
    Bytes data;
};

} // namespace jbx
