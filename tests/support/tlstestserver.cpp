#include "tlstestserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TlsTestServerCore : public QTcpServer
{
public:
    TlsTestServerCore(TlsTestServer *owner, const QByteArray &certificate, const QByteArray &key)
        : m_owner(owner)
        , m_certificate(certificate)
        , m_key(key)
    {}

    // A connection being closed takes nothing more: writing after the TLS shutdown would
    // reset it, and the client could lose what was sent before.
    static bool isOpen(QSslSocket *socket) { return socket && socket->state() == QAbstractSocket::ConnectedState; }

    void send(const QByteArray &bytes)
    {
        if (isOpen(m_client)) {
            m_client->write(bytes);
            m_client->flush();
        }
    }

    void closeClient()
    {
        if (m_client)
            m_client->disconnectFromHost();
    }

    void setReading(bool reading)
    {
        m_paused = !reading;
        if (!m_client)
            return;
        m_client->setReadBufferSize(reading ? 0 : 4096);
        if (reading)
            readLines(m_client);
    }

    void stream(TlsTestServer::Producer producer)
    {
        m_producer = std::move(producer);
        if (!m_feeder) {
            // Written bytes are not always reported (never from inside the report itself),
            // so a short timer keeps the stream going as well.
            m_feeder = new QTimer(this);
            m_feeder->setInterval(2);
            connect(m_feeder, &QTimer::timeout, this, [this] { feed(); });
        }
        if (m_producer)
            m_feeder->start();
        feed();
    }

    void feed()
    {
        constexpr qint64 Window = 256 * 1024;
        while (isOpen(m_client) && m_producer
               && m_client->bytesToWrite() + m_client->encryptedBytesToWrite() < Window) {
            const QByteArray chunk = m_producer();
            if (chunk.isEmpty()) {
                m_producer = nullptr;
                break;
            }
            m_client->write(chunk);
        }
        if (!isOpen(m_client) || !m_producer) {
            m_producer = nullptr;
            if (m_feeder)
                m_feeder->stop();
        }
    }

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(handle)) {
            delete socket;
            return;
        }
        m_client = socket;
        m_raw.clear();
        m_owner->recordConnection(1, true);
        socket->setLocalCertificate(QSslCertificate(m_certificate, QSsl::Pem));
        socket->setPrivateKey(QSslKey(m_key, QSsl::Rsa, QSsl::Pem));
        socket->setPeerVerifyMode(QSslSocket::VerifyNone);
        m_producer = nullptr;
        connect(socket, &QSslSocket::readyRead, this, [this, socket] { readLines(socket); });
        connect(socket, &QSslSocket::encryptedBytesWritten, this, [this, socket] {
            if (socket == m_client)
                feed();
        });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] {
            m_owner->recordConnection(-1, false);
            socket->deleteLater();
        });
        socket->startServerEncryption();
    }

private:
    void readLines(QSslSocket *socket)
    {
        if (m_paused && socket == m_client)
            return;
        if (m_owner->m_rawHandler) {
            m_raw += socket->readAll();
            const QByteArray answer = m_owner->m_rawHandler(m_raw);
            if (!answer.isEmpty()) {
                socket->write(answer);
                socket->flush();
            }
            return;
        }
        while (socket->canReadLine()) {
            const QByteArray line = socket->readLine();
            m_owner->recordLine(line);
            if (m_owner->m_handler && isOpen(socket)) {
                const QByteArray answer = m_owner->m_handler(line);
                if (!answer.isEmpty() && isOpen(socket)) {
                    socket->write(answer);
                    socket->flush();
                }
            }
        }
    }

    TlsTestServer *m_owner;
    QByteArray m_certificate;
    QByteArray m_key;
    QPointer<QSslSocket> m_client;
    QByteArray m_raw;
    TlsTestServer::Producer m_producer;
    QTimer *m_feeder = nullptr;
    bool m_paused = false;
};

