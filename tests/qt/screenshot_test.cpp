// The main window on a real X server with the demo bank loaded and a slot
// selected; with JBX_UPDATE_SCREENSHOT set, it writes the README's picture.

#include "qt/mainwindow.h"
#include "bank/soundbank.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <filesystem>

namespace jbx::testing {
namespace {

constexpr char kDemoBank[] = JBX_BUILD_DIR "/demo.jbx";
constexpr char kScreenshot[] = JBX_SOURCE_DIR "/docs/mainwindow.png";

TEST(ScreenshotTest, TheMainWindowWithTheDemoBankDrawsItself)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run this under xvfb-run";
    ASSERT_TRUE(std::filesystem::exists(kDemoBank)) << "build the demo_bank target first";

    FakeDesktop desktop;
    FakeSettingsStore settings;
    Session session(desktop);
    NewBank(session);
    MainWindow window(session, settings, {});
    window.commands().dropFiles({kDemoBank});
    window.start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(window.button(command::kSound1 + 2), Qt::LeftButton);
    ASSERT_EQ(desktop.played.size(), 1u) << "slot 3 of the demo bank holds a sound";
    QTest::qWait(200);

    // Text, frames and buttons: many shades, and no single colour nearly
    // everywhere, as it would be in an empty or unpainted grab.
    const QImage image = window.grab().toImage();
    ASSERT_FALSE(image.isNull());
    QHash<QRgb, int> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ++colours[image.pixel(x, y)];
    EXPECT_GE(colours.size(), 16);
    EXPECT_LT(double(*std::max_element(colours.begin(), colours.end())), 0.95 * image.width() * image.height());

    if (qEnvironmentVariableIsSet("JBX_UPDATE_SCREENSHOT")) {
        EXPECT_TRUE(image.save(QString::fromUtf8(kScreenshot))) << kScreenshot;
    }
}

} // namespace
} // namespace jbx::testing
