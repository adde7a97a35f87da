#ifndef ZMSGDPROTOCOL11_H
#define ZMSGDPROTOCOL11_H

#include "zmsgdformat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class ZmsgdService;

// Protocol generation 1.1 on the server side: the answer line for every line a client
// writes, and the lines the server pushes.
namespace ZmsgdProtocol11 {

struct LoginRequest {
    QString user;
    QString password;
    ZmsgdClientInfo client;
};

// Parses the words of a login line; false when it is not one.
bool parseLogin(const QStringList &words, LoginRequest *request);
// A successful login announces "--ack=1": the server takes confirmations of pushed messages.
QByteArray loginReply(int code);
// True for a confirmation "action --at=ack --mid=N", which is never answered: a client waiting
// for the reply of a blocking call would take any answer for a foreign line. *id is N, or 0
// when N is missing or not positive (the opening confirmation of a session).
bool parseAcknowledgement(const QStringList &words, qint64 *id);
// The reply to a line of a logged-in session (request, action, or anything else).
QByteArray reply(ZmsgdService *service, const QString &user, const QStringList &words);
QByteArray notLoggedInReply(const QStringList &words);
// The password change is answered later, once its hashing is done: true for its line.
bool parsePasswordChange(const QStringList &words, QString *oldPassword, QString *newPassword);
QByteArray passwordChangeReply(int code);
QByteArray errorReply(int code, const QString &result);

QByteArray messageLine(qint64 id, const QString &sender, const QString &text);
QByteArray pokeLine(const QString &sender);
QByteArray stateLine(const QString &user, int state);
// Tells a client its new friend request list without being asked.
QByteArray requestsLine(const QStringList &requesters);

} // namespace ZmsgdProtocol11

#endif
