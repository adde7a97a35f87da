#include "zmsgfw11session.h"

#include "zmsgfw11protocol.h"

ZMsgFw11Session::ZMsgFw11Session(const QString &classVersion, const QString &mailRequestWord,
                                 std::function<void(const QString &)> deliverIncomingObject)
    : m_engine(new ZMsgFw11Protocol(classVersion, mailRequestWord, std::move(deliverIncomingObject)))
{}

ZMsgFw11Session::~ZMsgFw11Session() = default;

int ZMsgFw11Session::logoutUser()
{
    return m_engine->logoutUser();
}

bool ZMsgFw11Session::isLoggedIn()
{
    return m_engine->isLoggedIn();
}

int ZMsgFw11Session::loginUser(QString username, QString password)
{
    return m_engine->loginUser(username, password);
}

QString ZMsgFw11Session::getClassVersion()
{
    return m_engine->getClassVersion();
}

void ZMsgFw11Session::moveSessionToThread(QThread *thread)
{
    m_engine->moveSessionToThread(thread);
}

bool ZMsgFw11Session::isObjectIncoming()
{
    return m_engine->isObjectIncoming();
}

QString ZMsgFw11Session::readObject()
{
    return m_engine->readObject();
}

qint64 ZMsgFw11Session::messageId(const QString &object) const
{
    return m_engine->messageId(object);
}

void ZMsgFw11Session::setAcknowledging(bool on)
{
    m_engine->setAcknowledging(on);
}

bool ZMsgFw11Session::isAcknowledging()
{
    return m_engine->isAcknowledging();
}

bool ZMsgFw11Session::acknowledgeMessage(qint64 id)
{
    return m_engine->acknowledgeMessage(id);
}

bool ZMsgFw11Session::requestGetUserContacts()
{
    return m_engine->requestGetUserContacts();
}

bool ZMsgFw11Session::requestGetUserContactsLength()
{
    return m_engine->requestGetUserContactsLength();
}

bool ZMsgFw11Session::requestGetUserContactsWithStates()
{
    return m_engine->requestGetUserContactsWithStates();
}

bool ZMsgFw11Session::requestGetUserContactsRequests()
{
    return m_engine->requestGetUserContactsRequests();
}

bool ZMsgFw11Session::requestGetUserFriendRequests()
{
    return m_engine->requestGetUserFriendRequests();
}

bool ZMsgFw11Session::requestGetUserFriendRequestsLength()
{
    return m_engine->requestGetUserFriendRequestsLength();
}

bool ZMsgFw11Session::requestGetUserOnlineState()
{
    return m_engine->requestGetUserOnlineState();
}

bool ZMsgFw11Session::requestGetUserMessageState()
{
    return m_engine->requestGetUserMessageState();
}

bool ZMsgFw11Session::requestGetUserNick()
{
    return m_engine->requestGetUserNick();
}

bool ZMsgFw11Session::requestGetUserMail()
{
    return m_engine->requestGetUserMail();
}

bool ZMsgFw11Session::requestGetAnotherUserOnlineState(QString user)
{
    return m_engine->requestGetAnotherUserOnlineState(user);
}

bool ZMsgFw11Session::requestGetAnotherUserMessageState(QString user)
{
    return m_engine->requestGetAnotherUserMessageState(user);
}

bool ZMsgFw11Session::requestGetAnotherUserNick(QString user)
{
    return m_engine->requestGetAnotherUserNick(user);
}

bool ZMsgFw11Session::requestGetAnotherUserMail(QString user)
{
    return m_engine->requestGetAnotherUserMail(user);
}

bool ZMsgFw11Session::requestGetUserProfileInfo(QString user)
{
    return m_engine->requestGetUserProfileInfo(user);
}

bool ZMsgFw11Session::actionAddUserContact(QString user)
{
    return m_engine->actionAddUserContact(user);
}

bool ZMsgFw11Session::actionDelUserContact(QString user)
{
    return m_engine->actionDelUserContact(user);
}

bool ZMsgFw11Session::actionRemoveUserContact(QString user)
{
    return m_engine->actionRemoveUserContact(user);
}

bool ZMsgFw11Session::actionSetUserOnlineState(int state)
{
    return m_engine->actionSetUserOnlineState(state);
}

