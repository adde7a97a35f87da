#ifndef CONTACTBOOK_H
#define CONTACTBOOK_H

#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>
#include <optional>

class QSettings;

// The per-contact tables of a session and the rules over them: the display name (custom
// nick, else stored server nick, else account name), the nicks kept in the settings, the
// search filter and what a contact-list refresh changes. The list rows stay with the window.
class ContactBook
{
public:
    ContactBook();
    ~ContactBook();

    QMap<QString, QString> nicks;
    QMap<QString, int> states;
    QMap<QString, QString> stateIcons;
    QMap<QString, QString> statusMessages;
    QMap<QString, QString> contactAvatars;
    QMap<QString, bool> avatarShown;
    QStringList friendRequests;

    // One store for the book's life: opening the settings for every name looked up costs
    // more than the lookup, and instances in one process share their file anyway.
    QSettings &settings();

    QString displayName(const QString &user);
    // The display name when the server's nick is nick.
    QString displayNameFrom(const QString &user, QString nick);
    bool hasCustomNick(const QString &user);
    // A blank nick removes the custom one.
    void setCustomNick(const QString &user, const QString &nick);
    // Keeps the server's nick in the settings; true when it was written (it changed).
    bool storeNick(const QString &user, const QString &nick);
    // The nick was written past the book: the next storeNick reads the store again.
    void forgetStoredNick(const QString &user);

    // The two-line row of the contact list: name, then the decoded status message.
    static QString rowText(const QString &name, const QString &status);
    // True when the account or display name starts with the search text (any case).
    bool matchesSearch(const QString &user, const QString &search);

    // The last state the server gave for a contact, if any.
    std::optional<int> stateOf(const QString &user) const;
    // Records a contact's state and the state icon that goes with it.
    void recordState(const QString &user, int state);
    // A contact just added: Offline, its account name as nick, no status.
    void insertOffline(const QString &user);
    void remove(const QString &user);
    void clear();
    void updateFriendRequests(const QString &added, const QString &removed);
    // Replaces the requests with those of a "list of friend requests" answer.
    void setFriendRequests(const QString &users);

    // What a contact-list refresh changed for one listed contact.
    struct Change {
        QString user, nick, status;
        int state = 8;
        bool textChanged = false; // nick (shown or stored) or status differ from before
        bool stateChanged = false;
    };
    // Takes a "contacts with states" list into the tables; refused entries are skipped.
    QVector<Change> refresh(const QString &users);

private:
    QHash<QString, QString> storedNicks;
    std::unique_ptr<QSettings> store;
};

#endif
