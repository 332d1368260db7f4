#pragma once

// The fuzz targets' desktop answers every question from a source of choices
// (a seed, or the fuzzer's own bytes), so that a saved crash replays alike.

#include "bank/soundbank.h"
#include "seam/desktop.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (false)

// One folder per process (libFuzzer may end the process without running
// exit handlers, so a target empties it rather than removing it).
inline const std::filesystem::path& ScratchFolder()
{
    static const std::filesystem::path folder = [] {
        auto path = std::filesystem::temp_directory_path() / ("fuzz-" + std::to_string(std::random_device()()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

inline void WriteFuzzFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file && std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0);
}

// Each slot's buffer holds its sound and the byte after it.
inline void CheckSlots(const jbx::SoundBank& bank)
{
    for (const jbx::SoundSlot& slot : bank.slots) {
        FUZZ_CHECK(slot.data && slot.size >= 0);
        FUZZ_CHECK(slot.data->size() >= std::size_t(slot.size) + 1);
        FUZZ_CHECK(slot.name.size() <= jbx::kSlotNameLimit);
    }
}

class FuzzDesktop : public jbx::Desktop {
public:
    // choose(n) gives a number below n.
    explicit FuzzDesktop(std::function<unsigned(unsigned)> choose) : choose_(std::move(choose)) {}
    explicit FuzzDesktop(unsigned seed)
        : FuzzDesktop([seed, count = 0u](unsigned n) mutable { return (seed + count++) % n; })
    {
    }

    std::optional<jbx::ChosenFile> nextFile;   // what the next file dialog chooses
    bool shift = false;                        // held for the next click only

    jbx::MessageAnswer showMessage(const jbx::Message& message) override
    {
        if (message.buttons == jbx::MessageButtons::Ok)
            return jbx::MessageAnswer::Ok;
        return choose_(2) ? jbx::MessageAnswer::Yes : jbx::MessageAnswer::No;
    }
    jbx::UnknownBlockChoice askUnknownBlock(const jbx::UnknownBlockDetails&, jbx::Owner) override
    {
        return jbx::UnknownBlockChoice(choose_(3));
    }
    std::optional<jbx::ChosenFile> chooseFile(const jbx::FileDialogRequest&) override
    {
        shift = false;
        return std::exchange(nextFile, std::nullopt);
    }
    void playSound(jbx::SoundData) override {}
    bool shiftHeld() const override { return shift; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}

private:
    std::function<unsigned(unsigned)> choose_;
};
