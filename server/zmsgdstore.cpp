#include "zmsgdstore.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Each entry brings the schema from version (index) to version (index + 1).
const QList<QStringList> &migrations()
{
    static const QList<QStringList> steps = {
        {
            QStringLiteral("CREATE TABLE accounts ("
                           " name TEXT PRIMARY KEY NOT NULL,"
                           " salt BLOB NOT NULL,"
                           " hash BLOB NOT NULL,"
                           " iterations INTEGER NOT NULL,"
                           " nick TEXT NOT NULL DEFAULT '',"
                           " status TEXT NOT NULL DEFAULT '',"
                           " mail TEXT NOT NULL DEFAULT '',"
                           " mail_visible INTEGER NOT NULL DEFAULT 0,"
                           " state INTEGER NOT NULL DEFAULT 1,"
                           " signature TEXT NOT NULL DEFAULT 'Regular',"
                           " avatar_id TEXT,"
                           " avatar_png BLOB,"
                           " created INTEGER NOT NULL)"),
            QStringLiteral("CREATE UNIQUE INDEX accounts_avatar ON accounts(avatar_id)"),
            QStringLiteral("CREATE TABLE contacts ("
                           " owner TEXT NOT NULL REFERENCES accounts(name) ON DELETE CASCADE,"
                           " contact TEXT NOT NULL REFERENCES accounts(name) ON DELETE CASCADE,"
                           " PRIMARY KEY (owner, contact))"),
            QStringLiteral("CREATE INDEX contacts_contact ON contacts(contact)"),
            QStringLiteral("CREATE TABLE requests ("
                           " requester TEXT NOT NULL REFERENCES accounts(name) ON DELETE CASCADE,"
                           " target TEXT NOT NULL REFERENCES accounts(name) ON DELETE CASCADE,"
                           " created INTEGER NOT NULL,"
                           " PRIMARY KEY (requester, target))"),
            QStringLiteral("CREATE INDEX requests_target ON requests(target)"),
            QStringLiteral("CREATE TABLE messages ("
                           " id INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " sender TEXT NOT NULL,"
                           " recipient TEXT NOT NULL,"
                           " body TEXT NOT NULL,"
                           " created INTEGER NOT NULL)"),
            QStringLiteral("CREATE INDEX messages_recipient ON messages(recipient, id)"),
            QStringLiteral("CREATE TABLE meta (key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL)"),
        },
        {
            QStringLiteral("ALTER TABLE accounts ADD COLUMN real_name TEXT NOT NULL DEFAULT ''"),
            QStringLiteral("ALTER TABLE accounts ADD COLUMN bot INTEGER NOT NULL DEFAULT 0"),
            QStringLiteral("CREATE TABLE used_captchas (code TEXT PRIMARY KEY NOT NULL, used INTEGER NOT NULL)"),
        },
    };
    return steps;
}

qint64 now()
{
    return QDateTime::currentSecsSinceEpoch();
}

// A shared folder (sticky, like /tmp), someone else's, the home folder or the root stays as
// it is; any other folder of the database becomes the owner's alone.
void tightenFolder(const QString &folder)
{
    struct stat info = {};
    const QByteArray path = QFile::encodeName(folder);
    if (::stat(path.constData(), &info) != 0 || (info.st_mode & S_ISVTX) || info.st_uid != ::geteuid())
        return;
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical == QDir::rootPath() || canonical == QFileInfo(QDir::homePath()).canonicalFilePath())
        return;
    if ((info.st_mode & 07777) != 0700)
        ::chmod(path.constData(), 0700);
}

// Creates the file 0600 before SQLite does (SQLite would follow the umask) and tightens an
// existing one with its journal files, which SQLite creates with the database's mode.
bool keepPrivate(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool ok = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    for (const char *suffix : {"-wal", "-shm", "-journal"}) {
        const QByteArray journal = name + suffix;
        if (::access(journal.constData(), F_OK) == 0)
            ::chmod(journal.constData(), 0600);
    }
    return ok;
}

// Zero-length, not NULL: the salt column takes no NULL.
const QByteArray NoSalt("");

} // namespace

ZmsgdStore::ZmsgdStore()
{
    static QAtomicInt counter;
    m_connectionName = QStringLiteral("zmsgd-store-%1").arg(counter.fetchAndAddRelaxed(1));
}

ZmsgdStore::~ZmsgdStore()
{
    close();
}

int ZmsgdStore::schemaVersion()
{
    return migrations().size();
}

