#include "Keyring.h"

#include <qt5keychain/keychain.h>

#include <QDebug>

namespace {

SecretStore::Result resultOf(const QKeychain::Job *job)
{
    switch (job->error()) {
    case QKeychain::NoError:
        return SecretStore::Result::Done;
    case QKeychain::EntryNotFound:
        return SecretStore::Result::NotFound;
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        return SecretStore::Result::Refused;
    default:
        return SecretStore::Result::Unavailable;
    }
}

// A job must live until its backend answers: the Secret Service backend calls back into it by a
// plain pointer. So jobs have no parent and delete themselves once finished; the answer only
// reaches the caller while context lives.
template <typename JobType> void run(JobType *job, const QString &key, QObject *context, SecretStore::Callback done,
                                     std::function<QString(JobType *)> secretOf = nullptr)
{
    job->setAutoDelete(true);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, context, [job, done, secretOf] {
        const SecretStore::Result result = resultOf(job);
        if (result != SecretStore::Result::Done && result != SecretStore::Result::NotFound)
            qInfo().noquote() << "Keyring:" << job->errorString();
        if (done)
            done(result, result == SecretStore::Result::Done && secretOf ? secretOf(job) : QString());
    });
    job->start();
}

} // namespace

Keyring::Keyring(QObject *parent)
    : SecretStore(parent)
{}

QString Keyring::serviceName()
{
    return QStringLiteral("Zelto Messenger");
}

void Keyring::read(const QString &key, Callback done)
{
    run<QKeychain::ReadPasswordJob>(new QKeychain::ReadPasswordJob(serviceName()), key, this, std::move(done),
                                    [](QKeychain::ReadPasswordJob *job) { return job->textData(); });
}

void Keyring::write(const QString &key, const QString &secret, Callback done)
{
    auto *job = new QKeychain::WritePasswordJob(serviceName());
    job->setTextData(secret);
    run<QKeychain::WritePasswordJob>(job, key, this, std::move(done));
}

void Keyring::remove(const QString &key, Callback done)
{
    run<QKeychain::DeletePasswordJob>(new QKeychain::DeletePasswordJob(serviceName()), key, this, std::move(done));
}
