// Contact list and chat windows of the main window: its slots and the calls the other windows
// make on it. The rows are kept by ContactListView, the tables and name rules by ContactBook,
// the actions by ContactActions, the chat windows by ChatRegistry, the pictures by AvatarLoader.
#include "frmLogin.h"
#include "ui_frmLogin.h"

#include "AvatarThread.h"

#include <QCursor>
#include <QDebug>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>

void frmLogin::insertOfflineContact(QString user)
{
    if (!IncomingObject::isAccountName(user)) {
        qWarning() << "Refused a contact without an account name";
        return;
    }
    resetContactSearch();
    if (contactRows.insertOffline(user))
        chats.showAdded(user);
}

void frmLogin::clearContactTables()
{
    ui->lwContacts->clear();
    ui->lwContactsDesigned->clear();
    contactRows.clear();
}

void frmLogin::updateFriendRequests(QString added, QString removed)
{
    contactBook.updateFriendRequests(added, removed);
    updateWelcomeLine(ownNick);
}

void frmLogin::resetContactSearch()
{
    ui->txtContactsSearch->clear();
    if (contactListInUse)
        contactListInUse->setFocus(Qt::OtherFocusReason);
    contactRows.filter(QString());
}

void frmLogin::on_labContactsSearchReset_mouseRelease(QMouseEvent *ev)
{
    const QPoint at = ev ? ev->pos() : ui->labContactsSearchReset->mapFromGlobal(QCursor::pos());
    if (ui->labContactsSearchReset->rect().contains(at))
        resetContactSearch();
}

QString frmLogin::currentContact() const
{
    return contactListInUse ? contactRows.userOf(contactListInUse->currentItem()) : QString();
}

void frmLogin::showContactMenu(QListWidget *list)
{
    const QString user = contactRows.userOf(list->currentItem());
    if (user.isEmpty())
        return;
    QMenu menu(this);
    menu.addAction(tr("Show profile"), this, &frmLogin::showProfile);
    menu.addAction(tr("Open Chat"), this, &frmLogin::openChat);
    menu.addAction(tr("Rename contact"), this, &frmLogin::triggerSetCustomNick);
    menu.addAction(tr("Remove contact"), this, &frmLogin::removeContact);
    if (hasCustomNick(user))
        menu.addAction(tr("Reset name"), this, &frmLogin::triggerRemoveCustomNick);
    menu.exec(QCursor::pos());
}

void frmLogin::on_lwContacts_customContextMenuRequested(QPoint)
{
    showContactMenu(ui->lwContacts);
}

void frmLogin::on_lwContactsDesigned_customContextMenuRequested(QPoint)
{
    showContactMenu(ui->lwContactsDesigned);
}

void frmLogin::openChatForItem(QListWidgetItem *item)
{
    const QString user = contactRows.userOf(item);
    if (user.isEmpty())
        return;
    const QStringList lines = item->text().split(QLatin1Char('\n'));
    openChatWindow(user, lines.value(0), statusMessages.value(user), stateIcons.value(user), states.value(user),
                   contactAvatars.value(user), false);
}

void frmLogin::openChat()
{
    if (contactListInUse)
        openChatForItem(contactListInUse->currentItem());
}

void frmLogin::closeAllChatWindows()
{
    chats.closeAll();
    avatars.stop();
}

void frmLogin::setAvatarWorkFalse()
{
    avatars.finish(qobject_cast<AvatarThread *>(sender()));
}
