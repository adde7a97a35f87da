#include "tcprelay.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <sys/socket.h>

#include <utility>

namespace {

// Closing with a zero linger time sends a reset instead of the orderly end of the stream.
void resetConnection(QTcpSocket *socket)
{
    const linger immediate{1, 0};
    const qintptr descriptor = socket->socketDescriptor();
    if (descriptor >= 0)
        ::setsockopt(int(descriptor), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    socket->abort();
}

} // namespace

// Lives on the relay's thread; every member runs there.
class TcpRelayCore : public QObject
{
public:
    explicit TcpRelayCore(quint16 targetPort)
        : m_targetPort(targetPort)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &TcpRelayCore::accept);
    }
    ~TcpRelayCore() override { resetAll(); }

    QTcpServer m_server{this};
    quint16 m_targetPort;
    bool m_holding = false;
    int m_accepted = 0;

    struct Link {
        QTcpSocket *client = nullptr;
        QTcpSocket *target = nullptr;
        QByteArray held;
    };
    QList<Link *> m_links;

    void accept()
    {
        while (QTcpSocket *client = m_server.nextPendingConnection()) {
            ++m_accepted;
            auto *link = new Link;
            link->client = client;
            link->target = new QTcpSocket(this);
            m_links << link;
            connect(client, &QTcpSocket::readyRead, this, [this, link] { forward(link, false); });
            connect(link->target, &QTcpSocket::readyRead, this, [this, link] { forward(link, true); });
            connect(link->target, &QTcpSocket::connected, this, [this, link] { forward(link, false); });
            connect(client, &QTcpSocket::disconnected, this, [this, link] { drop(link); });
            connect(link->target, &QTcpSocket::disconnected, this, [this, link] { drop(link); });
            link->target->connectToHost(QHostAddress::LocalHost, m_targetPort);
        }
    }

    void forward(Link *link, bool downstream)
    {
        if (!m_links.contains(link))
            return;
        if (downstream) {
            link->held += link->target->readAll();
            if (!m_holding) {
                link->client->write(link->held);
                link->held.clear();
            }
        } else if (link->target->state() == QAbstractSocket::ConnectedState) {
            link->target->write(link->client->readAll());
        }
    }

    void setHolding(bool hold)
    {
        m_holding = hold;
        if (hold)
            return;
        for (Link *link : qAsConst(m_links))
            forward(link, true);
    }

    qint64 heldBytes() const
    {
        qint64 bytes = 0;
        for (const Link *link : m_links)
            bytes += link->held.size();
        return bytes;
    }

    // One side ended: the other ends too, after what is still queued for it.
    void drop(Link *link)
    {
        if (!m_links.removeOne(link))
            return;
        for (QTcpSocket *socket : {link->client, link->target}) {
            socket->disconnect(this);
            socket->disconnectFromHost();
            socket->deleteLater();
        }
        delete link;
    }

    void resetAll()
    {
        const QList<Link *> links = std::exchange(m_links, {});
        for (Link *link : links) {
            for (QTcpSocket *socket : {link->client, link->target}) {
                socket->disconnect(this);
                resetConnection(socket);
                socket->deleteLater();
            }
            delete link;
        }
    }
};

TcpRelay::TcpRelay(quint16 targetPort)
{
    m_core = new TcpRelayCore(targetPort);
    m_core->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_core, &QObject::deleteLater);
    m_thread.start();
}

TcpRelay::~TcpRelay()
{
    m_thread.quit();
    m_thread.wait();
}

void TcpRelay::onRelayThread(const std::function<void()> &job)
{
    QMetaObject::invokeMethod(m_core, job, Qt::BlockingQueuedConnection);
}

bool TcpRelay::listen()
{
    onRelayThread([this] {
        if (m_core->m_server.listen(QHostAddress::LocalHost))
            m_port = m_core->m_server.serverPort();
    });
    return m_port != 0;
}

int TcpRelay::connectionCount()
{
    int count = 0;
    onRelayThread([&] { count = m_core->m_accepted; });
    return count;
}

void TcpRelay::setHoldingDownstream(bool hold)
{
    onRelayThread([&] { m_core->setHolding(hold); });
}

qint64 TcpRelay::heldBytes()
{
    qint64 bytes = 0;
    onRelayThread([&] { bytes = m_core->heldBytes(); });
    return bytes;
}

void TcpRelay::resetAll()
{
    onRelayThread([this] { m_core->resetAll(); });
}
