#include "DataDirectory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QStandardPaths>

namespace DataDirectory {

namespace {
// Leaves room below the usual 255-byte limit for the suffix and the temporary names that
// atomic saves create next to the file.
constexpr int MaxStemBytes = 200;
const char EncodedSubdirectory[] = "encoded";
}

QString path()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::HomeLocation) + QStringLiteral("/.zmsg");
    dir.replace(QLatin1Char('\\'), QLatin1Char('/'));
    dir.replace(QStringLiteral("//"), QStringLiteral("/"));
    return dir;
}

bool ensure()
{
    return QDir().mkpath(path());
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

}
