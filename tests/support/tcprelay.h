#ifndef TCPRELAY_H
#define TCPRELAY_H

#include <QThread>

#include <functional>

class TcpRelayCore;

// A TCP relay on a loopback port chosen by the OS: every connection made to it is passed on,
// byte for byte, to a target port on loopback. The test can hold back what flows towards the
// clients, so that it stays unread as with a stalled client, and reset every connection. It
// runs on a thread of its own, so it keeps relaying while the test's thread waits.
class TcpRelay
{
public:
    explicit TcpRelay(quint16 targetPort);
    ~TcpRelay();
    TcpRelay(const TcpRelay &) = delete;
    TcpRelay &operator=(const TcpRelay &) = delete;

    bool listen();
    quint16 port() const { return m_port; }
    // Connections accepted so far.
    int connectionCount();
    // While held, what the target sends is taken from it but not handed to the client.
    void setHoldingDownstream(bool hold);
    qint64 heldBytes();
    // Ends every relayed connection with a reset on both sides; held bytes are dropped.
    void resetAll();

private:
    void onRelayThread(const std::function<void()> &job);

    QThread m_thread;
    TcpRelayCore *m_core = nullptr;
    quint16 m_port = 0;
};

#endif
