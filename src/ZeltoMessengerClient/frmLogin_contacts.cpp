// Contact list of the main window.
// Minimal placeholder bodies so the window builds; the contact-list work replaces this file.
#include "frmLogin.h"
#include "ui_frmLogin.h"

#include <QListWidget>
#include <QSettings>

QString frmLogin::stateName(int state)
{
    switch (state) {
    case 1: return QStringLiteral("Online");
    case 2: return QStringLiteral("Away");
    case 3: return QStringLiteral("Busy");
    case 4: return QStringLiteral("Not just");
    case 5: return QStringLiteral("Show offline");
    default: return QStringLiteral("Offline");
    }
}

QString frmLogin::stateIconPath(int state)
{
    switch (state) {
    case 1: return QStringLiteral(":/img/online-t2x64.png");
    case 2: return QStringLiteral(":/img/away-t2x64.png");
    case 3: return QStringLiteral(":/img/busy-t2x64.png");
    case 4: return QStringLiteral(":/img/notjust-t1x64.png");
    case 5: return QStringLiteral(":/img/showoffline-t1x64.png");
    default: return QStringLiteral(":/img/offline-t1x64.png");
    }
}

QString frmLogin::ownStateIconPath(int state)
{
    return state == 5 ? QStringLiteral(":/img/offline-t1x64.png") : stateIconPath(state);
}

QString frmLogin::stateNotificationImage(int state)
{
    switch (state) {
    case 1: return QStringLiteral(":/img/notification-online.png");
    case 2: return QStringLiteral(":/img/notification-away.png");
    case 3: return QStringLiteral(":/img/notification-busy.png");
    case 4: return QStringLiteral(":/img/notification-notjust.png");
    case 5: return QStringLiteral(":/img/notification-showoffline.png");
    default: return QStringLiteral(":/img/notification-offline.png");
    }
}

QString frmLogin::displayName(QString user)
{
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    const QString nick = settings.value(QStringLiteral("Nick/") + user, nicks.value(user, user)).toString();
    const QString custom = settings.value(QStringLiteral("CustomNick/") + user, nick).toString();
    return custom.trimmed().isEmpty() ? nick : custom;
}

void frmLogin::updateFriendRequests(QString added, QString removed)
{
    if (!added.isEmpty()) {
        friendRequests.append(added);
        friendRequests.sort(Qt::CaseSensitive);
    }
    if (!removed.isEmpty())
        friendRequests.removeAll(removed);
    updateWelcomeLine(ownNick);
}

void frmLogin::clearContactTables()
{
    ui->lwContacts->clear();
    ui->lwContactsDesigned->clear();
    contactItems.clear();
    itemContacts.clear();
    nicks.clear();
    states.clear();
    stateIcons.clear();
    statusMessages.clear();
    contactAvatars.clear();
    avatarShown.clear();
    friendRequests.clear();
}

void frmLogin::on_lwContacts_itemDoubleClicked(QListWidgetItem *) {}
void frmLogin::on_lwContacts_customContextMenuRequested(QPoint) {}
void frmLogin::on_lwContactsDesigned_customContextMenuRequested(QPoint) {}
void frmLogin::on_lwContactsDesigned_itemDoubleClicked(QListWidgetItem *) {}
void frmLogin::on_txtContactsSearch_textEdited(QString) {}
void frmLogin::on_labContactsSearchReset_mouseRelease(QMouseEvent *) {}
void frmLogin::openChat() {}
void frmLogin::addContact() {}
void frmLogin::removeContact() {}
void frmLogin::triggerRemoveCustomNick() {}
void frmLogin::triggerSetCustomNick() {}
void frmLogin::insertOfflineContact(QString) {}
void frmLogin::addContactByName(QString, QWidget *) {}
