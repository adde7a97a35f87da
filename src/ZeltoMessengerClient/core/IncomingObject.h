#ifndef INCOMINGOBJECT_H
#define INCOMINGOBJECT_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// Pure parsing of the incoming objects that the protocol library hands to the main window,
// of the contact-list entries they carry, and the tables indexed by online state codes.
// Nothing here touches a widget, a socket or the settings.
namespace IncomingObject {

enum class Mode {
    Empty, // nothing to do
    Message, // "MessageFromUser<>" sender ": " text
    Return, // "ReturnIntialize<>..." return or notification
    Other, // pokes and anything unknown: logged only
};

// Splits the object at every "<>" (empty parts kept) and tells which handling it needs.
Mode modeOf(const QString &object, QStringList *parts = nullptr);

struct Message {
    QString sender;
    QString text;
};
// Sender and trimmed text of a message object; false when either is empty.
bool parseMessage(const QString &object, const QStringList &parts, Message *message);

struct ReturnFields {
    QString action; // --at=
    QString request; // --rq=
    QString notification; // --nt=
    int id = 500; // --id=
    int state = 500; // --state=
    QString users; // --users=, entries separated by line feeds
    QString avatar; // --avatar=
    QString username; // --username=
};
ReturnFields parseReturn(const QStringList &parts);

enum class Branch {
    OwnAvatar,
    ContactsWithStates,
    ContactsWithAvatar,
    OwnState,
    FriendRequests,
    MaybeFailedMessage,
    StateNotification,
    Unhandled,
};
Branch branchOf(const ReturnFields &fields);

// Value of a field inside a return object: the library writes "<" and ">" as entities so that
// values can never contain the "<>" separator; this undoes that and decodes "&nbsp;" and
// "&amp;", in one pass.
QString decodeValue(const QString &value);
// As decodeValue, but a "<>" of the original list value (the entry separator) becomes
// a line feed.
QString decodeListValue(const QString &value);

// Entries of a decoded user list: split at line feeds, empty and bare CR/LF entries dropped.
QStringList userListEntries(const QString &users);

// An account name the client takes: not empty and not only white space. Such a name would
// be a contact without a name and an empty key in the settings.
bool isAccountName(const QString &user);

struct ContactEntry {
    QString user;
    QString nick;
    QString status; // entity-encoded as the contact set it
    int state = 8;
};
// One "user|nick|status|state" entry; false (logged) when it has fewer than four fields or
// no account name.
bool parseContactEntry(const QString &entry, ContactEntry *contact);

struct AvatarEntry {
    QString user;
    QString avatarId;
};
// One "user|avatarid" entry; false (logged) when it has fewer than two fields or no account
// name.
bool parseAvatarEntry(const QString &entry, AvatarEntry *avatar);
// One entry of a friend-request list: a user name; empty (logged) when it is no account name.
QString parseRequestEntry(const QString &entry);

// State tables. Any code other than 1 to 5 means Offline.
const char *stateName(int state); // untranslated; translate in the "frmLogin" context
QString stateIconPath(int state);
QString ownStateIconPath(int state);
QString stateNotificationImage(int state);

// A popup line: at most 25 bytes of UTF-8, else the first 23 bytes (never splitting a
// character) followed by "..".
QByteArray cutPopupBytes(const QByteArray &utf8);

} // namespace IncomingObject

#endif
