// The start-up benchmark's baselines: the least a Qt Widgets program does to
// put a window on screen, timed to the same moment as jbxmaker; with
// --with-text the window holds one labelled button, so its time includes
// what any window with text pays first (the font configuration, glyphs).

#include "qt/whenshown.h"

#include <QApplication>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool withText = argc > 1 && std::strcmp(argv[1], "--with-text") == 0;
    QApplication application(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Baseline"));
    if (withText)
        (new QVBoxLayout(&window))->addWidget(new QPushButton(QStringLiteral("Sound &1")));
    window.resize(320, 200);
    window.show();
    if (qEnvironmentVariableIsSet(jbx::kExitWhenShownVariable)) {
        jbx::CallWhenPainted(window, [&window] {
            std::printf("shown: %s\n", window.windowTitle().toUtf8().constData());
            std::fflush(stdout);
            window.close();
        });
    }
    return application.exec();
}
