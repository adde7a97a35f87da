#include "ContactBook.h"

#include "AppSettings.h"
#include "IncomingObject.h"
#include "MessageFormat.h"

#include <QDebug>
#include <QSettings>

namespace {

const QString NickGroup = QStringLiteral("Nick/");
const QString CustomNickGroup = QStringLiteral("CustomNick/");

// Sets a table entry; true when it was missing or different.
template <typename Map, typename Value> bool replaceValue(Map &map, const QString &key, const Value &value)
{
    const auto it = map.find(key);
    if (it == map.end()) {
        map.insert(key, value);
        return true;
    }
    if (*it == value)
        return false;
    *it = value;
    return true;
}

} // namespace

ContactBook::ContactBook() = default;
ContactBook::~ContactBook() = default;

QSettings &ContactBook::settings()
{
    if (!store)
        store.reset(new QSettings(AppSettings::open()));
    return *store;
}

QString ContactBook::displayName(const QString &user)
{
    return displayNameFrom(user, settings().value(NickGroup + user, nicks.value(user, user)).toString());
}

QString ContactBook::displayNameFrom(const QString &user, QString nick)
{
    // A blank nick would leave an empty row; the account name always identifies the contact.
    if (nick.trimmed().isEmpty())
        nick = user;
    const QString custom = settings().value(CustomNickGroup + user, nick).toString();
    return custom.trimmed().isEmpty() ? nick : custom;
}

bool ContactBook::hasCustomNick(const QString &user)
{
    const QString key = CustomNickGroup + user;
    return settings().contains(key) && !settings().value(key).toString().trimmed().isEmpty();
}

void ContactBook::setCustomNick(const QString &user, const QString &nick)
{
    const QString key = CustomNickGroup + user;
    if (nick.trimmed().isEmpty())
        settings().remove(key);
    else
        settings().setValue(key, nick.trimmed());
}

bool ContactBook::storeNick(const QString &user, const QString &nick)
{
    if (!IncomingObject::isAccountName(user)) {
        qWarning() << "Refused to store a nick without an account name";
        return false;
    }
    // What the store holds is remembered, so that an unchanged list (every 20 seconds) does
    // not look up thousands of settings keys; a nick is written only when it changed.
    auto known = storedNicks.find(user);
    if (known == storedNicks.end()) {
        const QVariant stored = settings().value(NickGroup + user);
        known = storedNicks.insert(user, stored.isValid() ? stored.toString() : QString());
        if (stored.isValid() && *known == nick)
            return false;
    } else if (*known == nick) {
        return false;
    }
    settings().setValue(NickGroup + user, nick);
    *known = nick;
    return true;
}

void ContactBook::forgetStoredNick(const QString &user)
{
    storedNicks.remove(user);
}

QString ContactBook::rowText(const QString &name, const QString &status)
{
    return name + QLatin1Char('\n') + QString::fromUtf8(MessageFormat::decodeEntities(status));
}

bool ContactBook::matchesSearch(const QString &user, const QString &search)
{
    const QString needle = search.toLower();
    return needle.isEmpty() || user.toLower().startsWith(needle) || displayName(user).toLower().startsWith(needle);
}

void ContactBook::recordState(const QString &user, int state)
{
    states.insert(user, state);
    stateIcons.insert(user, IncomingObject::stateIconPath(state));
}

void ContactBook::insertOffline(const QString &user)
{
    nicks.insert(user, user);
    recordState(user, 8);
    statusMessages.insert(user, QString());
}

void ContactBook::remove(const QString &user)
{
    nicks.remove(user);
    states.remove(user);
    stateIcons.remove(user);
    statusMessages.remove(user);
}

void ContactBook::clear()
{
    nicks.clear();
    states.clear();
    stateIcons.clear();
    statusMessages.clear();
    contactAvatars.clear();
    avatarShown.clear();
    friendRequests.clear();
}

void ContactBook::updateFriendRequests(const QString &added, const QString &removed)
{
    if (!added.isEmpty()) {
        friendRequests.append(added);
        friendRequests.sort(Qt::CaseSensitive);
    }
    if (!removed.isEmpty())
        friendRequests.removeAll(removed);
}

void ContactBook::setFriendRequests(const QString &users)
{
    QStringList requests;
    for (const QString &entry : IncomingObject::userListEntries(users)) {
        const QString user = IncomingObject::parseRequestEntry(entry);
        if (!user.isEmpty())
            requests << user;
    }
    friendRequests = requests;
}

QVector<ContactBook::Change> ContactBook::refresh(const QString &users)
{
    QVector<Change> changes;
    for (const QString &entry : IncomingObject::userListEntries(users)) {
        IncomingObject::ContactEntry contact;
        if (!IncomingObject::parseContactEntry(entry, &contact))
            continue;
        Change change;
        change.user = contact.user;
        change.nick = contact.nick;
        change.status = contact.status;
        change.state = contact.state;
        const bool nickStored = storeNick(contact.user, contact.nick);
        const bool nickChanged = replaceValue(nicks, contact.user, contact.nick);
        const bool statusChanged = replaceValue(statusMessages, contact.user, contact.status);
        change.textChanged = nickStored || nickChanged || statusChanged;
        change.stateChanged = states.value(contact.user, -1) != contact.state;
        if (change.stateChanged)
            recordState(contact.user, contact.state);
        if (!contactAvatars.contains(contact.user))
            contactAvatars.insert(contact.user, QString());
        changes.append(change);
    }
    return changes;
}

std::optional<int> ContactBook::stateOf(const QString &user) const
{
    const auto found = states.constFind(user);
    return found == states.cend() ? std::nullopt : std::optional<int>(*found);
}
