#pragma once

// The five pages of the Options sheet, each built from its Designer form
// (qt/forms/options-*.ui) when the sheet first shows it. The pages only show
// things and forward clicks; the rules are the OptionsSession's.

#include <QString>
#include <QWidget>

#include <memory>
#include <string_view>

namespace Ui {
class OptionsFilePage;
class OptionsContactPage;
class OptionsKnownBugsPage;
class OptionsTipsPage;
class OptionsAboutPage;
} // namespace Ui

namespace jbx {

class OptionsSession;

// A text of the core's (UTF-8) as the sheet's widgets show it.
QString OptionsText(std::string_view text);

// The File page: shows the session's two preferences when created and passes
// the Associate button on.
class FilePage final : public QWidget {
public:
    FilePage(OptionsSession& session, QWidget* parent);
    ~FilePage() override;

    // Hands the radio buttons back to the session. The sheet calls it however
    // it closes; only OK passes the values on.
    void storeChoices() const;

private:
    std::unique_ptr<Ui::OptionsFilePage> ui_;
    OptionsSession& session_;
};

class ContactPage final : public QWidget {
public:
    explicit ContactPage(QWidget* parent);
    ~ContactPage() override;

private:
    std::unique_ptr<Ui::OptionsContactPage> ui_;
};

// Shows the Known Bugs text in a scrollable read-only box.
class KnownBugsPage final : public QWidget {
public:
    explicit KnownBugsPage(QWidget* parent);
    ~KnownBugsPage() override;

private:
    std::unique_ptr<Ui::OptionsKnownBugsPage> ui_;
};

// Shows the Tips text in a scrollable read-only box.
class TipsPage final : public QWidget {
public:
    explicit TipsPage(QWidget* parent);
    ~TipsPage() override;

private:
    std::unique_ptr<Ui::OptionsTipsPage> ui_;
};

// The About page: passes clicks on the program icon and on "Written by" to
// the session, and shows the description it answers with.
class AboutPage final : public QWidget {
public:
    AboutPage(OptionsSession& session, QWidget* parent);
    ~AboutPage() override;

private:
    std::unique_ptr<Ui::OptionsAboutPage> ui_;
};

} // namespace jbx
