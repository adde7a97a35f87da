// Replies and pushed objects of a generation 1.0 server, read through the library's real TLS
// session: the first input byte picks the call, the rest is what the server answers.
#include "fuzzreplyserver.h"
#include "zmsgfw10q.h"

namespace {
FuzzReplyServer *server = nullptr;
ZMsgFw10Q *session = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    FuzzSupport::makeApplication();
    // After the fuzz bytes: a status line and every header a text call may wait for.
    server = new FuzzReplyServer("SEND /login ", "ZM/1.0 200 OK\n", "SEND /",
                                 "ZM/1.0 200 OK\nUsers: a\nLength: 1\nMessage: m\nNick: n\nState: 1\n");
    session = new ZMsgFw10Q;
    return 0;
}

static bool isLegacyObject(const QString &object)
{
    return FuzzSupport::isIncomingObjectShape(object) || object == QLatin1String("update")
        || object == QLatin1String("ping/pong");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    server->setReply(FuzzSupport::bytes(data + 1, size - 1));
    if (!session->isLoggedIn())
        FUZZ_CHECK(session->loginUser(QStringLiteral("fuzz"), QStringLiteral("secret")) == 200);

    const QString user = QStringLiteral("anna");
    switch (data[0] % 8) {
    case 0:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserContactsWithStates()));
        break;
    case 1:
        session->getUserOnlineState();
        break;
    case 2:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserNick()));
        break;
    case 3:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserMessageState()));
        break;
    case 4:
        session->addUserContact(user);
        break;
    case 5:
        session->sendMessageToUser(user, QStringLiteral("hello there"));
        break;
    case 6:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserFriendRequestsLength()));
        break;
    default:
        session->sendPokeToUser(user);
        break;
    }
    for (int i = 0; i < 1000 && session->isObjectIncoming(); ++i)
        FUZZ_CHECK(isLegacyObject(session->readObject()));
    return 0;
}
