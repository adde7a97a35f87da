// The main window's dialog slots, opened by AccountDialogs, and what the dialogs change in it.
#include "frmLogin.h"
#include "ui_frmLogin.h"

#include "AccountDialogs.h"
#include "AppSettings.h"
#include "LoginStore.h"
#include "UpdateThread.h"
#include "frmUpdate.h"

#include <zmsgfw111q.h>

#include <QDebug>
#include <QSettings>

void frmLogin::showProfile()
{
    const QString user = currentContact();
    if (!user.isEmpty())
        AccountDialogs::profileInfo(this, user);
}

bool frmLogin::uploadAvatar(QImage image)
{
    if (!isSessionLoggedIn())
        return false;
    qDebug() << "Uploading...";
    return zmsgfw->uploadAvatar(ui->txtName->text(), ui->txtPassword->text(), image);
}

void frmLogin::takeChangedPassword(const QString &newPassword)
{
    ui->txtPassword->setText(newPassword);
    ui->txtPasswordDesigned->setText(newPassword);
    QSettings settings = AppSettings::open();
    if (settings.value(QStringLiteral("Login/Autologin"), false).toBool())
        LoginStore::rememberPassword(settings, keyring, ownUserName(), newPassword);
}

void frmLogin::enableUpdateNotification()
{
    if (updateDialog)
        updateDialog->setNotificationButtonVisible(true);
    if (updateThread && !updateThread->isRunning())
        updateThread->start(QThread::InheritPriority);
}

void frmLogin::disableUpdateNotification()
{
    if (updateDialog)
        updateDialog->setNotificationButtonVisible(false);
    if (updateThread)
        updateThread->stop();
}
