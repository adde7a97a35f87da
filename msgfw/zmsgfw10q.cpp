#include "zmsgfw10q.h"

#include "zmsgfw10protocol.h"

ZMsgFw10Q::ZMsgFw10Q(QObject *parent)
    : QObject(parent)
    , m_session(new ZMsgFw10Protocol)
{}

ZMsgFw10Q::~ZMsgFw10Q() = default;

int ZMsgFw10Q::logoutUser()
{
    return m_session->logoutUser();
}

bool ZMsgFw10Q::isLoggedIn()
{
    return m_session->isLoggedIn();
}

int ZMsgFw10Q::loginUser(QString username, QString password)
{
    return m_session->loginUser(username, password);
}

QString ZMsgFw10Q::getClassVersion()
{
    return m_session->getClassVersion();
}

bool ZMsgFw10Q::isObjectIncoming()
{
    return m_session->isObjectIncoming();
}

QString ZMsgFw10Q::readObject()
{
    return m_session->readObject();
}

QString ZMsgFw10Q::getUserContacts()
{
    return m_session->getUserContacts();
}

QString ZMsgFw10Q::getUserContactsLength()
{
    return m_session->getUserContactsLength();
}

QString ZMsgFw10Q::getUserContactsRequests()
{
    return m_session->getUserContactsRequests();
}

QString ZMsgFw10Q::getUserFriendRequests()
{
    return m_session->getUserFriendRequests();
}

QString ZMsgFw10Q::getUserContactsWithStates()
{
    return m_session->getUserContactsWithStates();
}

QString ZMsgFw10Q::getUserFriendRequestsLength()
{
    return m_session->getUserFriendRequestsLength();
}

int ZMsgFw10Q::addUserContact(QString user)
{
    return m_session->addUserContact(user);
}

int ZMsgFw10Q::delUserContact(QString user)
{
    return m_session->delUserContact(user);
}

int ZMsgFw10Q::removeUserContact(QString user)
{
    return m_session->removeUserContact(user);
}

int ZMsgFw10Q::getUserOnlineState()
{
    return m_session->getUserOnlineState();
}

int ZMsgFw10Q::setUserOnlineState(int state)
{
    return m_session->setUserOnlineState(state);
}

QString ZMsgFw10Q::getUserMessageState()
{
    return m_session->getUserMessageState();
}

int ZMsgFw10Q::setUserMessageState(QString text)
{
    return m_session->setUserMessageState(text);
}

int ZMsgFw10Q::setUserAvatar(QString avatar, QString format)
{
    return m_session->setUserAvatar(avatar, format);
}

QString ZMsgFw10Q::getUserNick()
{
    return m_session->getUserNick();
}

int ZMsgFw10Q::setUserNick(QString nick)
{
    return m_session->setUserNick(nick);
}

int ZMsgFw10Q::setUserMail(QString mail, bool vfo)
{
    return m_session->setUserMail(mail, vfo);
}

int ZMsgFw10Q::setUserPassword(QString oldPassword, QString newPassword)
{
    return m_session->setUserPassword(oldPassword, newPassword);
}

int ZMsgFw10Q::sendMessageToUser(QString user, QString message)
{
    return m_session->sendMessageToUser(user, message);
}

int ZMsgFw10Q::sendPokeToUser(QString user)
{
    return m_session->sendPokeToUser(user);
}

QString ZMsgFw10Q::getMessengerStandardAvatar()
{
    return m_session->getMessengerStandardAvatar();
}

void ZMsgFw10Q::setReplyTimeout(int milliseconds)
{
    m_session->setReplyTimeout(milliseconds);
}

int ZMsgFw10Q::replyTimeout() const
{
    return m_session->replyTimeout();
}