bool ZmsgdStore::open(const QString &path, QString *error)
{
    close();
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create the directory %1").arg(info.absolutePath());
        return false;
    }
    tightenFolder(info.absolutePath());
    if (!keepPrivate(path)) {
        if (error)
            *error = QStringLiteral("cannot create the database %1 readable by its owner only").arg(path);
        return false;
    }
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    if (!m_db.open()) {
        if (error)
            *error = QStringLiteral("cannot open the database %1: %2").arg(path, m_db.lastError().text());
        close();
        return false;
    }
    // WAL with synchronous NORMAL keeps every committed row across a crash of the process
    // while a commit costs no disk flush.
    exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    exec(QStringLiteral("PRAGMA busy_timeout=5000"));
    if (!migrate(error)) {
        close();
        return false;
    }
    return true;
}

void ZmsgdStore::close()
{
    qDeleteAll(m_prepared);
    m_prepared.clear();
    if (m_db.isValid()) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

bool ZmsgdStore::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

bool ZmsgdStore::migrate(QString *error)
{
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        if (error)
            *error = QStringLiteral("cannot read the schema version: %1").arg(query.lastError().text());
        return false;
    }
    int version = query.value(0).toInt();
    const QList<QStringList> &steps = migrations();
    if (version > steps.size()) {
        if (error)
            *error = QStringLiteral("the database has schema version %1, newer than this server knows (%2)")
                         .arg(version)
                         .arg(steps.size());
        return false;
    }
    for (; version < steps.size(); ++version) {
        if (!m_db.transaction()) {
            if (error)
                *error = m_db.lastError().text();
            return false;
        }
        for (const QString &statement : steps.at(version)) {
            QSqlQuery step(m_db);
            if (!step.exec(statement)) {
                if (error)
                    *error = QStringLiteral("schema migration to version %1 failed: %2")
                                 .arg(version + 1)
                                 .arg(step.lastError().text());
                m_db.rollback();
                return false;
            }
        }
        QSqlQuery bump(m_db);
        if (!bump.exec(QStringLiteral("PRAGMA user_version = %1").arg(version + 1)) || !m_db.commit()) {
            if (error)
                *error = QStringLiteral("cannot record schema version %1").arg(version + 1);
            m_db.rollback();
            return false;
        }
    }
    return true;
}

// Executes a cached prepared statement with its values and finishes it when done, so no
// read snapshot stays open between calls.
class ZmsgdStore::Run
{
public:
    Run(const ZmsgdStore &store, const QString &statement, const QVariantList &values = {})
        : m_query(store.prepared(statement))
    {
        if (!m_query)
            return;
        for (int i = 0; i < values.size(); ++i)
            m_query->bindValue(i, values.at(i));
        m_ok = m_query->exec();
    }
    ~Run()
    {
        if (m_query)
            m_query->finish();
    }
    Run(const Run &) = delete;
    Run &operator=(const Run &) = delete;

    bool ok() const { return m_ok; }
    bool next() { return m_ok && m_query->next(); }
    QVariant value(int index) const { return m_query->value(index); }
    int affected() const { return m_ok ? m_query->numRowsAffected() : -1; }
    qint64 lastInsertId() const { return m_ok ? m_query->lastInsertId().toLongLong() : -1; }

private:
    QSqlQuery *m_query = nullptr;
    bool m_ok = false;
};

QSqlQuery *ZmsgdStore::prepared(const QString &statement) const
{
    auto it = m_prepared.constFind(statement);
    if (it != m_prepared.constEnd())
        return *it;
    auto query = std::make_unique<QSqlQuery>(m_db);
    query->setForwardOnly(true);
    if (!query->prepare(statement))
        return nullptr;
    return *m_prepared.insert(statement, query.release());
}

bool ZmsgdStore::exec(const QString &statement, const QVariantList &values) const
{
    return Run(*this, statement, values).ok();
}

ZmsgdStore::CreateResult ZmsgdStore::createAccount(const QString &name, const QString &password, const QString &nick,
                                                   QString *error)
{
    if (nameTakenIgnoringCase(name)) {
        if (error)
            *error = QStringLiteral("the account %1 exists already").arg(name);
        return CreateResult::Exists;
    }
    return createAccountWithHash(name, ZmsgdPassword::hash(password, m_passwordCost), nick, error);
}

