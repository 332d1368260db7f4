// One QApplication for every dialog test, on the offscreen platform so that
// the tests need no display.

#include <gtest/gtest.h>

#include <QApplication>
#include <QString>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform can't pass a fixed-size window's hints on to a
// window manager and says so for every such window; nothing else is hidden.
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.contains(QLatin1String("does not support propagateSizeHints")))
        return;
    qtHandler(type, context, message);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qtHandler = qInstallMessageHandler(QuietHandler);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
