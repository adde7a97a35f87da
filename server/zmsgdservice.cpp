#include "zmsgdservice.h"

#include "zmsgddemo.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QTimer>

#include <utility>

namespace {
constexpr int MaxAvatarSide = 4096;
constexpr int AvatarSide = 128;
constexpr int DeliveryBatch = 256;
constexpr int BotDelayMs = 300;

QByteArray toAvatarPng(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    // Refuse pictures whose declared size alone would exhaust memory when decoded.
    if (!size.isValid() || size.width() > MaxAvatarSide || size.height() > MaxAvatarSide)
        return QByteArray();
    QImage image = reader.read();
    if (image.isNull())
        return QByteArray();
    if (image.size() != QSize(AvatarSide, AvatarSide))
        image = image.scaled(AvatarSide, AvatarSide, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                    .copy(0, 0, AvatarSide, AvatarSide);
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, "PNG"))
        return QByteArray();
    return png;
}

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

ZmsgdService::ZmsgdService(ZmsgdStore *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
}

ZmsgdService::~ZmsgdService()
{
    flushConfirmed();
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
    QList<ZmsgdClientInfo> clients;
    for (const ZmsgdPeer *peer : m_peers.value(other))
        clients << peer->peerClientInfo();
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
    const QByteArray png = toAvatarPng(imageData);
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

int ZmsgdService::registerAccount(const QString &name, const QString &password, const QString &nick,
                                  const QString &realName, const QString &mail)
{
    if (!ZmsgdFormat::isValidAccountName(name) || !ZmsgdFormat::isValidPassword(password)
        || (!nick.isEmpty() && !ZmsgdFormat::isValidNick(nick)) || !ZmsgdFormat::isValidMail(mail)
        || !ZmsgdFormat::isValidRealName(realName))
        return ZmsgdCode::BadRequest;
    switch (m_store->createAccount(name, password, nick)) {
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
