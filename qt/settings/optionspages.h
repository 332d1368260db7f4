#pragma once

// The five pages of the Options sheet, each built from its Designer form
// (qt/forms/options-*.ui) when the sheet first shows it.

#include "seam/bytes.h"

#include <QWidget>

#include <cstdint>
#include <memory>

namespace Ui {
class OptionsFilePage;
class OptionsContactPage;
class OptionsKnownBugsPage;
class OptionsTipsPage;
class OptionsAboutPage;
} // namespace Ui

namespace jbx {

class Desktop;

// What one showing of the sheet edits. Nothing here reaches the settings
// store or the desktop shell before the sheet is closed with OK.
struct OptionsChoices {
    bool useLastOpenDir = false;     // "Last Used Directory" for Open
    bool useLastSaveDir = false;     // "Last Used Directory" for Save
    bool associateRequested = false;
};

// The File page: shows choices' two preferences when created; the Associate
// button only sets choices.associateRequested.
class FilePage final : public QWidget {
public:
    FilePage(OptionsChoices& choices, QWidget* parent);
    ~FilePage() override;

    // Copies the radio buttons back into choices. The sheet calls it however
    // it closes; only OK passes the values on.
    void storeChoices() const;

private:
    std::unique_ptr<Ui::OptionsFilePage> ui_;
    OptionsChoices& choices_;
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

// The About page. Every click on the program icon is counted (8 bits,
// wrapping) and plays sound from its start; a Shift-click on "Written by"
// after exactly three clicks shows the surprise message. The count starts at
// 0 when the page is created, once per showing of the sheet.
class AboutPage final : public QWidget {
public:
    // sound: the About sound's WAVE image; null plays nothing.
    AboutPage(Desktop& desktop, SoundData sound, QWidget* parent);
    ~AboutPage() override;

private:
    void iconClicked();
    void writtenByClicked();

    std::unique_ptr<Ui::OptionsAboutPage> ui_;
    Desktop& desktop_;
    SoundData sound_;
    std::uint8_t clickCount_ = 0;
};

} // namespace jbx
