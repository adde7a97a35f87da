#include "LoginChatLink.h"

#include "frmChat.h"
#include "frmLogin.h"

LoginChatLink::LoginChatLink(frmLogin *owner)
    : QObject(owner)
    , window(owner)
{}

LoginChatLink::~LoginChatLink()
{
    // The chat windows save their geometry as they close.
    for (const QPointer<frmChat> &chat : qAsConst(chats)) {
        if (!chat)
            continue;
        chat->setOwner(nullptr);
        chat->close();
        delete chat.data();
    }
}

void LoginChatLink::adopt(frmChat *chat)
{
    chats.removeAll(QPointer<frmChat>());
    chats.append(chat);
    chat->setOwner(this);
}

bool LoginChatLink::isOnline()
{
    return window->isSessionLoggedIn();
}

int LoginChatLink::sendMessage(const QString &user, const QString &text)
{
    return window->sendMessageToUser(user, text);
}

QImage LoginChatLink::contactAvatarImage(const QString &avatarId)
{
    return window->contactAvatarImage(avatarId);
}

QString LoginChatLink::stateName(int state)
{
    return frmLogin::tr(qPrintable(frmLogin::stateName(state)));
}

void LoginChatLink::chatWindowClosed(const QString &user, frmChat *chat)
{
    window->forgetChatWindow(user, chat);
}
