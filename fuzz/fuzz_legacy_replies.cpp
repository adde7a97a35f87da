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
    if (!FuzzSupport::takeInput(*server, *session, data, size))
        return 0;
    const QString user = QStringLiteral("anna");
    const int call = data[0] % (FuzzSupport::SharedCalls + 4);
    switch (call - FuzzSupport::SharedCalls) {
    case 0:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserMessageState()));
        break;
    case 1:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserFriendRequestsLength()));
        break;
    case 2:
        session->sendPokeToUser(user);
        break;
    default:
        FuzzSupport::runSharedCall(*session, call);
        break;
    }
    FuzzSupport::readPushedObjects(*session, isLegacyObject);
    return 0;
}
