#ifndef ZMSGFW10_H
#define ZMSGFW10_H

#include "zmsgfw_export.h"

#include <QByteArray>
#include <QObject>

#include <memory>

class ZMsgFw10Protocol;

// Protocol generation 1.0 client taking and returning UTF-8 C strings. A returned text is
// owned by the object and stays valid until the next call on it.
class ZMSGFW_EXPORT ZMsgFw10 : public QObject
{
    Q_OBJECT
public:
    explicit ZMsgFw10(QObject *parent = nullptr);
    ~ZMsgFw10() override;

    int loginUser(const char *username, const char *password);
    int logoutUser();
    bool isLoggedIn();
    const char *getClassVersion();
    bool isObjectIncoming();
    const char *readObject();

    const char *getUserContacts();
    const char *getUserContactsLength();
    const char *getUserContactsRequests();
    const char *getUserFriendRequests();
    const char *getUserContactsWithStates();
    const char *getUserFriendRequestsLength();
    int addUserContact(const char *user);
    int delUserContact(const char *user);
    int removeUserContact(const char *user);
    int getUserOnlineState();
    int setUserOnlineState(int state);
    const char *getUserMessageState();
    int setUserMessageState(const char *text);
    int setUserAvatar(const char *avatar, const char *format);
    const char *getUserNick();
    int setUserNick(const char *nick);
    int setUserMail(const char *mail, bool vfo);
    int setUserPassword(const char *oldPassword, const char *newPassword);
    int sendMessageToUser(const char *user, const char *message);
    int sendPokeToUser(const char *user);
    const char *getMessengerStandardAvatar();

private:
    const char *keep(const QString &text);

    std::unique_ptr<ZMsgFw10Protocol> m_session;
    QByteArray m_text;
};

#endif
