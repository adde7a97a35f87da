// Replies and pushed lines of a generation 1.1 server, read through the library's real TLS
// session: the first input byte picks the call, the rest is what the server answers.
#include "fuzzreplyserver.h"
#include "zmsgfw111q.h"

namespace {
FuzzReplyServer *server = nullptr;
ZMsgFw111Q *session = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    FuzzSupport::makeApplication();
    // After the fuzzed answer, a reply for every call below, so that a call whose reply the
    // input did not hold ends at once instead of waiting out its five seconds.
    QByteArray replies;
    for (const char *word : {"contactswithstates", "onlinestate", "nick", "profileinfo", "anotheruseronlinestate",
                             "contactsrequests", "contactsrequestslength", "contactrequestslength"})
        replies += QByteArray("ZM/1.1 return --rq=") + word + " --id=200\n";
    for (const char *word : {"addcontact", "sendmessage"})
        replies += QByteArray("ZM/1.1 return --at=") + word + " --id=200\n";
    server = new FuzzReplyServer("ZM/1.1 login", "ZM/1.1 return --id=200\n", "ZM/1.1 ", replies);
    session = new ZMsgFw111Q;
    QObject::connect(session, &ZMsgFw111Q::objectIncomed, session,
                     [](const QString &object) { FUZZ_CHECK(FuzzSupport::isIncomingObjectShape(object)); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!FuzzSupport::takeInput(*server, *session, data, size))
        return 0;
    const QString user = QStringLiteral("anna");
    const int call = data[0] % (FuzzSupport::SharedCalls + 5);
    switch (call - FuzzSupport::SharedCalls) {
    case 0:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserProfileInfo(user)));
        break;
    case 1:
        session->getAnotherUserOnlineState(user);
        break;
    case 2:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserContactsRequests()));
        break;
    case 3:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserFriendRequestsLength()));
        break;
    case 4:
        FUZZ_CHECK(session->requestGetUserContactsWithStates() || !session->isLoggedIn());
        break;
    default:
        FuzzSupport::runSharedCall(*session, call);
        break;
    }
    FuzzSupport::readPushedObjects(*session, FuzzSupport::isIncomingObjectShape);
    return 0;
}
