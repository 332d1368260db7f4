#include "bank/soundbank.h"

#include "seam/desktop.h"

namespace jbx {

void NewBank(Session& session, MainWindowView* window)
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

    if (window) {
        UpdateMainTitle(bank, *window);
        window->setNameText(std::string(kNoName));
        window->setSizeText({});
        window->setExtractEnabled(false);
    }
}

void UpdateMainTitle(const SoundBank& bank, MainWindowView& window)
{
    window.setCaption(std::string(kCaptionPrefix) + bank.bankTitle);
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
