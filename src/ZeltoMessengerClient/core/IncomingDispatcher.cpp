#include "IncomingDispatcher.h"

#include "AvatarLoader.h"
#include "ContactBook.h"
#include "IncomingObject.h"
#include "IncomingView.h"
#include "PopupText.h"

#include <QCoreApplication>
#include <QDebug>

using namespace IncomingObject;

IncomingDispatcher::IncomingDispatcher(ContactBook &contacts, AvatarLoader &loader, IncomingView &shown, Session hooks)
    : book(contacts)
    , avatars(loader)
    , view(shown)
    , session(std::move(hooks))
    , receipts(session.acknowledge)
{}

void IncomingDispatcher::dispatch(const QString &object)
{
    QStringList parts;
    switch (modeOf(object, &parts)) {
    case Mode::Empty:
        return;
    case Mode::Message:
        qDebug() << "Go to MessageFromUser mode";
        message(object, parts);
        return;
    case Mode::Return:
        qDebug() << "Go to ReturnIntialize mode";
        returned(object, parts);
        return;
    case Mode::Other:
        qDebug().noquote() << object;
        return;
    }
}

void IncomingDispatcher::message(const QString &object, const QStringList &parts)
{
    // Taken first: showing the message may run an event loop in which the next one is read.
    const qint64 id = session.messageId(object);
    Message message;
    if (!parseMessage(object, parts, &message)) {
        receipts.confirm(id);
        return;
    }
    if (receipts.shownBefore(session.ownUser(), id, message.sender, message.text)) {
        // Delivered again because its confirmation was lost: it is in the chat already.
        qDebug() << "Message" << id << "from" << message.sender << "shown before";
        receipts.confirm(id);
        return;
    }
    if (!view.showMessage(message.sender, message.text))
        return;
    receipts.markShown(id, message.sender, message.text);
    receipts.confirm(id);
}

void IncomingDispatcher::returned(const QString &object, const QStringList &parts)
{
    const ReturnFields fields = parseReturn(parts);
    switch (branchOf(fields)) {
    case Branch::OwnAvatar:
        qDebug() << "Avatar sended";
        book.contactAvatars.insert(session.ownUser(), fields.avatar);
        avatars.fetch({fields.avatar});
        break;
    case Branch::ContactsWithStates:
        qDebug() << "Contacts with states list sended";
        view.contactsRefreshed(book.refresh(fields.users));
        break;
    case Branch::ContactsWithAvatar:
        qDebug() << "Contacts with avatar list sended";
        avatarIds(fields.users);
        break;
    case Branch::OwnState:
        qDebug() << "Online state has changed to" << fields.state << "with Icon" << ownStateIconPath(fields.state);
        view.ownStateChanged(fields.state);
        break;
    case Branch::FriendRequests:
        qDebug() << "Contacts request list sended";
        book.setFriendRequests(fields.users);
        view.friendRequestsChanged();
        break;
    case Branch::MaybeFailedMessage:
        qDebug() << "Maybe failed message";
        break;
    case Branch::StateNotification:
        qDebug() << "Online state notification with the id" << fields.state;
        stateChanged(fields.username, fields.state);
        break;
    case Branch::Unhandled:
        qDebug().noquote() << object;
        break;
    }
}

void IncomingDispatcher::avatarIds(const QString &users)
{
    QStringList wanted;
    for (const QString &entry : userListEntries(users)) {
        AvatarEntry avatar;
        if (!parseAvatarEntry(entry, &avatar))
            continue;
        const QString &user = avatar.user;
        const QString &id = avatar.avatarId;
        const bool loaded = avatars.images.contains(id);
        const auto known = book.contactAvatars.constFind(user);
        if (known != book.contactAvatars.cend() && *known == id && loaded) {
            if (!book.avatarShown.value(user, false)) {
                book.avatarShown.insert(user, true);
                view.contactIconChanged(user, book.states.value(user, 8));
            }
            continue;
        }
        // A new picture, or the known one not loaded yet.
        book.contactAvatars.insert(user, id);
        book.avatarShown.insert(user, false);
        if (!loaded)
            wanted.append(id);
    }
    avatars.fetch(wanted);
}

void IncomingDispatcher::stateChanged(const QString &user, int state)
{
    if (!isAccountName(user)) {
        qWarning() << "Refused a state notification without an account name";
        return;
    }
    const int oldState = book.states.value(user, 8);
    book.recordState(user, state);
    if (book.contactAvatars.contains(user) && state != oldState)
        view.contactIconChanged(user, state);
    view.contactChanged(user);

    const QString name = book.displayName(user);
    const QString title = QCoreApplication::translate("frmLogin", "Status changed");
    const QByteArray utf8 =
        (name + QLatin1Char(' ') + QCoreApplication::translate("frmLogin", "changed status")).toUtf8();
    view.notify({PopupText::header(name) + PopupText::line(utf8), title, QStringLiteral("ocw\n") + user,
                 stateNotificationImage(state), title, PopupText::plainLine(utf8)});
}
