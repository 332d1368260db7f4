#pragma once

// A desktop for the fuzz targets that answer every question
// from a seed and a count, so that a saved crash input replays the same
// answers.

#include "seam/desktop.h"

#include <cstdio>
#include <cstdlib>
#include <string>

class FuzzDesktop : public jbx::Desktop {
public:
    explicit FuzzDesktop(unsigned seed) : seed_(seed) {}
    jbx::MessageAnswer showMessage(const jbx::Message& message) override
    {
        if (message.buttons == jbx::MessageButtons::Ok)
            return jbx::MessageAnswer::Ok;
        return (seed_ + questions_++) % 2 ? jbx::MessageAnswer::Yes : jbx::MessageAnswer::No;
    }
    jbx::UnknownBlockChoice askUnknownBlock(const jbx::UnknownBlockDetails&, jbx::Owner) override
    {
        return jbx::UnknownBlockChoice((seed_ / 2 + questions_++) % 3);
    }
    std::optional<jbx::ChosenFile> chooseFile(const jbx::FileDialogRequest&) override { return {}; }
    void playSound(jbx::SoundData) override {}
    bool shiftHeld() const override { return false; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}

private:
    unsigned seed_;
    unsigned questions_ = 0;
};

// Ends the run with the failed condition's text when it does not hold.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (false)
