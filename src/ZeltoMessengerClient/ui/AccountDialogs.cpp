#include "AccountDialogs.h"

#include "ContactBook.h"
#include "DialogSupport.h"
#include "LoginAccountLink.h"
#include "ProfilePayload.h"
#include "UiMessage.h"
#include "UpdateThread.h"
#include "frmAboutZMPQ.h"
#include "frmAboutZelto.h"
#include "frmChangePassword.h"
#include "frmConfig.h"
#include "frmContactRequests.h"
#include "frmLogin.h"
#include "frmProfile.h"
#include "frmProfileInfo.h"

#include <zmsgfw111q.h>

#include <QCoreApplication>
#include <QIcon>

namespace AccountDialogs {

namespace {

template <typename Dialog> void run(Dialog &dialog)
{
    dialog.setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    dialog.show();
    dialog.exec();
}

// False, with the Offline box, while the session is not logged in.
bool online(frmLogin *window)
{
    if (window->isSessionLoggedIn())
        return true;
    DialogSupport::showOffline(window);
    return false;
}

} // namespace

void aboutZelto(QWidget *parent)
{
    frmAboutZelto dialog(parent);
    run(dialog);
}

void aboutZmp(frmLogin *window)
{
    LoginAccountLink link(window);
    frmAboutZMPQ dialog(window);
    dialog.setLogin(&link);
    dialog.setWindowTitle(
        QCoreApplication::translate("frmLogin", "About %1").arg(QStringLiteral("Zelto Messenger (ZMP)")));
    dialog.setBuildText();
    run(dialog);
}

void changePassword(frmLogin *window)
{
    if (!online(window))
        return;
    LoginAccountLink link(window);
    frmChangePassword dialog(window);
    dialog.setLogin(&link);
    run(dialog);
}

void preferences(frmLogin *window)
{
    LoginAccountLink link(window);
    frmConfig dialog(window->translationDirectory(), window);
    dialog.setLogin(&link);
    run(dialog);
}

void profileInfo(frmLogin *window, const QString &user)
{
    if (!window->isSessionLoggedIn())
        return;
    const QString reply = window->session()->getUserProfileInfo(user);
    if (ProfilePayload::isFailure(reply)) {
        UiMessage::warning(window, QCoreApplication::translate("frmLogin", "Show profile"),
                           QCoreApplication::translate("frmLogin", "Can't get Profile Image!"));
        return;
    }
    const ProfileInfo info = ProfilePayload::parse(reply);
    const QString name = window->displayName(user);

    frmProfileInfo dialog(window);
    dialog.setAccount(user);
    dialog.setName(name);
    dialog.setContacts(info.contacts);
    dialog.setSignature(info.signature);
    dialog.setStatus(window->contacts().statusMessages.value(user));
    dialog.setClients(info.clients, info.droppedClients);
    dialog.setWindowTitle(QCoreApplication::translate("frmLogin", "%1 profile").arg(frmProfileInfo::titleName(name)));
    run(dialog);
}

void ownProfile(frmLogin *window)
{
    if (!online(window))
        return;
    const QString account = window->ownUserName();
    const QString reply = window->session()->getUserProfileInfo(account);
    if (ProfilePayload::isFailure(reply))
        return;
    QString messageState = window->session()->getUserMessageState();
    if (ProfilePayload::isFailure(messageState))
        messageState.clear();
    const ProfileInfo info = ProfilePayload::parse(reply);

    LoginAccountLink link(window);
    frmProfile dialog(window);
    dialog.setLogin(&link);
    dialog.setData(account, window->ownNickName(), messageState, info.contacts);
    dialog.setClients(info.clients, info.droppedClients);
    run(dialog);
}

void friendRequests(frmLogin *window)
{
    if (!online(window))
        return;
    LoginAccountLink link(window);
    frmContactRequests dialog(window);
    dialog.setLogin(&link);
    dialog.setRequests(window->pendingFriendRequests());
    run(dialog);
}

void checkUpdate(QWidget *parent, UpdateThread *thread)
{
    if (!thread)
        return;
    if (thread->checkForUpdate()) {
        emit thread->updateIsNowAvailable();
        return;
    }
    UiMessage::information(parent,
                           QCoreApplication::translate("frmLogin", "%1 Update").arg(QStringLiteral("Zelto Messenger")),
                           QCoreApplication::translate("frmLogin", "You have the current version of %1!")
                               .arg(QStringLiteral("Zelto Messenger")));
}

} // namespace AccountDialogs