TlsTestServer::TlsTestServer(Certificate certificate)
{
    const QString dir = QStringLiteral(ZM_TEST_CERT_DIR);
    const bool pinned = certificate == Certificate::Pinned;
    m_core = new TlsTestServerCore(
        this, readFile(pinned ? QStringLiteral(ZM_TEST_PINNED_CERT) : dir + QStringLiteral("/foreign.pem")),
        readFile(pinned ? QStringLiteral(ZM_TEST_PINNED_KEY) : dir + QStringLiteral("/foreign.key")));
    m_core->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_core, &QObject::deleteLater);
    m_thread.start();
}

TlsTestServer::~TlsTestServer()
{
    m_thread.quit();
    m_thread.wait();
}

void TlsTestServer::setLineHandler(LineHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_handler = std::move(handler);
}

void TlsTestServer::setRawHandler(RawHandler handler)
{
    QMutexLocker lock(&m_mutex);
    m_rawHandler = std::move(handler);
}

void TlsTestServer::sendToClientLater(const QByteArray &bytes, int delayMs)
{
    QMetaObject::invokeMethod(
        m_core, [this, bytes, delayMs] { QTimer::singleShot(delayMs, m_core, [this, bytes] { m_core->send(bytes); }); },
        Qt::QueuedConnection);
}

void TlsTestServer::startStream(Producer producer)
{
    if (QThread::currentThread() == &m_thread) {
        m_core->stream(std::move(producer));
        return;
    }
    QMetaObject::invokeMethod(
        m_core, [this, producer] { m_core->stream(producer); }, Qt::BlockingQueuedConnection);
}

void TlsTestServer::stopStream()
{
    startStream(Producer());
}

void TlsTestServer::exportAvatarEndpoint() const
{
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_PORT", QByteArray::number(m_port));
}

bool TlsTestServer::listenOnLoopback()
{
    bool ok = false;
    QMetaObject::invokeMethod(
        m_core,
        [this, &ok] {
            ok = m_core->listen(QHostAddress::LocalHost, 0);
            m_port = m_core->serverPort();
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

void TlsTestServer::exportEndpoint() const
{
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", QByteArray::number(m_port));
}

QList<QByteArray> TlsTestServer::receivedLines() const
{
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

int TlsTestServer::connectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_connections;
}

int TlsTestServer::openConnectionCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_openConnections;
}

void TlsTestServer::recordLine(const QByteArray &line)
{
    QMutexLocker lock(&m_mutex);
    m_lines.append(line);
    m_changed.wakeAll();
}

void TlsTestServer::recordConnection(int delta, bool isNew)
{
    QMutexLocker lock(&m_mutex);
    m_openConnections += delta;
    if (isNew)
        ++m_connections;
    m_changed.wakeAll();
}

template <typename Condition> bool TlsTestServer::waitFor(Condition condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QMutexLocker lock(&m_mutex);
    while (!condition()) {
        if (!m_changed.wait(&m_mutex, deadline))
            return condition();
    }
    return true;
}

bool TlsTestServer::waitForLines(int count, int timeoutMs)
{
    return waitFor([&] { return m_lines.size() >= count; }, timeoutMs);
}

bool TlsTestServer::waitForConnections(int count, int timeoutMs)
{
    return waitFor([&] { return m_connections >= count; }, timeoutMs);
}

bool TlsTestServer::waitForOpenConnections(int count, int timeoutMs)
{
    return waitFor([&] { return m_openConnections == count; }, timeoutMs);
}

void TlsTestServer::sendToClient(const QByteArray &bytes)
{
    if (QThread::currentThread() == &m_thread) {
        m_core->send(bytes);
        return;
    }
    QMetaObject::invokeMethod(
        m_core, [this, bytes] { m_core->send(bytes); }, Qt::BlockingQueuedConnection);
}

void TlsTestServer::setReading(bool reading)
{
    QMetaObject::invokeMethod(
        m_core, [this, reading] { m_core->setReading(reading); }, Qt::BlockingQueuedConnection);
}

void TlsTestServer::closeClient()
{
    if (QThread::currentThread() == &m_thread) {
        m_core->closeClient();
        return;
    }
    QMetaObject::invokeMethod(
        m_core, [this] { m_core->closeClient(); }, Qt::BlockingQueuedConnection);
}
