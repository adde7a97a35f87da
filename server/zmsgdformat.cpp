#include "zmsgdformat.h"

#include <zmformat.h>
#include <zmsgfwwire.h>

#include <QRandomGenerator>
#include <QRegularExpression>

namespace ZmsgdFormat {

namespace {
constexpr int MaxNickLength = 64;
constexpr int MaxStatusLength = 1024;
constexpr int MaxRealNameLength = 128;
constexpr int MaxMailLength = 254;
constexpr int MaxPasswordLength = 256;

} // namespace

bool isOneLine(const QString &text)
{
    return !ZmFormat::hasLineBreak(text) && !text.contains(QChar(0));
}

bool isValidAccountName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("\\A[A-Za-z0-9._-]{2,32}\\z"));
    return pattern.match(name).hasMatch();
}

bool isValidNick(const QString &nick)
{
    return !nick.trimmed().isEmpty() && nick.size() <= MaxNickLength && isOneLine(nick);
}

bool isValidStatusMessage(const QString &message)
{
    return message.size() <= MaxStatusLength && isOneLine(message);
}

bool isValidRealName(const QString &realName)
{
    return realName.size() <= MaxRealNameLength && isOneLine(realName);
}

bool isValidMail(const QString &mail)
{
    if (mail.isEmpty())
        return true;
    static const QRegularExpression pattern(QStringLiteral("\\A[^@\\s<>|]+@[^@\\s<>|]+\\z"));
    return mail.size() <= MaxMailLength && isOneLine(mail) && pattern.match(mail).hasMatch();
}

bool isValidPassword(const QString &password)
{
    return !password.isEmpty() && password.size() <= MaxPasswordLength && isOneLine(password);
}

bool isValidState(int state)
{
    return (state >= 1 && state <= 5) || state == 8;
}

QString contactStateEntry(const QString &user, const QString &nick, const QString &statusMessage, int state)
{
    // Nicks and status messages are free text: their "|" and "<>" must not split the entry.
    return user + QLatin1Char('|') + ZMsgFwWire::escapeListField(nick) + QLatin1Char('|')
        + ZMsgFwWire::escapeListField(statusMessage) + QLatin1Char('|') + QString::number(state);
}

QString contactAvatarEntry(const QString &user, const QString &avatarId)
{
    return user + QLatin1Char('|') + avatarId;
}

QString joinList(const QStringList &entries)
{
    return entries.join(QStringLiteral("<>"));
}

QString payloadValue(const QString &value)
{
    return ZmFormat::withoutProfileSeparators(value.left(128));
}

QString profilePayload(int contactCount, const QString &signature, const QList<ZmsgdClientInfo> &clients,
                       bool withAddresses)
{
    QStringList records;
    for (const ZmsgdClientInfo &client : clients) {
        QStringList fields;
        fields << QStringLiteral("system") + ZmFormat::ProfileNameSeparator + payloadValue(client.system);
        fields << QStringLiteral("version") + ZmFormat::ProfileNameSeparator + payloadValue(client.version);
        if (withAddresses)
            fields << QStringLiteral("ip") + ZmFormat::ProfileNameSeparator + payloadValue(client.address);
        records << fields.join(ZmFormat::ProfileFieldSeparator);
    }
    QStringList entries;
    entries << QStringLiteral("contacts") + ZmFormat::ProfileKeySeparator + QString::number(contactCount);
    entries << QStringLiteral("signature") + ZmFormat::ProfileKeySeparator + payloadValue(signature);
    entries << QStringLiteral("accas") + ZmFormat::ProfileKeySeparator + records.join(ZmFormat::ProfileRecordSeparator);
    return entries.join(ZmFormat::ProfileEntrySeparator);
}

QString newAvatarId()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    QString id;
    for (quint32 word : words)
        id += QStringLiteral("%1").arg(word, 8, 16, QLatin1Char('0'));
    return id;
}

} // namespace ZmsgdFormat
