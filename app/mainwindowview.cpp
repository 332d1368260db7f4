#include "app/mainwindowview.h"

#include "bank/bankloader.h"
#include "bank/soundbank.h"

namespace jbx {

void UpdateMainTitle(const SoundBank& bank, MainWindowView& window)
{
    UpdateMainTitle(bank.bankTitle, window);
}

void UpdateMainTitle(std::string_view bankTitle, MainWindowView& window)
{
    window.setCaption(std::string(kCaptionPrefix) + std::string(bankTitle));
}

void NewBank(Session& session, MainWindowView& window)
{
    NewBank(session);
    UpdateMainTitle(session.bank, window);
    window.setNameText(std::string(kNoName));
    window.setSizeText({});
    window.setExtractEnabled(false);
}

void ShowLoadedBank(const SoundBank& bank, LoadResult result, MainWindowView& window)
{
    if (result != LoadResult::Loaded)
        window.setExtractEnabled(false);
    window.setNameText(std::string(kNoName));
    window.setSizeText({});
    UpdateMainTitle(bank, window);
}

} // namespace jbx
