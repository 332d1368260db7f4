#pragma once

// The bank's texts (slot names, credits) are single-byte. Front ends show
// them one character a byte (Latin-1), so that any text survives being shown
// and read back, and let the user type only what a byte can hold.

namespace jbx {

constexpr bool IsSingleByteCharacter(char32_t c)
{
    return c <= 0xFF;
}

} // namespace jbx
