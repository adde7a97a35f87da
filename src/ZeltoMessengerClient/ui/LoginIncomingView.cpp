#include "LoginIncomingView.h"

#include "ChatRegistry.h"
#include "ContactListView.h"
#include "IncomingObject.h"
#include "MessageFormat.h"
#include "NotificationPresenter.h"
#include "PopupText.h"
#include "frmChat.h"
#include "frmLogin.h"

#include <QCoreApplication>

LoginIncomingView::LoginIncomingView(frmLogin *owner, ContactBook &contacts, ContactListView &contactRows,
                                     ChatRegistry &chatWindows, NotificationPresenter &presenter)
    : window(owner)
    , book(contacts)
    , rows(contactRows)
    , chats(chatWindows)
    , notices(presenter)
{}

void LoginIncomingView::openFor(const QString &sender, const QString &name)
{
    chats.makeRoom(rows.items);
    if (book.nicks.contains(sender) && book.statusMessages.contains(sender)) {
        const int state = book.states.value(sender, 8);
        chats.open(sender, name, book.statusMessages.value(sender),
                   book.stateIcons.value(sender, IncomingObject::stateIconPath(state)), state,
                   book.contactAvatars.value(sender), true);
        return;
    }
    const QString stranger =
        QCoreApplication::translate("frmLogin",
                                    "<span style=\"color: blue;\">%1</span><span> is not in your contacts!</span>")
            .arg(MessageFormat::escapeName(name));
    if (frmChat *chat = chats.open(sender, name, QString(), IncomingObject::stateIconPath(8), 8, QString(), true))
        chat->setStatusMarkup(stranger);
}

bool LoginIncomingView::showMessage(const QString &sender, const QString &text)
{
    const QString name = book.displayName(sender);
    if (!chats.windows.contains(sender)) {
        openFor(sender, name);
        window->playChatIn();
    }
    frmChat *chat = chats.windows.value(sender);
    if (!chat)
        return false;
    if (!chat->isActiveWindow() || chat->isMinimized()) {
        // The popup shows the start only: a long message is not decoded whole for it.
        const QByteArray decoded = MessageFormat::decodeEntitiesStart(text, 64);
        const QString line = chat->formatMessage(PopupText::line(decoded));
        window->showNotification(PopupText::header(name) + line,
                                 QCoreApplication::translate("frmLogin", "Incoming Message"),
                                 QStringLiteral("ocw\n") + sender, QStringLiteral(":/img/notification-mail.png"), name,
                                 PopupText::plainLine(decoded));
        window->playChatIn();
    }
    // The popup or the sound may have run an event loop in which the window went away.
    chat = chats.windows.value(sender);
    if (!chat)
        return false;
    chat->receiveMessage(text);
    if (chat->isMinimized())
        notices.flash(chat);
    return true;
}

void LoginIncomingView::contactsRefreshed(const QVector<ContactBook::Change> &changes)
{
    for (const QString &user : rows.refresh(changes))
        chats.updateInfo(user);
}

void LoginIncomingView::contactIconChanged(const QString &user, int state)
{
    rows.rebuildIcon(user, state);
}

void LoginIncomingView::contactChanged(const QString &user)
{
    chats.updateInfo(user);
}

void LoginIncomingView::ownStateChanged(int state)
{
    window->showOwnState(state);
}

void LoginIncomingView::friendRequestsChanged()
{
    window->updateWelcomeLine(window->ownNickName());
}

void LoginIncomingView::notify(const NotificationQueue::Note &note)
{
    notices.show(note);
}
