#include "DataDirectory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFileDevice>
#include <QFileInfo>
#include <QStandardPaths>

namespace DataDirectory {

namespace {
// Leaves room below the usual 255-byte limit for the suffix and the temporary names that
// atomic saves create next to the file.
constexpr int MaxStemBytes = 200;
const char EncodedSubdirectory[] = "encoded";

const QFileDevice::Permissions OwnerFile =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser;
const QFileDevice::Permissions OwnerDirectory = OwnerFile | QFileDevice::ExeOwner | QFileDevice::ExeUser;

bool restrictTo(const QString &path, QFileDevice::Permissions allowed)
{
    const QFileDevice::Permissions current = QFile::permissions(path);
    if (!(current & ~allowed))
        return true;
    return QFile::setPermissions(path, current & allowed);
}

} // namespace

QString path()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + QStringLiteral("/.zmsg");
    dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    dir.replace(QStringLiteral("//"), QStringLiteral("/"));
    return dir;
}

bool ensure()
{
    return ensureDirectory(path());
}

bool ensureDirectory(const QString &directory)
{
    if (!QDir().mkpath(directory))
        return false;
    const QString dataDirectory = path();
    if (directory != dataDirectory && QFileInfo(directory).absolutePath() == dataDirectory)
        restrictTo(dataDirectory, OwnerDirectory);
    return restrictTo(directory, OwnerDirectory);
}

bool protectFile(QFileDevice &file)
{
    return file.setPermissions(file.permissions() & OwnerFile);
}

void protectContents()
{
    const QString dataDirectory = path();
    const QFileInfo top(dataDirectory);
    if (!top.isDir())
        return;
    restrictTo(dataDirectory, OwnerDirectory);
    QDirIterator it(dataDirectory, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo entry = it.fileInfo();
        // A link may point anywhere; what it points at is not ours to change.
        if (entry.isSymLink())
            continue;
        restrictTo(entry.filePath(), entry.isDir() ? OwnerDirectory : OwnerFile);
    }
}

bool isPlainStem(const QString &name)
{
    if (name.isEmpty() || name.toUtf8().size() > MaxStemBytes)
        return false;
    if (name.contains(QLatin1String("..")) || !name.isValidUtf16())
        return false;
    for (const QChar c : name) {
        const ushort u = c.unicode();
        if (u < 0x20 || u == 0x7F || c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return false;
        if (c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

QString filePath(const QString &directory, const QString &name, const QString &suffix)
{
    if (isPlainStem(name))
        return directory + QLatin1Char('/') + name + suffix;
    const QByteArray hash = QCryptographicHash::hash(name.toUtf8(), QCryptographicHash::Sha256).toHex();
    return directory + QLatin1Char('/') + QLatin1String(EncodedSubdirectory) + QLatin1Char('/')
        + QString::fromLatin1(hash) + suffix;
}

QString filePath(const QString &name, const QString &suffix)
{
    return filePath(path(), name, suffix);
}

} // namespace DataDirectory
