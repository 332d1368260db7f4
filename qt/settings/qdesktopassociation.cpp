#include "qt/settings/qdesktopassociation.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace jbx {

namespace {

// The database tools finish in well under a second; a hung one must not
// freeze the editor.
constexpr int kToolTimeoutMs = 30'000;

std::string ToUtf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

} // namespace

void RunDesktopTool(const std::string& tool, const std::vector<std::string>& arguments)
{
    const QString program = QStandardPaths::findExecutable(QString::fromStdString(tool));
    if (program.isEmpty())
        return;
    QStringList args;
    for (const std::string& argument : arguments)
        args << QString::fromUtf8(argument.data(), qsizetype(argument.size()));

    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, args);
    if (!process.waitForStarted())
        return;
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished();
    }
}

void AssociateBankFilesWithThisProgram(Desktop& desktop)
{
    AssociationEnvironment environment;
    environment.folders = XdgFolders::FromEnvironment();
    QFile icon(QString::fromLatin1(kProgramIconResource));
    if (icon.open(QIODevice::ReadOnly))
        environment.programIconSvg = icon.readAll().toStdString();
    environment.runTool = RunDesktopTool;

    AssociateBankFiles(desktop, ToUtf8(QCoreApplication::applicationFilePath()), environment);
}

} // namespace jbx
