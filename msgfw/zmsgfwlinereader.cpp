#include "zmsgfwlinereader.h"

#include <QAbstractSocket>
#include <QDebug>
#include <QSslSocket>

namespace ZMsgFwLineReader {

namespace {

// Reads up to and including the next line feed, at most MaxLineLength bytes. The buffer
// grows with the line: QIODevice::readLine(maxSize) would allocate maxSize bytes for each
// line, a megabyte per short protocol line.
QByteArray readLineGrowing(QIODevice &device)
{
    QByteArray line;
    qint64 chunk = 256;
    while (line.size() < ZMsgFwWire::MaxLineLength) {
        const int filled = line.size();
        const qint64 room = qMin(chunk, ZMsgFwWire::MaxLineLength - filled);
        // readLine writes a terminating NUL after what it reads.
        line.resize(int(filled + room + 1));
        const qint64 read = device.readLine(line.data() + filled, room + 1);
        line.resize(filled + int(qMax<qint64>(read, 0)));
        if (read <= 0 || line.endsWith('\n'))
            break;
        chunk *= 2;
    }
    return line;
}

} // namespace

bool lineReady(QAbstractSocket &socket)
{
    if (socket.canReadLine())
        return true;
    // With a bounded receive buffer a TLS socket decrypts further only once its buffer was read
    // empty; the start of a line left in it would stall the connection. Flushing makes it take
    // up what has arrived.
    auto *tls = qobject_cast<QSslSocket *>(&socket);
    if (tls && tls->state() == QAbstractSocket::ConnectedState)
        tls->flush();
    return socket.canReadLine();
}

bool pollLine(QAbstractSocket &socket)
{
    if (lineReady(socket))
        return true;
    if (socket.bytesAvailable() > ZMsgFwWire::MaxLineLength) {
        QByteArray refused;
        takeLine(socket, &refused);
    }
    return false;
}

Result takeLine(QAbstractSocket &socket, QByteArray *line)
{
    if (lineReady(socket)) {
        *line = readLineGrowing(socket);
        if (line->endsWith('\n'))
            return Result::Line;
    } else if (socket.bytesAvailable() <= ZMsgFwWire::MaxLineLength) {
        return Result::None;
    }
    qWarning() << "ZMsgFwLineReader: the server sent a line longer than" << ZMsgFwWire::MaxLineLength
               << "bytes; closing the connection";
    line->clear();
    socket.abort();
    return Result::TooLong;
}

bool waitForLine(QAbstractSocket &socket, const QDeadlineTimer &deadline, QByteArray *line)
{
    for (;;) {
        const Result result = takeLine(socket, line);
        if (result != Result::None)
            return result == Result::Line;
        if (deadline.hasExpired())
            return false;
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) {
            if (socket.state() == QAbstractSocket::ConnectedState || socket.bytesAvailable() == 0)
                return false;
            *line = socket.readAll();
            return true;
        }
    }
}

} // namespace ZMsgFwLineReader
