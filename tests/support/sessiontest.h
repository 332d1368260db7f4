#pragma once

#include "bank/soundbank.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

namespace jbx::testing {

// The editor's state as its commands find it after New, the desktop, window and settings scripted or in memory.
class SessionTest : public ::testing::Test {
protected:
    SessionTest() { NewBank(session); }

    FakeDesktop desktop;
    FakeMainWindow window;
    FakeSettingsStore settings;
    Session session{desktop};
    TempDir dir;
};

} // namespace jbx::testing
