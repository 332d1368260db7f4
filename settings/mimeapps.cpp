#include "settings/mimeapps.h"

#include "settings/xdgtext.h"

#include <optional>
#include <vector>

namespace jbx {

namespace {

constexpr std::string_view kDefaultGroup = "Default Applications";
constexpr std::string_view kAddedGroup = "Added Associations";
constexpr std::string_view kRemovedGroup = "Removed Associations";

bool IsGroupHeader(std::string_view line, std::string_view* name = nullptr)
{
    const std::string_view text = xdg::Trim(line);
    if (text.size() < 2 || text.front() != '[' || text.back() != ']')
        return false;
    if (name)
        *name = text.substr(1, text.size() - 2);
    return true;
}

std::optional<std::string_view> KeyOf(std::string_view line)
{
    const std::string_view text = xdg::Trim(line);
    if (text.empty() || text.front() == '#' || text.front() == '[')
        return std::nullopt;
    const auto equals = text.find('=');
    if (equals == std::string_view::npos)
        return std::nullopt;
    return xdg::Trim(text.substr(0, equals));
}

std::vector<std::string> SplitHandlers(std::string_view value)
{
    std::vector<std::string> handlers;
    while (!value.empty()) {
        const auto end = value.find(';');
        const std::string_view handler = xdg::Trim(value.substr(0, end));
        if (!handler.empty())
            handlers.emplace_back(handler);
        if (end == std::string_view::npos)
            break;
        value.remove_prefix(end + 1);
    }
    return handlers;
}

void AddUnique(std::vector<std::string>& list, const std::string& handler)
{
    for (const std::string& present : list) {
        if (present == handler)
            return;
    }
    list.push_back(handler);
}

struct TakenEntries {
    std::vector<std::string> handlers;   // in file order, as listed
    std::size_t position = std::string::npos;
};

// Takes every line of `group` with the key mimeType out of lines. The
// position is where the first of them was, else just after the last
// non-blank line of the group's first section, else npos (no such group).
TakenEntries TakeEntries(std::vector<std::string>& lines, std::string_view group,
                         std::string_view mimeType)
{
    TakenEntries taken;
    std::size_t sectionEnd = std::string::npos;
    bool inGroup = false;
    bool firstSection = true;
    std::size_t i = 0;
    while (i < lines.size()) {
        std::string_view name;
        if (IsGroupHeader(lines[i], &name)) {
            if (inGroup)
                firstSection = false;
            inGroup = name == group;
            if (inGroup && firstSection)
                sectionEnd = i + 1;
            ++i;
            continue;
        }
        if (inGroup) {
            const auto key = KeyOf(lines[i]);
            if (key && xdg::EqualsIgnoringCase(*key, mimeType)) {
                const std::string_view line = lines[i];
                for (std::string& handler : SplitHandlers(line.substr(line.find('=') + 1)))
                    taken.handlers.push_back(std::move(handler));
                if (taken.position == std::string::npos)
                    taken.position = i;
                lines.erase(lines.begin() + std::ptrdiff_t(i));
                if (firstSection && sectionEnd > i)
                    --sectionEnd;
                continue;
            }
            if (firstSection && !xdg::Trim(lines[i]).empty())
                sectionEnd = i + 1;
        }
        ++i;
    }
    if (taken.position == std::string::npos)
        taken.position = sectionEnd;
    return taken;
}

void PutEntry(std::vector<std::string>& lines, std::string_view group, std::size_t position,
              std::string entry)
{
    if (position != std::string::npos) {
        lines.insert(lines.begin() + std::ptrdiff_t(position), std::move(entry));
        return;
    }
    if (!lines.empty() && !xdg::Trim(lines.back()).empty())
        lines.emplace_back();
    lines.push_back("[" + std::string(group) + "]");
    lines.push_back(std::move(entry));
}

std::string JoinHandlers(const std::vector<std::string>& handlers)
{
    std::string value;
    for (const std::string& handler : handlers)
        value += handler + ";";
    return value;
}

bool ListsHandler(const std::vector<std::string>& lines, std::string_view group,
                  std::string_view mimeType, std::string_view desktopId)
{
    bool inGroup = false;
    for (const std::string& line : lines) {
        std::string_view name;
        if (IsGroupHeader(line, &name)) {
            inGroup = name == group;
            continue;
        }
        const auto key = KeyOf(line);
        if (!inGroup || !key || !xdg::EqualsIgnoringCase(*key, mimeType))
            continue;
        for (const std::string& handler : SplitHandlers(std::string_view(line).substr(line.find('=') + 1))) {
            if (handler == desktopId)
                return true;
        }
    }
    return false;
}

} // namespace

std::string UpdateMimeAppsList(std::string_view text, std::string_view mimeType,
                               std::string_view desktopId)
{
    std::vector<std::string> lines = xdg::SplitLines(text);
    const std::string handler(desktopId);
    const std::string key(mimeType);

    TakenEntries defaults = TakeEntries(lines, kDefaultGroup, mimeType);
    PutEntry(lines, kDefaultGroup, defaults.position, key + "=" + handler);

    // The handlers that were the default stay offered, after this one.
    TakenEntries added = TakeEntries(lines, kAddedGroup, mimeType);
    std::vector<std::string> handlers{handler};
    for (const std::string& other : defaults.handlers)
        AddUnique(handlers, other);
    for (const std::string& other : added.handlers)
        AddUnique(handlers, other);
    PutEntry(lines, kAddedGroup, added.position, key + "=" + JoinHandlers(handlers));

    // A removal of this handler would hide it again; other removals stand.
    if (ListsHandler(lines, kRemovedGroup, mimeType, desktopId)) {
        TakenEntries removed = TakeEntries(lines, kRemovedGroup, mimeType);
        std::vector<std::string> stillRemoved;
        for (const std::string& other : removed.handlers) {
            if (other != handler)
                AddUnique(stillRemoved, other);
        }
        if (!stillRemoved.empty())
            PutEntry(lines, kRemovedGroup, removed.position, key + "=" + JoinHandlers(stillRemoved));
    }

    std::string result;
    for (const std::string& line : lines)
        result += line + "\n";
    return result;
}

} // namespace jbx
