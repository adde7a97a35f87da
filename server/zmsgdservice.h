#ifndef ZMSGDSERVICE_H
#define ZMSGDSERVICE_H

#include "zmsgdconfig.h"
#include "zmsgdformat.h"
#include "zmsgdstore.h"
#include "zmsgdthrottle.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>

// Result codes the server answers with.
namespace ZmsgdCode {
enum : int {
    Ok = 200,
    WrongOldPassword = 300,
    BadRequest = 400,
    NotLoggedIn = 401,
    Forbidden = 403,
    NotFound = 404,
    UnknownCommand = 405,
    Conflict = 409,
    TooLong = 413,
    TooManyRequests = 429,
    Internal = 500,
};
}

// A logged-in connection as the service sees it: something that can be pushed to.
class ZmsgdPeer
{
public:
    virtual ~ZmsgdPeer() = default;
    virtual QString peerUser() const = 0;
    virtual ZmsgdClientInfo peerClientInfo() const = 0;
    // False while the peer should not get messages: right after login, or while its
    // reader lags behind. Messages then wait in the store.
    virtual bool readyForMessages() const = 0;
    // Highest message id already handed to this peer.
    virtual qint64 lastPushedMessage() const = 0;
    virtual void pushMessage(const ZmsgdStoredMessage &message) = 0;
    virtual void pushPoke(const QString &from) = 0;
    virtual void pushStateChange(const QString &user, int state) = 0;
    virtual void pushRequests(const QStringList &requesters) = 0;
};

// The accounts, contacts, presence and message routing behind every protocol generation.
// Protocol handlers translate lines into these calls and the results back into lines.
class ZmsgdService : public QObject
{
    Q_OBJECT
public:
    struct Answer {
        int code = ZmsgdCode::Ok;
        QString text;
    };

    // Result of an operation that hashes: runs later on the service's thread.
    using Done = std::function<void(int code)>;

    static constexpr int MaxMessageLength = 32 * 1024;
    static constexpr int ShowOfflineState = 5;
    static constexpr int OfflineState = 8;

    ZmsgdService(ZmsgdStore *store, const ZmsgdConfig &config, QObject *parent = nullptr);
    ~ZmsgdService() override;

    // Verifies on the calling thread, without throttling; for tools and tests.
    int login(const QString &user, const QString &password) const;
    // The server's login check: throttled per account and address (ZmsgdLoginThrottle), the
    // password verified on the hashing threads. done gets 200, 404 (no such account or wrong
    // password) or 429 (too many failures, try later), unless context is gone by then. An old
    // hash is replaced by one of the configured cost after a successful check.
    void checkLogin(const QString &user, const QString &password, const QString &address, QObject *context, Done done);
    // As setPassword, hashing off this thread and counting a wrong old password like a failed login.
    void changePassword(const QString &user, const QString &oldPassword, const QString &newPassword,
                        const QString &address, QObject *context, Done done);
    void attach(ZmsgdPeer *peer);
    void detach(ZmsgdPeer *peer);
    bool isOnline(const QString &user) const;
    int sessionCount() const;
    // The state others see: the chosen state while logged in (always online for a bot), else offline.
    int effectiveState(const QString &user) const;

    Answer contacts(const QString &user) const;
    Answer contactsLength(const QString &user) const;
    Answer contactsRequests(const QString &user) const;
    Answer contactsRequestsLength(const QString &user) const;
    Answer contactsWithStates(const QString &user) const;
    Answer contactsWithAvatar(const QString &user) const;
    Answer ownState(const QString &user) const;
    Answer otherState(const QString &user, const QString &other) const;
    Answer ownStatusMessage(const QString &user) const;
    Answer otherStatusMessage(const QString &user, const QString &other) const;
    Answer ownNick(const QString &user) const;
    Answer otherNick(const QString &user, const QString &other) const;
    Answer ownMail(const QString &user) const;
    Answer otherMail(const QString &user, const QString &other) const;
    Answer profileInfo(const QString &user, const QString &other) const;
    Answer ownAvatar(const QString &user) const;