ZmsgdStore::CreateResult ZmsgdStore::createAccountWithHash(const QString &name, const ZmsgdPassword::Record &password,
                                                           const QString &nick, QString *error)
{
    if (nameTakenIgnoringCase(name)) {
        if (error)
            *error = QStringLiteral("the account %1 exists already").arg(name);
        return CreateResult::Exists;
    }
    if (password.hash.isEmpty()) {
        if (error)
            *error = QStringLiteral("the password could not be hashed");
        return CreateResult::Failed;
    }
    Run insert(*this,
               QStringLiteral("INSERT INTO accounts (name, salt, hash, iterations, nick, created)"
                              " VALUES (?, ?, ?, ?, ?, ?)"),
               {name, password.salt.isNull() ? NoSalt : password.salt, password.hash, password.iterations,
                nick.isEmpty() ? name : nick, now()});
    if (!insert.ok()) {
        if (error)
            *error = m_db.lastError().text();
        return CreateResult::Failed;
    }
    return CreateResult::Created;
}

bool ZmsgdStore::accountExists(const QString &name) const
{
    Run query(*this, QStringLiteral("SELECT 1 FROM accounts WHERE name = ?"), {name});
    return query.next();
}

bool ZmsgdStore::nameTakenIgnoringCase(const QString &name) const
{
    Run query(*this, QStringLiteral("SELECT 1 FROM accounts WHERE lower(name) = lower(?)"), {name});
    return query.next();
}

std::optional<ZmsgdAccount> ZmsgdStore::account(const QString &name) const
{
    Run query(*this,
              QStringLiteral("SELECT name, nick, status, mail, mail_visible, real_name, state, signature,"
                             " avatar_id, bot FROM accounts WHERE name = ?"),
              {name});
    if (!query.next())
        return std::nullopt;
    ZmsgdAccount account;
    account.name = query.value(0).toString();
    account.nick = query.value(1).toString();
    account.statusMessage = query.value(2).toString();
    account.mail = query.value(3).toString();
    account.mailVisible = query.value(4).toBool();
    account.realName = query.value(5).toString();
    account.state = query.value(6).toInt();
    account.signature = query.value(7).toString();
    account.avatarId = query.value(8).toString();
    account.bot = query.value(9).toBool();
    return account;
}

bool ZmsgdStore::isBot(const QString &name) const
{
    Run query(*this, QStringLiteral("SELECT bot FROM accounts WHERE name = ?"), {name});
    return query.next() && query.value(0).toBool();
}

bool ZmsgdStore::verifyPassword(const QString &name, const QString &password) const
{
    const std::optional<ZmsgdPassword::Record> record = passwordRecord(name);
    if (!record) {
        // Spend the same work for an unknown name, so timing does not tell which names exist.
        ZmsgdPassword::hash(password, m_passwordCost);
        return false;
    }
    return ZmsgdPassword::verify(password, *record);
}

bool ZmsgdStore::setPassword(const QString &name, const QString &password)
{
    return setPasswordRecord(name, ZmsgdPassword::hash(password, m_passwordCost));
}

std::optional<ZmsgdPassword::Record> ZmsgdStore::passwordRecord(const QString &name) const
{
    Run query(*this, QStringLiteral("SELECT salt, hash, iterations FROM accounts WHERE name = ?"), {name});
    if (!query.next())
        return std::nullopt;
    return ZmsgdPassword::Record{query.value(0).toByteArray(), query.value(1).toByteArray(), query.value(2).toInt()};
}

bool ZmsgdStore::setPasswordRecord(const QString &name, const ZmsgdPassword::Record &record)
{
    if (record.hash.isEmpty())
        return false;
    Run update(*this, QStringLiteral("UPDATE accounts SET salt = ?, hash = ?, iterations = ? WHERE name = ?"),
               {record.salt.isNull() ? NoSalt : record.salt, record.hash, record.iterations, name});
    return update.affected() == 1;
}

bool ZmsgdStore::replacePasswordRecord(const QString &name, const ZmsgdPassword::Record &expected,
                                       const ZmsgdPassword::Record &record)
{
    if (record.hash.isEmpty())
        return false;
    Run update(*this,
               QStringLiteral("UPDATE accounts SET salt = ?, hash = ?, iterations = ?"
                              " WHERE name = ? AND salt = ? AND hash = ? AND iterations = ?"),
               {record.salt.isNull() ? NoSalt : record.salt, record.hash, record.iterations, name,
                expected.salt.isNull() ? NoSalt : expected.salt, expected.hash, expected.iterations});
    return update.affected() == 1;
}

bool ZmsgdStore::updateField(const QString &name, const char *column, const QVariant &value)
{
    Run update(*this, QStringLiteral("UPDATE accounts SET %1 = ? WHERE name = ?").arg(QLatin1String(column)),
               {value, name});
    return update.affected() == 1;
}

