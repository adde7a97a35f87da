#ifndef HTTPTESTSERVER_H
#define HTTPTESTSERVER_H

#include <QByteArray>
#include <QList>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;

// A plain HTTP/1.1 server on a loopback port chosen by the OS, serving one fixed body for every
// GET on the thread that created it. In silent mode it reads requests but never answers, to
// stand for a web site that hangs.
class HttpTestServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit HttpTestServer(QObject *parent = nullptr);

    bool listenOnLoopback();
    // "127.0.0.1:<port>", the form of the ZM_WEB_HOST variable.
    QString hostAndPort() const;
    // Points the client's web host (ZM_WEB_HOST) at this server.
    void exportWebHost() const;

    void setBody(const QByteArray &body, int status = 200);
    void setSilent(bool silent) { m_silent = silent; }

    // Request paths in arrival order.
    QStringList paths() const { return m_paths; }
    int openConnections() const;

private:
    void readRequest(QTcpSocket *socket);

    QByteArray m_body;
    int m_status = 200;
    bool m_silent = false;
    QStringList m_paths;
};

#endif
