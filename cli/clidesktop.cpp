#include "cli/clidesktop.h"

#include <ostream>
#include <string_view>

namespace jbx {

namespace {

// Message box texts break lines for the box ("...Version.\n\nProcess
// anyway?"); on one log line a single space reads the same.
std::string OneLine(std::string_view text)
{
    std::string line;
    bool pendingSpace = false;
    for (const char c : text) {
        if (c == '\n' || c == '\r') {
            pendingSpace = !line.empty();
            continue;
        }
        if (pendingSpace)
            line += ' ';
        pendingSpace = false;
        line += c;
    }
    return line;
}

std::string_view ChoiceName(UnknownBlockChoice choice)
{
    switch (choice) {
    case UnknownBlockChoice::SkipBlock:
        return "Skip Block";
    case UnknownBlockChoice::ForceConversion:
        return "Force Conversion";
    case UnknownBlockChoice::StopConversion:
        break;
    }
    return "Stop Conversion";
}

} // namespace

CliDesktop::CliDesktop(std::ostream& messages, CliAnswers answers)
    : messages_(messages), answers_(answers)
{
}

MessageAnswer CliDesktop::showMessage(const Message& message)
{
    messages_ << "jbxtool: ";
    // "Error" and "Warning" add nothing on a terminal; a caption that names
    // where the message comes from ("VOC Conversion Error") does.
    if (message.caption != kErrorCaption && message.caption != kWarningCaption && !message.caption.empty())
        messages_ << message.caption << ": ";
    messages_ << OneLine(message.text);

    if (message.buttons == MessageButtons::Ok) {
        messages_ << '\n';
        return MessageAnswer::Ok;
    }
    if (answers_.question == MessageAnswer::Yes) {
        messages_ << " Yes (--any-version)\n";
        return MessageAnswer::Yes;
    }
    messages_ << " No (--any-version answers Yes)\n";
    return MessageAnswer::No;
}

UnknownBlockChoice CliDesktop::askUnknownBlock(const UnknownBlockDetails& details, Owner)
{
    messages_ << "jbxtool: Unknown voice file sound block. (Block ID " << details.blockType
              << ", Block Length " << details.blockLength << ") " << ChoiceName(answers_.unknownBlock);
    if (answers_.unknownBlock == UnknownBlockChoice::StopConversion)
        messages_ << " (--unknown-block=skip or force goes on)";
    messages_ << '\n';
    return answers_.unknownBlock;
}

std::optional<ChosenFile> CliDesktop::chooseFile(const FileDialogRequest&)
{
    return std::nullopt;
}

} // namespace jbx