bool ZmsgdStore::setNick(const QString &name, const QString &nick)
{
    return updateField(name, "nick", nick);
}

bool ZmsgdStore::setStatusMessage(const QString &name, const QString &message)
{
    return updateField(name, "status", message);
}

bool ZmsgdStore::setMail(const QString &name, const QString &mail, bool visible)
{
    return updateField(name, "mail", mail) && updateField(name, "mail_visible", visible ? 1 : 0);
}

bool ZmsgdStore::setRealName(const QString &name, const QString &realName)
{
    return updateField(name, "real_name", realName);
}

bool ZmsgdStore::setState(const QString &name, int state)
{
    return updateField(name, "state", state);
}

bool ZmsgdStore::setSignature(const QString &name, const QString &signature)
{
    return updateField(name, "signature", signature);
}

bool ZmsgdStore::setBot(const QString &name, bool bot)
{
    return updateField(name, "bot", bot ? 1 : 0);
}

bool ZmsgdStore::setAvatar(const QString &name, const QString &avatarId, const QByteArray &png)
{
    Run update(*this, QStringLiteral("UPDATE accounts SET avatar_id = ?, avatar_png = ? WHERE name = ?"),
               {avatarId, png, name});
    return update.affected() == 1;
}

std::optional<ZmsgdAvatar> ZmsgdStore::avatar(const QString &key) const
{
    for (const char *column : {"avatar_id", "name"}) {
        Run query(*this,
                  QStringLiteral("SELECT name, avatar_id, avatar_png FROM accounts"
                                 " WHERE %1 = ? AND avatar_png IS NOT NULL")
                      .arg(QLatin1String(column)),
                  {key});
        if (query.next())
            return ZmsgdAvatar{query.value(0).toString(), query.value(1).toString(), query.value(2).toByteArray()};
    }
    return std::nullopt;
}

QStringList ZmsgdStore::names(const QString &statement, const QVariantList &values) const
{
    QStringList result;
    Run query(*this, statement, values);
    while (query.next())
        result << query.value(0).toString();
    return result;
}

int ZmsgdStore::count(const QString &statement, const QVariantList &values) const
{
    Run query(*this, statement, values);
    return query.next() ? query.value(0).toInt() : 0;
}

std::optional<ZmsgdStore::Relation> ZmsgdStore::relation(const QString &owner, const QString &other) const
{
    Run query(*this,
              QStringLiteral("SELECT a.bot, EXISTS (SELECT 1 FROM contacts c WHERE c.owner = ? AND c.contact = a.name)"
                             " FROM accounts a WHERE a.name = ?"),
              {owner, other});
    if (!query.next())
        return std::nullopt;
    return Relation{query.value(0).toBool(), query.value(1).toBool()};
}

QStringList ZmsgdStore::contacts(const QString &owner) const
{
    return names(QStringLiteral("SELECT contact FROM contacts WHERE owner = ? ORDER BY contact"), {owner});
}

QList<ZmsgdContactRow> ZmsgdStore::contactRows(const QString &owner) const
{
    QList<ZmsgdContactRow> rows;
    Run query(
        *this,
        QStringLiteral("SELECT a.name, a.nick, a.status, a.state, a.avatar_id, a.bot,"
                       " EXISTS (SELECT 1 FROM contacts back WHERE back.owner = c.contact AND back.contact = c.owner)"
                       " FROM contacts c JOIN accounts a ON a.name = c.contact WHERE c.owner = ? ORDER BY a.name"),
        {owner});
    while (query.next()) {
        ZmsgdContactRow row;
        row.name = query.value(0).toString();
        row.nick = query.value(1).toString();
        row.statusMessage = query.value(2).toString();
        row.state = query.value(3).toInt();
        row.avatarId = query.value(4).toString();
        row.bot = query.value(5).toBool();
        row.mutual = query.value(6).toBool();
        rows << row;
    }
    return rows;
}

int ZmsgdStore::contactCount(const QString &owner) const
{
    return count(QStringLiteral("SELECT count(*) FROM contacts WHERE owner = ?"), {owner});
}

bool ZmsgdStore::hasContact(const QString &owner, const QString &contact) const
{
    Run query(*this, QStringLiteral("SELECT 1 FROM contacts WHERE owner = ? AND contact = ?"), {owner, contact});
    return query.next();
}

