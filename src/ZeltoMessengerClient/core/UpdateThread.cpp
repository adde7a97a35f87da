#include "UpdateThread.h"

#include "AppSettings.h"
#include "UpdateCheck.h"

#include <QDebug>
#include <QEventLoop>
#include <QSettings>
#include <QTimer>

UpdateThread::UpdateThread(const QString &platform, const QString &version)
    : platformTag(platform)
    , runningVersion(version)
    , checkPeriodMs(UpdateCheck::CheckPeriodMs)
    , checkTimeoutMs(UpdateCheck::CheckTimeoutMs)
{}

UpdateThread::~UpdateThread()
{
    stop();
}

bool UpdateThread::isNewerVersion(const QString &current, const QString &latest)
{
    return UpdateCheck::isNewerVersion(current, latest);
}

bool UpdateThread::checkForUpdate()
{
    const QString latest = UpdateCheck::fetchLatestVersion(platformTag, checkTimeoutMs);
    const bool newer = isNewerVersion(runningVersion, latest) && !latest.isEmpty();
    emit setNewVersion(latest);
    return newer;
}

void UpdateThread::stop()
{
    ++generation;
    if (!isRunning())
        return;
    requestInterruption();
    // Ends whichever local event loop the worker is in (request or hourly wait) and makes any
    // loop it would start next return at once.
    quit();
    if (!wait(10000))
        qWarning() << "UpdateThread: the worker did not end within 10 s";
}

void UpdateThread::disableUpdateNotification()
{
    QSettings settings = AppSettings::open();
    settings.setValue(QStringLiteral("Update/UpdateNotification"), false);
    settings.sync();
    stop();
}

bool UpdateThread::stopRequested() const
{
    return isInterruptionRequested();
}

void UpdateThread::report(const QString &latest, bool newer, int runGeneration)
{
    QMetaObject::invokeMethod(
        this,
        [this, latest, newer, runGeneration] {
            if (runGeneration != generation)
                return;
            emit setNewVersion(latest);
            if (newer)
                emit updateIsNowAvailable();
        },
        Qt::QueuedConnection);
}

void UpdateThread::run()
{
    const int runGeneration = generation;
    while (!stopRequested()) {
        const QString latest = UpdateCheck::fetchLatestVersion(platformTag, checkTimeoutMs);
        if (stopRequested())
            break;
        report(latest, isNewerVersion(runningVersion, latest) && !latest.isEmpty(), runGeneration);

        QEventLoop loop;
        QTimer::singleShot(checkPeriodMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
}
