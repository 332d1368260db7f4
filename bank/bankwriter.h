#pragma once

#include "bank/bytes.h"

#include <functional>
#include <span>
#include <string>

namespace jbx {

struct SoundBank;

// Where the writer puts its bytes. write() returns false once anything failed.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
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

// Called with the progress positions 0, 9, .. 81 while the sounds are
// written and 100 once their directory entries are.
using ProgressFunction = std::function<void(int position)>;

// Writes the bank in the bank file layout: header, the ten sounds back to
// back (without their pad bytes), the credits when all three texts are set,
// the directory and the trailer. Stops at the first failed write.
bool WriteBank(const SoundBank& bank, ByteSink& sink, const ProgressFunction& progress = {});

// Writes the bank to path through a temporary file that replaces path only
// when complete; on failure the file that was there is untouched.
enum class SaveResult { Saved, CannotCreate, CannotWrite };
SaveResult WriteBankFile(const SoundBank& bank, const std::string& path,
    const ProgressFunction& progress = {}, int failWriteForTesting = -1);

} // namespace jbx
