// jbxmaker: the editor's entry point.

#include "qt/editor.h"
#include "qt/mainwindow.h"
#include "qt/whenshown.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    // The whole command line is the bank path, so Qt is shown none of it
    // and takes no option from it.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    int qtArgc = 1;
    QApplication application(qtArgc, argv);

    jbx::Editor editor({jbx::JoinArguments(arguments)});
    editor.start();

    if (qEnvironmentVariableIsSet(jbx::kExitWhenShownVariable)) {
        jbx::MainWindow& window = *editor.window();
        jbx::CallWhenPainted(window, [&window] {
            std::printf("shown: %s\n", window.windowTitle().toUtf8().constData());
            std::fflush(stdout);
            window.close();
        });
    }
    return application.exec();
}
