#ifndef ZMSGFW11PROTOCOL_H
#define ZMSGFW11PROTOCOL_H

#include "zmsgfwconnection.h"
#include "zmsgfwwire.h"

#include <QString>
#include <QStringList>

#include <functional>

class QDeadlineTimer;
class QSslSocket;
class QThread;

// The session engine of protocol generation 1.1 behind ZMsgFw11Q and ZMsgFw111Q: login,
// polling for pushed lines, every request and action, and the blocking request/reply exchange.
// Private to the library; the QObject classes reach it through ZMsgFw11Session.
class ZMsgFw11Protocol : public ZMsgFwConnection
{
public:
    // deliverIncomingObject emits objectIncomed(object) on the QObject side.
    ZMsgFw11Protocol(const QString &classVersion, const QString &mailRequestWord,
                     std::function<void(const QString &)> deliverIncomingObject);
    ~ZMsgFw11Protocol() override;

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

    // What ZMsgFw111Q builds its own calls from.
    using ZMsgFwConnection::expectedErrors;

    // Outcome of one blocking exchange.
    struct Exchange {
        enum Status { NotSent, NoReply, Foreign, Accepted };
        Status status = NotSent;
        QStringList words; // the accepted reply
        int code = 500; // "--id=" of the accepted reply, 500 when it had none
    };
    using ReplyMatcher = std::function<bool(const QStringList &replyWords)>;

    bool canWrite();
    // Writes one line, refusing lines that would break the framing; false when nothing was written.
    bool writeLine(const ZMsgFwWire::LineBuilder &line);
    // Writes the line and waits up to 5000 ms for the reply the matcher accepts. Every other
    // complete line, whether already buffered before the call or arriving meanwhile, is handed
    // on as an incoming object, so nothing pushed is lost while a call is waiting; lines still
    // coming when the time is up stay buffered for the poll.
    Exchange exchange(const ZMsgFwWire::LineBuilder &line, const ReplyMatcher &isReply);
    static ReplyMatcher requestReply(const QString &replyWord);
    static ReplyMatcher actionReply(const QString &actionWord);

    // One outgoing line together with the word its reply must carry.
    struct Call {
        ZMsgFwWire::LineBuilder line;
        QString replyWord;
        bool isAction = false;
    };
    // The reply word defaults to the request word.
    static Call requestCall(const QString &word, const QString &replyWord = QString());
    static Call requestAboutCall(const QString &word, const QString &user);
    static Call actionCall(const QString &word);
    static Call actionAboutCall(const QString &word, const QString &user);

    // The asynchronous form: writes the line when logged in.
    bool send(const Call &call);
    // The synchronous forms with their result rules.
    int askAction(const Call &call);
    int askState(const Call &call);
    QString askText(const Call &call, const QString &answerKey, bool isList = false);

    QString mailRequestWord() const { return m_mailRequestWord; }
    QSslSocket *currentSocket() const { return m_socket; }

    QString workWithObject(QByteArray line);
    QString workWithObjectWithEmit(QByteArray line);
    // takeConnectionFrom, keeping what the server was told about confirmations at its login.
    bool takeSessionFrom(ZMsgFw11Protocol &other);

private:
    enum class LineRead { Line, None, Broken };
    void startAcknowledging(const QStringList &loginReply);
    static ZMsgFwWire::LineBuilder acknowledgement(qint64 id);
    LineRead readBoundedLine(QByteArray *line);
    void handOnBufferedLines(const QDeadlineTimer &deadline);
    Exchange ask(const Call &call);
    Call mailCall() const;
    static Call stateCall(int state);
    static Call messageStateCall(const QString &text);
    static Call nickCall(const QString &nick);
    static Call mailActionCall(const QString &mail, bool vfo);
    static Call passwordCall(const QString &oldPassword, const QString &newPassword);
    static Call messageCall(const QString &user, const QString &message, int id);

    QString m_systemName;
    QString m_classVersion;
    QString m_mailRequestWord;
    bool m_acknowledging = false;
    bool m_sessionAcknowledges = false;
    QString m_lastObject;
    qint64 m_lastMessageId = 0;
    std::function<void(const QString &)> m_deliverIncomingObject;
};

#endif
