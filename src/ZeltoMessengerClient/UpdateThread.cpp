#include "UpdateThread.h"

#include <QSettings>

UpdateThread::UpdateThread(const QString &platformTag, const QString &runningVersion)
    : platformTag(platformTag)
    , runningVersion(runningVersion)
{
}

void UpdateThread::disableUpdateNotification()
{
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    settings.setValue(QStringLiteral("Update/UpdateNotification"), false);
    quit();
    wait();
}

void UpdateThread::run()
{
    // The version check itself arrives with the update dialog.
}
