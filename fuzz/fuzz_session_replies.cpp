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
    if (size == 0)
        return 0;
    server->setReply(FuzzSupport::bytes(data + 1, size - 1));
    if (!session->isLoggedIn())
        FUZZ_CHECK(session->loginUser(QStringLiteral("fuzz"), QStringLiteral("secret")) == 200);

    const QString user = QStringLiteral("anna");
    switch (data[0] % 10) {
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
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserProfileInfo(user)));
        break;
    case 4:
        session->addUserContact(user);
        break;
    case 5:
        session->sendMessageToUser(user, QStringLiteral("hello there"));
        break;
    case 6:
        session->getAnotherUserOnlineState(user);
        break;
    case 7:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserContactsRequests()));
        break;
    case 8:
        FUZZ_CHECK(FuzzSupport::isResultText(session->getUserFriendRequestsLength()));
        break;
    default:
        FUZZ_CHECK(session->requestGetUserContactsWithStates() || !session->isLoggedIn());
        break;
    }
    // Whatever else came is read the way the main window polls for it.
    for (int i = 0; i < 1000 && session->isObjectIncoming(); ++i)
        FUZZ_CHECK(FuzzSupport::isIncomingObjectShape(session->readObject()));
    return 0;
}
