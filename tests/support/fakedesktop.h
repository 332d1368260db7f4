#pragma once

// A scripted desktop for tests: every call is recorded, and every question is answered from a queue the test fills
// beforehand. A question asked with an empty queue fails the test, so no dialog goes unnoticed.

#include "app/mainwindowview.h"
#include "seam/desktop.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace jbx::testing {

class FakeMainWindow : public MainWindowView {
public:
    void setCaption(const std::string& text) override
    {
        caption = text;
        captions.push_back(text);
    }
    std::string nameText() const override { return name.substr(0, 8); }
    void setNameText(const std::string& text) override { name = text; }
    void setSizeText(const std::string& text) override { sizeText = text; }
    void setExtractEnabled(bool enabled) override { extractEnabled = enabled; }
    void focusSoundButton(int slotNumber) override { focusedButton = slotNumber; }

    std::string caption;
    std::vector<std::string> captions;   // every caption set, in order
    std::string name = "(none)";
    std::string sizeText;
    bool extractEnabled = true;
    int focusedButton = 0;
};

class FakeDesktop : public Desktop {
public:
    MessageAnswer showMessage(const Message& message) override;
    UnknownBlockChoice askUnknownBlock(const UnknownBlockDetails& details, Owner owner) override;
    std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override;
    void playSound(SoundData image) override { played.push_back(std::move(image)); }
    bool shiftHeld() const override { return shift; }
    void openProgress() override { progress.push_back(-1); }
    void setProgress(int position) override { progress.push_back(position); }
    void closeProgress() override { progress.push_back(-2); }

    std::deque<MessageAnswer> messageAnswers;          // for Yes/No questions
    std::deque<UnknownBlockChoice> unknownBlockAnswers;
    std::deque<std::optional<ChosenFile>> fileAnswers;
    bool shift = false;
    // Run once while the next unknown-block question is up, as a click or a drop arriving then would be.
    std::function<void()> duringUnknownBlockQuestion;

    std::vector<Message> messages;
    std::vector<std::pair<UnknownBlockDetails, Owner>> unknownBlockQuestions;
    std::vector<FileDialogRequest> fileDialogs;
    std::vector<SoundData> played;
    std::vector<int> progress;   // -1 opened, -2 closed, else positions
};

} // namespace jbx::testing
