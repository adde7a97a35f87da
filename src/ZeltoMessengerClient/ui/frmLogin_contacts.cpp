// Contact list of the main window: the per-contact tables, display names, contact icons,
// the search filter and the contact actions.
#include "frmLogin.h"
#include "ui_frmLogin.h"

#include "DialogSupport.h"
#include "IncomingObject.h"
#include "MessageFormat.h"
#include "UiMessage.h"
#include "frmChat.h"
#include "zmsgfw111q.h"

#include <QCursor>
#include <QDebug>
#include <QInputDialog>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QSettings>

namespace {

Qt::WindowFlags inputDialogFlags()
{
    return QInputDialog().windowFlags()
        ^ (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint);
}

} // namespace

// ---------------------------------------------------------------------------------------
// State tables

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

// ---------------------------------------------------------------------------------------
// Display names

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

// ---------------------------------------------------------------------------------------
// Contact icons

QIcon frmLogin::makeContactIcon(QImage avatar, QImage stateIcon)
{
    const bool designed = isDesignedMode();
    const QSize canvas = designed ? QSize(68, 54) : QSize(52, 38);
    const int avatarSide = designed ? 48 : 32;
    const QPoint badgeAt = designed ? QPoint(52, 19) : QPoint(36, 11);

    QPixmap pixmap(canvas);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 3), QSize(avatarSide, avatarSide)), avatar);
    painter.drawImage(QRect(badgeAt, QSize(16, 16)), stateIcon);
    painter.end();
    return QIcon(pixmap);
}

QString frmLogin::contactIconKey(const QString &user, int state) const
{
    const QString avatarId = contactAvatars.value(user);
    const bool haveImage = avatarImages.contains(avatarId);
    const int badge = (state >= 1 && state <= 5) ? state : 8;
    return QString::number(badge) + QLatin1Char(designedMode ? 'd' : 'c') + QLatin1Char(haveImage ? '+' : '-')
        + avatarId;
}

QIcon frmLogin::contactIcon(const QString &user, int state)
{
    // Icons are shared between every contact with the same picture and state, so a refresh
    // in which many states change does not paint thousands of identical pixmaps.
    const QString avatarId = contactAvatars.value(user);
    const QString key = contactIconKey(user, state);
    const auto cached = contactIconCache.constFind(key);
    if (cached != contactIconCache.constEnd())
        return cached.value();
    if (contactIconCache.size() > 4096)
        contactIconCache.clear();
    const QIcon icon = makeContactIcon(contactAvatarImage(avatarId), QImage(stateIconPath(state)));
    contactIconCache.insert(key, icon);
    return icon;
}

void frmLogin::rebuildContactIcon(const QString &user, int state)
{
    if (QListWidgetItem *item = contactItems.value(user))
        setContactIcon(item, user, state);
}

void frmLogin::setContactIcon(QListWidgetItem *item, const QString &user, int state)
{
    // Setting an icon makes the sorted list look at the row again; skip it when the row
    // already shows exactly this picture and badge.
    const QString key = contactIconKey(user, state);
    if (item->data(IconKeyRole).toString() == key)
        return;
    item->setIcon(contactIcon(user, state));
    item->setData(IconKeyRole, key);
}

// ---------------------------------------------------------------------------------------
// Rows

QString frmLogin::contactOfItem(QListWidgetItem *item) const
{
    if (!item)
        return QString();
    return itemContacts.value(item);
}

QString frmLogin::currentContact() const
{
    return contactListInUse ? contactOfItem(contactListInUse->currentItem()) : QString();
}

void frmLogin::updateChatInfo(const QString &user)
{
    frmChat *chat = chatWindows.value(user);
    if (!chat)
        return;
    const int state = states.contains(user) ? states.value(user) : 8;
    chat->setInfo(user, displayName(user), statusMessages.value(user), ownNick,
                  stateIcons.value(user, stateIconPath(state)), state, contactAvatars.value(user), false);
}

