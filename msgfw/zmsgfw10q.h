#ifndef ZMSGFW10Q_H
#define ZMSGFW10Q_H

#include "zmsgfw_export.h"

#include <QObject>
#include <QString>

#include <memory>

class ZMsgFw10Protocol;

// Protocol generation 1.0 client taking and returning QString. Text getters fail with "///Error "
// and a code, other calls with 1 (501 for the online state) when nothing could be sent or no
// answer came.
class ZMSGFW_EXPORT ZMsgFw10Q : public QObject
{
    Q_OBJECT
public:
    explicit ZMsgFw10Q(QObject *parent = nullptr);
    ~ZMsgFw10Q() override;

    int loginUser(QString username, QString password);
    QString getClassVersion();

    // A pushed object that arrived together with a reply is kept for these two.
    bool isObjectIncoming();
    // Reads one pushed object; a pushed "/ping" is answered before "ping/pong" is returned.
    // Headers of a message or poke that have not arrived yet are waited for, up to 5000 ms.
    QString readObject();

    QString getUserContacts();
    QString getUserContactsLength();
    QString getUserContactsRequests();
    QString getUserFriendRequests();
    QString getUserContactsWithStates();
    QString getUserFriendRequestsLength();
    int addUserContact(QString user);
    int delUserContact(QString user);
    int removeUserContact(QString user);
    int getUserOnlineState();
    int setUserOnlineState(int state);
    QString getUserMessageState();
    int setUserMessageState(QString text);
    int setUserAvatar(QString avatar, QString format);
    QString getUserNick();
    int setUserNick(QString nick);
    int setUserMail(QString mail, bool vfo);
    int setUserPassword(QString oldPassword, QString newPassword);
    int sendMessageToUser(QString user, QString message);
    // Sends without waiting for an answer: 0 when written, 1 when not.
    int sendPokeToUser(QString user);
    QString getMessengerStandardAvatar();
    // Asks the server to close the connection; always 0.
    int logoutUser();
    // True while logged in and the connection is still up.
    bool isLoggedIn();
    // How long a synchronous call waits for its reply: 5000 ms unless set.
    void setReplyTimeout(int milliseconds);
    int replyTimeout() const;

private:
    std::unique_ptr<ZMsgFw10Protocol> m_session;
};

#endif
