#include "zmsgdservice.h"

#include "zmsgddemo.h"
#include "zmsgdlog.h"
#include "zmsgdpicture.h"

#include <QRunnable>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {
constexpr int DeliveryBatch = 256;
constexpr int BotDelayMs = 300;
constexpr qint64 HourMs = 60 * 60 * 1000;
// Each Argon2id hash holds its memory cost (64 MiB at production strength) while it runs.
constexpr int HashingThreads = 2;

// One text field of an account: 404 without the account, 403 when the asker may not see it.
ZmsgdService::Answer fieldAnswer(const std::optional<ZmsgdAccount> &account, QString ZmsgdAccount::*field,
                                 bool forbidden = false)
{
    if (!account)
        return {ZmsgdCode::NotFound, QString()};
    if (forbidden)
        return {ZmsgdCode::Forbidden, QString()};
    return {ZmsgdCode::Ok, *account.*field};
}
} // namespace

ZmsgdService::ZmsgdService(ZmsgdStore *store, const ZmsgdConfig &config, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_clock(config.clock ? config.clock : [] { return QDateTime::currentMSecsSinceEpoch(); })
    , m_passwordCost(config.passwordCost)
    , m_maxReplyLength(config.maxReplyLength)
    , m_registrationsPerHour(config.registrationsPerAddressPerHour)
    , m_throttle(config.loginLimits)
{
    m_store->setPasswordCost(m_passwordCost);
    m_hashing.setMaxThreadCount(qBound(1, QThread::idealThreadCount(), HashingThreads));
}

ZmsgdService::~ZmsgdService()
{
    // Finished jobs post their results to this object; none may run once it is going away.
    m_hashing.clear();
    m_hashing.waitForDone();
    flushConfirmed();
}

void ZmsgdService::hashOffThread(std::function<HashOutcome()> work, QObject *context,
                                 std::function<void(const HashOutcome &)> finish)
{
    const quint64 id = ++m_lastJob;
    // A client that gave up waiting (and closed its connection) costs no hashing any more: in a
    // crowd of logins nobody would get in while abandoned attempts are worked off.
    auto abandoned = std::make_shared<std::atomic_bool>(false);
    const QMetaObject::Connection watch =
        connect(context, &QObject::destroyed, this, [abandoned] { abandoned->store(true); });
    m_jobs.insert(id, HashJob{context, std::move(finish), watch});
    m_hashing.start(QRunnable::create([this, id, abandoned, work = std::move(work)] {
        const HashOutcome outcome = abandoned->load() ? HashOutcome() : work();
        QMetaObject::invokeMethod(
            this, [this, id, outcome] { finishHashJob(id, outcome); }, Qt::QueuedConnection);
    }));
}

void ZmsgdService::finishHashJob(quint64 id, const HashOutcome &outcome)
{
    const HashJob job = m_jobs.take(id);
    disconnect(job.watch);
    if (job.context && job.finish)
        job.finish(outcome);
}

void ZmsgdService::answerLater(QObject *context, const Done &done, int code)
{
    QTimer::singleShot(0, context, [done, code] { done(code); });
}

void ZmsgdService::checkLogin(const QString &user, const QString &password, const QString &address, QObject *context,
                              Done done)
{
    // No account has such a name or an empty password: nothing to hash, but it still counts.
    const bool plausible = ZmsgdFormat::isValidAccountName(user) && !password.isEmpty();
    if (!m_throttle.begin(plausible ? user : QString(), address, now())) {
        ZmsgdLog::event(QStringLiteral("login of %1 from %2 refused: too many failures").arg(user.left(64), address));
        answerLater(context, done, ZmsgdCode::TooManyRequests);
        return;
    }
    if (!plausible) {
        answerLater(context, done, ZmsgdCode::NotFound);
        return;
    }
    const std::optional<ZmsgdAccount> account = m_store->account(user);
    // A demo contact is served by the server itself; nobody logs in as it.
    const std::optional<ZmsgdPassword::Record> record =
        account && !account->bot ? m_store->passwordRecord(user) : std::nullopt;
    const ZmsgdPassword::Cost cost = m_passwordCost;
    hashOffThread(
        [password, record, cost] {
            HashOutcome outcome;
            if (!record) {
                // The same work for an unknown name, so timing does not tell which names exist.
                ZmsgdPassword::hash(password, cost);
                return outcome;
            }
            outcome.verified = ZmsgdPassword::verify(password, *record);
            if (outcome.verified && ZmsgdPassword::needsRehash(*record, cost))
                outcome.record = ZmsgdPassword::hash(password, cost);
            return outcome;
        },
        context,
        [this, user, address, record, done](const HashOutcome &outcome) {
            if (!outcome.verified) {
                done(ZmsgdCode::NotFound);
                return;
            }
            m_throttle.succeeded(user, address);
            if (!outcome.record.hash.isEmpty() && m_store->replacePasswordRecord(user, *record, outcome.record))
                ZmsgdLog::event(QStringLiteral("password hash of %1 renewed").arg(user));
            done(ZmsgdCode::Ok);
        });
}

void ZmsgdService::changePassword(const QString &user, const QString &oldPassword, const QString &newPassword,
                                  const QString &address, QObject *context, Done done)
{
    if (!m_throttle.begin(user, address, now())) {
        answerLater(context, done, ZmsgdCode::TooManyRequests);
        return;
    }
    const std::optional<ZmsgdPassword::Record> record = m_store->passwordRecord(user);
    if (!record) {
        answerLater(context, done, ZmsgdCode::NotFound);
        return;
    }
    const ZmsgdPassword::Cost cost = m_passwordCost;
    hashOffThread(
        [oldPassword, newPassword, record, cost] {
            HashOutcome outcome;
            outcome.verified = ZmsgdPassword::verify(oldPassword, *record);
            if (outcome.verified && ZmsgdFormat::isValidPassword(newPassword))
                outcome.record = ZmsgdPassword::hash(newPassword, cost);
            return outcome;
        },
        context,
        [this, user, address, newPassword, record, done](const HashOutcome &outcome) {
            if (!outcome.verified) {
                done(ZmsgdCode::WrongOldPassword);
                return;
            }
            m_throttle.succeeded(user, address);
            if (!ZmsgdFormat::isValidPassword(newPassword)) {
                done(ZmsgdCode::BadRequest);
                return;
            }
            done(m_store->replacePasswordRecord(user, *record, outcome.record) ? ZmsgdCode::Ok : ZmsgdCode::Internal);
        });
}

int ZmsgdService::login(const QString &user, const QString &password) const
{
    if (user.isEmpty() || password.isEmpty())
        return ZmsgdCode::NotFound;
    const std::optional<ZmsgdAccount> account = m_store->account(user);
    // A demo contact is served by the server itself; nobody logs in as it.
    if (account && account->bot)
        return ZmsgdCode::NotFound;
    return m_store->verifyPassword(user, password) ? ZmsgdCode::Ok : ZmsgdCode::NotFound;
}

void ZmsgdService::attach(ZmsgdPeer *peer)
{
    const QString user = peer->peerUser();
    const int before = effectiveState(user);
    m_peers[user].append(peer);
    const int after = effectiveState(user);
    if (before != after)
        notifyState(user, after);
}

void ZmsgdService::detach(ZmsgdPeer *peer)
{
    const QString user = peer->peerUser();
    auto it = m_peers.find(user);
    if (it == m_peers.end() || !it->contains(peer))
        return;
    const int before = effectiveState(user);
    it->removeAll(peer);
    if (it->isEmpty())
        m_peers.erase(it);
    const int after = effectiveState(user);
    if (before != after)
        notifyState(user, after);
    // Messages that were in flight to the vanished connection may still reach a sibling.
    deliverAll(user);
}

bool ZmsgdService::isOnline(const QString &user) const
{
    return m_peers.contains(user);
}

int ZmsgdService::sessionCount() const
{
    int count = 0;
    for (const QList<ZmsgdPeer *> &peers : m_peers)
        count += peers.size();
    return count;
}

bool ZmsgdService::isBot(const QString &user) const
{
    return m_store->isBot(user);
}

int ZmsgdService::effectiveState(const QString &user) const
{
    const std::optional<ZmsgdAccount> account = m_store->account(user);
    if (!account)
        return OfflineState;
    if (account->bot)
        return 1;
    if (!isOnline(user))
        return OfflineState;
    return ZmsgdFormat::isValidState(account->state) ? account->state : 1;
}

bool ZmsgdService::isMutual(const QString &a, const QString &b) const
{
    return m_store->hasContact(a, b) && m_store->hasContact(b, a);
}

void ZmsgdService::notifyState(const QString &user, int state)
{
    const QStringList watchers = m_store->mutualContacts(user);
    for (const QString &watcher : watchers) {
        // A copy: a push may close a connection that no longer reads, which detaches it.
        const QList<ZmsgdPeer *> peers = m_peers.value(watcher);
        for (ZmsgdPeer *peer : peers)
            peer->pushStateChange(user, state);
    }
}

void ZmsgdService::tellStateTo(const QString &user, const QString &watcher)
{
    if (!m_peers.contains(watcher))
        return;
    const int state = isMutual(user, watcher) ? effectiveState(user) : OfflineState;
    for (ZmsgdPeer *peer : m_peers.value(watcher))
        peer->pushStateChange(user, state);
}

void ZmsgdService::pushRequestsTo(const QString &user)
{
    if (!m_peers.contains(user))
        return;
    const QStringList requests = m_store->requestsFor(user);
    for (ZmsgdPeer *peer : m_peers.value(user))
        peer->pushRequests(requests);
}

ZmsgdService::Answer ZmsgdService::contacts(const QString &user) const
{
    return {ZmsgdCode::Ok, ZmsgdFormat::joinList(m_store->contacts(user))};
}

ZmsgdService::Answer ZmsgdService::contactsLength(const QString &user) const
{
    return {ZmsgdCode::Ok, QString::number(m_store->contactCount(user))};
}

ZmsgdService::Answer ZmsgdService::contactsRequests(const QString &user) const
{
    return {ZmsgdCode::Ok, ZmsgdFormat::joinList(m_store->requestsFor(user))};
}

ZmsgdService::Answer ZmsgdService::contactsRequestsLength(const QString &user) const
{
    return {ZmsgdCode::Ok, QString::number(m_store->requestsFor(user).size())};
}

ZmsgdService::Answer ZmsgdService::contactsWithStates(const QString &user) const
{
    QStringList entries;
    const QList<ZmsgdContactRow> rows = m_store->contactRows(user);
    for (const ZmsgdContactRow &row : rows) {
        // Until the other side has added back, it shows as offline and without its status message.
        if (row.mutual)
            entries << ZmsgdFormat::contactStateEntry(row.name, row.nick, row.statusMessage,
                                                      row.bot ? 1 : (isOnline(row.name) ? row.state : OfflineState));
        else
            entries << ZmsgdFormat::contactStateEntry(row.name, row.nick, QString(), OfflineState);
    }
    return {ZmsgdCode::Ok, ZmsgdFormat::joinList(entries)};
}

ZmsgdService::Answer ZmsgdService::contactsWithAvatar(const QString &user) const
{
    QStringList entries;
    const QList<ZmsgdContactRow> rows = m_store->contactRows(user);
    for (const ZmsgdContactRow &row : rows) {
        if (!row.avatarId.isEmpty())
            entries << ZmsgdFormat::contactAvatarEntry(row.name, row.avatarId);
    }
    return {ZmsgdCode::Ok, ZmsgdFormat::joinList(entries)};
}

ZmsgdService::Answer ZmsgdService::ownState(const QString &user) const
{
    const std::optional<ZmsgdAccount> account = m_store->account(user);
    if (!account)
        return {ZmsgdCode::NotFound, QString()};
    return {ZmsgdCode::Ok, QString::number(account->state)};
}

ZmsgdService::Answer ZmsgdService::otherState(const QString &user, const QString &other) const
{
    if (!m_store->accountExists(other))
        return {ZmsgdCode::NotFound, QString()};
    if (other == user)
        return ownState(user);
    return {ZmsgdCode::Ok, QString::number(isMutual(user, other) ? effectiveState(other) : OfflineState)};
}

ZmsgdService::Answer ZmsgdService::ownStatusMessage(const QString &user) const
{
    return fieldAnswer(m_store->account(user), &ZmsgdAccount::statusMessage);
}

ZmsgdService::Answer ZmsgdService::otherStatusMessage(const QString &user, const QString &other) const
{
    return fieldAnswer(m_store->account(other), &ZmsgdAccount::statusMessage, other != user && !isMutual(user, other));
}

ZmsgdService::Answer ZmsgdService::ownNick(const QString &user) const
{
    return fieldAnswer(m_store->account(user), &ZmsgdAccount::nick);
}

ZmsgdService::Answer ZmsgdService::otherNick(const QString &, const QString &other) const
{
    return ownNick(other);
}

ZmsgdService::Answer ZmsgdService::ownMail(const QString &user) const
{
    return fieldAnswer(m_store->account(user), &ZmsgdAccount::mail);
}

ZmsgdService::Answer ZmsgdService::otherMail(const QString &user, const QString &other) const
{
    const std::optional<ZmsgdAccount> account = m_store->account(other);
    const bool hidden = account && other != user && (!account->mailVisible || !isMutual(user, other));
    return fieldAnswer(account, &ZmsgdAccount::mail, hidden);
}

ZmsgdService::Answer ZmsgdService::profileInfo(const QString &user, const QString &other) const
{
    const std::optional<ZmsgdAccount> account = m_store->account(other);
    if (!account)
        return {ZmsgdCode::NotFound, QString()};
    // Connected clients tell that someone is online: shown only to whom the state shows it.
    const int seenState = isMutual(user, other) ? effectiveState(other) : OfflineState;
    const bool clientsVisible = other == user || (seenState != OfflineState && seenState != ShowOfflineState);
    QList<ZmsgdClientInfo> clients;
    if (clientsVisible) {
        for (const ZmsgdPeer *peer : m_peers.value(other))
            clients << peer->peerClientInfo();
    }
    // Network addresses of an account's clients are shown to the account itself only.
    return {ZmsgdCode::Ok,
            ZmsgdFormat::profilePayload(m_store->contactCount(other), account->signature, clients, other == user)};
}

ZmsgdService::Answer ZmsgdService::ownAvatar(const QString &user) const
{
    const std::optional<ZmsgdAccount> account = m_store->account(user);
    if (!account || account->avatarId.isEmpty())
        return {ZmsgdCode::NotFound, QString()};
    return {ZmsgdCode::Ok, account->avatarId};
}

int ZmsgdService::addContact(const QString &user, const QString &other)
{
    if (other.isEmpty())
        return ZmsgdCode::BadRequest;
    if (other == user)
        return ZmsgdCode::BadRequest;
    if (!m_store->accountExists(other))
        return ZmsgdCode::NotFound;
    if (m_store->hasContact(user, other))
        return ZmsgdCode::Conflict;
    const bool bot = isBot(other);
    if (!m_store->transaction())
        return ZmsgdCode::Internal;
    bool ok = m_store->addContact(user, other);
    // Adding someone who asked first accepts the request; a demo contact accepts everyone.
    ok = ok && m_store->removeRequest(other, user);
    if (bot)
        ok = ok && m_store->addContact(other, user);
    const bool mutual = m_store->hasContact(other, user);
    if (!mutual)
        ok = ok && m_store->addRequest(user, other);
    if (!ok || !m_store->commit()) {
        m_store->rollback();
        return ZmsgdCode::Internal;
    }
    if (mutual) {
        tellStateTo(user, other);
        tellStateTo(other, user);
    } else {
        pushRequestsTo(other);
    }
    return ZmsgdCode::Ok;
}

int ZmsgdService::delContact(const QString &user, const QString &other)
{
    if (other.isEmpty())
        return ZmsgdCode::BadRequest;
    if (m_store->hasContact(user, other)) {
        const bool wasMutual = m_store->hasContact(other, user);
        if (!m_store->transaction())
            return ZmsgdCode::Internal;
        const bool ok = m_store->removeContact(user, other) && m_store->removeRequest(user, other);
        if (!ok || !m_store->commit()) {
            m_store->rollback();
            return ZmsgdCode::Internal;
        }
        if (wasMutual)
            tellStateTo(user, other);
        else
            pushRequestsTo(other);
        return ZmsgdCode::Ok;
    }
    if (m_store->hasRequest(other, user)) {
        // Rejecting a request also takes the unanswered entry out of the asker's list,
        // so the asker may ask again later.
        if (!m_store->transaction())
            return ZmsgdCode::Internal;
        const bool ok = m_store->removeRequest(other, user) && m_store->removeContact(other, user);
        if (!ok || !m_store->commit()) {
            m_store->rollback();
            return ZmsgdCode::Internal;
        }
        return ZmsgdCode::Ok;
    }
    return ZmsgdCode::NotFound;
}

int ZmsgdService::setState(const QString &user, int state)
{
    if (!ZmsgdFormat::isValidState(state))
        return ZmsgdCode::BadRequest;
    const int before = effectiveState(user);
    if (!m_store->setState(user, state))
        return ZmsgdCode::Internal;
    const int after = effectiveState(user);
    if (before != after)
        notifyState(user, after);
    return ZmsgdCode::Ok;
}

int ZmsgdService::setStatusMessage(const QString &user, const QString &message)
{
    if (!ZmsgdFormat::isValidStatusMessage(message))
        return ZmsgdCode::BadRequest;
    return m_store->setStatusMessage(user, message) ? ZmsgdCode::Ok : ZmsgdCode::Internal;
}

int ZmsgdService::setNick(const QString &user, const QString &nick)
{
    if (!ZmsgdFormat::isValidNick(nick))
        return ZmsgdCode::BadRequest;
    return m_store->setNick(user, nick) ? ZmsgdCode::Ok : ZmsgdCode::Internal;
}

int ZmsgdService::setMail(const QString &user, const QString &mail, bool visible)
{
    if (!ZmsgdFormat::isValidMail(mail))
        return ZmsgdCode::BadRequest;
    return m_store->setMail(user, mail, visible) ? ZmsgdCode::Ok : ZmsgdCode::Internal;
}

int ZmsgdService::setPassword(const QString &user, const QString &oldPassword, const QString &newPassword)
{
    if (!m_store->verifyPassword(user, oldPassword))
        return ZmsgdCode::WrongOldPassword;
    if (!ZmsgdFormat::isValidPassword(newPassword))
        return ZmsgdCode::BadRequest;
    return m_store->setPassword(user, newPassword) ? ZmsgdCode::Ok : ZmsgdCode::Internal;
}

int ZmsgdService::sendPoke(const QString &user, const QString &other)
{
    if (other.isEmpty())
        return ZmsgdCode::BadRequest;
    const std::optional<ZmsgdStore::Relation> relation = m_store->relation(user, other);
    if (!relation)
        return ZmsgdCode::NotFound;
    if (!relation->inOwnersList)
        return ZmsgdCode::Forbidden;
    if (relation->bot) {
        QTimer::singleShot(BotDelayMs, this, [this, other, user] {
            for (ZmsgdPeer *peer : m_peers.value(user))
                peer->pushPoke(other);
        });
        return ZmsgdCode::Ok;
    }
    if (!isOnline(other))
        return ZmsgdCode::NotFound;
    for (ZmsgdPeer *peer : m_peers.value(other))
        peer->pushPoke(user);
    return ZmsgdCode::Ok;
}

int ZmsgdService::sendMessage(const QString &user, const QString &other, const QString &text)
{
    if (other.isEmpty() || text.isEmpty())
        return ZmsgdCode::BadRequest;
    if (text.size() > MaxMessageLength)
        return ZmsgdCode::TooLong;
    // Such a text could never be pushed: refused here rather than accepted and dropped later.
    if (!ZmsgdFormat::isOneLine(text))
        return ZmsgdCode::BadRequest;
    const std::optional<ZmsgdStore::Relation> relation = m_store->relation(user, other);
    if (!relation)
        return ZmsgdCode::NotFound;
    if (!relation->inOwnersList)
        return ZmsgdCode::Forbidden;
    if (relation->bot) {
        QTimer::singleShot(BotDelayMs, this, [this, other, user, text] { botAnswer(other, user, text); });
        return ZmsgdCode::Ok;
    }
    if (m_store->storeMessage(user, other, text) < 0)
        return ZmsgdCode::Internal;
    scheduleDelivery(other);
    return ZmsgdCode::Ok;
}

void ZmsgdService::scheduleDelivery(const QString &user)
{
    if (!m_peers.contains(user))
        return;
    m_undelivered.insert(user);
    if (m_deliveryScheduled)
        return;
    m_deliveryScheduled = true;
    QTimer::singleShot(0, this, &ZmsgdService::deliverScheduled);
}

void ZmsgdService::deliverScheduled()
{
    m_deliveryScheduled = false;
    const QSet<QString> users = std::exchange(m_undelivered, {});
    for (const QString &user : users)
        deliverAll(user);
}

void ZmsgdService::botAnswer(const QString &bot, const QString &to, const QString &text)
{
    if (m_store->storeMessage(bot, to, QStringLiteral("You wrote: ") + text) >= 0)
        scheduleDelivery(to);
}

int ZmsgdService::setAvatar(const QString &user, const QByteArray &imageData)
{
    const QByteArray png = ZmsgdPicture::toAvatarPng(imageData);
    if (png.isEmpty())
        return ZmsgdCode::BadRequest;
    return m_store->setAvatar(user, ZmsgdFormat::newAvatarId(), png) ? ZmsgdCode::Ok : ZmsgdCode::Internal;
}

void ZmsgdService::deliverAll(const QString &user)
{
    const QList<ZmsgdPeer *> peers = m_peers.value(user);
    for (ZmsgdPeer *peer : peers)
        deliverPending(peer);
}

void ZmsgdService::deliverPending(ZmsgdPeer *peer)
{
    const QString user = peer->peerUser();
    if (!m_peers.value(user).contains(peer))
        return;
    while (peer->readyForMessages()) {
        const QList<ZmsgdStoredMessage> batch =
            m_store->pendingMessages(user, peer->lastPushedMessage(), DeliveryBatch);
        for (const ZmsgdStoredMessage &message : batch) {
            if (!peer->readyForMessages())
                return;
            peer->pushMessage(message);
        }
        if (batch.size() < DeliveryBatch)
            return;
    }
}

void ZmsgdService::confirmDelivered(const QList<qint64> &ids)
{
    m_confirmed += ids;
    if (m_flushScheduled)
        return;
    m_flushScheduled = true;
    QTimer::singleShot(0, this, &ZmsgdService::flushConfirmed);
}

void ZmsgdService::flushConfirmed()
{
    m_flushScheduled = false;
    if (m_confirmed.isEmpty() || !m_store->isOpen())
        return;
    if (m_store->deleteMessages(m_confirmed))
        m_confirmed.clear();
}

QString ZmsgdService::welcomeText() const
{
    return QStringLiteral("Welcome to Zelto Messenger! I answer every message, try me.");
}

bool ZmsgdService::reserveRegistration(const QString &address)
{
    QList<qint64> &times = m_registrations[address];
    const qint64 since = now() - HourMs;
    times.erase(std::remove_if(times.begin(), times.end(), [since](qint64 time) { return time <= since; }),
                times.end());
    if (times.size() >= m_registrationsPerHour) {
        if (times.isEmpty())
            m_registrations.remove(address);
        return false;
    }
    times << now();
    return true;
}

void ZmsgdService::releaseRegistration(const QString &address)
{
    auto it = m_registrations.find(address);
    if (it == m_registrations.end())
        return;
    if (!it->isEmpty())
        it->removeLast();
    if (it->isEmpty())
        m_registrations.erase(it);
}

void ZmsgdService::registerAccount(const QString &name, const QString &password, const QString &nick,
                                   const QString &realName, const QString &mail, const QString &address,
                                   QObject *context, Done done)
{
    if (!ZmsgdFormat::isValidAccountName(name) || !ZmsgdFormat::isValidPassword(password)
        || (!nick.isEmpty() && !ZmsgdFormat::isValidNick(nick)) || !ZmsgdFormat::isValidMail(mail)
        || !ZmsgdFormat::isValidRealName(realName)) {
        answerLater(context, done, ZmsgdCode::BadRequest);
        return;
    }
    if (m_store->nameTakenIgnoringCase(name)) {
        answerLater(context, done, ZmsgdCode::Conflict);
        return;
    }
    if (!reserveRegistration(address)) {
        ZmsgdLog::event(QStringLiteral("registration from %1 refused: too many within an hour").arg(address));
        answerLater(context, done, ZmsgdCode::TooManyRequests);
        return;
    }
    const ZmsgdPassword::Cost cost = m_passwordCost;
    hashOffThread(
        [password, cost] {
            HashOutcome outcome;
            outcome.record = ZmsgdPassword::hash(password, cost);
            return outcome;
        },
        context,
        [this, name, nick, realName, mail, address, done](const HashOutcome &outcome) {
            const int code = createRegistered(name, outcome.record, nick, realName, mail);
            if (code != ZmsgdCode::Ok)
                releaseRegistration(address);
            done(code);
        });
}

int ZmsgdService::createRegistered(const QString &name, const ZmsgdPassword::Record &password, const QString &nick,
                                   const QString &realName, const QString &mail)
{
    switch (m_store->createAccountWithHash(name, password, nick)) {
    case ZmsgdStore::CreateResult::Exists:
        return ZmsgdCode::Conflict;
    case ZmsgdStore::CreateResult::Failed:
        return ZmsgdCode::Internal;
    case ZmsgdStore::CreateResult::Created:
        break;
    }
    m_store->setRealName(name, realName);
    m_store->setMail(name, mail, false);
    const QString bot = ZmsgdDemo::botName();
    if (isBot(bot)) {
        m_store->addContact(name, bot);
        m_store->addContact(bot, name);
        m_store->storeMessage(bot, name, welcomeText());
    }
    return ZmsgdCode::Ok;
}

bool ZmsgdService::seedDemo(QString *error)
{
    return ZmsgdDemo::seed(m_store, error);
}
