#include "qt/settings/optionssheet.h"

#include "seam/bytes.h"
#include "qt/settings/optionspages.h"
#include "settings/settingsstore.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontMetrics>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
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

enum PageIndex { kFilePage, kContactPage, kKnownBugsPage, kTipsPage, kAboutPage, kPageCount };

struct PageInfo {
    const char* title;
    const char* holderName;   // the tab's widget, which exists from the start
};

constexpr std::array<PageInfo, kPageCount> kPages = {{
    {"File", "fileTab"},
    {"Contact", "contactTab"},
    {"Known Bugs", "knownBugsTab"},
    {"Tips", "tipsTab"},
    {"About", "aboutTab"},
}};

// Every page was laid out as 212 x 204 dialog units: a quarter of the
// average character width across, an eighth of the line height down.
constexpr int kPageWidthUnits = 212;
constexpr int kPageHeightUnits = 204;

// The About sound's WAVE image; null when the resource cannot be read, and
// then the clicks are silent.
SoundData LoadAboutSound()
{
    QFile file(QString::fromLatin1(kAboutSoundPath));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return nullptr;
    SoundData sound = MakeSoundData(std::size_t(bytes.size()));
    std::copy(bytes.cbegin(), bytes.cend(), sound->begin());
    return sound;
}

class OptionsSheet final : public QDialog {
public:
    OptionsSheet(QWidget* owner, OptionsChoices& choices, Desktop& desktop)
        : QDialog(owner), choices_(choices), desktop_(desktop)
    {
        setObjectName(QStringLiteral("optionsSheet"));
        setWindowTitle(QStringLiteral("Options"));

        tabs_ = new QTabWidget(this);
        tabs_->setObjectName(QStringLiteral("pages"));
        const QFontMetrics metrics(font());
        for (std::size_t i = 0; i < kPages.size(); ++i) {
            auto* holder = new QWidget;
            holder->setObjectName(QString::fromLatin1(kPages[i].holderName));
            holder->setMinimumSize(kPageWidthUnits * metrics.averageCharWidth() / 4,
                kPageHeightUnits * metrics.height() / 8);
            auto* layout = new QVBoxLayout(holder);
            layout->setContentsMargins(0, 0, 0, 0);
            tabs_->addTab(holder, QString::fromLatin1(kPages[i].title));
            holders_[i] = holder;
        }

        // The File page is the start page, so it exists for the whole showing
        // and its choices are always read back.
        filePage_ = new FilePage(choices_, holders_[kFilePage]);
        place(kFilePage, filePage_);
        tabs_->setCurrentIndex(kFilePage);
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
    }

    // Every way of closing ends here: OK, Cancel, Escape and the close button.
    void done(int result) override
    {
        filePage_->storeChoices();
        QDialog::done(result);
    }

private:
    void place(int index, QWidget* page)
    {
        holders_[std::size_t(index)]->layout()->addWidget(page);
        created_[std::size_t(index)] = true;
    }

    void createPage(int index)
    {
        if (index < 0 || index >= kPageCount || created_[std::size_t(index)])
            return;
        QWidget* holder = holders_[std::size_t(index)];
        switch (index) {
        case kContactPage:
            place(index, new ContactPage(holder));
            break;
        case kKnownBugsPage:
            place(index, new KnownBugsPage(holder));
            break;
        case kTipsPage:
            place(index, new TipsPage(holder));
            break;
        case kAboutPage:
            place(index, new AboutPage(desktop_, LoadAboutSound(), holder));
            break;
        default:
            break;
        }
    }

    OptionsChoices& choices_;
    Desktop& desktop_;
    QTabWidget* tabs_ = nullptr;
    FilePage* filePage_ = nullptr;
    std::array<QWidget*, kPageCount> holders_{};
    std::array<bool, kPageCount> created_{};
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

    OptionsChoices choices;
    choices.useLastOpenDir = ReadYesNoSetting(settings, kUseLastOpenDir);
    choices.useLastSaveDir = ReadYesNoSetting(settings, kUseLastSaveDir);

    bool accepted = false;
    {
        // The sheet and its pages are gone before anything takes effect.
        OptionsSheet sheet(owner, choices, desktop);
        accepted = sheet.exec() == QDialog::Accepted;
    }
    if (!accepted)
        return false;

    if (choices.associateRequested && associate)
        associate();
    // Both are written, changed or not, and whatever the association did.
    WriteYesNoSetting(settings, kUseLastOpenDir, choices.useLastOpenDir);
    WriteYesNoSetting(settings, kUseLastSaveDir, choices.useLastSaveDir);
    return true;
}

} // namespace jbx
