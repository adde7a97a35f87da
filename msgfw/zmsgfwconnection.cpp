#include "zmsgfwconnection.h"

#include "zmsgfwendpoint.h"
#include "zmsgfwwire.h"

#include <QSslSocket>
#include <QThread>

#include <utility>

namespace {

constexpr int HandshakeMilliseconds = 5000;

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

ZMsgFwConnection::ZMsgFwConnection()
    : m_socket(newSocket())
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
    m_socket = newSocket();
}

bool ZMsgFwConnection::connectToServer()
{
    return connectEncrypted(*m_socket, m_expectedErrors, ZMsgFwEndpoint::messagingPort());
}

void ZMsgFwConnection::moveConnectionToThread(QThread *thread)
{
    m_socket->moveToThread(thread);
}

bool ZMsgFwConnection::takeConnectionFrom(ZMsgFwConnection &other)
{
    if (&other == this || !other.m_loggedIn || other.m_socket->thread() != QThread::currentThread()
        || m_socket->thread() != QThread::currentThread())
        return false;
    m_socket->abort();
    delete m_socket;
    m_socket = std::exchange(other.m_socket, newSocket());
    m_loggedIn = true;
    other.m_loggedIn = false;
    return true;
}
