#include "cli/text.h"

#include <cstdint>

namespace jbx {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

// C0, DEL and the C1 range, which Latin-1 leaves as controls too.
bool IsControl(std::uint8_t c)
{
    return c < 0x20 || (c >= 0x7f && c < 0xa0);
}

void AppendUtf8(std::string& out, std::uint8_t c)
{
    if (c < 0x80) {
        out += char(c);
        return;
    }
    out += char(0xc0 | c >> 6);
    out += char(0x80 | (c & 0x3f));
}

} // namespace

std::string Latin1ToUtf8(std::string_view latin1)
{
    std::string out;
    out.reserve(latin1.size());
    for (const char c : latin1)
        AppendUtf8(out, std::uint8_t(c));
    return out;
}

std::string JsonString(std::string_view latin1)
{
    std::string out = "\"";
    for (const char ch : latin1) {
        const auto c = std::uint8_t(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHexDigits[c >> 4];
                out += kHexDigits[c & 0xf];
            } else {
                AppendUtf8(out, c);
            }
        }
    }
    out += '"';
    return out;
}

std::string PrintableText(std::string_view latin1)
{
    std::string out;
    for (const char ch : latin1) {
        const auto c = std::uint8_t(ch);
        if (IsControl(c)) {
            out += "\\x";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 0xf];
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

std::size_t CharacterCount(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8)
        if ((std::uint8_t(c) & 0xc0) != 0x80)
            ++count;
    return count;
}

} // namespace jbx
