#ifndef ZMSGDSTORE_H
#define ZMSGDSTORE_H

#include "zmsgdpassword.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// One account as stored, without its password material and picture.
struct ZmsgdAccount {
    QString name;
    QString nick;
    QString statusMessage;
    QString mail;
    bool mailVisible = false;
    QString realName;
    int state = 1;
    QString signature;
    QString avatarId;
    bool bot = false;
};

// One entry of a contact list, joined with what the list shows about the contact.
struct ZmsgdContactRow {
    QString name;
    QString nick;
    QString statusMessage;
    int state = 8;
    QString avatarId;
    bool mutual = false;
    bool bot = false;
};

struct ZmsgdStoredMessage {
    qint64 id = 0;
    QString sender;
    QString recipient;
    QString body;
};

struct ZmsgdAvatar {
    QString owner;
    QString id;
    QByteArray png;
};

// SQLite storage of the server: accounts, contact lists, friend requests and the messages
// that wait for their recipient. Creates and migrates its schema on open. The database holds
// password hashes, the captcha secret and unread messages: its file is kept readable by the
// owner only, and so is its folder unless that is a shared one.
class ZmsgdStore
{
public:
    enum class CreateResult { Created, Exists, Failed };

    ZmsgdStore();
    ~ZmsgdStore();
    ZmsgdStore(const ZmsgdStore &) = delete;
    ZmsgdStore &operator=(const ZmsgdStore &) = delete;

    bool open(const QString &path, QString *error);
    // The cost of hashes made from now on; production strength unless set.
    void setPasswordCost(const ZmsgdPassword::Cost &cost) { m_passwordCost = cost; }
    ZmsgdPassword::Cost passwordCost() const { return m_passwordCost; }
    void close();
    bool isOpen() const;
    static int schemaVersion();

    // Hashes the password on the calling thread.
    CreateResult createAccount(const QString &name, const QString &password, const QString &nick,
                               QString *error = nullptr);
    CreateResult createAccountWithHash(const QString &name, const ZmsgdPassword::Record &password, const QString &nick,
                                       QString *error = nullptr);
    bool accountExists(const QString &name) const;
    // True when another account differs from name only by letter case (or is name itself).
    bool nameTakenIgnoringCase(const QString &name) const;
    std::optional<ZmsgdAccount> account(const QString &name) const;
    bool isBot(const QString &name) const;
    // Hashes on the calling thread; the server uses passwordRecord and verifies elsewhere.
    bool verifyPassword(const QString &name, const QString &password) const;
    bool setPassword(const QString &name, const QString &password);
    std::optional<ZmsgdPassword::Record> passwordRecord(const QString &name) const;
    bool setPasswordRecord(const QString &name, const ZmsgdPassword::Record &record);
    // Only while the stored record is still expected: a password changed meanwhile stays.
    bool replacePasswordRecord(const QString &name, const ZmsgdPassword::Record &expected,
                               const ZmsgdPassword::Record &record);
    bool setNick(const QString &name, const QString &nick);
    bool setStatusMessage(const QString &name, const QString &message);
    bool setMail(const QString &name, const QString &mail, bool visible);
    bool setRealName(const QString &name, const QString &realName);
    bool setState(const QString &name, int state);
    bool setSignature(const QString &name, const QString &signature);
    bool setBot(const QString &name, bool bot);
    bool setAvatar(const QString &name, const QString &avatarId, const QByteArray &png);
    // Looks the picture up by avatar id first, then by account name.
    std::optional<ZmsgdAvatar> avatar(const QString &key) const;

    struct Relation {
        bool bot = false;
        bool inOwnersList = false;
    };
    // What owner may do with another account: nothing when it does not exist.
    std::optional<Relation> relation(const QString &owner, const QString &other) const;

    QStringList contacts(const QString &owner) const;
    QList<ZmsgdContactRow> contactRows(const QString &owner) const;
    int contactCount(const QString &owner) const;
    bool hasContact(const QString &owner, const QString &contact) const;
    bool addContact(const QString &owner, const QString &contact);
    bool removeContact(const QString &owner, const QString &contact);
    // Accounts that have owner in their lists: the ones told about owner's state.
    QStringList watchers(const QString &owner) const;
    // Contacts that have owner in their lists as well.
    QStringList mutualContacts(const QString &owner) const;

    QStringList requestsFor(const QString &target) const;
    bool hasRequest(const QString &requester, const QString &target) const;
    bool addRequest(const QString &requester, const QString &target);
    bool removeRequest(const QString &requester, const QString &target);

    // Returns the message id, or -1 when it could not be stored.
    qint64 storeMessage(const QString &sender, const QString &recipient, const QString &body);
    QList<ZmsgdStoredMessage> pendingMessages(const QString &recipient, qint64 afterId, int limit) const;
    int pendingCount(const QString &recipient) const;
    bool deleteMessages(const QList<qint64> &ids);

    // False when the code was used before: a captcha answers only one registration. Codes used
    // before forgetBefore (seconds since the epoch) are forgotten.
    bool useCaptchaCode(const QString &code, qint64 now, qint64 forgetBefore);
    int usedCaptchaCount() const;
    QString metaValue(const QString &key) const;
    bool setMetaValue(const QString &key, const QString &value);

    bool transaction();
    bool commit();
    void rollback();

private:
    class Run;
    bool migrate(QString *error);
    bool exec(const QString &statement, const QVariantList &values = {}) const;
    bool updateField(const QString &name, const char *column, const QVariant &value);
    QSqlQuery *prepared(const QString &statement) const;
    QStringList names(const QString &statement, const QVariantList &values) const;
    int count(const QString &statement, const QVariantList &values) const;

    ZmsgdPassword::Cost m_passwordCost = ZmsgdPassword::productionCost();
    QString m_connectionName;
    QSqlDatabase m_db;
    // Statements are prepared once per connection; the server runs the same few all the time.
    mutable QHash<QString, QSqlQuery *> m_prepared;
};

#endif
