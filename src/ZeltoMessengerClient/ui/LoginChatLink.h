#ifndef LOGINCHATLINK_H
#define LOGINCHATLINK_H

#include "ChatLink.h"

#include <QList>
#include <QObject>
#include <QPointer>

class frmLogin;

// The chat windows' view of the main window: forwards to its public calls. A child of the
// main window that owns the chat windows it adopted, so they go with the main window.
class LoginChatLink : public QObject, public ChatLink
{
public:
    explicit LoginChatLink(frmLogin *window);
    ~LoginChatLink() override;

    void adopt(frmChat *chat);

    bool isOnline() override;
    int sendMessage(const QString &user, const QString &text) override;
    QImage contactAvatarImage(const QString &avatarId) override;
    QString stateName(int state) override;
    void chatWindowClosed(const QString &user, frmChat *chat) override;

private:
    frmLogin *window;
    QList<QPointer<frmChat>> chats;
};

#endif
