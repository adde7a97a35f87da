#ifndef DATADIRECTORY_H
#define DATADIRECTORY_H

#include <QString>

// The per-user data directory ".zmsg" that holds chat histories and cached avatars, and the
// mapping from account names and avatar ids to file names inside it.
namespace DataDirectory {

// Home directory + "/.zmsg" with backslashes turned into "/" and doubled slashes collapsed.
QString path();
// Creates the directory (with missing parents); false when it cannot be made.
bool ensure();

// True when name + suffix can be used unchanged as a file name in the directory: no path
// separators, no "..", no NUL or control characters, not empty and short enough.
bool isPlainStem(const QString &name);
// The file for a name: path() + "/" + name + suffix for plain names; any other name is
// encoded into a fixed-length hash name in the sub-directory "encoded", which plain names
// can never reach because they contain no "/".
QString filePath(const QString &name, const QString &suffix);
QString filePath(const QString &directory, const QString &name, const QString &suffix);

}

#endif
