#ifndef SOUND_H
#define SOUND_H

#include <QString>
#include <QStringList>

// The incoming-message sound. Qt's multimedia libraries live in a module of their own that is
// loaded with the first sound, not at start: many runs play none for a long time.
namespace Sound {

// The file name of the module.
QString moduleFileName();
// Where the module is looked for, in this order: each library path of the application (the
// program's own directory among them), then the installed module directory seen from the
// program's directory.
QStringList moduleCandidates(const QStringList &libraryPaths, const QString &programDir,
                             const QString &installedRelative);

// Plays a sound file without waiting for it. False when the module could not be loaded.
bool play(const QString &file);

} // namespace Sound

#endif
