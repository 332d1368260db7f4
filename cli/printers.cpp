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

} // namespace jbx
