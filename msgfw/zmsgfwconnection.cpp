#include "zmsgfwconnection.h"

#include "zmsgfwendpoint.h"
#include "zmsgfwwire.h"

#include <QSslSocket>
#include <QThread>

#include <utility>

namespace {

// Room for one line of the longest length accepted and the start of the next. A server
// that pushes faster than the client handles lines then waits for it, instead of the
// client holding everything sent so far in memory.
constexpr qint64 ReceiveBufferLength = ZMsgFwWire::MaxLineLength + 1024 * 1024;

QSslSocket *newSocket()
{
    auto *socket = new QSslSocket;
    socket->setReadBufferSize(ReceiveBufferLength);
    return socket;
}

} // namespace

ZMsgFwConnection::ZMsgFwConnection() = default;

ZMsgFwConnection::~ZMsgFwConnection()
{
    delete m_socket;
}

int ZMsgFwConnection::logoutUser()
{
    if (m_socket)
        m_socket->disconnectFromHost();
    m_loggedIn = false;
    return 0;
}

bool ZMsgFwConnection::isLoggedIn()
{
    return m_loggedIn && m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool ZMsgFwConnection::connectEncrypted(QSslSocket &socket, const QList<QSslError> &expectedErrors, quint16 port,
                                        int timeout)
{
    socket.ignoreSslErrors(expectedErrors);
    socket.connectToHostEncrypted(ZMsgFwEndpoint::host(), port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    return socket.waitForEncrypted(timeout);
}

QList<QSslError> ZMsgFwConnection::expectedErrors()
{
    // Built at the first use: reading the certificate loads the TLS library.
    static const QList<QSslError> errors = ZMsgFwEndpoint::expectedSslErrors();
    return errors;
}

void ZMsgFwConnection::replaceSocket()
{
    m_loggedIn = false;
    if (m_socket)
        m_socket->abort();
    delete m_socket;
    m_socket = newSocket();
}

bool ZMsgFwConnection::connectToServer()
{
    return connectEncrypted(*m_socket, expectedErrors(), ZMsgFwEndpoint::messagingPort(), m_replyTimeout);
}

void ZMsgFwConnection::moveConnectionToThread(QThread *thread)
{
    if (m_socket)
        m_socket->moveToThread(thread);
}

bool ZMsgFwConnection::takeConnectionFrom(ZMsgFwConnection &other)
{
    if (&other == this || !other.m_loggedIn || !other.m_socket || other.m_socket->thread() != QThread::currentThread()
        || (m_socket && m_socket->thread() != QThread::currentThread()))
        return false;
    if (m_socket)
        m_socket->abort();
    delete m_socket;
    m_socket = std::exchange(other.m_socket, nullptr);
    m_loggedIn = true;
    other.m_loggedIn = false;
    return true;
}
