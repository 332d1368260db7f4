#include "app/credits.h"

#include "bank/singlebytetext.h"
#include "bank/soundbank.h"
#include "seam/desktop.h"

#include <algorithm>

namespace jbx {

namespace {

// What a character of the description box takes of its limit.
std::size_t StoredWeight(char16_t c)
{
    return IsDescriptionLineBreak(c) ? 2 : 1;
}

std::string DescriptionForBox(const std::string& stored)
{
    std::string text;
    text.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n')
            continue;
        text += stored[i];
    }
    return text;
}

// A description loaded from a file may be longer than the box takes; like
// the box's own limit, storing keeps the first characters only, and never
// half a line break.
std::string DescriptionFromBox(std::string_view box)
{
    std::string text;
    text.reserve(box.size() + 16);
    for (const char c : box) {
        if (c == '\n')
            text += "\r\n";
        else
            text += c;
    }
    if (text.size() > kTypedDescriptionLimit) {
        text.resize(kTypedDescriptionLimit);
        if (text.back() == '\r')
            text.pop_back();
    }
    return text;
}

std::string Cut(std::string_view text, std::size_t limit)
{
    return std::string(text.substr(0, limit));
}

} // namespace

bool IsDescriptionLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\u2028' || c == u'\u2029';
}

std::vector<bool> KeptOfDescriptionInsertion(
    std::u16string_view boxText, std::size_t position, std::size_t count)
{
    position = std::min(position, boxText.size());
    const std::size_t end = position + std::min(count, boxText.size() - position);
    std::vector<bool> keep(end - position, true);

    std::size_t length = 0;
    for (const char16_t c : boxText)
        length += StoredWeight(c);
    for (std::size_t i = position; i < end; ++i) {
        if (!IsDescriptionLineBreak(boxText[i]) && !IsSingleByteCharacter(boxText[i])) {
            keep[i - position] = false;
            length -= StoredWeight(boxText[i]);
        }
    }
    for (std::size_t i = end; i > position && length > kTypedDescriptionLimit; --i) {
        if (keep[i - 1 - position]) {
            keep[i - 1 - position] = false;
            length -= StoredWeight(boxText[i - 1]);
        }
    }
    return keep;
}

CreditsEditor::CreditsEditor(SoundBank& bank, Desktop& desktop) : bank_(bank), desktop_(desktop)
{
}

CreditsPlacement CreditsEditor::openingTexts() const
{
    const BankCredits& credits = bank_.credits;
    if (bank_.creditsConfirmed && credits.empty())
        return {"", std::string(kNoCreditsText), ""};

    CreditsPlacement placement;
    if (!credits.author.empty())
        placement.author = credits.author;
    if (!credits.description.empty())
        placement.description = DescriptionForBox(credits.description);
    if (!credits.dateFinished.empty())
        placement.dateFinished = credits.dateFinished;
    return placement;
}

void CreditsEditor::accept(const CreditsBoxes& boxes)
{
    // Untouched boxes are stored too, template texts included: the user saw
    // them and let them stand.
    if (edited_) {
        bank_.credits.author = Cut(boxes.author, kAuthorLimit);
        bank_.credits.description = DescriptionFromBox(boxes.description);
        bank_.credits.dateFinished = Cut(boxes.dateFinished, kDateFinishedLimit);
    }
    bank_.creditsConfirmed = true;
}

std::optional<CreditsPlacement> CreditsEditor::erase()
{
    if (!AskYesNo(desktop_, kEraseCreditsQuestion, MessageIcon::Exclamation, Owner::Dialog))
        return std::nullopt;

    bank_.credits = BankCredits{};
    bank_.creditsConfirmed = true;
    edited_ = false;
    return openingTexts();
}

} // namespace jbx
