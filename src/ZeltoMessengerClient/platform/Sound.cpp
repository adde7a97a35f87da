#include "Sound.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace Sound {

namespace {

using PlayFunction = void (*)(const QString &);

PlayFunction loadPlayFunction()
{
    const QStringList candidates = moduleCandidates(
        QCoreApplication::libraryPaths(), QCoreApplication::applicationDirPath(), QStringLiteral(ZM_INSTALLED_MODULES));
    for (const QString &candidate : candidates) {
        if (!QFileInfo::exists(candidate))
            continue;
        // Never unloaded: the sounds it plays outlive the call.
        auto *module = new QLibrary(candidate);
        module->setLoadHints(QLibrary::PreventUnloadHint);
        if (auto play = reinterpret_cast<PlayFunction>(module->resolve("zmPlaySound")))
            return play;
        qWarning().noquote() << "The sound module" << candidate << "cannot be used:" << module->errorString();
        delete module;
    }
    qWarning().noquote() << "No sound module" << moduleFileName() << "found in" << candidates;
    return nullptr;
}

} // namespace

QString moduleFileName()
{
    return QStringLiteral("zmsound.so");
}

QStringList moduleCandidates(const QStringList &libraryPaths, const QString &programDir,
                             const QString &installedRelative)
{
    QStringList candidates;
    for (const QString &path : libraryPaths)
        candidates << QDir(path).filePath(moduleFileName());
    if (!installedRelative.isEmpty())
        candidates << QDir::cleanPath(programDir + QLatin1Char('/') + installedRelative + QLatin1Char('/')
                                      + moduleFileName());
    candidates.removeDuplicates();
    return candidates;
}

bool play(const QString &file)
{
    static const PlayFunction playFunction = loadPlayFunction();
    if (!playFunction)
        return false;
    playFunction(file);
    return true;
}

} // namespace Sound
