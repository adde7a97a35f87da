#ifndef KEYRING_H
#define KEYRING_H

#include <QObject>
#include <QString>

#include <functional>

// A store of secrets outside the settings file. Every operation answers later, on this
// thread, through its callback; an answer never comes from inside the call.
class SecretStore : public QObject
{
    Q_OBJECT
public:
    enum class Result {
        Done,
        NotFound,
        Refused, // the user or the store said no
        Unavailable, // no store reachable, or it failed
    };
    using Callback = std::function<void(Result result, const QString &secret)>;

    explicit SecretStore(QObject *parent = nullptr)
        : QObject(parent)
    {}
    virtual void read(const QString &key, Callback done) = 0;
    virtual void write(const QString &key, const QString &secret, Callback done) = 0;
    virtual void remove(const QString &key, Callback done) = 0;
};

// The desktop's keyring (the Secret Service of GNOME and others, or KWallet) through
// QtKeychain, with the entries under the service name "Zelto Messenger".
class Keyring : public SecretStore
{
    Q_OBJECT
    Q_DISABLE_COPY(Keyring)
public:
    explicit Keyring(QObject *parent = nullptr);
    void read(const QString &key, Callback done) override;
    void write(const QString &key, const QString &secret, Callback done) override;
    void remove(const QString &key, Callback done) override;

    static QString serviceName();
};

#endif
