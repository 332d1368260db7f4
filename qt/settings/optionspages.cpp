#include "qt/settings/optionspages.h"

#include "qt/settings/optionssheet.h"
#include "settings/options.h"

#include "ui_options-about.h"
#include "ui_options-contact.h"
#include "ui_options-file.h"
#include "ui_options-knownbugs.h"
#include "ui_options-tips.h"

#include <QEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>
#include <optional>
#include <utility>

namespace jbx {

namespace {

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

// Keeps Return and Enter in a read-only text box. The box has no use for
// them and passes them on, and the sheet would take them as OK: reading the
// Known Bugs or Tips and pressing Enter must not close the sheet.
class EnterKeeper final : public QObject {
public:
    explicit EnterKeeper(QPlainTextEdit* box) : QObject(box) { box->installEventFilter(this); }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key == Qt::Key_Return || key == Qt::Key_Enter;
    }
};

} // namespace

QString OptionsText(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

FilePage::FilePage(OptionsSession& session, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsFilePage>()), session_(session)
{
    ui_->setupUi(this);
    const OptionsChoices& choices = session_.choices();
    (choices.useLastOpenDir ? ui_->openLastUsedRadio : ui_->openCurrentRadio)->setChecked(true);
    (choices.useLastSaveDir ? ui_->saveLastUsedRadio : ui_->saveCurrentRadio)->setChecked(true);
    connect(ui_->associateButton, &QPushButton::clicked, this, [this] { session_.requestAssociation(); });
}

FilePage::~FilePage() = default;

void FilePage::storeChoices() const
{
    session_.setChoices({ui_->openLastUsedRadio->isChecked(), ui_->saveLastUsedRadio->isChecked()});
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
    ui_->knownBugsText->setPlainText(OptionsText(kKnownBugsText));
    new EnterKeeper(ui_->knownBugsText);
}

KnownBugsPage::~KnownBugsPage() = default;

TipsPage::TipsPage(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsTipsPage>())
{
    ui_->setupUi(this);
    ShowIcon(ui_->tipsIcon, kTipsIconPath);
    ui_->tipsText->setPlainText(OptionsText(kTipsText));
    new EnterKeeper(ui_->tipsText);
}

TipsPage::~TipsPage() = default;

AboutPage::AboutPage(OptionsSession& session, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::OptionsAboutPage>())
{
    ui_->setupUi(this);
    ShowIcon(ui_->aboutIcon, kProgramIconPath);
    new ClickNotifier(ui_->aboutIcon, [&session] { session.aboutIconClicked(); });
    new ClickNotifier(ui_->writtenByLabel, [this, &session] {
        if (const std::optional<std::string_view> description = session.writtenByClicked())
            ui_->descriptionLabel->setText(OptionsText(*description));
    });
}

AboutPage::~AboutPage() = default;

} // namespace jbx
