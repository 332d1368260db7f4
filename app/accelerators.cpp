#include "app/accelerators.h"

namespace jbx {

namespace {

// Keys the table can hold as the resource compiler spells them; anything
// else goes in as its number.
std::string KeyInScript(int key)
{
    if (key >= kVirtualKeyF1 && key <= kVirtualKeyF24)
        return "VK_F" + std::to_string(key - kVirtualKeyF1 + 1);
    if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        return std::string{'"', char(key), '"'};
    return std::to_string(key);
}

} // namespace

std::string AcceleratorResourceScript()
{
    std::string script = std::to_string(kAcceleratorTableId) + " ACCELERATORS\nBEGIN\n";
    for (const Accelerator& entry : kAcceleratorTable) {
        script += "    " + KeyInScript(entry.key) + ", " + std::to_string(entry.command) + ", VIRTKEY";
        if (entry.alt)
            script += ", ALT";
        script += "\n";
    }
    script += "END\n";
    return script;
}

} // namespace jbx
