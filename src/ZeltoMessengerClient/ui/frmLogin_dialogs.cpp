// Openers of the account dialogs, the update check and the dialogs' view of the main window.
#include "frmLogin.h"

#include "AppSettings.h"
#include "DialogSupport.h"
#include "LoginAccountLink.h"
#include "LoginStore.h"
#include "ProfilePayload.h"
#include "UiMessage.h"
#include "UpdateThread.h"
#include "frmAboutZMPQ.h"
#include "frmAboutZelto.h"
#include "frmChangePassword.h"
#include "frmConfig.h"
#include "frmContactRequests.h"
#include "frmProfile.h"
#include "frmProfileInfo.h"
#include "frmUpdate.h"
#include "ui_frmLogin.h"

#include <zmsgfw111q.h>

#include <QDebug>
#include <QIcon>
#include <QListWidget>
#include <QSettings>

namespace {

template <typename Dialog> void runDialog(Dialog &dialog)
{
    dialog.setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    dialog.show();
    dialog.exec();
}

} // namespace

void frmLogin::aboutZelto()
{
    frmAboutZelto dialog(this);
    runDialog(dialog);
}

void frmLogin::aboutZMP()
{
    LoginAccountLink link(this);
    frmAboutZMPQ dialog(this);
    dialog.setLogin(&link);
    dialog.setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    dialog.setWindowTitle(tr("About %1").arg(QStringLiteral("Zelto Messenger (ZMP)")));
    dialog.setBuildText();
    dialog.show();
    dialog.exec();
}

void frmLogin::changePassword()
{
    if (!isSessionLoggedIn()) {
        DialogSupport::showOffline(this);
        return;
    }
    LoginAccountLink link(this);
    frmChangePassword dialog(this);
    dialog.setLogin(&link);
    runDialog(dialog);
}

void frmLogin::openConfig()
{
    LoginAccountLink link(this);
    frmConfig dialog(translationDir, this);
    dialog.setLogin(&link);
    runDialog(dialog);
}

void frmLogin::showProfile()
{
    if (!isSessionLoggedIn())
        return;
    QListWidgetItem *item = contactListInUse ? contactListInUse->currentItem() : nullptr;
    if (!item || !itemContacts.contains(item))
        return;
    const QString user = itemContacts.value(item);
    const QString reply = zmsgfw->getUserProfileInfo(user);
    if (ProfilePayload::isFailure(reply)) {
        UiMessage::warning(this, tr("Show profile"), tr("Can't get Profile Image!"));
        return;
    }
    const ProfileInfo info = ProfilePayload::parse(reply);
    const QString name = displayName(user);

    frmProfileInfo dialog(this);
    dialog.setAccount(user);
    dialog.setName(name);
    dialog.setContacts(info.contacts);
    dialog.setSignature(info.signature);
    dialog.setStatus(statusMessages.value(user));
    dialog.setClients(info.clients, info.droppedClients);
    dialog.setWindowTitle(tr("%1 profile").arg(frmProfileInfo::titleName(name)));
    runDialog(dialog);
}

void frmLogin::openOwnProfile()
{
    if (!isSessionLoggedIn()) {
        DialogSupport::showOffline(this);
        return;
    }
    const QString account = ownUserName();
    const QString reply = zmsgfw->getUserProfileInfo(account);
    if (ProfilePayload::isFailure(reply))
        return;
    QString messageState = zmsgfw->getUserMessageState();
    if (ProfilePayload::isFailure(messageState))
        messageState.clear();
    const ProfileInfo info = ProfilePayload::parse(reply);

    LoginAccountLink link(this);
    frmProfile dialog(this);
    dialog.setLogin(&link);
    dialog.setData(account, ownNick, messageState, info.contacts);
    dialog.setClients(info.clients, info.droppedClients);
    runDialog(dialog);
}

void frmLogin::openFriendRequests()
{
    if (!isSessionLoggedIn()) {
        DialogSupport::showOffline(this);
        return;
    }
    LoginAccountLink link(this);
    frmContactRequests dialog(this);
    dialog.setLogin(&link);
    dialog.setRequests(friendRequests);
    runDialog(dialog);
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

void frmLogin::checkUpdate()
{
    if (!updateThread)
        return;
    if (updateThread->checkForUpdate()) {
        emit updateThread->updateIsNowAvailable();
        return;
    }
    UiMessage::information(this, tr("%1 Update").arg(QStringLiteral("Zelto Messenger")),
                           tr("You have the current version of %1!").arg(QStringLiteral("Zelto Messenger")));
}
