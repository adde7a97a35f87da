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

// Hands the current input to the server (all but its first byte, which picks the call) and
// makes sure the session is logged in. False for an empty input.
template <typename Session> bool takeInput(FuzzReplyServer &server, Session &session, const uint8_t *data, size_t size)
{
    if (size == 0)
        return false;
    server.setReply(bytes(data + 1, size - 1));
    if (!session.isLoggedIn())
        FUZZ_CHECK(session.loginUser(QStringLiteral("fuzz"), QStringLiteral("secret")) == 200);
    return true;
}

// The calls both protocol generations offer; call numbers from SharedCalls on are the
// target's own.
constexpr int SharedCalls = 5;
template <typename Session> void runSharedCall(Session &session, int call)
{
    const QString user = QStringLiteral("anna");
    switch (call) {
    case 0:
        FUZZ_CHECK(isResultText(session.getUserContactsWithStates()));
        break;
    case 1:
        session.getUserOnlineState();
        break;
    case 2:
        FUZZ_CHECK(isResultText(session.getUserNick()));
        break;
    case 3:
        session.addUserContact(user);
        break;
    default:
        session.sendMessageToUser(user, QStringLiteral("hello there"));
        break;
    }
}

// Whatever else came is read the way the main window polls for it.
template <typename Session, typename Check> void readPushedObjects(Session &session, Check isExpected)
{
    for (int i = 0; i < 1000 && session.isObjectIncoming(); ++i)
        FUZZ_CHECK(isExpected(session.readObject()));
}

} // namespace FuzzSupport

#endif
