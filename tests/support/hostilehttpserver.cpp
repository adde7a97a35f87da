#include "hostilehttpserver.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>

#include <zlib.h>

HostileHttpServer::HostileHttpServer(QObject *parent)
    : QTcpServer(parent)
{
    connect(this, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool HostileHttpServer::listenOnLoopback()
{
    return listen(QHostAddress::LocalHost, 0);
}

void HostileHttpServer::setAnswer(const QByteArray &pathPrefix, const Answer &answer)
{
    m_answers.insert(pathPrefix, answer);
}

void HostileHttpServer::readRequest(QTcpSocket *socket)
{
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    const int headEnd = request.indexOf("\r\n\r\n");
    if (headEnd < 0 || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QByteArray head = request.left(headEnd);
    m_requests << head;
    const QByteArray path = head.left(head.indexOf("\r\n")).split(' ').value(1);
    for (auto it = m_answers.cbegin(); it != m_answers.cend(); ++it) {
        if (!path.startsWith(it.key()))
            continue;
        const Answer &answer = it.value();
        if (answer.endless) {
            socket->write(answer.head + "\r\n");
            keepSending(socket, answer.body);
            return;
        }
        const QByteArray reply =
            answer.head + "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n\r\n" + answer.body;
        m_bytesSent += reply.size();
        socket->write(reply);
        socket->disconnectFromHost();
        return;
    }
}

void HostileHttpServer::keepSending(QTcpSocket *socket, const QByteArray &chunk)
{
    auto refill = [this, socket, chunk] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size()) {
            socket->write(chunk);
            m_bytesSent += chunk.size();
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, refill);
    refill();
}

QByteArray gzipOfZeros(qint64 inflated)
{
    z_stream stream{};
    // 16 + window bits: a gzip wrapper around the deflate stream.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 16 + 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return QByteArray();
    const QByteArray zeros(1 << 20, '\0');
    QByteArray out;
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    qint64 left = inflated;
    int flush = Z_NO_FLUSH;
    do {
        if (stream.avail_in == 0 && flush == Z_NO_FLUSH) {
            const qint64 take = qMin<qint64>(left, zeros.size());
            stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zeros.constData()));
            stream.avail_in = uInt(take);
            left -= take;
            if (left == 0)
                flush = Z_FINISH;
        }
        stream.next_out = reinterpret_cast<Bytef *>(buffer.data());
        stream.avail_out = uInt(buffer.size());
        const int result = deflate(&stream, flush);
        out.append(buffer.constData(), buffer.size() - int(stream.avail_out));
        if (result == Z_STREAM_END)
            break;
    } while (true);
    deflateEnd(&stream);
    return out;
}

namespace PeakMemory {

namespace {
double statusMiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}
} // namespace

bool reset()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

double peakMiB()
{
    return statusMiB("VmHWM:");
}

double residentMiB()
{
    return statusMiB("VmRSS:");
}

} // namespace PeakMemory
