#include "zmsgfwconnection.h"

#include "zmsgfwendpoint.h"

#include <QSslSocket>

namespace {

constexpr int HandshakeMilliseconds = 5000;

} // namespace

ZMsgFwConnection::ZMsgFwConnection()
    : m_socket(new QSslSocket)
    , m_expectedErrors(ZMsgFwEndpoint::expectedSslErrors())
{
}

ZMsgFwConnection::~ZMsgFwConnection()
{
    delete m_socket;
}

int ZMsgFwConnection::logoutUser()
{
    m_socket->disconnectFromHost();
    m_loggedIn = false;
    return 0;
}

bool ZMsgFwConnection::isLoggedIn()
{
    return m_loggedIn && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool ZMsgFwConnection::connectEncrypted(QSslSocket &socket, const QList<QSslError> &expectedErrors, quint16 port)
{
    socket.ignoreSslErrors(expectedErrors);
    socket.connectToHostEncrypted(ZMsgFwEndpoint::host(), port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    return socket.waitForEncrypted(HandshakeMilliseconds);
}

void ZMsgFwConnection::replaceSocket()
{
    m_loggedIn = false;
    m_socket->abort();
    delete m_socket;
    m_socket = new QSslSocket;
}

bool ZMsgFwConnection::connectToServer()
{
    return connectEncrypted(*m_socket, m_expectedErrors, ZMsgFwEndpoint::messagingPort());
}
