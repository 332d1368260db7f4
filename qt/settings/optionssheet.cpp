#include "qt/settings/optionssheet.h"

#include "qt/settings/optionspages.h"
#include "settings/options.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>
#include <cstddef>

// Q_INIT_RESOURCE declares the resource's registration function where it is
// used, and that function lives in the global namespace.
static void RegisterOptionsResource()
{
    Q_INIT_RESOURCE(options);
}

namespace jbx {

namespace {

constexpr auto kFilePage = std::size_t(OptionsPage::File);

// The tabs' widgets, which exist from the start, in tab order.
constexpr std::array<const char*, kOptionsPageCount> kHolderNames = {
    "fileTab", "contactTab", "knownBugsTab", "tipsTab", "aboutTab"};

// Every page was laid out as 212 x 204 dialog units: a quarter of the
// average character width across, an eighth of the line height down.
constexpr int kPageWidthUnits = 212;
constexpr int kPageHeightUnits = 204;

class OptionsSheet final : public QDialog {
public:
    OptionsSheet(QWidget* owner, OptionsSession& session)
        : QDialog(owner), session_(session)
    {
        setObjectName(QStringLiteral("optionsSheet"));
        setWindowTitle(OptionsText(kOptionsCaption));

        tabs_ = new QTabWidget(this);
        tabs_->setObjectName(QStringLiteral("pages"));
        // The tab control takes the focus on its way to the tabs, so it is
        // announced too: by the sheet's caption.
        tabs_->setAccessibleName(OptionsText(kOptionsCaption));
        const QFontMetrics metrics(font());
        for (std::size_t i = 0; i < kOptionsPageCount; ++i) {
            auto* holder = new QWidget;
            holder->setObjectName(QString::fromLatin1(kHolderNames[i]));
            holder->setMinimumSize(kPageWidthUnits * metrics.averageCharWidth() / 4,
                kPageHeightUnits * metrics.height() / 8);
            auto* layout = new QVBoxLayout(holder);
            layout->setContentsMargins(0, 0, 0, 0);
            tabs_->addTab(holder, OptionsText(kOptionsPageTitles[i]));
            holders_[i] = holder;
        }

        // The File page is the start page, so it exists for the whole showing
        // and its choices are always read back.
        filePage_ = new FilePage(session_, holders_[kFilePage]);
        place(kFilePage, filePage_);
        tabs_->setCurrentIndex(int(kFilePage));
        // The others are built when their tab is first selected.
        connect(tabs_, &QTabWidget::currentChanged, this, &OptionsSheet::createPage);

        auto* buttons = new QDialogButtonBox(
            QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
        buttons->setObjectName(QStringLiteral("buttons"));
        // No page reports a change, so there is never anything to apply.
        buttons->button(QDialogButtonBox::Apply)->setEnabled(false);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        auto* layout = new QVBoxLayout(this);
        layout->addWidget(tabs_);
        layout->addWidget(buttons);
        // A sheet of fixed size: the pages were laid out for it, and those
        // built later must not make it grow or shrink when their tab is chosen.
        setFixedSize(sizeHint());
    }

    // Every way of closing ends here: OK, Cancel, Escape and the close button.
    void done(int result) override
    {
        filePage_->storeChoices();
        QDialog::done(result);
    }

private:
    void place(std::size_t index, QWidget* page)
    {
        holders_[index]->layout()->addWidget(page);
        created_[index] = true;
    }

    void createPage(int tab)
    {
        const auto index = std::size_t(tab);
        if (tab < 0 || index >= kOptionsPageCount || created_[index])
            return;
        QWidget* holder = holders_[index];
        switch (OptionsPage(index)) {
        case OptionsPage::Contact:
            place(index, new ContactPage(holder));
            break;
        case OptionsPage::KnownBugs:
            place(index, new KnownBugsPage(holder));
            break;
        case OptionsPage::Tips:
            place(index, new TipsPage(holder));
            break;
        case OptionsPage::About:
            place(index, new AboutPage(session_, holder));
            break;
        case OptionsPage::File:
            break;
        }
    }

    OptionsSession& session_;
    QTabWidget* tabs_ = nullptr;
    FilePage* filePage_ = nullptr;
    std::array<QWidget*, kOptionsPageCount> holders_{};
    std::array<bool, kOptionsPageCount> created_{};
};

} // namespace

void InitOptionsResources()
{
    static const bool registered = (RegisterOptionsResource(), true);
    (void)registered;
}

bool ShowOptionsSheet(QWidget* owner, SettingsStore& settings, Desktop& desktop,
                      const std::function<void()>& associate)
{
    InitOptionsResources();

    OptionsSession session(settings, desktop);
    bool accepted = false;
    {
        // The sheet and its pages are gone before anything takes effect.
        OptionsSheet sheet(owner, session);
        accepted = sheet.exec() == QDialog::Accepted;
    }
    session.close(accepted ? OptionsResult::Ok : OptionsResult::Cancel, associate);
    return accepted;
}

} // namespace jbx
