#ifndef ZMSGFW11SESSION_H
#define ZMSGFW11SESSION_H

#include "zmsgfw_export.h"

#include <QString>

#include <functional>
#include <memory>

class QThread;
class ZMsgFw11Protocol;

// The calls of a protocol generation 1.1 session, common to ZMsgFw11Q and ZMsgFw111Q. The
// engine behind them is private to the library, so its layout is no part of the ABI.
class ZMSGFW_EXPORT ZMsgFw11Session
{
public:
    virtual ~ZMsgFw11Session();
    ZMsgFw11Session(const ZMsgFw11Session &) = delete;
    ZMsgFw11Session &operator=(const ZMsgFw11Session &) = delete;

    // Asks the server to close the connection; always 0.
    int logoutUser();
    // True while logged in and the connection is still up.
    bool isLoggedIn();
    // How long a synchronous call waits for its reply: 5000 ms unless set.
    void setReplyTimeout(int milliseconds);
    int replyTimeout() const;

    // Opens a new TLS session (any earlier one is closed first) and logs in.
    // Returns the server's code, 200 meaning logged in; 500 when no usable reply came.
    int loginUser(QString username, QString password);
    QString getClassVersion();
    // Moves the logged-in connection to another thread, where an object of the same class
    // takes it over with adoptSession instead of logging in again. Call on the thread that
    // logged in, with no call running; this object must not be used for the session afterwards.
    void moveSessionToThread(QThread *thread);

    // True when a complete pushed line waits in the receive buffer.
    bool isObjectIncoming();
    // Reads one waiting line and returns its incoming object, or "" when none is complete.
    QString readObject();
    // The "--mid=" of the message line that object was rendered from, when object is the one
    // this session rendered last (returned by readObject or carried by objectIncomed); else 0.
    qint64 messageId(const QString &object) const;

    // Confirmation of pushed messages. A server that keeps every message until the client
    // confirms it announces so in its login reply ("--ack=1"). When confirming is turned on
    // (before loginUser), such a session tells the server at once, and the caller confirms each
    // message with acknowledgeMessage once it has shown and stored it; the server delivers an
    // unconfirmed message again at the next login. Off by default, and with a server that does
    // not announce it: the server then counts a message delivered once written.
    void setAcknowledging(bool on);
    // True while the current session confirms messages: turned on and announced by the server.
    bool isAcknowledging();
    // Writes "ZM/1.1 action --at=ack --mid=" id, which the server does not answer. False, with
    // nothing written, when the session does not confirm messages, id is not positive, or the
    // server has left a quarter of a megabyte of what it was sent unread.
    bool acknowledgeMessage(qint64 id);

    // Asynchronous requests and actions: each writes one line and returns at once; the reply
    // arrives later as an incoming object. False, with nothing written, when not logged in or
    // when a value holds a line break.
    bool requestGetUserContacts();
    bool requestGetUserContactsLength();
    bool requestGetUserContactsWithStates();
    bool requestGetUserContactsRequests();
    bool requestGetUserFriendRequests();
    bool requestGetUserFriendRequestsLength();
    bool requestGetUserOnlineState();
    bool requestGetUserMessageState();
    bool requestGetUserNick();
    bool requestGetUserMail();
    bool requestGetAnotherUserOnlineState(QString user);
    bool requestGetAnotherUserMessageState(QString user);
    bool requestGetAnotherUserNick(QString user);
    bool requestGetAnotherUserMail(QString user);
    bool requestGetUserProfileInfo(QString user);
    bool actionAddUserContact(QString user);
    bool actionDelUserContact(QString user);
    bool actionRemoveUserContact(QString user);
    bool actionSetUserOnlineState(int state);
    bool actionSetUserMessageState(QString text);
    bool actionSetUserNick(QString nick);
    bool actionSetUserMail(QString mail, bool vfo);
    bool actionSetUserPassword(QString oldPassword, QString newPassword);
    bool actionSendPokeToUser(QString user);
    // The " --id=" argument is written only for an id greater than 0.
    bool actionSendMessageToUser(QString user, QString message, int id);

    // Synchronous calls: write one line and wait up to 5000 ms for its reply. Actions return the
    // server's code (501 not sent, 500 no usable reply, 601 only other lines came); the online
    // state getters return the state or 501 (601 as for actions); text getters return the
    // answer or "///Error " and a code. Lists come back one entry per line.
    QString getUserContacts();
    QString getUserContactsLength();
    QString getUserContactsRequests();
    QString getUserFriendRequests();
    QString getUserFriendRequestsLength();
    QString getUserContactsWithStates();
    int getUserOnlineState();
    int getAnotherUserOnlineState(QString user);
    QString getUserMessageState();
    QString getAnotherUserMessageState(QString user);
    QString getUserNick();
    QString getAnotherUserNick(QString user);
    QString getUserMail();
    QString getAnotherUserMail(QString user);
    QString getUserProfileInfo(QString user);
    int addUserContact(QString user);
    int delUserContact(QString user);
    int removeUserContact(QString user);
    int setUserOnlineState(int state);
    int setUserMessageState(QString text);
    int setUserNick(QString nick);
    int setUserMail(QString mail, bool vfo);
    int setUserPassword(QString oldPassword, QString newPassword);
    int sendPokeToUser(QString user);
    int sendMessageToUser(QString user, QString message);

protected:
    ZMsgFw11Session(const QString &classVersion, const QString &mailRequestWord,
                    std::function<void(const QString &)> deliverIncomingObject);
    ZMsgFw11Protocol &engine() const { return *m_engine; }

private:
    std::unique_ptr<ZMsgFw11Protocol> m_engine;
};

#endif
