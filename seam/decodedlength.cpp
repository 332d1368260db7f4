#include "seam/decodedlength.h"

namespace jbx {

std::string SecondsText(std::uint64_t frames, std::uint32_t rate)
{
    const std::uint64_t tenths = rate ? (frames * 10 + rate / 2) / rate : 0;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

std::string ShortSoundReason(std::uint64_t frames, std::uint64_t declared, std::uint32_t rate)
{
    if (frames + declared / 100 + rate / 5 >= declared)
        return {};
    return "its sound ends at " + SecondsText(frames, rate) + " of " + SecondsText(declared, rate);
}

} // namespace jbx
