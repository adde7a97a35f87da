#ifndef ZMSGDTHROTTLE_H
#define ZMSGDTHROTTLE_H

#include <QHash>
#include <QHostAddress>
#include <QString>

// Limits on guessing passwords, kept for the whole server so that reconnecting changes
// nothing. Two kinds of counters, both forgotten after a quiet while:
// - per account and address: a few attempts are free, then each further one is refused for a
//   time that doubles up to a cap. Someone guessing an account's password from one address
//   does not lock its owner out anywhere else.
// - per address, over all accounts: a larger budget, then the same growing refusal, so one
//   address cannot try many accounts either.
// Every attempt counts as a failure when it starts and is taken back when it succeeds, so
// attempts sent at once on many connections do not all pass before the first result.
class ZmsgdLoginThrottle
{
public:
    struct Limits {
        int freePerAccount = 5;
        int freePerAddress = 30;
        qint64 firstRefusalMs = 30 * 1000;
        qint64 longestRefusalMs = 15 * 60 * 1000;
        // A counter without failures for this long is forgotten.
        qint64 forgetAfterMs = 60 * 60 * 1000;
        // Beyond this many counters the oldest are forgotten first.
        int maxCounters = 65536;
    };

    ZmsgdLoginThrottle() = default;
    explicit ZmsgdLoginThrottle(const Limits &limits);

    // False when the attempt is refused; else it is counted until succeeded() takes it back.
    bool begin(const QString &account, const QString &address, qint64 nowMs);
    void succeeded(const QString &account, const QString &address);
    // Milliseconds until address may try account again; 0 when it may now.
    qint64 refusedFor(const QString &account, const QString &address, qint64 nowMs) const;
    int counterCount() const { return m_counters.size(); }

    // Addresses of one IPv6 network (/64) count as one; IPv4 in IPv6 counts as IPv4.
    static QString addressKey(const QHostAddress &address);

private:
    struct Counter {
        int failures = 0;
        qint64 last = 0;
        qint64 refusedUntil = 0;
    };

    static QString pairKey(const QString &account, const QString &address);
    void fail(const QString &key, int free, qint64 nowMs);
    void takeBack(const QString &key, int free);
    qint64 refusedFor(const QString &key, qint64 nowMs) const;
    void prune(qint64 nowMs);

    Limits m_limits;
    QHash<QString, Counter> m_counters;
};

#endif
