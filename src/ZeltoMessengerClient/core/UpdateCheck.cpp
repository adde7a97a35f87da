#include "UpdateCheck.h"

#include "HttpFetch.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStandardPaths>

namespace UpdateCheck {

namespace {

// A version answer is a few characters; nothing more is ever read from the reply.
constexpr qint64 MaxReplyBytes = 256;
constexpr int MaxVersionLength = 32;

int versionPart(const QStringList &parts, int index)
{
    return index < parts.size() ? parts.at(index).toInt(nullptr, 10) : 0;
}

} // namespace

QString webHost()
{
    const QString fromEnvironment = qEnvironmentVariable("ZM_WEB_HOST").trimmed();
    return fromEnvironment.isEmpty() ? QStringLiteral(ZM_WEB_HOST) : fromEnvironment;
}

QString updateBase()
{
    return QStringLiteral("http://") + webHost() + QStringLiteral("/update/");
}

QUrl versionCheckUrl(const QString &platformTag)
{
    return QUrl(updateBase() + QStringLiteral("stable") + platformTag);
}

bool isNewerVersion(const QString &current, const QString &latest)
{
    const QStringList currentParts =
        QString(current).replace(QLatin1Char('-'), QLatin1Char('.')).split(QLatin1Char('.'));
    const QStringList latestParts = QString(latest).replace(QLatin1Char('-'), QLatin1Char('.')).split(QLatin1Char('.'));
    const int count = qMax(currentParts.size(), latestParts.size());
    for (int i = 0; i < count; ++i) {
        const int mine = versionPart(currentParts, i);
        const int theirs = versionPart(latestParts, i);
        if (mine != theirs)
            return theirs > mine;
    }
    return false;
}

bool isAcceptableVersion(const QString &version)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9.\\-]+$"));
    return version.size() <= MaxVersionLength && pattern.match(version).hasMatch()
        && version.contains(QRegularExpression(QStringLiteral("[0-9]")));
}

QString cleanVersionReply(const QByteArray &body)
{
    QString text = QString::fromUtf8(body);
    text.remove(QLatin1Char('\n'));
    text.remove(QLatin1Char('\r'));
    return text.trimmed();
}

QString fetchLatestVersion(const QString &platformTag, int timeoutMs)
{
    const QUrl url = versionCheckUrl(platformTag);
    const HttpFetch::Result fetched = HttpFetch::get(QNetworkRequest(url), MaxReplyBytes, timeoutMs);
    // After a timeout whatever arrived so far counts; an error reply counts as nothing.
    const bool failed = fetched.tooLarge || (fetched.finished && fetched.error != QNetworkReply::NoError);
    const QString latest = failed ? QString() : cleanVersionReply(fetched.body);
    if (latest.isEmpty())
        return QString();
    if (!isAcceptableVersion(latest)) {
        qWarning() << "Update check: refused version text from" << url.toString();
        return QString();
    }
    return latest;
}

QString findUpdater()
{
    const QString program = QStringLiteral("ZeltoScriptUpdater");
    const QFileInfo besideUs(QCoreApplication::applicationDirPath() + QLatin1Char('/') + program);
    if (besideUs.isFile() && besideUs.isExecutable())
        return besideUs.absoluteFilePath();
    return QStandardPaths::findExecutable(program);
}

QStringList updaterArguments(const QString &platformTag, const QString &newVersion, const QString &runningVersion)
{
    const QString script = updateBase() + platformTag + QLatin1Char('_') + newVersion + QStringLiteral(".lua");
    return {QStringLiteral("--path=network"), QStringLiteral("--script=") + script,
            QStringLiteral("--version=") + runningVersion};
}

} // namespace UpdateCheck
