#pragma once

// The desktop of the fuzz targets. It answers every question from a source
// of choices (a seed and a count, or the fuzzer's own bytes), so that a saved
// crash input replays the same answers.

#include "seam/desktop.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>

// Ends the run with the failed condition's text when it does not hold.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (false)

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
