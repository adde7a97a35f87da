#ifndef ZMSGDPROTOCOL10_H
#define ZMSGDPROTOCOL10_H

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

class ZmsgdService;

// The older protocol generation 1.0 on the server side: "SEND /command ZM/1.0" lines
// followed by a fixed number of "Name: value" header lines, answered by a status line.
namespace ZmsgdProtocol10 {

struct Command {
    QString name;
    QHash<QString, QString> headers;
};

// Collects a command line and its headers. A command is complete when all the headers it
// takes have arrived, or when the next command line starts early.
class Parser
{
public:
    // Feeds one trimmed line; returns the commands it completed (at most two). A line that is
    // neither a command, a header of one, nor a client's status or header line sets *stray.
    QList<Command> feed(const QString &line, bool *stray = nullptr);
    bool isPending() const { return m_pending.has_value(); }

private:
    std::optional<Command> m_pending;
    int m_expected = 0;
};

bool isCommandLine(const QString &line);
int headerCount(const QString &command);
QByteArray statusLine(int code);
// Empty when the command needs no answer (a poke).
QByteArray reply(ZmsgdService *service, const QString &user, const Command &command);
QByteArray messagePush(const QString &sender, const QString &text);
QByteArray pokePush(const QString &sender);

} // namespace ZmsgdProtocol10

#endif
