// Contact list of the main window: the name rules, the search filter and the contact actions.
// The rows are kept by ContactListView, the tables and name rules by ContactBook.
#include "frmLogin.h"
#include "ui_frmLogin.h"

#include "DialogSupport.h"
#include "IncomingObject.h"
#include "MessageFormat.h"
#include "UiMessage.h"

#include <QCursor>
#include <QDebug>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>

namespace {

Qt::WindowFlags inputDialogFlags()
{
    return QInputDialog().windowFlags()
        ^ (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint);
}

} // namespace

QString frmLogin::stateName(int state)
{
    return QLatin1String(IncomingObject::stateName(state));
}

QString frmLogin::stateIconPath(int state)
{
    return IncomingObject::stateIconPath(state);
}

QString frmLogin::ownStateIconPath(int state)
{
    return IncomingObject::ownStateIconPath(state);
}

QString frmLogin::stateNotificationImage(int state)
{
    return IncomingObject::stateNotificationImage(state);
}

QString frmLogin::displayName(QString user)
{
    return contactBook.displayName(user);
}

bool frmLogin::hasCustomNick(QString user)
{
    return contactBook.hasCustomNick(user);
}

void frmLogin::setCustomNick(QString user, QString nick)
{
    contactBook.setCustomNick(user, nick);
}

QString frmLogin::ownAvatarId()
{
    return contactAvatars.value(ownUserName());
}

QIcon frmLogin::makeContactIcon(QImage avatar, QImage stateIcon)
{
    return ContactListView::makeIcon(avatar, stateIcon, isDesignedMode());
}

std::optional<int> frmLogin::contactState(const QString &user) const
{
    const auto found = states.constFind(user);
    return found == states.cend() ? std::nullopt : std::optional<int>(*found);
}

bool frmLogin::isContactAvatarLoaded(const QString &user) const
{
    const QString id = contactAvatars.value(user);
    return !id.isEmpty() && avatarImages.contains(id);
}

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

void frmLogin::on_txtContactsSearch_textEdited(QString text)
{
    contactRows.filter(text);
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

void frmLogin::on_lwContacts_itemDoubleClicked(QListWidgetItem *item)
{
    openChatForItem(item);
}

void frmLogin::on_lwContactsDesigned_itemDoubleClicked(QListWidgetItem *item)
{
    openChatForItem(item);
}

void frmLogin::openChat()
{
    if (contactListInUse)
        openChatForItem(contactListInUse->currentItem());
}

void frmLogin::triggerSetCustomNick()
{
    // Only the account name is kept across the dialog: a logout while it is open frees the row.
    const QString user = currentContact();
    if (user.isEmpty())
        return;
    bool ok = false;
    const QString answer = QInputDialog::getText(this, tr("Rename contact"), tr("Please type in the new contact name"),
                                                 QLineEdit::Normal, displayName(user), &ok, inputDialogFlags());
    if (!ok || answer.trimmed().isEmpty() || !contactItems.contains(user))
        return;
    setCustomNick(user, answer);
    contactRows.setName(user, answer);
    chats.updateInfo(user);
}

void frmLogin::triggerRemoveCustomNick()
{
    const QString user = currentContact();
    if (user.isEmpty())
        return;
    setCustomNick(user, QString());
    contactRows.setName(user, displayName(user));
    chats.updateInfo(user);
}

void frmLogin::removeContact()
{
    if (!isSessionLoggedIn()) {
        DialogSupport::showOffline(this);
        return;
    }
    const QString user = currentContact();
    if (user.isEmpty())
        return;
    const QString nick = nicks.value(user);
    if (UiMessage::question(this, tr("Remove contact"), tr("Are you sure to remove %1 from your Contacts?").arg(nick))
        != QMessageBox::Yes)
        return;
    // The question box runs an event loop: the session may have ended and the row be gone.
    if (!isSessionLoggedIn() || !contactItems.contains(user))
        return;
    if (delUserContact(user) != 200) {
        UiMessage::warning(this, tr("Remove contact"), tr("Can't remove %1 from your Contacts!").arg(nick));
        return;
    }
    chats.close(user);
    contactRows.remove(user);
}

bool frmLogin::addContactOnce(const QString &name, QWidget *parent)
{
    if (!IncomingObject::isAccountName(name)) {
        qWarning() << "Refused to add a contact without an account name";
        return true;
    }
    const QString escaped = MessageFormat::escapeHtml(name);
    const int result = addUserContact(escaped);
    if (result == 200)
        insertOfflineContact(escaped);
    else if (result == 404)
        UiMessage::information(parent, tr("Add contact"), tr("The account %1 don't exists!").arg(name));
    else
        UiMessage::warning(parent, tr("Add contact"), tr("Add contact failed!"));
    return result != 404;
}

void frmLogin::addContact()
{
    if (!isSessionLoggedIn()) {
        DialogSupport::showOffline(this);
        return;
    }
    for (;;) {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, tr("Add contact"), tr("Please type in the account name of your contact"),
                                  QLineEdit::Normal, QString(), &ok, inputDialogFlags());
        if (!ok || !IncomingObject::isAccountName(name))
            return;
        if (!isSessionLoggedIn()) {
            DialogSupport::showOffline(this);
            return;
        }
        if (addContactOnce(name, this))
            return;
    }
}

void frmLogin::addContactByName(QString user, QWidget *parent)
{
    if (!isSessionLoggedIn()) {
        DialogSupport::showOffline(parent);
        return;
    }
    addContactOnce(user, parent);
}
