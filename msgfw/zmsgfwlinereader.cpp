#include "zmsgfwlinereader.h"

#include <QAbstractSocket>
#include <QDebug>

namespace ZMsgFwLineReader {

Result takeLine(QAbstractSocket &socket, QByteArray *line)
{
    if (socket.canReadLine()) {
        *line = socket.readLine(ZMsgFwWire::MaxLineLength + 1);
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
