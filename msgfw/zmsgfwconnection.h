#ifndef ZMSGFWCONNECTION_H
#define ZMSGFWCONNECTION_H

#include <QList>
#include <QSslError>

class QSslSocket;
class QThread;

// The TLS connection to the messaging server that both protocol generations share: one fresh
// socket per login, trust in exactly the pinned certificate, and the logged-in state. No socket
// exists before the first login, so an object that never connects does not load the TLS library.
class ZMsgFwConnection
{
public:
    virtual ~ZMsgFwConnection();
    ZMsgFwConnection(const ZMsgFwConnection &) = delete;
    ZMsgFwConnection &operator=(const ZMsgFwConnection &) = delete;

    // Asks the server to close the connection; always 0.
    int logoutUser();
    // True while logged in and the connection is still up.
    bool isLoggedIn();
    // How long a synchronous call waits for its reply, and a login for the TLS handshake.
    void setReplyTimeout(int milliseconds) { m_replyTimeout = milliseconds; }
    int replyTimeout() const { return m_replyTimeout; }

    // Starts TLS on the socket with the given expected errors and waits up to timeout ms for the
    // handshake; false when it did not finish.
    static bool connectEncrypted(QSslSocket &socket, const QList<QSslError> &expectedErrors, quint16 port,
                                 int timeout = 5000);

protected:
    ZMsgFwConnection();

    // Leaves the logged-in state and closes and frees the current socket for a new, unconnected one.
    void replaceSocket();
    // True once a login has made a socket; m_socket is null before.
    bool hasSocket() const { return m_socket != nullptr; }
    // Connects the current socket to the messaging server.
    bool connectToServer();
    static QList<QSslError> expectedErrors();
    // Gives the current socket to another thread; this object must not touch it afterwards.
    void moveConnectionToThread(QThread *thread);
    // Takes over other's connection, closing this object's own, when other has logged in and
    // its socket lives on this thread; other is left logged out without a socket.
    bool takeConnectionFrom(ZMsgFwConnection &other);

    QSslSocket *m_socket = nullptr;
    bool m_loggedIn = false;

private:
    int m_replyTimeout = 5000;
};

#endif
