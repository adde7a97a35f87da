#ifndef CLOSEDPORT_H
#define CLOSEDPORT_H

#include <QHostAddress>
#include <QTcpServer>

// A loopback port on which nothing listens: the system handed it out a moment ago and it is
// closed again, so a connection there is refused.
inline quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

#endif
