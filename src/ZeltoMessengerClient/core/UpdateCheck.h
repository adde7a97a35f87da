#ifndef UPDATECHECK_H
#define UPDATECHECK_H

#include <QString>
#include <QStringList>
#include <QUrl>

// The version check against the web site and the command line of the external updater.
namespace UpdateCheck {

constexpr int CheckTimeoutMs = 5000;
constexpr int PreferencesTimeoutMs = 1000;
constexpr int CheckPeriodMs = 3600000;

// The web site host (host[:port]); the environment variable ZM_WEB_HOST overrides the build's value.
QString webHost();
// "http://<host>/update/"
QString updateBase();
// updateBase() + "stable" + platformTag
QUrl versionCheckUrl(const QString &platformTag);

// Compares dot- or hyphen-separated decimal parts; missing or non-numeric parts count as 0.
bool isNewerVersion(const QString &current, const QString &latest);

// A version the web site may hand us: only digits, dots and hyphens, at least one digit,
// short. Anything else is refused because it ends up on the updater's command line.
bool isAcceptableVersion(const QString &version);

// The answer body without CR and LF, trimmed.
QString cleanVersionReply(const QByteArray &body);

// Fetches the latest version text; empty after a failure, a timeout or a refused answer.
// Runs a local event loop on the calling thread (QThread::quit() on a worker ends it early).
QString fetchLatestVersion(const QString &platformTag, int timeoutMs);

// "ZeltoScriptUpdater" next to the executable, else on PATH; empty when it is nowhere.
QString findUpdater();
QStringList updaterArguments(const QString &platformTag, const QString &newVersion, const QString &runningVersion);

} // namespace UpdateCheck

#endif
