#ifndef ZMSGDSERVER_H
#define ZMSGDSERVER_H

#include "zmsgdconfig.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QSslConfiguration>

#include <memory>

class QTcpServer;
class QTcpSocket;
class ZmsgdService;
class ZmsgdStore;
class ZmsgdTlsServer;

// The whole development server in one object: storage, the messaging listener, the avatar
// listeners and the web site. Tests run it in-process on ports chosen by the system.
class ZmsgdServer : public QObject
{
    Q_OBJECT
public:
    explicit ZmsgdServer(const ZmsgdConfig &config, QObject *parent = nullptr);
    ~ZmsgdServer() override;

    bool start(QString *error);
    void stop();
    bool isRunning() const;

    quint16 messagingPort() const;
    quint16 avatarTlsPort() const;
    quint16 avatarHttpPort() const;
    quint16 webPort() const;
    QHostAddress address() const { return m_config.address; }
    const ZmsgdConfig &config() const { return m_config; }

    ZmsgdService *service() const;
    ZmsgdStore *store() const;
    int connectionCount() const { return m_connections; }
    int connectionCount(const QHostAddress &address) const;
    // What all messaging connections hold in memory, for watching that clients cannot grow it.
    qint64 bufferedBytes() const;

    static QString defaultDatabasePath();
    static bool loadTlsConfiguration(const QString &certificatePath, const QString &keyPath,
                                     QSslConfiguration *configuration, QString *error);

private:
    bool listen(QTcpServer *server, quint16 port, const char *name, QString *error);
    void acceptMessaging();
    void acceptAvatarTls();
    void acceptAvatarHttp();
    void acceptWeb();
    // Refuses (closes) the socket when the server or its address holds too many connections.
    bool admit(QTcpSocket *socket, QString *addressKey);
    void track(QObject *connection, const QString &addressKey);

    ZmsgdConfig m_config;
    std::unique_ptr<ZmsgdStore> m_store;
    QPointer<ZmsgdService> m_service;
    ZmsgdTlsServer *m_messaging = nullptr;
    ZmsgdTlsServer *m_avatarTls = nullptr;
    QTcpServer *m_avatarHttp = nullptr;
    QTcpServer *m_web = nullptr;
    QObject *m_connectionsParent = nullptr;
    int m_connections = 0;
    QHash<QString, int> m_connectionsByAddress;
    // Addresses whose refusal was logged, so a flood of attempts writes one line.
    QSet<QString> m_refusalLogged;
    bool m_running = false;
};

#endif
