#include "ProfilePayload.h"

#include "zmformat.h"

#include <QStringList>

namespace ProfilePayload {

namespace {

QString bounded(const QString &text)
{
    return text.size() > MaxValueLength ? text.left(MaxValueLength) + QStringLiteral("...") : text;
}

// Only the first two pieces count; fewer than two pieces make the item unusable.
bool splitPair(const QString &item, const QString &separator, QString *key, QString *value)
{
    const int at = item.indexOf(separator);
    if (at < 0)
        return false;
    const int valueStart = at + separator.size();
    const int valueEnd = item.indexOf(separator, valueStart);
    *key = item.left(at);
    *value = item.mid(valueStart, valueEnd < 0 ? -1 : valueEnd - valueStart);
    return true;
}

} // namespace

bool isFailure(const QString &reply)
{
    return reply.left(8) == QLatin1String("///Error");
}

ClientList parseClients(const QString &accas, int *dropped)
{
    ClientList clients;
    int extra = 0;
    if (!accas.isEmpty()) {
        for (const QString &record : accas.split(ZmFormat::ProfileRecordSeparator)) {
            if (clients.size() >= MaxClients) {
                ++extra;
                continue;
            }
            QMap<QString, QString> client;
            for (const QString &field : record.split(ZmFormat::ProfileFieldSeparator)) {
                QString name;
                QString value;
                if (splitPair(field, ZmFormat::ProfileNameSeparator, &name, &value))
                    client.insert(bounded(name), bounded(value));
            }
            clients.append(client);
        }
    }
    if (dropped)
        *dropped = extra;
    return clients;
}

ProfileInfo parse(const QString &payload)
{
    ProfileInfo info;
    QString accas;
    for (const QString &entry : payload.split(ZmFormat::ProfileEntrySeparator)) {
        QString key;
        QString value;
        if (!splitPair(entry, ZmFormat::ProfileKeySeparator, &key, &value))
            continue;
        if (key == QLatin1String("contacts"))
            info.contacts = bounded(value);
        else if (key == QLatin1String("signature"))
            info.signature = bounded(value);
        else if (key == QLatin1String("accas"))
            accas = value;
    }
    info.clients = parseClients(accas, &info.droppedClients);
    return info;
}

QString clientsText(const QString &heading, const ClientList &clients, const QString &systemWord,
                    const QString &versionWord, const QString &ipWord)
{
    QString text = heading + QLatin1Char('\n');
    for (const auto &client : clients) {
        text += QLatin1Char('\n');
        QStringList parts;
        if (client.contains(QStringLiteral("system")))
            parts << systemWord + QStringLiteral(": ") + client.value(QStringLiteral("system"));
        if (client.contains(QStringLiteral("version")))
            parts << versionWord + QStringLiteral(": ") + client.value(QStringLiteral("version"));
        if (client.contains(QStringLiteral("ip")))
            parts << ipWord + QStringLiteral(": ") + client.value(QStringLiteral("ip"));
        text += parts.join(QStringLiteral(", "));
    }
    return text;
}

} // namespace ProfilePayload
