#include "IncomingObject.h"

#include "zmsgfwwire.h"

#include <QDebug>

#include <QtGlobal>

#include <algorithm>
#include <iterator>

namespace IncomingObject {

namespace {

const QString Separator = QStringLiteral("<>");
const QString MessagePrefix = QStringLiteral("MessageFromUser<>");

struct StateRow {
    const char *name;
    const char *icon;
    const char *ownIcon;
    const char *popupImage;
};

// Index 0 is Offline, the row for every code outside 1..5.
const StateRow States[] = {
    {QT_TRANSLATE_NOOP("frmLogin", "Offline"), ":/img/offline-t1x64.png", ":/img/offline-t1x64.png",
     ":/img/notification-offline.png"},
    {QT_TRANSLATE_NOOP("frmLogin", "Online"), ":/img/online-t2x64.png", ":/img/online-t2x64.png",
     ":/img/notification-online.png"},
    {QT_TRANSLATE_NOOP("frmLogin", "Away"), ":/img/away-t2x64.png", ":/img/away-t2x64.png",
     ":/img/notification-away.png"},
    {QT_TRANSLATE_NOOP("frmLogin", "Busy"), ":/img/busy-t2x64.png", ":/img/busy-t2x64.png",
     ":/img/notification-busy.png"},
    {QT_TRANSLATE_NOOP("frmLogin", "Not just"), ":/img/notjust-t1x64.png", ":/img/notjust-t1x64.png",
     ":/img/notification-notjust.png"},
    {QT_TRANSLATE_NOOP("frmLogin", "Show offline"), ":/img/showoffline-t1x64.png", ":/img/offline-t1x64.png",
     ":/img/notification-showoffline.png"},
};

const StateRow &stateRow(int state)
{
    return (state >= 1 && state <= 5) ? States[state] : States[0];
}

bool takeField(const QString &part, const QLatin1String &prefix, QString *value)
{
    if (!part.startsWith(prefix))
        return false;
    *value = part.mid(prefix.size());
    return true;
}

} // namespace

Mode modeOf(const QString &object, QStringList *parts)
{
    if (object.isEmpty())
        return Mode::Empty;
    const QStringList split = object.split(Separator, Qt::KeepEmptyParts);
    if (parts)
        *parts = split;
    const QString &first = split.first();
    if (first == QLatin1String("MessageFromUser"))
        return Mode::Message;
    if (first == QLatin1String("ReturnIntialize"))
        return Mode::Return;
    return Mode::Other;
}

bool parseMessage(const QString &object, const QStringList &parts, Message *message)
{
    if (parts.size() < 2 || !object.startsWith(MessagePrefix))
        return false;
    // Up to the first colon; section() would split a long text at every colon first.
    const QString sender = parts.at(1).left(parts.at(1).indexOf(QLatin1Char(':')));
    // Everything after "MessageFromUser<>", the sender and its colon is the text, colons included.
    const QString text = object.mid(MessagePrefix.size() + sender.size() + 1).trimmed();
    if (sender.trimmed().isEmpty() || text.isEmpty())
        return false;
    message->sender = sender;
    message->text = text;
    return true;
}

namespace {

// Decodes the four entities of an object value in one pass; with listSeparators, every
// "&lt;&gt;" becomes a line feed first. One pass never decodes the result of a replacement
// again, so "&amp;lt;" gives "&lt;", not "<".
QString decodeEntitiesIn(const QString &value, bool listSeparators)
{
    int amp = value.indexOf(QLatin1Char('&'));
    if (amp < 0)
        return value;
    static const struct {
        QLatin1String entity;
        QChar plain;
    } entities[] = {{QLatin1String("&lt;&gt;"), QLatin1Char('\n')},
                    {QLatin1String("&nbsp;"), QLatin1Char(' ')},
                    {QLatin1String("&amp;"), QLatin1Char('&')},
                    {QLatin1String("&lt;"), QLatin1Char('<')},
                    {QLatin1String("&gt;"), QLatin1Char('>')}};
    const auto first = listSeparators ? std::begin(entities) : std::begin(entities) + 1;
    QString plain;
    plain.reserve(value.size());
    int from = 0;
    while (amp >= 0) {
        plain.append(value.constData() + from, amp - from);
        const QStringRef rest = value.midRef(amp);
        const auto match =
            std::find_if(first, std::end(entities), [&rest](const auto &e) { return rest.startsWith(e.entity); });
        if (match != std::end(entities)) {
            plain += match->plain;
            from = amp + match->entity.size();
        } else {
            plain += QLatin1Char('&');
            from = amp + 1;
        }
        amp = value.indexOf(QLatin1Char('&'), from);
    }
    plain.append(value.constData() + from, value.size() - from);
    return plain;
}

} // namespace

QString decodeValue(const QString &value)
{
    return decodeEntitiesIn(value, false);
}

QString decodeListValue(const QString &value)
{
    return decodeEntitiesIn(value, true);
}

ReturnFields parseReturn(const QStringList &parts)
{
    ReturnFields fields;
    QString text;
    for (int i = 1; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (takeField(part, QLatin1String("--at="), &text))
            fields.action = decodeValue(text);
        else if (takeField(part, QLatin1String("--rq="), &text))
            fields.request = decodeValue(text);
        else if (takeField(part, QLatin1String("--nt="), &text))
            fields.notification = decodeValue(text);
        else if (takeField(part, QLatin1String("--id="), &text))
            fields.id = decodeValue(text).toInt();
        else if (takeField(part, QLatin1String("--state="), &text))
            fields.state = decodeValue(text).toInt();
        else if (takeField(part, QLatin1String("--users="), &text))
            fields.users = decodeListValue(text);
        else if (takeField(part, QLatin1String("--avatar="), &text))
            fields.avatar = decodeListValue(text);
        else if (takeField(part, QLatin1String("--username="), &text))
            fields.username = decodeListValue(text);
    }
    return fields;
}

Branch branchOf(const ReturnFields &f)
{
    const bool ok = f.id == 200;
    if (ok && f.request == QLatin1String("avatar"))
        return Branch::OwnAvatar;
    if (ok && f.request == QLatin1String("contactswithstates"))
        return Branch::ContactsWithStates;
    if (ok && f.request == QLatin1String("contactswithavatar"))
        return Branch::ContactsWithAvatar;
    if (ok && f.request == QLatin1String("onlinestate"))
        return Branch::OwnState;
    if (ok && f.request == QLatin1String("contactsrequests"))
        return Branch::FriendRequests;
    if (ok && f.action == QLatin1String("sendmessage"))
        return Branch::MaybeFailedMessage;
    if (f.notification == QLatin1String("onlinestate"))
        return Branch::StateNotification;
    return Branch::Unhandled;
}

QStringList userListEntries(const QString &users)
{
    QStringList entries;
    const QStringList lines = users.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    entries.reserve(lines.size());
    for (const QString &line : lines) {
        if (line != QLatin1String("\r") && line != QLatin1String("\r\n"))
            entries << line;
    }
    return entries;
}

bool isAccountName(const QString &user)
{
    return !user.trimmed().isEmpty();
}

namespace {

bool refusedName(const QString &user, const QString &entry)
{
    if (isAccountName(user))
        return false;
    qWarning() << "Refused a list entry without an account name:" << entry.left(200);
    return true;
}

} // namespace

bool parseContactEntry(const QString &entry, ContactEntry *contact)
{
    const QStringList fields = entry.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    if (fields.size() < 4)
        return false;
    if (refusedName(ZMsgFwWire::unescapeListField(fields.at(0)), entry))
        return false;
    contact->user = ZMsgFwWire::unescapeListField(fields.at(0));
    contact->nick = ZMsgFwWire::unescapeListField(fields.at(1));
    contact->status = ZMsgFwWire::unescapeListField(fields.at(2));
    contact->state = fields.at(3).trimmed().toInt();
    return true;
}

bool parseAvatarEntry(const QString &entry, AvatarEntry *avatar)
{
    const QStringList fields = entry.split(QLatin1Char('|'), Qt::KeepEmptyParts);
    if (fields.size() < 2)
        return false;
    if (refusedName(ZMsgFwWire::unescapeListField(fields.at(0)), entry))
        return false;
    avatar->user = ZMsgFwWire::unescapeListField(fields.at(0));
    avatar->avatarId = ZMsgFwWire::unescapeListField(fields.at(1));
    return true;
}

QString parseRequestEntry(const QString &entry)
{
    const QString user = ZMsgFwWire::unescapeListField(entry);
    return refusedName(user, entry) ? QString() : user;
}

const char *stateName(int state)
{
    return stateRow(state).name;
}

QString stateIconPath(int state)
{
    return QLatin1String(stateRow(state).icon);
}

QString ownStateIconPath(int state)
{
    return QLatin1String(stateRow(state).ownIcon);
}

QString stateNotificationImage(int state)
{
    return QLatin1String(stateRow(state).popupImage);
}

QByteArray cutPopupBytes(const QByteArray &utf8)
{
    if (utf8.size() <= 25)
        return utf8;
    int end = 23;
    // Step back over continuation bytes so that no character is split.
    while (end > 0 && (static_cast<unsigned char>(utf8.at(end)) & 0xC0) == 0x80)
        --end;
    return utf8.left(end) + "..";
}

} // namespace IncomingObject
