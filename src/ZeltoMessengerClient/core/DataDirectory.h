#ifndef DATADIRECTORY_H
#define DATADIRECTORY_H

#include <QString>

class QFileDevice;

// The per-user data directory ".zmsg" that holds chat histories and cached avatars, and the
// mapping from account names and avatar ids to file names inside it.
namespace DataDirectory {

// Home directory + "/.zmsg" with backslashes turned into "/" and doubled slashes collapsed.
QString path();
// Creates the directory (with missing parents) readable by its owner only; false when it
// cannot be made.
bool ensure();
// Creates a directory for files of the data directory (the data directory itself or one
// inside it), owner-only like the data directory.
bool ensureDirectory(const QString &directory);
// Makes a file of the data directory readable by its owner only; for a QSaveFile, call it
// after open so the file is never readable by others.
bool protectFile(QFileDevice &file);
// Takes read access from group and others on the data directory and everything in it,
// without following symbolic links.
void protectContents();

// True when name + suffix can be used unchanged as a file name in the directory: no path
// separators, no "..", no NUL or control characters, not empty and short enough.
bool isPlainStem(const QString &name);
// The file for a name: path() + "/" + name + suffix for plain names; any other name is
// encoded into a fixed-length hash name in the sub-directory "encoded", which plain names
// can never reach because they contain no "/".
QString filePath(const QString &name, const QString &suffix);
QString filePath(const QString &directory, const QString &name, const QString &suffix);

} // namespace DataDirectory

#endif
