#include "ContactActions.h"

#include "ChatRegistry.h"
#include "ContactListView.h"
#include "DialogSupport.h"
#include "IncomingObject.h"
#include "MessageFormat.h"
#include "UiMessage.h"
#include "frmLogin.h"

#include <QCoreApplication>
#include <QDebug>
#include <QInputDialog>

namespace {

Qt::WindowFlags inputDialogFlags()
{
    return QInputDialog().windowFlags()
        ^ (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowContextHelpButtonHint);
}

} // namespace

ContactActions::ContactActions(frmLogin *owner, ContactListView &contactRows, ChatRegistry &chatWindows)
    : window(owner)
    , rows(contactRows)
    , chats(chatWindows)
{}

bool ContactActions::online(QWidget *parent)
{
    if (window->isSessionLoggedIn())
        return true;
    DialogSupport::showOffline(parent);
    return false;
}

void ContactActions::rename(const QString &user)
{
    if (user.isEmpty())
        return;
    // Only the account name is kept across the dialog: a logout while it is open frees the row.
    bool ok = false;
    const QString answer =
        QInputDialog::getText(window, QCoreApplication::translate("frmLogin", "Rename contact"),
                              QCoreApplication::translate("frmLogin", "Please type in the new contact name"),
                              QLineEdit::Normal, window->displayName(user), &ok, inputDialogFlags());
    if (!ok || answer.trimmed().isEmpty() || !rows.items.contains(user))
        return;
    window->setCustomNick(user, answer);
    rows.setName(user, answer);
    chats.updateInfo(user);
}

void ContactActions::resetName(const QString &user)
{
    if (user.isEmpty())
        return;
    window->setCustomNick(user, QString());
    rows.setName(user, window->displayName(user));
    chats.updateInfo(user);
}

void ContactActions::remove(const QString &user)
{
    if (!online(window) || user.isEmpty())
        return;
    const QString nick = window->contacts().nicks.value(user);
    const QString title = QCoreApplication::translate("frmLogin", "Remove contact");
    if (UiMessage::question(
            window, title,
            QCoreApplication::translate("frmLogin", "Are you sure to remove %1 from your Contacts?").arg(nick))
        != QMessageBox::Yes)
        return;
    // The question box runs an event loop: the session may have ended and the row be gone.
    if (!window->isSessionLoggedIn() || !rows.items.contains(user))
        return;
    if (window->delUserContact(user) != 200) {
        UiMessage::warning(window, title,
                           QCoreApplication::translate("frmLogin", "Can't remove %1 from your Contacts!").arg(nick));
        return;
    }
    chats.close(user);
    rows.remove(user);
}

bool ContactActions::addOnce(const QString &name, QWidget *parent)
{
    if (!IncomingObject::isAccountName(name)) {
        qWarning() << "Refused to add a contact without an account name";
        return true;
    }
    const QString escaped = MessageFormat::escapeHtml(name);
    const int result = window->addUserContact(escaped);
    const QString title = QCoreApplication::translate("frmLogin", "Add contact");
    if (result == 200)
        window->insertOfflineContact(escaped);
    else if (result == 404)
        UiMessage::information(parent, title,
                               QCoreApplication::translate("frmLogin", "The account %1 don't exists!").arg(name));
    else
        UiMessage::warning(parent, title, QCoreApplication::translate("frmLogin", "Add contact failed!"));
    return result != 404;
}

void ContactActions::add()
{
    if (!online(window))
        return;
    for (;;) {
        bool ok = false;
        const QString name = QInputDialog::getText(
            window, QCoreApplication::translate("frmLogin", "Add contact"),
            QCoreApplication::translate("frmLogin", "Please type in the account name of your contact"),
            QLineEdit::Normal, QString(), &ok, inputDialogFlags());
        if (!ok || !IncomingObject::isAccountName(name) || !online(window) || addOnce(name, window))
            return;
    }
}

void ContactActions::addByName(const QString &name, QWidget *parent)
{
    if (online(parent))
        addOnce(name, parent);
}
