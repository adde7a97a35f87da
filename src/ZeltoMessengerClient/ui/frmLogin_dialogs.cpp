// Openers of the account dialogs, the update check and the dialogs' view of the main window.
#include "frmLogin.h"

#include "AppSettings.h"
#include "UpdateThread.h"
#include "AccountLink.h"
#include "frmAboutZMPQ.h"
#include "frmAboutZelto.h"
#include "frmChangePassword.h"
#include "frmConfig.h"
#include "frmContactRequests.h"
#include "frmProfile.h"
#include "frmProfileInfo.h"
#include "frmUpdate.h"
#include "LoginStore.h"
#include "ProfilePayload.h"
#include "ui_frmLogin.h"
#include "DialogSupport.h"
#include "UiMessage.h"

#include <zmsgfw111q.h>

#include <QDebug>
#include <QIcon>
#include <QListWidget>
#include <QSettings>

// Answers the dialogs' questions with this window's state and session.
class frmLoginLink : public AccountLink
{
public:
    explicit frmLoginLink(frmLogin *window)
        : w(window)
    {
    }

    bool isOnline() override { return w->isSessionLoggedIn(); }
    QString accountName() override { return w->ownUserName(); }
    QString ownAvatarId() override { return w->contactAvatars.value(w->ownUserName()); }
    QString hostName() override { return w->localHostName(); }
    QString getClassVersion() override { return w->getClassVersion(); }
    int setUserNick(const QString &nick) override { return w->setUserNick(nick); }
    int setUserMessageState(const QString &message) override { return w->setUserMessageState(message); }
    int setUserPassword(const QString &oldPassword, const QString &newPassword) override
    {
        return w->setUserPassword(oldPassword, newPassword);
    }
    int addUserContact(const QString &user) override { return w->addUserContact(user); }
    int delUserContact(const QString &user) override { return w->delUserContact(user); }
    bool uploadAvatar(const QImage &image) override { return w->uploadAvatar(image); }
    void updateWelcomeLine(const QString &nick) override { w->updateWelcomeLine(nick); }
    void passwordChanged(const QString &newPassword) override { w->takeChangedPassword(newPassword); }
    void updateFriendRequests(const QString &added, const QString &removed) override
    {
        w->updateFriendRequests(added, removed);
    }
    void insertOfflineContact(const QString &user) override { w->insertOfflineContact(user); }
    void addContactByName(const QString &user, QWidget *parent) override { w->addContactByName(user, parent); }
    void applyDesignedStyles() override { w->applyDesignedStyles(); }
    void enableUpdateNotification() override { w->enableUpdateNotification(); }
    void disableUpdateNotification() override { w->disableUpdateNotification(); }

private:
    frmLogin *w;
};

namespace {

template <typename Dialog>
void runDialog(Dialog &dialog)
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
    frmLoginLink link(this);
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
    frmLoginLink link(this);
    frmChangePassword dialog(this);
    dialog.setLogin(&link);
    runDialog(dialog);
}

void frmLogin::openConfig()
{
    frmLoginLink link(this);
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

    frmLoginLink link(this);
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
    frmLoginLink link(this);
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
