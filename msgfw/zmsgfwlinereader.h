#ifndef ZMSGFWLINEREADER_H
#define ZMSGFWLINEREADER_H

#include "zmsgfw_export.h"
#include "zmsgfwwire.h"

#include <QByteArray>
#include <QDeadlineTimer>

class QAbstractSocket;

// Bounded line reading from a socket, shared by every protocol generation: a peer that sends
// more than ZMsgFwWire::MaxLineLength bytes without a line feed is refused instead of growing
// memory.
namespace ZMsgFwLineReader {

enum class Result { Line, None, TooLong };

// True when a complete line is buffered. Use it instead of canReadLine: a TLS socket with a
// bounded receive buffer is first made to take up what waits behind that buffer.
ZMSGFW_EXPORT bool lineReady(QAbstractSocket &socket);

// lineReady for polling: a peer that has sent more than MaxLineLength bytes without a line
// feed is refused at once (the connection closes) instead of being polled without end.
ZMSGFW_EXPORT bool pollLine(QAbstractSocket &socket);

// Takes one complete line (with its line feed) when one is buffered. A line that grew too
// long closes the connection.
ZMSGFW_EXPORT Result takeLine(QAbstractSocket &socket, QByteArray *line);

// Waits until a complete line is buffered or the deadline passes, then takes it. When the
// connection ends first, whatever it sent after its last line feed counts as the line.
// False when no line came, the line was too long, or the connection failed.
ZMSGFW_EXPORT bool waitForLine(QAbstractSocket &socket, const QDeadlineTimer &deadline, QByteArray *line);

} // namespace ZMsgFwLineReader

#endif
