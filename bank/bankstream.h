#pragma once

// A bank read for a batch run: the directory, the names and the credits
// come in as a load brings them, but each sound stays in the file until it
// is written out, so that a bank of any size takes little memory. A voice
// lump is walked when the bank is opened, its questions asked then, and
// converted as it is written.

#include "audio/voicestream.h"
#include "bank/bankloader.h"
#include "bank/bankwriter.h"
#include "bank/soundbank.h"
#include "seam/filesystem.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace jbx {

// A voice file that is a window into a bank file (or all of a file): the
// lump's bytes, zeros where the file ended first when it was opened, as a
// loaded slot's buffer keeps them. A file cut since then reads short, and
// the file is marked failed.
class LumpSource : public VoiceSource {
public:
    LumpSource(InputFile& file, std::int64_t offset, std::int64_t size) : file_(file), offset_(offset), size_(size) {}
    std::uint64_t size() const override { return std::uint64_t(size_); }
    std::size_t read(std::uint64_t offset, std::span<std::uint8_t> into) override;
    bool copyTo(ByteSink& sink, std::uint64_t offset, std::uint64_t length) override;
    void markChanged() override { file_.markFailed(); }

private:
    InputFile& file_;
    std::int64_t offset_;
    std::int64_t size_;
};

class StreamedBank : public StoredSounds {
public:
    // Loads the bank at path into session.bank as LoadBank does, with the
    // same messages, questions and outcome, the same title, slot sizes,
    // names and credits, but with the sounds left in the file.
    LoadOutcome open(Session& session, const std::string& path, Owner owner);

    // The slot now holds a sound of its own in its buffer (a file was put
    // into it), which a save takes from there.
    void useBuffer(int slotNumber);

    // Writes bytes 0 through size of the slot, the byte after the sound
    // included, as Extract writes them from a loaded slot: to a sink, or to
    // the file at path as WriteSlotFile does.
    bool writeSlot(const SoundBank& bank, int slotNumber, ByteSink& sink);
    // The first bytes of what writeSlot writes, at most limit of them, for a
    // look at a sound's headers without reading all of it.
    Bytes slotStart(const SoundBank& bank, int slotNumber, std::size_t limit);
    WriteFileResult writeSlotFile(const SoundBank& bank, int slotNumber, const std::string& path);

    // What a slot's voice lump became on opening: an image converted as it
    // is written, or silence when the conversion refused it.
    enum class VoiceLump { None, Converted, Refused };
    VoiceLump voiceLump(int slotNumber) const;

    std::int64_t storedSize(const SoundBank& bank, int slotNumber) const override;
    bool writeStored(const SoundBank& bank, int slotNumber, ByteSink& sink) override;
    // The bank file did not give what it held when it was opened.
    bool failed() const override { return file_ && file_->failed(); }

private:
    // Where a slot's bytes are.
    struct Lump {
        enum class Kind {
            Buffer,       // in the slot's buffer
            Range,        // a range of the file
            VoiceImage,   // the image of a voice lump, converted as it is written
            Zeros,        // a voice lump the conversion refused, kept as silence
        };
        Kind kind = Kind::Buffer;
        std::int64_t offset = 0;   // Range and VoiceImage: the lump in the file
        std::int64_t size = 0;
        VoiceImagePlan plan;
    };

    std::vector<int> planLumps(Session& session, InputFile& file, Owner owner);
    // The first count bytes of the slot's sound and what follows it.
    bool writeBytes(const SoundBank& bank, int slotNumber, ByteSink& sink, std::int64_t count);

    std::unique_ptr<InputFile> file_;
    std::array<Lump, kSlotCount> lumps_;
};

} // namespace jbx
