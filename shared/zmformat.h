#ifndef ZMFORMAT_H
#define ZMFORMAT_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Text formats that both ends of a connection write or read: the server, the protocol library
// and the client. Static and private to each binary, so none of it becomes library ABI.
namespace ZmFormat {

// A value with CR or LF would end the line that carries it and smuggle in a line of its own.
bool hasLineBreak(const QString &value);

// Profile payload: "key&splt;value" entries joined by "&nxve;"; the "accas" value holds client
// records joined by "&acln;", each of "name&sxlt;value" fields joined by "&aclt;".
extern const QString ProfileEntrySeparator;
extern const QString ProfileKeySeparator;
extern const QString ProfileRecordSeparator;
extern const QString ProfileFieldSeparator;
extern const QString ProfileNameSeparator;
// The value with every separator word removed (also those that removing others puts together).
QString withoutProfileSeparators(const QString &value);

// Legacy protocol 1.0: a "SEND /command ZM/1.0" line and "name: value" header lines, answered by
// a "ZM/1.0 code reason" status line.
using LegacyHeaders = QList<QPair<QString, QString>>;
// The bytes of one request or push; empty when the command or a value has a line break.
QByteArray legacyRequest(const QString &command, const LegacyHeaders &headers);
bool isLegacyCommandLine(const QString &line);
// The command of a command line ("message" of "SEND /message ZM/1.0"); empty for other lines.
QString legacyCommand(const QString &line);
// "name: value", or "name:" for an empty value; false for any other line.
bool splitLegacyHeader(const QString &line, QString *name, QString *value);
QByteArray legacyStatusLine(int code, const QByteArray &reason);
// The code of a status line; 502 when it has none.
int legacyStatusCode(const QString &statusLine);

} // namespace ZmFormat

#endif
