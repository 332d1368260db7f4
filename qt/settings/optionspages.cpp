#include "qt/settings/optionspages.h"

#include "seam/desktop.h"
#include "qt/settings/optionssheet.h"

#include "ui_options-about.h"
#include "ui_options-contact.h"
#include "ui_options-file.h"
#include "ui_options-knownbugs.h"
#include "ui_options-tips.h"

#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include <functional>
#include <utility>

namespace jbx {

namespace {

// The texts keep their CRLF line breaks; the text box shows each as one
// line break.
constexpr const char* kKnownBugsText =
    "*  The \"Unknown Voice File Block\" dialog box's \"Details\" button doesn't work correctly with "
    "font sizes other than 8, and sometimes the buttons don't do the correct action.\r\n\r\n"
    "*  Sometimes converting a VOC file into a WAVE file (i.e. \"Replace...\" a sound with a VOC "
    "file, and then \"Export...\" it), the program won't save the WAVE file correctly (mainly Sound "
    "Recorder won't open it).  If anyone has this problem, please e-mail me the .VOC file.\r\n\r\n"
    "*  This isn't really a bug, but in this version if you load a .voc file, it will be converted "
    "into a .wav file so Windows can play it.  This means that if you load an JBX file that has VOC "
    "files in it, when you save it again they will all have become WAVs!\r\n\r\n";

constexpr const char* kTipsText =
    "*  You can load and play VOC files as well as WAV files.\r\n\r\n"
    "*  You can convert .VOC files into .WAV files by replacing a sound with a .VOC file and then "
    "extracting it.\r\n\r\n"
    "*  The Associate button on the options tab will let you load .JBX files with JBX Maker.  It is "
    "compatible with other programs as well, so if you have, say, RealPlayer, you can just "
    "right-click on the file and choose the required program to open it with.\r\n\r\n"
    "*  If you press <SHIFT> while clicking on a sound button, it will play the sound and then bring "
    "up the Replace Sound dialog box.\r\n\r\n"
    "*  You don't have to click on the sound buttons - You can press 0-9 (or rather 1-0 as 0 is "
    "sound 10)\r\n\r\n"
    "*  If your sound won't play in the game, make sure:\r\n"
    "  1. It is a valid sound file (and JBX Maker will play it).\r\n"
    "  2. It is a MONO sound - the game won't play STEREO sounds (and it might have to be 8 bit, not "
    "16 bit - I'm not sure).\r\n\r\n";

constexpr const char* kSurpriseText = "\nPretty cool, huh?";

constexpr int kIconSize = 32;

// The forms name their icons too, for the designer's preview; drawing them
// again from the icon engine keeps them sharp on high-density screens.
void ShowIcon(QLabel* label, const char* path)
{
    label->setPixmap(QIcon(QString::fromLatin1(path)).pixmap(kIconSize, kIconSize));
}

// Makes a label report clicks: a left press and release inside it. The
// second click of a double-click is not a click, so a quick double-click on
// the About icon counts once.
class ClickNotifier final : public QObject {
public:
    ClickNotifier(QLabel* label, std::function<void()> clicked)
        : QObject(label), label_(label), clicked_(std::move(clicked))
    {
        label->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != label_)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            pressed_ = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            return pressed_;
        case QEvent::MouseButtonDblClick:
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                return false;
            pressed_ = false;
            return true;
        case QEvent::MouseButtonRelease: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton)
                return false;
            const bool click = pressed_ && label_->rect().contains(mouse->position().toPoint());
            pressed_ = false;
            if (click)
                clicked_();
            return true;
        }
        default:
            return false;
        }
    }

private:
    QLabel* label_;
    std::function<void()> clicked_;
    bool pressed_ = false;
};

} // namespace

FilePage::FilePage(OptionsChoices& choices, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsFilePage>()), choices_(choices)
{
    ui_->setupUi(this);
    (choices_.useLastOpenDir ? ui_->openLastUsedRadio : ui_->openCurrentRadio)->setChecked(true);
    (choices_.useLastSaveDir ? ui_->saveLastUsedRadio : ui_->saveCurrentRadio)->setChecked(true);
    connect(ui_->associateButton, &QPushButton::clicked, this,
        [this] { choices_.associateRequested = true; });
}

FilePage::~FilePage() = default;

void FilePage::storeChoices() const
{
    choices_.useLastOpenDir = ui_->openLastUsedRadio->isChecked();
    choices_.useLastSaveDir = ui_->saveLastUsedRadio->isChecked();
}

ContactPage::ContactPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsContactPage>())
{
    ui_->setupUi(this);
    ShowIcon(ui_->contactIcon, kContactIconPath);
}

ContactPage::~ContactPage() = default;

KnownBugsPage::KnownBugsPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsKnownBugsPage>())
{
    ui_->setupUi(this);
    ShowIcon(ui_->knownBugsIcon, kKnownBugsIconPath);
    ui_->knownBugsText->setPlainText(QString::fromUtf8(kKnownBugsText));
}

KnownBugsPage::~KnownBugsPage() = default;

TipsPage::TipsPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsTipsPage>())
{
    ui_->setupUi(this);
    ShowIcon(ui_->tipsIcon, kTipsIconPath);
    ui_->tipsText->setPlainText(QString::fromUtf8(kTipsText));
}

TipsPage::~TipsPage() = default;

AboutPage::AboutPage(Desktop& desktop, SoundData sound, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsAboutPage>()), desktop_(desktop),
      sound_(std::move(sound))
{
    ui_->setupUi(this);
    ShowIcon(ui_->aboutIcon, kProgramIconPath);
    new ClickNotifier(ui_->aboutIcon, [this] { iconClicked(); });
    new ClickNotifier(ui_->writtenByLabel, [this] { writtenByClicked(); });
}

AboutPage::~AboutPage() = default;

void AboutPage::iconClicked()
{
    clickCount_ = std::uint8_t(clickCount_ + 1);
    // The player restarts a sound that is still playing, so every click is
    // heard from the beginning.
    if (sound_)
        desktop_.playSound(sound_);
}

void AboutPage::writtenByClicked()
{
    if (clickCount_ == 3 && desktop_.shiftHeld())
        ui_->descriptionLabel->setText(QString::fromUtf8(kSurpriseText));
}

} // namespace jbx
