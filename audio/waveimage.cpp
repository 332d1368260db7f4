#include "audio/waveimage.h"

namespace jbx {

bool WaveImageFits(const Bytes& image)
{
    if (image.size() < 12 || image[0] != 'R' || image[1] != 'I' || image[2] != 'F' || image[3] != 'F')
        return false;
    const std::uint64_t end = std::uint64_t(ReadLE32(image.data() + 4)) + 8;
    if (end > image.size())
        return false;
    for (std::uint64_t at = 12; at + 8 <= end;) {
        const std::uint64_t size = ReadLE32(image.data() + at + 4);
        at += 8 + size + (size & 1);
        if (at > end + 1)
            return false;
    }
    return true;
}

} // namespace jbx
