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
    std::string log;                           // what the user was shown and asked, and the answers

    jbx::MessageAnswer showMessage(const jbx::Message& message) override
    {
        jbx::MessageAnswer answer = jbx::MessageAnswer::Ok;
        if (message.buttons != jbx::MessageButtons::Ok)
            answer = choose_(2) ? jbx::MessageAnswer::Yes : jbx::MessageAnswer::No;
        log += message.caption + ": " + message.text + " -> " + std::to_string(int(answer)) + '\n';
        return answer;
    }
    jbx::UnknownBlockChoice askUnknownBlock(const jbx::UnknownBlockDetails& details, jbx::Owner) override
    {
        const auto choice = jbx::UnknownBlockChoice(choose_(3));
        log += "block " + std::to_string(details.blockType) + " " + std::to_string(details.blockLength) + " -> "
            + std::to_string(int(choice)) + '\n';
        return choice;
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
