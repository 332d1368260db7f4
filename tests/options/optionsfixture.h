#pragma once

// A settings store, a desktop and an owner window for showing the Options
// sheet, with a record of what each showing did.

#include "tests/options/sheetdriver.h"
#include "tests/settings/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace jbx::testing {

class OptionsSheetTest : public ::testing::Test {
protected:
    // Shows the sheet once. The association is recorded among the store's
    // events, so its order against the writes shows.
    bool Show(const std::function<void(SheetDriver&)>& drive)
    {
        return RunOptionsSheet(&owner_, store_, desktop_,
            [this] {
                ++associations_;
                store_.events.push_back("associate");
            },
            [&](SheetDriver& driver) {
                eventsAtOpen_ = store_.events.size();
                drive(driver);
            });
    }

    // What the last showing did to the store (and the association) after it
    // had opened.
    std::vector<std::string> ClosingEvents() const
    {
        return {store_.events.begin() + std::ptrdiff_t(eventsAtOpen_), store_.events.end()};
    }

    // The events of OK: both settings written, Open first.
    static std::vector<std::string> Writes(const std::string& open, const std::string& save)
    {
        return {"open", "write UseLastOpenDir=" + open, "close",
                "open", "write UseLastSaveDir=" + save, "close"};
    }

    QWidget owner_;
    FakeSettingsStore store_;
    FakeDesktop desktop_;
    int associations_ = 0;
    std::size_t eventsAtOpen_ = 0;
};

} // namespace jbx::testing
