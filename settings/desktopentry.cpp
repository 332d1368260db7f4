#include "settings/desktopentry.h"

#include "settings/xdgtext.h"

#include <optional>

namespace jbx {

namespace {

// The backslash escapes of a string value.
std::string EscapeStringValue(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '\\': escaped += "\\\\"; break;
        case '\n': escaped += "\\n"; break;
        case '\t': escaped += "\\t"; break;
        case '\r': escaped += "\\r"; break;
        default: escaped += c; break;
        }
    }
    return escaped;
}

} // namespace

std::string DesktopExecProgram(const std::string& programPath)
{
    constexpr std::string_view reserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string argument;
    if (programPath.find_first_of(reserved) == std::string::npos) {
        argument = programPath;
    } else {
        argument = "\"";
        for (char c : programPath) {
            if (c == '"' || c == '`' || c == '$' || c == '\\')
                argument += '\\';
            argument += c;
        }
        argument += '"';
    }

    std::string withFieldCodes;
    for (char c : argument) {
        withFieldCodes += c;
        if (c == '%')
            withFieldCodes += '%';
    }
    return EscapeStringValue(withFieldCodes);
}

std::string BankDesktopEntry(const std::string& programPath, const std::string& iconField,
                             std::string_view mimeType)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + std::string(kDesktopEntryName) + "\n"
           "Exec=" + DesktopExecProgram(programPath) + " %f\n"
           "Icon=" + EscapeStringValue(iconField) + "\n"
           "MimeType=" + std::string(mimeType) + ";\n"
           "Categories=AudioVideo;Audio;\n"
           "Terminal=false\n"
           "NoDisplay=true\n";
}

namespace {

// The value of key in the [Desktop Entry] group, without the backslash
// escapes of the file format; nothing when the group has no such key.
std::optional<std::string> EntryValue(std::string_view text, std::string_view key)
{
    bool inGroup = false;
    for (const std::string& line : xdg::SplitLines(text)) {
        const std::string_view trimmed = xdg::Trim(line);
        if (trimmed.starts_with('[')) {
            inGroup = trimmed == "[Desktop Entry]";
            continue;
        }
        const std::size_t equals = trimmed.find('=');
        if (!inGroup || equals == std::string_view::npos || xdg::Trim(trimmed.substr(0, equals)) != key)
            continue;
        const std::string_view raw = xdg::Trim(trimmed.substr(equals + 1));
        std::string value;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '\\' || i + 1 == raw.size()) {
                value += raw[i];
                continue;
            }
            switch (raw[++i]) {
            case 's': value += ' '; break;
            case 'n': value += '\n'; break;
            case 't': value += '\t'; break;
            case 'r': value += '\r'; break;
            default: value += raw[i]; break;
            }
        }
        return value;
    }
    return std::nullopt;
}

// The program of an Exec value: its first argument, quotes undone.
std::string ExecProgram(std::string_view exec)
{
    std::string program;
    if (!exec.starts_with('"'))
        return std::string(exec.substr(0, exec.find_first_of(" \t")));
    for (std::size_t i = 1; i < exec.size() && exec[i] != '"'; ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size())
            ++i;
        program += exec[i];
    }
    return program;
}

} // namespace

bool IsEntryStartingProgram(std::string_view entryText, std::string_view programFileName)
{
    if (EntryValue(entryText, "Type") != "Application" || EntryValue(entryText, "Hidden") == "true")
        return false;
    const std::optional<std::string> exec = EntryValue(entryText, "Exec");
    if (!exec || programFileName.empty())
        return false;
    const std::string program = ExecProgram(*exec);
    const std::size_t slash = program.rfind('/');
    return std::string_view(program).substr(slash == std::string::npos ? 0 : slash + 1) == programFileName;
}

bool IsFormerAssociationEntry(std::string_view entryText)
{
    return entryText.starts_with("[Desktop Entry]\nType=Application\nName=" + std::string(kDesktopEntryName) + "\nExec=")
        && entryText.ends_with("\nNoDisplay=false\n");
}

} // namespace jbx
