#include "zmsgdpassword.h"

#include <QPasswordDigestor>

#include <sodium.h>

namespace ZmsgdPassword {

namespace {

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

bool equalDigests(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && sodium_memcmp(a.constData(), b.constData(), std::size_t(a.size())) == 0;
}

// libsodium wants a NUL-terminated string; a stored value is never trusted to be one.
QByteArray terminated(const QByteArray &text)
{
    QByteArray copy = text;
    copy.append('\0');
    return copy;
}

} // namespace

Cost productionCost()
{
    return {crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE};
}

Cost minimumCost()
{
    return {crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
}

Record hash(const QString &password, const Cost &cost)
{
    Record record;
    if (!sodiumReady())
        return record;
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()), cost.operations,
                              cost.memoryBytes, crypto_pwhash_ALG_ARGON2ID13)
        != 0)
        return record;
    record.hash = QByteArray(out);
    return record;
}

bool verify(const QString &password, const Record &record)
{
    if (record.hash.isEmpty())
        return false;
    const QByteArray utf8 = password.toUtf8();
    if (record.isArgon2()) {
        if (!sodiumReady() || record.hash.size() >= int(crypto_pwhash_STRBYTES))
            return false;
        return crypto_pwhash_str_verify(terminated(record.hash).constData(), utf8.constData(),
                                        static_cast<unsigned long long>(utf8.size()))
            == 0;
    }
    if (record.iterations < 1)
        return false;
    return equalDigests(pbkdf2(password, record.salt, record.iterations), record.hash);
}

bool needsRehash(const Record &record, const Cost &cost)
{
    if (!record.isArgon2() || !sodiumReady() || record.hash.size() >= int(crypto_pwhash_STRBYTES))
        return true;
    return crypto_pwhash_str_needs_rehash(terminated(record.hash).constData(), cost.operations, cost.memoryBytes) != 0;
}

QByteArray pbkdf2(const QString &password, const QByteArray &salt, int iterations)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations, 32);
}

} // namespace ZmsgdPassword
