#pragma once

// The desktop of jbxtool: no windows and no one to ask. Messages go to a text
// stream, questions are answered from the command-line options and the
// answer is reported next to the question, so a log of the run shows what
// was decided on the user's behalf.

#include "seam/desktop.h"

#include <iosfwd>

namespace jbx {

struct CliAnswers {
    // The answer to every Yes/No question. The only one a bank load or a
    // conversion asks is the voice file's unknown-version question.
    MessageAnswer question = MessageAnswer::No;
    UnknownBlockChoice unknownBlock = UnknownBlockChoice::StopConversion;
};

class CliDesktop : public Desktop {
public:
    // Every message and answered question is written to messages, one line
    // each, prefixed with "jbxtool: ".
    CliDesktop(std::ostream& messages, CliAnswers answers);

    MessageAnswer showMessage(const Message& message) override;
    UnknownBlockChoice askUnknownBlock(const UnknownBlockDetails& details, Owner owner) override;

    // There is no one to choose a file: every file dialog is cancelled.
    std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override;

    // Nothing plays and no progress is shown on the command line.
    void playSound(SoundData) override {}
    bool shiftHeld() const override { return false; }
    void openProgress() override {}
    void setProgress(int) override {}
    void closeProgress() override {}

private:
    std::ostream& messages_;
    CliAnswers answers_;
};

} // namespace jbx
