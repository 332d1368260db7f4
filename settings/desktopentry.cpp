#include "settings/desktopentry.h"

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
           "NoDisplay=false\n";
}

} // namespace jbx
