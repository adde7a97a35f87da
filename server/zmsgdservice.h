#ifndef ZMSGDSERVICE_H
#define ZMSGDSERVICE_H

#include "zmsgdformat.h"
#include "zmsgdstore.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

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
    struct Answer
    {
        int code = ZmsgdCode::Ok;
        QString text;
    };

    static constexpr int MaxMessageLength = 32 * 1024;
    static constexpr int OfflineState = 8;

    explicit ZmsgdService(ZmsgdStore *store, QObject *parent = nullptr);
    ~ZmsgdService() override;

    int login(const QString &user, const QString &password) const;
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
    int setPassword(const QString &user, const QString &oldPassword, const QString &newPassword);
    int sendPoke(const QString &user, const QString &other);
    int sendMessage(const QString &user, const QString &other, const QString &text);
    // Takes any picture format QImage reads, stores it as a 128 x 128 PNG under a new avatar id.
    int setAvatar(const QString &user, const QByteArray &imageData);

    // Hands every stored message waiting for the peer's user to the peer, in order.
    void deliverPending(ZmsgdPeer *peer);
    // The peer's connection has written these messages out: they are no longer kept.
    void confirmDelivered(const QList<qint64> &ids);
    void flushConfirmed();

    // Creates an account; with a demo contact present it is added and says hello.
    int registerAccount(const QString &name, const QString &password, const QString &nick,
                        const QString &realName, const QString &mail);
    bool seedDemo(QString *error);

    ZmsgdStore *store() const { return m_store; }

private:
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
    QHash<QString, QList<ZmsgdPeer *>> m_peers;
    QList<qint64> m_confirmed;
    bool m_flushScheduled = false;
    QSet<QString> m_undelivered;
    bool m_deliveryScheduled = false;
};

#endif
