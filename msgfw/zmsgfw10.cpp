#include "zmsgfw10.h"

#include "zmsgfw10protocol.h"

namespace {

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

} // namespace

ZMsgFw10::ZMsgFw10(QObject *parent)
    : QObject(parent)
    , m_session(new ZMsgFw10Protocol)
{}

ZMsgFw10::~ZMsgFw10() = default;

const char *ZMsgFw10::keep(const QString &result)
{
    m_text = result.toUtf8();
    return m_text.constData();
}

int ZMsgFw10::loginUser(const char *username, const char *password)
{
    return m_session->loginUser(text(username), text(password));
}

int ZMsgFw10::logoutUser()
{
    return m_session->logoutUser();
}
bool ZMsgFw10::isLoggedIn()
{
    return m_session->isLoggedIn();
}
const char *ZMsgFw10::getClassVersion()
{
    return keep(m_session->getClassVersion());
}
bool ZMsgFw10::isObjectIncoming()
{
    return m_session->isObjectIncoming();
}
const char *ZMsgFw10::readObject()
{
    return keep(m_session->readObject());
}
const char *ZMsgFw10::getUserContacts()
{
    return keep(m_session->getUserContacts());
}
const char *ZMsgFw10::getUserContactsLength()
{
    return keep(m_session->getUserContactsLength());
}
const char *ZMsgFw10::getUserContactsRequests()
{
    return keep(m_session->getUserContactsRequests());
}
const char *ZMsgFw10::getUserFriendRequests()
{
    return keep(m_session->getUserFriendRequests());
}
const char *ZMsgFw10::getUserContactsWithStates()
{
    return keep(m_session->getUserContactsWithStates());
}
const char *ZMsgFw10::getUserFriendRequestsLength()
{
    return keep(m_session->getUserFriendRequestsLength());
}
int ZMsgFw10::addUserContact(const char *user)
{
    return m_session->addUserContact(text(user));
}
int ZMsgFw10::delUserContact(const char *user)
{
    return m_session->delUserContact(text(user));
}
int ZMsgFw10::removeUserContact(const char *user)
{
    return m_session->removeUserContact(text(user));
}
int ZMsgFw10::getUserOnlineState()
{
    return m_session->getUserOnlineState();
}
int ZMsgFw10::setUserOnlineState(int state)
{
    return m_session->setUserOnlineState(state);
}
const char *ZMsgFw10::getUserMessageState()
{
    return keep(m_session->getUserMessageState());
}
int ZMsgFw10::setUserMessageState(const char *message)
{
    return m_session->setUserMessageState(text(message));
}
int ZMsgFw10::setUserAvatar(const char *avatar, const char *format)
{
    return m_session->setUserAvatar(text(avatar), text(format));
}
const char *ZMsgFw10::getUserNick()
{
    return keep(m_session->getUserNick());
}
int ZMsgFw10::setUserNick(const char *nick)
{
    return m_session->setUserNick(text(nick));
}
int ZMsgFw10::setUserMail(const char *mail, bool vfo)
{
    return m_session->setUserMail(text(mail), vfo);
}
int ZMsgFw10::setUserPassword(const char *oldPassword, const char *newPassword)
{
    return m_session->setUserPassword(text(oldPassword), text(newPassword));
}
int ZMsgFw10::sendMessageToUser(const char *user, const char *message)
{
    return m_session->sendMessageToUser(text(user), text(message));
}
int ZMsgFw10::sendPokeToUser(const char *user)
{
    return m_session->sendPokeToUser(text(user));
}
const char *ZMsgFw10::getMessengerStandardAvatar()
{
    return keep(m_session->getMessengerStandardAvatar());
}
