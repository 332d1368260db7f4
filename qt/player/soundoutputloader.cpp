#include "qt/player/soundoutputloader.h"

#include <QDir>
#include <QLibrary>

namespace jbx {

QStringList SoundOutputFolders(const QString& programFolder)
{
    const QDir folder(programFolder);
    return {folder.path(), QDir::cleanPath(folder.filePath(QStringLiteral(JBX_PLAYER_MODULE_DIR_FROM_PROGRAM)))};
}

std::unique_ptr<SoundOutput> LoadSoundOutput(const QStringList& folders)
{
    for (const QString& folder : folders) {
        // QLibrary adds the platform's prefix and suffix.
        QLibrary module(QDir(folder).filePath(QString::fromLatin1(kSoundOutputModuleName)));
        const auto make = reinterpret_cast<MakeSoundOutputFunction>(module.resolve(kMakeSoundOutputSymbol));
        // The QLibrary object going away does not unload the module, and the
        // output's code lives there: it is never unloaded on purpose.
        if (make)
            return std::unique_ptr<SoundOutput>(make());
    }
    return nullptr;
}

} // namespace jbx