bool ZMsgFw11Session::actionSetUserMessageState(QString text)
{
    return m_engine->actionSetUserMessageState(text);
}

bool ZMsgFw11Session::actionSetUserNick(QString nick)
{
    return m_engine->actionSetUserNick(nick);
}

bool ZMsgFw11Session::actionSetUserMail(QString mail, bool vfo)
{
    return m_engine->actionSetUserMail(mail, vfo);
}

bool ZMsgFw11Session::actionSetUserPassword(QString oldPassword, QString newPassword)
{
    return m_engine->actionSetUserPassword(oldPassword, newPassword);
}

bool ZMsgFw11Session::actionSendPokeToUser(QString user)
{
    return m_engine->actionSendPokeToUser(user);
}

bool ZMsgFw11Session::actionSendMessageToUser(QString user, QString message, int id)
{
    return m_engine->actionSendMessageToUser(user, message, id);
}

QString ZMsgFw11Session::getUserContacts()
{
    return m_engine->getUserContacts();
}

QString ZMsgFw11Session::getUserContactsLength()
{
    return m_engine->getUserContactsLength();
}

QString ZMsgFw11Session::getUserContactsRequests()
{
    return m_engine->getUserContactsRequests();
}

QString ZMsgFw11Session::getUserFriendRequests()
{
    return m_engine->getUserFriendRequests();
}

QString ZMsgFw11Session::getUserFriendRequestsLength()
{
    return m_engine->getUserFriendRequestsLength();
}

QString ZMsgFw11Session::getUserContactsWithStates()
{
    return m_engine->getUserContactsWithStates();
}

int ZMsgFw11Session::getUserOnlineState()
{
    return m_engine->getUserOnlineState();
}

int ZMsgFw11Session::getAnotherUserOnlineState(QString user)
{
    return m_engine->getAnotherUserOnlineState(user);
}

QString ZMsgFw11Session::getUserMessageState()
{
    return m_engine->getUserMessageState();
}

QString ZMsgFw11Session::getAnotherUserMessageState(QString user)
{
    return m_engine->getAnotherUserMessageState(user);
}

QString ZMsgFw11Session::getUserNick()
{
    return m_engine->getUserNick();
}

QString ZMsgFw11Session::getAnotherUserNick(QString user)
{
    return m_engine->getAnotherUserNick(user);
}

QString ZMsgFw11Session::getUserMail()
{
    return m_engine->getUserMail();
}

QString ZMsgFw11Session::getAnotherUserMail(QString user)
{
    return m_engine->getAnotherUserMail(user);
}

QString ZMsgFw11Session::getUserProfileInfo(QString user)
{
    return m_engine->getUserProfileInfo(user);
}

int ZMsgFw11Session::addUserContact(QString user)
{
    return m_engine->addUserContact(user);
}

int ZMsgFw11Session::delUserContact(QString user)
{
    return m_engine->delUserContact(user);
}

int ZMsgFw11Session::removeUserContact(QString user)
{
    return m_engine->removeUserContact(user);
}

int ZMsgFw11Session::setUserOnlineState(int state)
{
    return m_engine->setUserOnlineState(state);
}

int ZMsgFw11Session::setUserMessageState(QString text)
{
    return m_engine->setUserMessageState(text);
}

int ZMsgFw11Session::setUserNick(QString nick)
{
    return m_engine->setUserNick(nick);
}

int ZMsgFw11Session::setUserMail(QString mail, bool vfo)
{
    return m_engine->setUserMail(mail, vfo);
}

int ZMsgFw11Session::setUserPassword(QString oldPassword, QString newPassword)
{
    return m_engine->setUserPassword(oldPassword, newPassword);
}

int ZMsgFw11Session::sendPokeToUser(QString user)
{
    return m_engine->sendPokeToUser(user);
}

int ZMsgFw11Session::sendMessageToUser(QString user, QString message)
{
    return m_engine->sendMessageToUser(user, message);
}

void ZMsgFw11Session::setReplyTimeout(int milliseconds)
{
    m_engine->setReplyTimeout(milliseconds);
}

int ZMsgFw11Session::replyTimeout() const
{
    return m_engine->replyTimeout();
}