void frmLogin::insertOfflineContact(QString user)
{
    if (!IncomingObject::isAccountName(user)) {
        qWarning() << "Refused a contact without an account name";
        return;
    }
    resetContactSearch();
    if (contactItems.contains(user))
        return;
    auto *item = new QListWidgetItem(user + QLatin1Char('\n'));
    item->setIcon(makeContactIcon(contactAvatarImage(QString()), QImage(stateIconPath(8))));
    contactItems.insert(user, item);
    contactBook.insertOffline(user);
    itemContacts.insert(item, user);
    contactListInUse->addItem(item);

    if (frmChat *chat = chatWindows.value(user))
        chat->setInfo(user, user, QString(), ownNick, stateIconPath(8), 8, QString(), false);
}

void frmLogin::clearContactTables()
{
    ui->lwContacts->clear();
    ui->lwContactsDesigned->clear();
    contactItems.clear();
    itemContacts.clear();
    contactBook.clear();
    contactIconCache.clear();
}

void frmLogin::updateFriendRequests(QString added, QString removed)
{
    contactBook.updateFriendRequests(added, removed);
    updateWelcomeLine(ownNick);
}

// ---------------------------------------------------------------------------------------
// Search

void frmLogin::on_txtContactsSearch_textEdited(QString text)
{
    for (auto it = contactItems.constBegin(); it != contactItems.constEnd(); ++it)
        it.value()->setHidden(!contactBook.matchesSearch(it.key(), text));
}

void frmLogin::resetContactSearch()
{
    ui->txtContactsSearch->clear();
    if (contactListInUse)
        contactListInUse->setFocus(Qt::OtherFocusReason);
    on_txtContactsSearch_textEdited(QString());
}

void frmLogin::on_labContactsSearchReset_mouseRelease(QMouseEvent *ev)
{
    const QPoint at = ev ? ev->pos() : ui->labContactsSearchReset->mapFromGlobal(QCursor::pos());
    if (ui->labContactsSearchReset->rect().contains(at))
        resetContactSearch();
}

// ---------------------------------------------------------------------------------------
// Context menu and actions

void frmLogin::showContactMenu(QListWidget *list)
{
    const QString user = contactOfItem(list->currentItem());
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
    const QString user = contactOfItem(item);
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
    contactItems.value(user)->setText(ContactBook::rowText(answer, statusMessages.value(user)));
    updateChatInfo(user);
}

void frmLogin::triggerRemoveCustomNick()
{
    const QString user = currentContact();
    if (user.isEmpty())
        return;
    setCustomNick(user, QString());
    contactItems.value(user)->setText(ContactBook::rowText(displayName(user), statusMessages.value(user)));
    updateChatInfo(user);
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
    const int result = delUserContact(user);
    if (result != 200) {
        UiMessage::warning(this, tr("Remove contact"), tr("Can't remove %1 from your Contacts!").arg(nick));
        return;
    }
    QListWidgetItem *item = contactItems.value(user);
    if (!item)
        return;
    itemContacts.remove(item);
    if (frmChat *chat = chatWindows.take(user))
        chat->close();
    contactItems.remove(user);
    contactBook.remove(user);
    delete item;
}

bool frmLogin::addContactOnce(const QString &name, QWidget *parent)
{
    if (!IncomingObject::isAccountName(name)) {
        qWarning() << "Refused to add a contact without an account name";
        return true;
    }
    const QString escaped = MessageFormat::escapeHtml(name);
    const int result = addUserContact(escaped);
    if (result == 200) {
        insertOfflineContact(escaped);
        return true;
    }
    if (result == 404) {
        UiMessage::information(parent, tr("Add contact"), tr("The account %1 don't exists!").arg(name));
        return false;
    }
    UiMessage::warning(parent, tr("Add contact"), tr("Add contact failed!"));
    return true;
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
