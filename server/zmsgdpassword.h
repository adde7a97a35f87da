#ifndef ZMSGDPASSWORD_H
#define ZMSGDPASSWORD_H

#include <QByteArray>
#include <QString>

#include <cstddef>

// Password hashing. New hashes are Argon2id strings made by libsodium, which carry their own
// salt and cost ("$argon2id$v=19$m=...,t=...,p=1$..."); hashes of older databases are
// PBKDF2-SHA256 with a separate salt and iteration count, still verified and replaced by an
// Argon2id hash at the next successful login. Hashing is slow on purpose: callers that serve
// others meanwhile run it on another thread. All functions are thread-safe.
namespace ZmsgdPassword {

struct Cost {
    unsigned long long operations = 0;
    std::size_t memoryBytes = 0;
};

// libsodium's interactive strength: 2 passes over 64 MiB.
Cost productionCost();
// The least libsodium allows, for tests that create many accounts.
Cost minimumCost();

// As stored with an account: iterations 0 means hash holds an Argon2id string and salt is empty.
struct Record {
    QByteArray salt;
    QByteArray hash;
    int iterations = 0;

    bool isArgon2() const { return iterations == 0; }
    bool operator==(const Record &other) const
    {
        return salt == other.salt && hash == other.hash && iterations == other.iterations;
    }
};

// Empty hash when libsodium could not hash (out of memory).
Record hash(const QString &password, const Cost &cost);
bool verify(const QString &password, const Record &record);
// True for every PBKDF2 record and for Argon2id records of another cost.
bool needsRehash(const Record &record, const Cost &cost);

QByteArray pbkdf2(const QString &password, const QByteArray &salt, int iterations);

} // namespace ZmsgdPassword

#endif
