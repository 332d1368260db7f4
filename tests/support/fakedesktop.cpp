#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <utility>

namespace jbx::testing {

MessageAnswer FakeDesktop::showMessage(const Message& message)
{
    messages.push_back(message);
    if (message.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (messageAnswers.empty()) {
        ADD_FAILURE() << "unscripted question: " << message.text;
        return MessageAnswer::No;
    }
    const MessageAnswer answer = messageAnswers.front();
    messageAnswers.pop_front();
    return answer;
}

UnknownBlockChoice FakeDesktop::askUnknownBlock(const UnknownBlockDetails& details, Owner owner)
{
    unknownBlockQuestions.emplace_back(details, owner);
    if (const auto action = std::exchange(duringUnknownBlockQuestion, nullptr))
        action();
    if (unknownBlockAnswers.empty()) {
        ADD_FAILURE() << "unscripted unknown-block question for block type " << details.blockType;
        return UnknownBlockChoice::StopConversion;
    }
    const UnknownBlockChoice answer = unknownBlockAnswers.front();
    unknownBlockAnswers.pop_front();
    return answer;
}

std::optional<ChosenFile> FakeDesktop::chooseFile(const FileDialogRequest& request)
{
    fileDialogs.push_back(request);
    if (fileAnswers.empty()) {
        ADD_FAILURE() << "unscripted file dialog: " << request.title;
        return std::nullopt;
    }
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

} // namespace jbx::testing
