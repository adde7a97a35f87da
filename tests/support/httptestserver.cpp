#include "httptestserver.h"

#include <QHostAddress>
#include <QTcpSocket>

HttpTestServer::HttpTestServer(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool HttpTestServer::listenOnLoopback()
{
    return listen(QHostAddress::LocalHost, 0);
}

QString HttpTestServer::hostAndPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(serverPort());
}

void HttpTestServer::exportWebHost() const
{
    qputenv("ZM_WEB_HOST", hostAndPort().toUtf8());
}

void HttpTestServer::setBody(const QByteArray &body, int status)
{
    m_body = body;
    m_status = status;
}

int HttpTestServer::openConnections() const
{
    return findChildren<QTcpSocket *>().size();
}

void HttpTestServer::readRequest(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    socket->setProperty("request", QByteArray());
    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    m_paths << QString::fromLatin1(requestLine.value(1));
    if (m_silent)
        return;
    const QByteArray reason = m_status == 200 ? "OK" : "Error";
    socket->write("HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reason
                  + "\r\nContent-Type: text/plain\r\nConnection: close\r\nContent-Length: "
                  + QByteArray::number(m_body.size()) + "\r\n\r\n" + m_body);
    socket->disconnectFromHost();
}
