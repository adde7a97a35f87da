#include "LoginAccountLink.h"

#include "frmLogin.h"

#include <QImage>

LoginAccountLink::LoginAccountLink(frmLogin *owner)
    : window(owner)
{}

bool LoginAccountLink::isOnline()
{
    return window->isSessionLoggedIn();
}
QString LoginAccountLink::accountName()
{
    return window->ownUserName();
}
QString LoginAccountLink::ownAvatarId()
{
    return window->ownAvatarId();
}
QString LoginAccountLink::hostName()
{
    return window->localHostName();
}
QString LoginAccountLink::getClassVersion()
{
    return window->getClassVersion();
}
int LoginAccountLink::setUserNick(const QString &nick)
{
    return window->setUserNick(nick);
}
int LoginAccountLink::setUserMessageState(const QString &message)
{
    return window->setUserMessageState(message);
}

int LoginAccountLink::setUserPassword(const QString &oldPassword, const QString &newPassword)
{
    return window->setUserPassword(oldPassword, newPassword);
}

int LoginAccountLink::addUserContact(const QString &user)
{
    return window->addUserContact(user);
}
int LoginAccountLink::delUserContact(const QString &user)
{
    return window->delUserContact(user);
}
bool LoginAccountLink::uploadAvatar(const QImage &image)
{
    return window->uploadAvatar(image);
}
void LoginAccountLink::updateWelcomeLine(const QString &nick)
{
    window->updateWelcomeLine(nick);
}
void LoginAccountLink::passwordChanged(const QString &newPassword)
{
    window->takeChangedPassword(newPassword);
}

void LoginAccountLink::updateFriendRequests(const QString &added, const QString &removed)
{
    window->updateFriendRequests(added, removed);
}

void LoginAccountLink::insertOfflineContact(const QString &user)
{
    window->insertOfflineContact(user);
}

void LoginAccountLink::addContactByName(const QString &user, QWidget *parent)
{
    window->addContactByName(user, parent);
}

void LoginAccountLink::applyDesignedStyles()
{
    window->applyDesignedStyles();
}
void LoginAccountLink::enableUpdateNotification()
{
    window->enableUpdateNotification();
}
void LoginAccountLink::disableUpdateNotification()
{
    window->disableUpdateNotification();
}
