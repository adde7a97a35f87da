#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <unistd.h>

namespace {

// A request is one short line; anything longer is not one of ours.
constexpr int MaxRequestBytes = 64;
constexpr int ConnectTimeoutMs = 1000;
// A client that has not finished its line by then is dropped.
constexpr int RequestTimeoutMs = 5000;
constexpr int RetryPauseMs = 100;

SingleInstance *s_current = nullptr;

bool isPrivateDirectory(const QString &path)
{
    const QFileInfo info(path);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    return info.isDir() && info.ownerId() == uint(::getuid()) && !(info.permissions() & others);
}

} // namespace

SingleInstance::SingleInstance(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_directory(directory.isEmpty() ? runtimeDirectory() : directory)
{}

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::runtimeDirectory()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty())
        return runtime;
    // The temporary directory is shared with every user: the folder must be ours alone, or a
    // stranger could answer in our place.
    const QString fallback = QDir::temp().filePath(QStringLiteral("zelto-messenger-%1").arg(::getuid()));
    if (QDir().mkpath(fallback))
        QFile::setPermissions(fallback, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (isPrivateDirectory(fallback))
        return fallback;
    qWarning().noquote() << "No private runtime directory:" << fallback << "belongs to someone else";
    return QString();
}

QString SingleInstance::lockFilePath() const
{
    return m_directory.isEmpty() ? QString() : m_directory + QStringLiteral("/zelto-messenger.lock");
}

QString SingleInstance::socketPath() const
{
    return m_directory.isEmpty() ? QString() : m_directory + QStringLiteral("/zelto-messenger.socket");
}

SingleInstance *SingleInstance::current()
{
    return s_current;
}

SingleInstance::Outcome SingleInstance::claim(bool raise, int timeoutMs)
{
    if (m_directory.isEmpty()) {
        qWarning() << "Starting without the one-instance check";
        return Outcome::Primary;
    }
    const QDeadlineTimer deadline(timeoutMs);
    forever
    {
        if (tryLock()) {
            if (!listen())
                qWarning().noquote() << "Later starts cannot reach this one:" << m_server->errorString();
            s_current = this;
            return Outcome::Primary;
        }
        // The holder may be starting (no socket yet) or ending (socket closed, lock not yet
        // freed): ask again until the deadline.
        if (askRunning(raise, int(deadline.remainingTime())) == Outcome::HandedOver)
            return Outcome::HandedOver;
        if (deadline.hasExpired())
            return Outcome::NoAnswer;
        QThread::msleep(RetryPauseMs);
    }
}

bool SingleInstance::tryLock()
{
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // The running program holds the lock for days; only a dead holder makes it stale.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError)
        return false;
    // An unwritable directory must not keep the user from the program.
    qWarning().noquote() << "Cannot take the lock" << lockFilePath() << "- starting without the one-instance check";
    return true;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file there is a leftover of a crashed run.
    QLocalServer::removeServer(socketPath());
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::serve);
    return m_server->listen(socketPath());
}

SingleInstance::Outcome SingleInstance::askRunning(bool raise, int timeoutMs)
{
    // The running one may answer only after a blocking login: wait for it as long as allowed.
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(int(qMin(deadline.remainingTime(), qint64(ConnectTimeoutMs)))))
        return Outcome::NoAnswer;
    socket.write(raise ? "raise\n" : "ping\n");
    QByteArray answer;
    while (!answer.contains('\n') && socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.waitForReadyRead(int(deadline.remainingTime())))
            answer += socket.read(MaxRequestBytes);
    }
    answer += socket.read(MaxRequestBytes);
    return answer.startsWith("ok\n") ? Outcome::HandedOver : Outcome::NoAnswer;
}

void SingleInstance::serve()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(RequestTimeoutMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > MaxRequestBytes)
                    socket->abort();
                return;
            }
            const QByteArray request = socket->readLine(MaxRequestBytes).trimmed();
            if (request == "raise")
                emit raiseRequested();
            if (request == "raise" || request == "ping")
                socket->write("ok\n");
            socket->disconnectFromServer();
        });
    }
}

void SingleInstance::release()
{
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    if (m_lock)
        m_lock->unlock();
    if (s_current == this)
        s_current = nullptr;
}
