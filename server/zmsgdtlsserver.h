#ifndef ZMSGDTLSSERVER_H
#define ZMSGDTLSSERVER_H

#include <QSslConfiguration>
#include <QTcpServer>

// A listener whose pending connections are QSslSocket objects that have already begun
// the server side of the TLS handshake with the configured certificate.
class ZmsgdTlsServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit ZmsgdTlsServer(const QSslConfiguration &configuration, QObject *parent = nullptr);

protected:
    void incomingConnection(qintptr handle) override;

private:
    QSslConfiguration m_configuration;
};

#endif
