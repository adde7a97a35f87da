#ifndef FUZZREPLYSERVER_H
#define FUZZREPLYSERVER_H

#include "fuzzsupport.h"
#include "tlstestserver.h"

#include <QMutex>
#include <QMutexLocker>

// A loopback TLS server with the pinned certificate that answers a login with success and
// every other request of the client with the bytes of the current fuzz input, so that the
// library's real socket code reads them. The answer always ends with a line feed and a
// well-formed reply, so that no call has to wait for its timeout.
class FuzzReplyServer
{
public:
    FuzzReplyServer(QByteArray loginPrefix, QByteArray loginReply, QByteArray commandPrefix, QByteArray terminator)
        : m_loginPrefix(std::move(loginPrefix))
        , m_loginReply(std::move(loginReply))
        , m_commandPrefix(std::move(commandPrefix))
        , m_terminator(std::move(terminator))
    {
        m_server.setLineHandler([this](const QByteArray &line) { return answer(line); });
        FUZZ_CHECK(m_server.listenOnLoopback());
        m_server.exportEndpoint();
    }

    void setReply(const QByteArray &reply)
    {
        QMutexLocker locker(&m_mutex);
        m_reply = reply + '\n' + m_terminator;
    }

private:
    // Runs on the server's thread.
    QByteArray answer(const QByteArray &line)
    {
        if (line.startsWith(m_loginPrefix))
            return m_loginReply;
        if (!line.startsWith(m_commandPrefix))
            return QByteArray(); // header lines and answers to pushed pings
        QMutexLocker locker(&m_mutex);
        return m_reply;
    }

    TlsTestServer m_server;
    const QByteArray m_loginPrefix;
    const QByteArray m_loginReply;
    const QByteArray m_commandPrefix;
    const QByteArray m_terminator;
    QMutex m_mutex;
    QByteArray m_reply;
};

namespace FuzzSupport {

inline bool isIncomingObjectShape(const QString &object)
{
    return object.isEmpty() || object.startsWith(QLatin1String("MessageFromUser<>"))
        || object.startsWith(QLatin1String("PokeFromUser<>")) || object.startsWith(QLatin1String("ReturnIntialize"));
}

} // namespace FuzzSupport

#endif
