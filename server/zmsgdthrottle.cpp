#include "zmsgdthrottle.h"

#include <QtEndian>

ZmsgdLoginThrottle::ZmsgdLoginThrottle(const Limits &limits)
    : m_limits(limits)
{}

QString ZmsgdLoginThrottle::addressKey(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    if (isV4)
        return QHostAddress(v4).toString();
    if (address.protocol() != QAbstractSocket::IPv6Protocol)
        return address.toString();
    Q_IPV6ADDR bytes = address.toIPv6Address();
    for (int i = 8; i < 16; ++i)
        bytes[i] = 0;
    return QHostAddress(bytes).toString() + QStringLiteral("/64");
}

QString ZmsgdLoginThrottle::pairKey(const QString &account, const QString &address)
{
    // Account names hold no space, addresses neither: the key cannot be mistaken for another.
    return account + QLatin1Char(' ') + address;
}

qint64 ZmsgdLoginThrottle::refusedFor(const QString &key, qint64 nowMs) const
{
    const auto it = m_counters.constFind(key);
    return it == m_counters.constEnd() ? 0 : qMax<qint64>(0, it->refusedUntil - nowMs);
}

qint64 ZmsgdLoginThrottle::refusedFor(const QString &account, const QString &address, qint64 nowMs) const
{
    return qMax(refusedFor(pairKey(account, address), nowMs), refusedFor(address, nowMs));
}

void ZmsgdLoginThrottle::fail(const QString &key, int free, qint64 nowMs)
{
    Counter &counter = m_counters[key];
    if (nowMs >= counter.refusedUntil && nowMs - counter.last > m_limits.forgetAfterMs)
        counter = Counter();
    ++counter.failures;
    counter.last = nowMs;
    if (counter.failures < free)
        return;
    const int doublings = qMin(counter.failures - free, 30);
    const qint64 refusal = qMin(m_limits.firstRefusalMs << doublings, m_limits.longestRefusalMs);
    counter.refusedUntil = nowMs + refusal;
}

void ZmsgdLoginThrottle::takeBack(const QString &key, int free)
{
    const auto it = m_counters.find(key);
    if (it == m_counters.end())
        return;
    if (--it->failures <= 0)
        m_counters.erase(it);
    else if (it->failures < free)
        it->refusedUntil = 0;
}

bool ZmsgdLoginThrottle::begin(const QString &account, const QString &address, qint64 nowMs)
{
    if (refusedFor(account, address, nowMs) > 0)
        return false;
    prune(nowMs);
    fail(address, m_limits.freePerAddress, nowMs);
    if (!account.isEmpty())
        fail(pairKey(account, address), m_limits.freePerAccount, nowMs);
    return true;
}

void ZmsgdLoginThrottle::succeeded(const QString &account, const QString &address)
{
    takeBack(address, m_limits.freePerAddress);
    // The owner got in: earlier mistakes from this address are forgiven.
    m_counters.remove(pairKey(account, address));
}

void ZmsgdLoginThrottle::prune(qint64 nowMs)
{
    if (m_counters.size() < m_limits.maxCounters)
        return;
    for (auto it = m_counters.begin(); it != m_counters.end();) {
        if (nowMs >= it->refusedUntil && nowMs - it->last > m_limits.forgetAfterMs)
            it = m_counters.erase(it);
        else
            ++it;
    }
    while (m_counters.size() >= m_limits.maxCounters) {
        auto oldest = m_counters.begin();
        for (auto it = m_counters.begin(); it != m_counters.end(); ++it) {
            if (it->last < oldest->last)
                oldest = it;
        }
        m_counters.erase(oldest);
    }
}
