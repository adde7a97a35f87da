#ifndef CHATLINK_H
#define CHATLINK_H

#include <QImage>
#include <QString>

class frmChat;

// What a chat window needs from the main window that owns it: the session check, the
// synchronous send, the avatar and state tables, and the deregistration on close.
class ChatLink
{
public:
    virtual ~ChatLink() = default;

    // Session flag set and the session object logged in.
    virtual bool isOnline() = 0;
    // Sends the already escaped text; returns the session's result code.
    virtual int sendMessage(const QString &user, const QString &text) = 0;
    virtual QImage contactAvatarImage(const QString &avatarId) = 0;
    virtual QString stateName(int state) = 0;
    // The window is closing and forgets itself; the owner drops it from its table.
    virtual void chatWindowClosed(const QString &user, frmChat *window) = 0;
};

#endif