bool ZmsgdStore::addContact(const QString &owner, const QString &contact)
{
    return exec(QStringLiteral("INSERT OR IGNORE INTO contacts (owner, contact) VALUES (?, ?)"), {owner, contact});
}

bool ZmsgdStore::removeContact(const QString &owner, const QString &contact)
{
    return exec(QStringLiteral("DELETE FROM contacts WHERE owner = ? AND contact = ?"), {owner, contact});
}

QStringList ZmsgdStore::watchers(const QString &owner) const
{
    return names(QStringLiteral("SELECT owner FROM contacts WHERE contact = ? ORDER BY owner"), {owner});
}

QStringList ZmsgdStore::mutualContacts(const QString &owner) const
{
    return names(QStringLiteral("SELECT c.contact FROM contacts c JOIN contacts back"
                                " ON back.owner = c.contact AND back.contact = c.owner"
                                " WHERE c.owner = ? ORDER BY c.contact"),
                 {owner});
}

QStringList ZmsgdStore::requestsFor(const QString &target) const
{
    return names(QStringLiteral("SELECT requester FROM requests WHERE target = ? ORDER BY created, requester"),
                 {target});
}

bool ZmsgdStore::hasRequest(const QString &requester, const QString &target) const
{
    Run query(*this, QStringLiteral("SELECT 1 FROM requests WHERE requester = ? AND target = ?"), {requester, target});
    return query.next();
}

bool ZmsgdStore::addRequest(const QString &requester, const QString &target)
{
    return exec(QStringLiteral("INSERT OR IGNORE INTO requests (requester, target, created) VALUES (?, ?, ?)"),
                {requester, target, now()});
}

bool ZmsgdStore::removeRequest(const QString &requester, const QString &target)
{
    return exec(QStringLiteral("DELETE FROM requests WHERE requester = ? AND target = ?"), {requester, target});
}

qint64 ZmsgdStore::storeMessage(const QString &sender, const QString &recipient, const QString &body)
{
    Run insert(*this, QStringLiteral("INSERT INTO messages (sender, recipient, body, created) VALUES (?, ?, ?, ?)"),
               {sender, recipient, body, now()});
    return insert.lastInsertId();
}

QList<ZmsgdStoredMessage> ZmsgdStore::pendingMessages(const QString &recipient, qint64 afterId, int limit) const
{
    QList<ZmsgdStoredMessage> messages;
    Run query(
        *this,
        QStringLiteral("SELECT id, sender, body FROM messages WHERE recipient = ? AND id > ? ORDER BY id LIMIT ?"),
        {recipient, afterId, limit});
    while (query.next())
        messages << ZmsgdStoredMessage{query.value(0).toLongLong(), query.value(1).toString(), recipient,
                                       query.value(2).toString()};
    return messages;
}

int ZmsgdStore::pendingCount(const QString &recipient) const
{
    return count(QStringLiteral("SELECT count(*) FROM messages WHERE recipient = ?"), {recipient});
}

bool ZmsgdStore::deleteMessages(const QList<qint64> &ids)
{
    if (ids.isEmpty())
        return true;
    if (!m_db.transaction())
        return false;
    for (qint64 id : ids) {
        if (!exec(QStringLiteral("DELETE FROM messages WHERE id = ?"), {id})) {
            m_db.rollback();
            return false;
        }
    }
    return m_db.commit();
}

bool ZmsgdStore::useCaptchaCode(const QString &code, qint64 now, qint64 forgetBefore)
{
    exec(QStringLiteral("DELETE FROM used_captchas WHERE used < ?"), {forgetBefore});
    Run insert(*this, QStringLiteral("INSERT OR IGNORE INTO used_captchas (code, used) VALUES (?, ?)"), {code, now});
    return insert.affected() == 1;
}

int ZmsgdStore::usedCaptchaCount() const
{
    return count(QStringLiteral("SELECT count(*) FROM used_captchas"), {});
}

QString ZmsgdStore::metaValue(const QString &key) const
{
    Run query(*this, QStringLiteral("SELECT value FROM meta WHERE key = ?"), {key});
    return query.next() ? query.value(0).toString() : QString();
}

bool ZmsgdStore::setMetaValue(const QString &key, const QString &value)
{
    return exec(QStringLiteral("INSERT OR REPLACE INTO meta (key, value) VALUES (?, ?)"), {key, value});
}

bool ZmsgdStore::transaction()
{
    return m_db.transaction();
}

bool ZmsgdStore::commit()
{
    return m_db.commit();
}

void ZmsgdStore::rollback()
{
    m_db.rollback();
}
