#ifndef ZMSGFW10PROTOCOL_H
#define ZMSGFW10PROTOCOL_H

#include "zmsgfwconnection.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The session engine of protocol generation 1.0 (command line, header lines, status line)
// behind ZMsgFw10Q and ZMsgFw10, private to the library. Text getters fail with "///Error " and
// a code, other calls with 1 (501 for the online state) when nothing could be sent or no answer
// came.
class ZMsgFw10Protocol : public ZMsgFwConnection
{
public:
    ZMsgFw10Protocol();
    ~ZMsgFw10Protocol() override;

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

    using Headers = QList<QPair<QString, QString>>;
    // Bytes of one request: "SEND /" command " ZM/1.0", then "name: value" lines.
    static QByteArray requestBytes(const QString &command, const Headers &headers);
    // Code of a status line: 200 for "... 200 OK", else its second word, 502 without one.
    static int statusCode(const QString &statusLine);

private:
    struct Reply {
        bool answered = false;
        QString statusLine;
        bool headerFound = false;
        QString headerValue;
    };
    Reply call(const QString &command, const Headers &headers, const QString &wantedHeader = QString());
    QString askText(const QString &command, const QString &header);
    int askCode(const QString &command, const Headers &headers = Headers());

    bool takeSocketLine(QByteArray *line);
    bool takeNextObjectLine(QByteArray *line);
    void putBackObjectLine(const QByteArray &line);
    bool keepIfPushed(const QByteArray &line);
    void keepPushedLines();
    bool readStatusLine(const QDeadlineTimer &deadline, QString *statusLine);
    bool readHeader(const QDeadlineTimer &deadline, const QString &name, QString *value);
    bool waitForObjectData(const QDeadlineTimer &deadline);
    Headers readPushedHeaders(const QStringList &needed);
    bool canWrite();

    void forgetPushedLines();

    // Lines of pushed objects read while a call looked for its answer, oldest first. A server
    // that pushes without end cannot fill memory: past this many bytes whole objects are
    // dropped until readObject has taken some.
    static constexpr qint64 MaxPushedBytes = 2 * 1024 * 1024;
    QList<QByteArray> m_pushedLines;
    qint64 m_pushedBytes = 0;
    // True while the lines that follow belong to the pushed object last kept (or dropped).
    bool m_pushOpen = false;
    bool m_droppingPush = false;
};

#endif
