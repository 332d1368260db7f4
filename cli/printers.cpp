#include "cli/printers.h"

#include "cli/text.h"

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace jbx {

namespace {

std::string_view LoadErrorName(LoadResult result)
{
    switch (result) {
    case LoadResult::Loaded:
        break;
    case LoadResult::CannotOpen:
        return "cannot open";
    case LoadResult::NotABank:
        return "not a bank";
    case LoadResult::OutOfMemory:
        return "out of memory";
    }
    return {};
}

// What a slot holds, as a JSON name.
std::string_view ContentName(SlotContent content)
{
    switch (content) {
    case SlotContent::Empty:
        return "empty";
    case SlotContent::PcmWave:
        return "pcm-wave";
    case SlotContent::OtherWave:
        return "other-wave";
    case SlotContent::Voice:
        return "voice";
    case SlotContent::RefusedVoice:
        return "refused-voice";
    case SlotContent::NotASound:
        return "not-sound";
    }
    return {};
}

void PrintFindings(std::string_view kind, const std::vector<std::string>& texts, std::ostream& out)
{
    for (const std::string& text : texts)
        out << "; " << kind << ": " << text;
}

void PrintJsonTexts(const std::vector<std::string>& texts, std::ostream& out)
{
    out << '[';
    for (std::size_t i = 0; i < texts.size(); ++i)
        out << (i > 0 ? ", " : "") << JsonUtf8String(texts[i]);
    out << ']';
}

} // namespace

void PrintInfoText(const SoundBank& bank, bool accepted, std::ostream& out)
{
    constexpr std::size_t nameWidth = 10;
    out << "Accepted: " << (accepted ? "yes" : "no") << '\n'
        << "Slot  Name          Offset        Size\n";
    for (int n = 1; n <= kSlotCount; ++n) {
        const SoundSlot& slot = bank.slot(n);
        const std::string name = PrintableText(slot.name);
        const std::size_t width = CharacterCount(name);
        const std::string offset = std::to_string(slot.fileOffset);
        const std::string size = std::to_string(slot.size);
        out << std::string(n < 10 ? 3 : 2, ' ') << n << "  " << name
            << std::string(width < nameWidth ? nameWidth - width : 1, ' ')
            << std::string(offset.size() < 10 ? 10 - offset.size() : 0, ' ') << offset << "  "
            << std::string(size.size() < 10 ? 10 - size.size() : 0, ' ') << size << '\n';
    }
    out << "Author: " << PrintableText(bank.credits.author) << '\n'
        << "Description: " << PrintableText(bank.credits.description) << '\n'
        << "Date finished: " << PrintableText(bank.credits.dateFinished) << '\n';
}

void PrintInfoJson(const SoundBank& bank, LoadResult result, std::ostream& out)
{
    out << "{\n  \"accepted\": " << (result == LoadResult::Loaded ? "true" : "false") << ",\n";
    if (result != LoadResult::Loaded)
        out << "  \"error\": \"" << LoadErrorName(result) << "\",\n";
    out << "  \"slots\": [\n";
    for (int n = 1; n <= kSlotCount; ++n) {
        const SoundSlot& slot = bank.slot(n);
        out << "    {\"slot\": " << n << ", \"name\": " << JsonString(slot.name) << ", \"offset\": "
            << slot.fileOffset << ", \"size\": " << slot.size << '}' << (n < kSlotCount ? ",\n" : "\n");
    }
    out << "  ],\n  \"credits\": {\"author\": " << JsonString(bank.credits.author)
        << ", \"description\": " << JsonString(bank.credits.description)
        << ", \"dateFinished\": " << JsonString(bank.credits.dateFinished) << "}\n}\n";
}

void PrintCheckText(const std::string& path, LoadResult result, const std::vector<SlotCheck>& checks,
    std::ostream& out)
{
    out << "Bank " << Quoted(path);
    if (result == LoadResult::Loaded)
        out << ": accepted\n";
    else
        out << ": not accepted; problem: " << LoadErrorName(result) << '\n';
    for (const SlotCheck& check : checks) {
        out << "Slot " << check.slot << ' ' << QuotedBankText(check.name) << ": " << DescribeSound(check);
        PrintFindings("problem", check.problems, out);
        PrintFindings("warning", check.warnings, out);
        out << '\n';
    }
}

void PrintCheckJson(const std::string& path, LoadResult result, const std::vector<SlotCheck>& checks,
    std::ostream& out)
{
    out << "{\"path\": " << JsonUtf8String(path) << ", \"accepted\": "
        << (result == LoadResult::Loaded ? "true" : "false") << ", \"problems\": [";
    if (result != LoadResult::Loaded)
        out << '"' << LoadErrorName(result) << '"';
    out << "], \"slots\": [";
    for (const SlotCheck& check : checks) {
        out << (check.slot > 1 ? ", " : "") << "{\"slot\": " << check.slot << ", \"name\": "
            << JsonString(check.name) << ", \"kind\": \"" << ContentName(check.content) << '"';
        if (const auto& f = check.format) {
            out << ", \"channels\": " << f->channels << ", \"bits\": " << f->bitsPerSample
                << ", \"rate\": " << f->sampleRate << ", \"seconds\": " << FixedSeconds(f->seconds(), 3);
        } else {
            out << ", \"channels\": null, \"bits\": null, \"rate\": null, \"seconds\": null";
        }
        out << ", \"problems\": ";
        PrintJsonTexts(check.problems, out);
        out << ", \"warnings\": ";
        PrintJsonTexts(check.warnings, out);
        out << '}';
    }
    out << "]}\n";
}

} // namespace jbx
