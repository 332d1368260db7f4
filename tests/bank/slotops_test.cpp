#include "bank/slotops.h"

#include <gtest/gtest.h>

#include <optional>

namespace jbx {
namespace {

// Titles are UTF-8, names eight Windows-1252 bytes; what the code page lacks is a '?' the tool refuses.
TEST(SlotName, FromFileTitlesInTheBanksCodePage)
{
    const struct {
        const char* title;
        const char* name;
        std::optional<char32_t> unheld;
    } names[] = {
        {"drum.loop.wav", "drum", {}},
        {"noext", "noext", {}},
        {"verylongname.wav", "verylong", {}},
        {".hidden.wav", ".hidden", {}},
        {"\u00DCberraschung.wav", "\xDC" "berrasc", {}},
        {"\u20ACuro.wav", "\x80uro", {}},
        {"\u0436\u0443\u043A.wav", "???", U'\u0436'},
        {"lautst\u00E4rke\u0436.wav", "lautst\xE4r", {}},
        {"ab\xE9.wav", "ab?", U'\uFFFD'},
    };
    for (const auto& c : names) {
        EXPECT_EQ(SlotNameFromFileTitle(c.title), c.name) << c.title;
        EXPECT_EQ(UnheldSlotNameCharacter(c.title), c.unheld) << c.title;
    }
}

} // namespace
} // namespace jbx
