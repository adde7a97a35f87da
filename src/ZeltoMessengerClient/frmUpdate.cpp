#include "frmUpdate.h"

frmUpdate::frmUpdate(const QString &platformTag)
    : platformTag(platformTag)
{
    setWindowTitle(tr("Zelto Messenger Update"));
}

void frmUpdate::setNotificationButtonVisible(bool)
{
}

void frmUpdate::setNewVersion(QString version)
{
    newVersion = version;
}
