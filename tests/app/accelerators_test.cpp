#include "app/accelerators.h"

#include <gtest/gtest.h>

#include <string>

namespace jbx {
namespace {

// Alt+F4 is left to close the window.
TEST(AcceleratorTable, ResourceScriptListsTheKeysInOrder)
{
    std::string expected = "400 ACCELERATORS\nBEGIN\n    \"A\", 128, VIRTKEY\n";
    for (const std::string alt : {", ALT", ""}) {
        for (int n = 1; n <= 10; ++n) {
            if (n != 4 || alt.empty())
                expected += "    VK_F" + std::to_string(n) + ", " + std::to_string(99 + n) + ", VIRTKEY" + alt + "\n";
        }
    }
    for (int n = 1; n <= 10; ++n)
        expected += "    \"" + std::to_string(n % 10) + "\", " + std::to_string(99 + n) + ", VIRTKEY\n";
    EXPECT_EQ(AcceleratorResourceScript(), expected + "END\n");
}

} // namespace
} // namespace jbx
