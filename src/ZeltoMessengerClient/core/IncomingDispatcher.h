#ifndef INCOMINGDISPATCHER_H
#define INCOMINGDISPATCHER_H

#include "MessageReceipts.h"

#include <QString>
#include <QStringList>

#include <functional>

class AvatarLoader;
class ContactBook;
class IncomingView;

// Turns each incoming object of the session into changes of the contact book and the avatar
// queue, and tells the view what to show. Messages are confirmed to the server once shown.
class IncomingDispatcher
{
    Q_DISABLE_COPY(IncomingDispatcher)

public:
    struct Session {
        // The server's number of a message object; 0 when it has none.
        std::function<qint64(const QString &object)> messageId;
        MessageReceipts::Acknowledge acknowledge;
        // The logged-in account, whose avatar and seen messages are its own.
        std::function<QString()> ownUser;
    };

    IncomingDispatcher(ContactBook &book, AvatarLoader &avatars, IncomingView &view, Session session);

    // Never fails outward: what it cannot use is logged and dropped.
    void dispatch(const QString &object);

private:
    void message(const QString &object, const QStringList &parts);
    void returned(const QString &object, const QStringList &parts);
    void avatarIds(const QString &users);
    void stateChanged(const QString &user, int state);

    ContactBook &book;
    AvatarLoader &avatars;
    IncomingView &view;
    Session session;
    MessageReceipts receipts;
};

#endif