    int addContact(const QString &user, const QString &other);
    int delContact(const QString &user, const QString &other);
    int setState(const QString &user, int state);
    int setStatusMessage(const QString &user, const QString &message);
    int setNick(const QString &user, const QString &nick);
    int setMail(const QString &user, const QString &mail, bool visible);
    // Hashes on the calling thread; the server uses changePassword.
    int setPassword(const QString &user, const QString &oldPassword, const QString &newPassword);
    int sendPoke(const QString &user, const QString &other);
    int sendMessage(const QString &user, const QString &other, const QString &text);
    // Takes a PNG, JPEG or GIF picture (ZmsgdPicture), stores it as a 128 x 128 PNG under a new avatar id.
    int setAvatar(const QString &user, const QByteArray &imageData);

    // Hands every stored message waiting for the peer's user to the peer, in order.
    void deliverPending(ZmsgdPeer *peer);
    // The peer's connection has written these messages out: they are no longer kept.
    void confirmDelivered(const QList<qint64> &ids);
    void flushConfirmed();

    // Creates an account; with a demo contact present it is added and says hello. done gets 200,
    // 400 (a bad value), 409 (name taken), 429 (too many accounts from this address within an
    // hour) or 500.
    void registerAccount(const QString &name, const QString &password, const QString &nick, const QString &realName,
                         const QString &mail, const QString &address, QObject *context, Done done);
    bool seedDemo(QString *error);

    ZmsgdStore *store() const { return m_store; }
    // Milliseconds since the epoch, from the configured clock.
    qint64 now() const { return m_clock(); }
    qint64 maxReplyLength() const { return m_maxReplyLength; }
    // Hashing jobs queued or running.
    int pendingPasswordWork() const { return m_jobs.size(); }

private:
    struct HashOutcome {
        bool verified = false;
        ZmsgdPassword::Record record;
    };
    struct HashJob {
        QPointer<QObject> context;
        std::function<void(const HashOutcome &)> finish;
        QMetaObject::Connection watch;
    };
    void hashOffThread(std::function<HashOutcome()> work, QObject *context,
                       std::function<void(const HashOutcome &)> finish);
    void finishHashJob(quint64 id, const HashOutcome &outcome);
    // Runs done(code) on a later turn of the event loop, so callers never see it run inside their call.
    void answerLater(QObject *context, const Done &done, int code);
    bool reserveRegistration(const QString &address);
    void releaseRegistration(const QString &address);
    int createRegistered(const QString &name, const ZmsgdPassword::Record &password, const QString &nick,
                         const QString &realName, const QString &mail);
    bool isMutual(const QString &a, const QString &b) const;
    bool isBot(const QString &user) const;
    void notifyState(const QString &user, int state);
    void tellStateTo(const QString &user, const QString &watcher);
    void pushRequestsTo(const QString &user);
    void deliverAll(const QString &user);
    // Collects recipients and hands their new messages on once per turn of the event loop,
    // after the replies of that turn have been written.
    void scheduleDelivery(const QString &user);
    void deliverScheduled();
    void botAnswer(const QString &bot, const QString &to, const QString &text);
    QString welcomeText() const;

    ZmsgdStore *m_store;
    std::function<qint64()> m_clock;
    ZmsgdPassword::Cost m_passwordCost;
    qint64 m_maxReplyLength;
    int m_registrationsPerHour;
    ZmsgdLoginThrottle m_throttle;
    // Start times of registrations per address within the last hour.
    QHash<QString, QList<qint64>> m_registrations;
    QThreadPool m_hashing;
    QHash<quint64, HashJob> m_jobs;
    quint64 m_lastJob = 0;
    QHash<QString, QList<ZmsgdPeer *>> m_peers;
    QList<qint64> m_confirmed;
    bool m_flushScheduled = false;
    QSet<QString> m_undelivered;
    bool m_deliveryScheduled = false;
};

#endif
