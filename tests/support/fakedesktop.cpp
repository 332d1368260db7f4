#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <utility>

namespace jbx::testing {

namespace {

// The next scripted answer; a question with none left fails the test.
template <typename Answer>
Answer Next(std::deque<Answer>& answers, Answer unscripted, const std::string& question)
{
    if (answers.empty()) {
        ADD_FAILURE() << "unscripted " << question;
        return unscripted;
    }
    Answer answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

} // namespace

MessageAnswer FakeDesktop::showMessage(const Message& message)
{
    messages.push_back(message);
    if (message.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return Next(messageAnswers, MessageAnswer::No, "question: " + message.text);
}

UnknownBlockChoice FakeDesktop::askUnknownBlock(const UnknownBlockDetails& details, Owner owner)
{
    unknownBlockQuestions.emplace_back(details, owner);
    if (const auto action = std::exchange(duringUnknownBlockQuestion, nullptr))
        action();
    return Next(unknownBlockAnswers, UnknownBlockChoice::StopConversion,
        "unknown-block question for block type " + std::to_string(details.blockType));
}

std::optional<ChosenFile> FakeDesktop::chooseFile(const FileDialogRequest& request)
{
    fileDialogs.push_back(request);
    return Next(fileAnswers, std::optional<ChosenFile>(), "file dialog: " + request.title);
}

} // namespace jbx::testing
