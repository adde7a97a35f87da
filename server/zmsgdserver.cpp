#include "zmsgdserver.h"

#include "zmsgdavatarconnection.h"
#include "zmsgdconnection.h"
#include "zmsgdlog.h"
#include "zmsgdservice.h"
#include "zmsgdstore.h"
#include "zmsgdtlsserver.h"
#include "zmsgdweb.h"

#include <QFile>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTcpServer>

#include <sys/socket.h>

ZmsgdServer::ZmsgdServer(const ZmsgdConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
{
    ZmsgdLog::setEnabled(config.logEvents);
}

ZmsgdServer::~ZmsgdServer()
{
    stop();
}

QString ZmsgdServer::defaultDatabasePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/zmsgd.sqlite");
}

bool ZmsgdServer::loadTlsConfiguration(const QString &certificatePath, const QString &keyPath,
                                       QSslConfiguration *configuration, QString *error)
{
    const QList<QSslCertificate> certificates =
        QSslCertificate::fromPath(certificatePath, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    if (certificates.isEmpty()) {
        *error = QStringLiteral("cannot read a certificate from %1").arg(certificatePath);
        return false;
    }
    QFile keyFile(keyPath);
    if (!keyFile.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the private key %1").arg(keyPath);
        return false;
    }
    const QByteArray pem = keyFile.readAll();
    QSslKey key(pem, QSsl::Rsa, QSsl::Pem);
    if (key.isNull())
        key = QSslKey(pem, QSsl::Ec, QSsl::Pem);
    if (key.isNull()) {
        *error = QStringLiteral("%1 holds no usable private key").arg(keyPath);
        return false;
    }
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(certificates.first());
    tls.setPrivateKey(key);
    tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    *configuration = tls;
    return true;
}

bool ZmsgdServer::listen(QTcpServer *server, quint16 port, const char *name, QString *error)
{
    if (server->listen(m_config.address, port)) {
        // Qt listens with a backlog of 50; a crowd of clients reconnecting at once would see
        // dropped connection attempts and wait a second each for the retry.
        ::listen(static_cast<int>(server->socketDescriptor()), SOMAXCONN);
        return true;
    }
    *error = QStringLiteral("cannot listen for %1 on %2 port %3: %4")
                 .arg(QLatin1String(name), m_config.address.toString())
                 .arg(port)
                 .arg(server->errorString());
    return false;
}

bool ZmsgdServer::start(QString *error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    stop();
    QSslConfiguration tls;
    if (!loadTlsConfiguration(m_config.certificatePath, m_config.keyPath, &tls, error))
        return false;
    m_store = std::make_unique<ZmsgdStore>();
    const QString path = m_config.databasePath.isEmpty() ? defaultDatabasePath() : m_config.databasePath;
    if (!m_store->open(path, error)) {
        m_store.reset();
        return false;
    }
    m_service = new ZmsgdService(m_store.get(), m_config, this);
    if (m_config.demo && !m_service->seedDemo(error)) {
        stop();
        return false;
    }
    m_connectionsParent = new QObject(this);
    m_messaging = new ZmsgdTlsServer(tls, this);
    m_avatarTls = new ZmsgdTlsServer(tls, this);
    m_avatarHttp = new QTcpServer(this);
    m_web = new QTcpServer(this);
    connect(m_messaging, &QTcpServer::newConnection, this, &ZmsgdServer::acceptMessaging);
    connect(m_avatarTls, &QTcpServer::newConnection, this, &ZmsgdServer::acceptAvatarTls);
    connect(m_avatarHttp, &QTcpServer::newConnection, this, &ZmsgdServer::acceptAvatarHttp);
    connect(m_web, &QTcpServer::newConnection, this, &ZmsgdServer::acceptWeb);
    if (!listen(m_messaging, m_config.messagingPort, "messaging", error)
        || !listen(m_avatarTls, m_config.avatarTlsPort, "avatar-tls", error)
        || !listen(m_avatarHttp, m_config.avatarHttpPort, "avatar-http", error)
        || !listen(m_web, m_config.webPort, "web", error)) {
        stop();
        return false;
    }
    m_running = true;
    return true;
}

void ZmsgdServer::stop()
{
    m_running = false;
    for (QTcpServer *server :
         {static_cast<QTcpServer *>(m_messaging), static_cast<QTcpServer *>(m_avatarTls), m_avatarHttp, m_web}) {
        if (server) {
            server->close();
            delete server;
        }
    }
    m_messaging = m_avatarTls = nullptr;
    m_avatarHttp = m_web = nullptr;
    // Connections go before the service they are attached to, the service before the store.
    delete m_connectionsParent;
    m_connectionsParent = nullptr;
    m_connections = 0;
    m_connectionsByAddress.clear();
    m_refusalLogged.clear();
    delete m_service;
    m_store.reset();
}

bool ZmsgdServer::isRunning() const
{
    return m_running;
}

quint16 ZmsgdServer::messagingPort() const
{
    return m_messaging ? m_messaging->serverPort() : 0;
}

quint16 ZmsgdServer::avatarTlsPort() const
{
    return m_avatarTls ? m_avatarTls->serverPort() : 0;
}

quint16 ZmsgdServer::avatarHttpPort() const
{
    return m_avatarHttp ? m_avatarHttp->serverPort() : 0;
}

quint16 ZmsgdServer::webPort() const
{
    return m_web ? m_web->serverPort() : 0;
}

ZmsgdService *ZmsgdServer::service() const
{
    return m_service;
}

ZmsgdStore *ZmsgdServer::store() const
{
    return m_store.get();
}

qint64 ZmsgdServer::bufferedBytes() const
{
    qint64 total = 0;
    if (m_connectionsParent) {
        const QList<ZmsgdConnection *> connections =
            m_connectionsParent->findChildren<ZmsgdConnection *>(QString(), Qt::FindDirectChildrenOnly);
        for (const ZmsgdConnection *connection : connections)
            total += connection->bufferedBytes();
    }
    return total;
}

int ZmsgdServer::connectionCount(const QHostAddress &address) const
{
    return m_connectionsByAddress.value(ZmsgdLoginThrottle::addressKey(address));
}

bool ZmsgdServer::admit(QTcpSocket *socket, QString *addressKey)
{
    *addressKey = ZmsgdLoginThrottle::addressKey(socket->peerAddress());
    const bool serverFull = m_connections >= m_config.maxConnections;
    if (!serverFull && m_connectionsByAddress.value(*addressKey) < m_config.maxConnectionsPerAddress)
        return true;
    const QString logKey = serverFull ? QString() : *addressKey;
    if (!m_refusalLogged.contains(logKey)) {
        m_refusalLogged.insert(logKey);
        ZmsgdLog::event(QStringLiteral("refused connections from %1: too many connections%2")
                            .arg(socket->peerAddress().toString(),
                                 serverFull ? QStringLiteral(" in all") : QStringLiteral(" from that address")));
    }
    socket->abort();
    socket->deleteLater();
    return false;
}

void ZmsgdServer::track(QObject *connection, const QString &addressKey)
{
    ++m_connections;
    ++m_connectionsByAddress[addressKey];
    connect(connection, &QObject::destroyed, this, [this, addressKey] {
        if (m_connections > 0)
            --m_connections;
        m_refusalLogged.remove(QString());
        m_refusalLogged.remove(addressKey);
        auto it = m_connectionsByAddress.find(addressKey);
        if (it != m_connectionsByAddress.end() && --*it <= 0)
            m_connectionsByAddress.erase(it);
    });
}

void ZmsgdServer::acceptMessaging()
{
    while (m_messaging && m_messaging->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_messaging->nextPendingConnection());
        QString key;
        if (!socket || !admit(socket, &key))
            continue;
        track(new ZmsgdConnection(socket, m_service, m_config, m_connectionsParent), key);
    }
}

void ZmsgdServer::acceptAvatarTls()
{
    while (m_avatarTls && m_avatarTls->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_avatarTls->nextPendingConnection());
        QString key;
        if (!socket || !admit(socket, &key))
            continue;
        track(new ZmsgdAvatarConnection(socket, true, m_service, m_config, m_connectionsParent), key);
    }
}

void ZmsgdServer::acceptAvatarHttp()
{
    while (m_avatarHttp && m_avatarHttp->hasPendingConnections()) {
        QTcpSocket *socket = m_avatarHttp->nextPendingConnection();
        QString key;
        if (!socket || !admit(socket, &key))
            continue;
        track(new ZmsgdAvatarConnection(socket, false, m_service, m_config, m_connectionsParent), key);
    }
}

void ZmsgdServer::acceptWeb()
{
    while (m_web && m_web->hasPendingConnections()) {
        QTcpSocket *socket = m_web->nextPendingConnection();
        QString key;
        if (!socket || !admit(socket, &key))
            continue;
        track(new ZmsgdWebConnection(socket, m_service, m_config, m_connectionsParent), key);
    }
}
