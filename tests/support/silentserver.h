#ifndef SILENTSERVER_H
#define SILENTSERVER_H

#include <QTcpServer>
#include <QTcpSocket>

// Accepts connections on a loopback port and never answers, so a download waits until it is
// stopped; counts the connections made and those the client closed.
class SilentServer : public QTcpServer
{
public:
    int connections = 0;
    int closed = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::disconnected, this, [this] { ++closed; });
        ++connections;
    }
};

#endif
