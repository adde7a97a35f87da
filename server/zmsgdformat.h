#ifndef ZMSGDFORMAT_H
#define ZMSGDFORMAT_H

#include <QList>
#include <QString>
#include <QStringList>

// What a connected client told about itself at login; shown in profile payloads.
struct ZmsgdClientInfo {
    QString system;
    QString version;
    QString address;
};

// Value rules and the text formats the server answers with. Pure functions.
namespace ZmsgdFormat {

// No line break and no NUL: text every reply and push can carry, and that no client cuts short.
bool isOneLine(const QString &text);
// Account names: 2 to 32 letters, digits, ".", "_" or "-". They end up in list entries,
// URLs and file names on the client, so nothing else is let in.
bool isValidAccountName(const QString &name);
// Nicks, status messages and real names are one line each (isOneLine): a value with a line
// break could not be framed into any reply that carries it.
bool isValidNick(const QString &nick);
bool isValidStatusMessage(const QString &message);
bool isValidRealName(const QString &realName);
bool isValidMail(const QString &mail);
bool isValidPassword(const QString &password);
bool isValidState(int state);

// "user|nick|status message|state"
QString contactStateEntry(const QString &user, const QString &nick, const QString &statusMessage, int state);
// "user|avatar id"
QString contactAvatarEntry(const QString &user, const QString &avatarId);
QString joinList(const QStringList &entries);

// Profile payload: "contacts", "signature" and "accas" entries with their separator words.
QString profilePayload(int contactCount, const QString &signature, const QList<ZmsgdClientInfo> &clients,
                       bool withAddresses);
// Removes the payload separator words from a value, so a client cannot forge entries.
QString payloadValue(const QString &value);

QString newAvatarId();

} // namespace ZmsgdFormat

#endif
