#include "settings/options.h"

#include "seam/desktop.h"
#include "settings/settingsstore.h"

namespace jbx {

namespace {

constexpr std::uint8_t kSurpriseClickCount = 3;

} // namespace

OptionsSession::OptionsSession(SettingsStore& settings, Desktop& desktop)
    : settings_(settings), desktop_(desktop)
{
    choices_.useLastOpenDir = ReadYesNoSetting(settings_, kUseLastOpenDir);
    choices_.useLastSaveDir = ReadYesNoSetting(settings_, kUseLastSaveDir);
}

void OptionsSession::countAboutIconClick()
{
    aboutClickCount_ = std::uint8_t(aboutClickCount_ + 1);
}

void OptionsSession::aboutIconClicked()
{
    countAboutIconClick();
    // The player keeps its own reference and restarts a sound that is still
    // playing, so handing it the same image again plays it from the start.
    if (!aboutSound_) {
        const std::span<const std::uint8_t> wave = AboutSoundWave();
        aboutSound_ = std::make_shared<Bytes>(wave.begin(), wave.end());
    }
    desktop_.playSound(aboutSound_);
}

std::optional<std::string_view> OptionsSession::writtenByClicked() const
{
    if (aboutClickCount_ == kSurpriseClickCount && desktop_.shiftHeld())
        return kSurpriseText;
    return std::nullopt;
}

void OptionsSession::close(OptionsResult result, const std::function<void()>& associate)
{
    if (result != OptionsResult::Ok)
        return;
    if (associationRequested_ && associate)
        associate();
    WriteYesNoSetting(settings_, kUseLastOpenDir, choices_.useLastOpenDir);
    WriteYesNoSetting(settings_, kUseLastSaveDir, choices_.useLastSaveDir);
}

} // namespace jbx
