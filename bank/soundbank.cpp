#include "bank/soundbank.h"

namespace jbx {

void NewBank(Session& session)
{
    SoundBank& bank = session.bank;
    bank.bankTitle = kUntitled;
    bank.creditsConfirmed = false;
    bank.credits = {};
    for (SoundSlot& slot : bank.slots) {
        slot.data = MakeSoundData(1);
        slot.name = kNoName;
        slot.fileOffset = 0;
        slot.size = 0;
    }
}

std::string FileTitleFromPath(std::string_view path, PathStyle style)
{
    const char separator = style == PathStyle::Windows ? '\\' : '/';
    const auto last = path.rfind(separator);
    return std::string(last == std::string_view::npos ? path : path.substr(last + 1));
}

std::string FileTitleFromPath(std::string_view path)
{
    return FileTitleFromPath(path, kNativePathStyle);
}

} // namespace jbx
