#pragma once

// The desktop of the fuzz targets. It answers every question from a source
// of choices (a seed and a count, or the fuzzer's own bytes), so that a saved
// crash input replays the same answers, and ends the run on any message the
// program does not have.

#include "seam/desktop.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

// Ends the run with the failed condition's text when it does not hold.
#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (false)

// Every text a message box of the program can show.
inline bool IsProgramMessage(const std::string& text)
{
    constexpr std::array<std::string_view, 17> known = {
        "Cannot open JBX file",
        "Not a valid JeerBox sound file",
        "Not enough memory to load the JBX file",
        "Cannot create JBX file",
        "Cannot write JBX file",
        "Cannot open sound file",
        "Not a valid sound file",
        "Cannot create sound file",
        "Not a Creative Voice File",
        "Unknown Voice File Version.\n\nProcess anyway?",
        "Failed to open wave buffer.",
        "Unable to write RIFF header",
        "Unable to write format chunk",
        "Unable to write data chunk",
        "Current changes will be lost.\n\nContinue?",
        "This action will erase the credits from memory, and they will not be saved "
        "to disk next time you save the file.\n\nContinue?",
        "You haven't entered any credits for the JBX you just saved.\n\n"
        "Click on the \"Credits...\" button in the main window to enter some.\n\n"
        "Save anyway?",
    };
    for (const std::string_view message : known) {
        if (text == message)
            return true;
    }
    // Running out of memory has a message of its own for each thing loaded.
    return text.starts_with("Not enough memory");
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
        if (!IsProgramMessage(message.text)) {
            std::fprintf(stderr, "unexpected message: \"%s\"\n", message.text.c_str());
            std::abort();
        }
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
