#include "zmsgdtlsserver.h"

#include <QSslSocket>

ZmsgdTlsServer::ZmsgdTlsServer(const QSslConfiguration &configuration, QObject *parent)
    : QTcpServer(parent)
    , m_configuration(configuration)
{}

void ZmsgdTlsServer::incomingConnection(qintptr handle)
{
    auto *socket = new QSslSocket(this);
    if (!socket->setSocketDescriptor(handle)) {
        delete socket;
        return;
    }
    socket->setSslConfiguration(m_configuration);
    socket->startServerEncryption();
    addPendingConnection(socket);
}
