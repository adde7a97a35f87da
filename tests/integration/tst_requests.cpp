#include "concurrent.h"
#include "hermetic.h"
#include "tlstestserver.h"

#include <zmsgfw111q.h>
#include <zmsgfw11q.h>

#include <QMutex>
#include <QRegularExpression>

#include <functional>
#include <memory>

namespace {

using Member = std::function<QVariant(ZMsgFw11Session &)>;

ZMsgFw111Q &avatarClass(ZMsgFw11Session &client)
{
    return dynamic_cast<ZMsgFw111Q &>(client);
}

// Every member of both classes by name, so that the data tables can name them.
const QHash<QString, Member> &members()
{
    static const QHash<QString, Member> table{
        {QStringLiteral("requestGetUserContacts"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserContacts()); }},
        {QStringLiteral("requestGetUserContactsLength"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserContactsLength()); }},
        {QStringLiteral("requestGetUserContactsWithStates"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserContactsWithStates()); }},
        {QStringLiteral("requestGetUserContactsRequests"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserContactsRequests()); }},
        {QStringLiteral("requestGetUserFriendRequests"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserFriendRequests()); }},
        {QStringLiteral("requestGetUserFriendRequestsLength"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserFriendRequestsLength()); }},
        {QStringLiteral("requestGetUserOnlineState"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserOnlineState()); }},
        {QStringLiteral("requestGetUserMessageState"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserMessageState()); }},
        {QStringLiteral("requestGetUserNick"), [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserNick()); }},
        {QStringLiteral("requestGetUserMail"), [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserMail()); }},
        {QStringLiteral("requestGetAnotherUserOnlineState"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetAnotherUserOnlineState(QStringLiteral("a b&c"))); }},
        {QStringLiteral("requestGetAnotherUserMessageState"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetAnotherUserMessageState(QStringLiteral("anna"))); }},
        {QStringLiteral("requestGetAnotherUserNick"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetAnotherUserNick(QStringLiteral("anna"))); }},
        {QStringLiteral("requestGetAnotherUserMail"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetAnotherUserMail(QStringLiteral("anna"))); }},
        {QStringLiteral("requestGetUserProfileInfo"),
         [](ZMsgFw11Session &c) { return QVariant(c.requestGetUserProfileInfo(QStringLiteral("Jürgen"))); }},
        {QStringLiteral("requestGetUserContactsWithAvatar"),
         [](ZMsgFw11Session &c) { return QVariant(avatarClass(c).requestGetUserContactsWithAvatar()); }},
        {QStringLiteral("requestGetUserAvatar"),
         [](ZMsgFw11Session &c) { return QVariant(avatarClass(c).requestGetUserAvatar()); }},
        {QStringLiteral("actionAddUserContact"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionAddUserContact(QStringLiteral("anna"))); }},
        {QStringLiteral("actionDelUserContact"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionDelUserContact(QStringLiteral("anna"))); }},
        {QStringLiteral("actionRemoveUserContact"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionRemoveUserContact(QStringLiteral("anna"))); }},
        {QStringLiteral("actionSetUserOnlineState"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionSetUserOnlineState(2)); }},
        {QStringLiteral("actionSetUserMessageState"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionSetUserMessageState(QStringLiteral("at home & away"))); }},
        {QStringLiteral("actionSetUserNick"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionSetUserNick(QStringLiteral("Ann"))); }},
        {QStringLiteral("actionSetUserMail true"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionSetUserMail(QStringLiteral("a@b.c"), true)); }},
        {QStringLiteral("actionSetUserMail false"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionSetUserMail(QStringLiteral("a@b.c"), false)); }},
        {QStringLiteral("actionSetUserPassword"),
         [](ZMsgFw11Session &c) {
             return QVariant(c.actionSetUserPassword(QStringLiteral("old pw"), QStringLiteral("new&pw")));
         }},
        {QStringLiteral("actionSendPokeToUser"),
         [](ZMsgFw11Session &c) { return QVariant(c.actionSendPokeToUser(QStringLiteral("ben"))); }},
        {QStringLiteral("actionSendMessageToUser id 7"),
         [](ZMsgFw11Session &c) {
             return QVariant(c.actionSendMessageToUser(QStringLiteral("ben"), QStringLiteral("hi there"), 7));
         }},
        {QStringLiteral("actionSendMessageToUser id 0"),
         [](ZMsgFw11Session &c) {
             return QVariant(c.actionSendMessageToUser(QStringLiteral("ben"), QStringLiteral("hi there"), 0));
         }},
        {QStringLiteral("actionSendMessageToUser id -3"),
         [](ZMsgFw11Session &c) {
             return QVariant(c.actionSendMessageToUser(QStringLiteral("ben"), QStringLiteral("hi"), -3));
         }},
        {QStringLiteral("getUserContacts"), [](ZMsgFw11Session &c) { return QVariant(c.getUserContacts()); }},
        {QStringLiteral("getUserContactsLength"),
         [](ZMsgFw11Session &c) { return QVariant(c.getUserContactsLength()); }},
        {QStringLiteral("getUserContactsRequests"),
         [](ZMsgFw11Session &c) { return QVariant(c.getUserContactsRequests()); }},
        {QStringLiteral("getUserFriendRequests"),
         [](ZMsgFw11Session &c) { return QVariant(c.getUserFriendRequests()); }},
        {QStringLiteral("getUserFriendRequestsLength"),
         [](ZMsgFw11Session &c) { return QVariant(c.getUserFriendRequestsLength()); }},
        {QStringLiteral("getUserContactsWithStates"),
         [](ZMsgFw11Session &c) { return QVariant(c.getUserContactsWithStates()); }},
        {QStringLiteral("getUserOnlineState"), [](ZMsgFw11Session &c) { return QVariant(c.getUserOnlineState()); }},
        {QStringLiteral("getAnotherUserOnlineState"),
         [](ZMsgFw11Session &c) { return QVariant(c.getAnotherUserOnlineState(QStringLiteral("anna"))); }},
        {QStringLiteral("getUserMessageState"), [](ZMsgFw11Session &c) { return QVariant(c.getUserMessageState()); }},
        {QStringLiteral("getAnotherUserMessageState"),
         [](ZMsgFw11Session &c) { return QVariant(c.getAnotherUserMessageState(QStringLiteral("anna"))); }},
        {QStringLiteral("getUserNick"), [](ZMsgFw11Session &c) { return QVariant(c.getUserNick()); }},
        {QStringLiteral("getAnotherUserNick"),
         [](ZMsgFw11Session &c) { return QVariant(c.getAnotherUserNick(QStringLiteral("a b"))); }},
        {QStringLiteral("getUserMail"), [](ZMsgFw11Session &c) { return QVariant(c.getUserMail()); }},
        {QStringLiteral("getAnotherUserMail"),
         [](ZMsgFw11Session &c) { return QVariant(c.getAnotherUserMail(QStringLiteral("anna"))); }},
        {QStringLiteral("getUserProfileInfo"),
         [](ZMsgFw11Session &c) { return QVariant(c.getUserProfileInfo(QStringLiteral("anna"))); }},
        {QStringLiteral("getUserAvatar"), [](ZMsgFw11Session &c) { return QVariant(avatarClass(c).getUserAvatar()); }},
        {QStringLiteral("addUserContact"),
         [](ZMsgFw11Session &c) { return QVariant(c.addUserContact(QStringLiteral("anna"))); }},
        {QStringLiteral("delUserContact"),
         [](ZMsgFw11Session &c) { return QVariant(c.delUserContact(QStringLiteral("anna"))); }},
        {QStringLiteral("removeUserContact"),
         [](ZMsgFw11Session &c) { return QVariant(c.removeUserContact(QStringLiteral("anna"))); }},
        {QStringLiteral("setUserOnlineState"), [](ZMsgFw11Session &c) { return QVariant(c.setUserOnlineState(4)); }},
        {QStringLiteral("setUserMessageState"),
         [](ZMsgFw11Session &c) { return QVariant(c.setUserMessageState(QStringLiteral("back soon"))); }},
        {QStringLiteral("setUserNick"),
         [](ZMsgFw11Session &c) { return QVariant(c.setUserNick(QStringLiteral("Ann & Co"))); }},
        {QStringLiteral("setUserMail"),
         [](ZMsgFw11Session &c) { return QVariant(c.setUserMail(QStringLiteral("a@b.c"), false)); }},
        {QStringLiteral("setUserPassword"),
         [](ZMsgFw11Session &c) { return QVariant(c.setUserPassword(QStringLiteral("old"), QStringLiteral("new"))); }},
        {QStringLiteral("sendPokeToUser"),
         [](ZMsgFw11Session &c) { return QVariant(c.sendPokeToUser(QStringLiteral("ben"))); }},
        {QStringLiteral("sendMessageToUser"),
         [](ZMsgFw11Session &c) {
             return QVariant(c.sendMessageToUser(QStringLiteral("ben"), QStringLiteral("hi &nbsp; you")));
         }},
    };
    return table;
}

// A logged-in client of either class against its own scripted server.
class Harness
{
public:
    explicit Harness(bool legacyClass, TlsTestServer::LineHandler answer = {})
    {
        m_server.setLineHandler([answer](const QByteArray &line) {
            if (line.startsWith("ZM/1.1 login "))
                return QByteArray("ZM/1.1 return --id=200\n");
            return answer ? answer(line) : QByteArray();
        });
        if (legacyClass) {
            auto *client = new ZMsgFw11Q;
            QObject::connect(client, &ZMsgFw11Q::objectIncomed, client, [this](const QString &o) { m_objects << o; });
            m_client.reset(client);
        } else {
            auto *client = new ZMsgFw111Q;
            QObject::connect(client, &ZMsgFw111Q::objectIncomed, client, [this](const QString &o) { m_objects << o; });
            m_client.reset(client);
        }
    }

    // Login may run on several threads at once; the endpoint lives in the environment.
    bool start(bool login = true)
    {
        static QMutex endpointLock;
        if (!m_server.listenOnLoopback())
            return false;
        if (!login)
            return true;
        QMutexLocker lock(&endpointLock);
        m_server.exportEndpoint();
        return m_client->loginUser(QStringLiteral("me"), QStringLiteral("pw")) == 200;
    }

    ZMsgFw11Session &client() { return *m_client; }
    TlsTestServer &server() { return m_server; }
    const QStringList &objects() const { return m_objects; }
    // Lines written after the login line.
    QList<QByteArray> written() const { return m_server.receivedLines().mid(1); }

private:
    TlsTestServer m_server;
    QStringList m_objects;
    std::unique_ptr<ZMsgFw11Session> m_client;
};

QByteArray reply(const QByteArray &arguments)
{
    return "ZM/1.1 return " + arguments + "\n";
}

} // namespace

class TestRequests : public QObject
{
    Q_OBJECT
private slots:
    void asynchronousLines_data();
    void asynchronousLines();
    void synchronousCalls_data();
    void synchronousCalls();
    void resultRules_data();
    void resultRules();
    void waitingOutcomes();
    void nothingWrittenWithoutSession_data();
    void nothingWrittenWithoutSession();
    void lineBreaksAreRefused_data();
    void lineBreaksAreRefused();
    void bufferedLinesBeforeCallAreHandedOn();
    void pushJustBeforeReply_data();
    void pushJustBeforeReply();
    void replySplitAcrossRecords();
    void incomingObjects_data();
    void incomingObjects();
    void halfLineStaysBuffered();
    void asyncRepliesArriveAsObjectsInOrder();
};

void TestRequests::asynchronousLines_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("legacyClass");
    QTest::addColumn<QByteArray>("line");
    const QList<bool> both{false, true};
    struct Row {
        const char *member;
        const char *line;
    };
    const Row common[] = {
        {"requestGetUserContacts", "ZM/1.1 request --rq=contacts"},
        {"requestGetUserContactsLength", "ZM/1.1 request --rq=contactslength"},
        {"requestGetUserContactsWithStates", "ZM/1.1 request --rq=contactswithstates"},
        {"requestGetUserContactsRequests", "ZM/1.1 request --rq=contactsrequests"},
        {"requestGetUserFriendRequests", "ZM/1.1 request --rq=contactsrequests"},
        {"requestGetUserFriendRequestsLength", "ZM/1.1 request --rq=contactsrequestslength"},
        {"requestGetUserOnlineState", "ZM/1.1 request --rq=onlinestate"},
        {"requestGetUserMessageState", "ZM/1.1 request --rq=messagestate"},
        {"requestGetUserNick", "ZM/1.1 request --rq=nick"},
        {"requestGetAnotherUserOnlineState", "ZM/1.1 request --rq=anotheruseronlinestate --username=a&nbsp;b&amp;c"},
        {"requestGetAnotherUserMessageState", "ZM/1.1 request --rq=anotherusermessagestate --username=anna"},
        {"requestGetAnotherUserNick", "ZM/1.1 request --rq=anotherusernick --username=anna"},
        {"requestGetAnotherUserMail", "ZM/1.1 request --rq=anotherusermail --username=anna"},
        {"requestGetUserProfileInfo", "ZM/1.1 request --rq=profileinfo --username=J\xc3\xbcrgen"},
        {"actionAddUserContact", "ZM/1.1 action --at=addcontact --username=anna"},
        {"actionDelUserContact", "ZM/1.1 action --at=delcontact --username=anna"},
        {"actionRemoveUserContact", "ZM/1.1 action --at=delcontact --username=anna"},
        {"actionSetUserOnlineState", "ZM/1.1 action --at=setonlinestate --state=2"},
        {"actionSetUserMessageState", "ZM/1.1 action --at=setmessagestate --message=at&nbsp;home&nbsp;&amp;&nbsp;away"},
        {"actionSetUserNick", "ZM/1.1 action --at=setnick --nick=Ann"},
        {"actionSetUserMail true", "ZM/1.1 action --at=setmail --mail=a@b.c --vfo=true"},
        {"actionSetUserMail false", "ZM/1.1 action --at=setmail --mail=a@b.c --vfo=false"},
        {"actionSetUserPassword", "ZM/1.1 action --at=setpassword --oldpassword=old&nbsp;pw --newpassword=new&amp;pw"},
        {"actionSendPokeToUser", "ZM/1.1 action --at=sendpoke --username=ben"},
        {"actionSendMessageToUser id 7",
         "ZM/1.1 action --at=sendmessage --username=ben --message=hi&nbsp;there --id=7"},
        {"actionSendMessageToUser id 0", "ZM/1.1 action --at=sendmessage --username=ben --message=hi&nbsp;there"},
        {"actionSendMessageToUser id -3", "ZM/1.1 action --at=sendmessage --username=ben --message=hi"},
    };
    for (bool legacy : both) {
        for (const Row &row : common)
            QTest::addRow("%s %s", legacy ? "11Q" : "111Q", row.member) << row.member << legacy << QByteArray(row.line);
    }
    QTest::newRow("111Q requestGetUserMail") << "requestGetUserMail" << false << QByteArray("ZM/1.1 request --rq=mail");
    QTest::newRow("11Q requestGetUserMail")
        << "requestGetUserMail" << true << QByteArray("ZM/1.1 request --rq=usermail");
    QTest::newRow("111Q requestGetUserContactsWithAvatar")
        << "requestGetUserContactsWithAvatar" << false << QByteArray("ZM/1.1 request --rq=contactswithavatar");
    QTest::newRow("111Q requestGetUserAvatar")
        << "requestGetUserAvatar" << false << QByteArray("ZM/1.1 request --rq=avatar");
}

void TestRequests::asynchronousLines()
{
    QFETCH(QString, member);
    QFETCH(bool, legacyClass);
    QFETCH(QByteArray, line);
    Harness harness(legacyClass);
    QVERIFY(harness.start());
    QCOMPARE(members().value(member)(harness.client()), QVariant(true));
    QVERIFY(harness.server().waitForLines(2));
    QCOMPARE(harness.written(), QList<QByteArray>{line + "\n"});
}

void TestRequests::synchronousCalls_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<bool>("legacyClass");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QVariant>("result");
    struct Row {
        const char *member;
        const char *line;
        const char *answer;
        QVariant result;
    };
    const Row common[] = {
        {"getUserContacts", "request --rq=contacts", "--rq=contacts --id=200 --users=anna<>ben&nbsp;b",
         QStringLiteral("anna\nben b")},
        {"getUserContactsLength", "request --rq=contactslength", "--rq=contactslength --id=200 --length=3",
         QStringLiteral("3")},
        {"getUserContactsRequests", "request --rq=contactsrequests", "--rq=contactsrequests --id=200 --users=x<>y",
         QStringLiteral("x\ny")},
        {"getUserFriendRequests", "request --rq=contactsrequests", "--rq=contactsrequests --id=200 --users=x",
         QStringLiteral("x")},
        {"getUserFriendRequestsLength", "request --rq=contactsrequestslength",
         "--rq=contactrequestslength --id=200 --length=3", QStringLiteral("3")},
        {"getUserContactsWithStates", "request --rq=contactswithstates",
         "--id=200 --rq=contactswithstates --users=a|1<>b|8", QStringLiteral("a|1\nb|8")},
        {"getUserOnlineState", "request --rq=onlinestate", "--rq=onlinestate --id=200 --state=3", 3},
        {"getAnotherUserOnlineState", "request --rq=anotheruseronlinestate --username=anna",
         "--rq=anotheruseronlinestate --id=200 --state=2", 2},
        {"getUserMessageState", "request --rq=messagestate", "--rq=messagestate --id=200 --message=at&nbsp;home",
         QStringLiteral("at home")},
        {"getAnotherUserMessageState", "request --rq=anotherusermessagestate --username=anna",
         "--rq=anotherusermessagestate --id=200 --message=busy", QStringLiteral("busy")},
        {"getUserNick", "request --rq=nick", "--rq=nick --id=200 --nick=Ann&amp;Co", QStringLiteral("Ann&Co")},
        {"getAnotherUserNick", "request --rq=anotherusernick --username=a&nbsp;b",
         "--rq=anotherusernick --id=200 --nick=Bee", QStringLiteral("Bee")},
        {"getAnotherUserMail", "request --rq=anotherusermail --username=anna",
         "--rq=anotherusermail --id=200 --mail=a@b.c", QStringLiteral("a@b.c")},
        {"getUserProfileInfo", "request --rq=profileinfo --username=anna",
         "--rq=profileinfo --id=200 --image=p&amp;&nbsp;q", QStringLiteral("p& q")},
        {"getUserMail", nullptr, "--rq=mail --id=200 --mail=me@b.c", QStringLiteral("me@b.c")},
        {"addUserContact", "action --at=addcontact --username=anna", "--at=addcontact --id=200", 200},
        {"delUserContact", "action --at=delcontact --username=anna", "--at=delcontact --id=404", 404},
        {"removeUserContact", "action --at=delcontact --username=anna", "--at=delcontact --id=200", 200},
        {"setUserOnlineState", "action --at=setonlinestate --state=4", "--at=setonlinestate --id=200", 200},
        {"setUserMessageState", "action --at=setmessagestate --message=back&nbsp;soon", "--at=setmessagestate --id=200",
         200},
        {"setUserNick", "action --at=setnick --nick=Ann&nbsp;&amp;&nbsp;Co", "--at=setnick --id=200", 200},
        {"setUserMail", "action --at=setmail --mail=a@b.c --vfo=false", "--at=setmail --id=200", 200},
        {"setUserPassword", "action --at=setpassword --oldpassword=old --newpassword=new", "--at=setpassword --id=300",
         300},
        {"sendPokeToUser", "action --at=sendpoke --username=ben", "--at=sendpoke --id=404", 404},
        {"sendMessageToUser", "action --at=sendmessage --username=ben --message=hi&nbsp;&amp;nbsp;&nbsp;you",
         "--at=sendmessage --id=200", 200},
    };
    for (bool legacy : {false, true}) {
        for (const Row &row : common) {
            QByteArray line =
                row.line ? QByteArray(row.line) : QByteArray(legacy ? "request --rq=usermail" : "request --rq=mail");
            QTest::addRow("%s %s", legacy ? "11Q" : "111Q", row.member)
                << row.member << legacy << "ZM/1.1 " + line + "\n"
                << reply(row.answer) << row.result;
        }
    }
    QTest::newRow("111Q getUserAvatar") << "getUserAvatar" << false << QByteArray("ZM/1.1 request --rq=avatar\n")
                                        << reply("--rq=avatar --id=200 --avatar=9f&nbsp;1")
                                        << QVariant(QStringLiteral("9f 1"));
}

void TestRequests::synchronousCalls()
{
    QFETCH(QString, member);
    QFETCH(bool, legacyClass);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    QFETCH(QVariant, result);
    Harness harness(legacyClass, [answer](const QByteArray &) { return answer; });
    QVERIFY(harness.start());
    QCOMPARE(members().value(member)(harness.client()), result);
    QCOMPARE(harness.written(), QList<QByteArray>{line});
    QVERIFY(harness.objects().isEmpty());
}

void TestRequests::resultRules_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QVariant>("result");
    QTest::newRow("text, server code") << "getUserNick" << reply("--rq=nick --id=404 --nick=x")
                                       << QVariant(QStringLiteral("///Error 404"));
    QTest::newRow("text, missing id") << "getUserNick" << reply("--rq=nick --nick=x")
                                      << QVariant(QStringLiteral("///Error 500"));
    QTest::newRow("text, non-numeric id")
        << "getUserNick" << reply("--rq=nick --id=abc --nick=x") << QVariant(QStringLiteral("///Error 0"));
    QTest::newRow("text, no answer argument") << "getUserNick" << reply("--rq=nick --id=200") << QVariant(QString());
    QTest::newRow("text, two spaces") << "getUserNick" << reply("--rq=nick  --id=200  --nick=x")
                                      << QVariant(QStringLiteral("x"));
    QTest::newRow("text, later key wins")
        << "getUserNick" << reply("--nick=a --rq=nick --id=200 --nick=b") << QVariant(QStringLiteral("b"));
    QTest::newRow("text, escaped rq word")
        << "getUserNick" << reply("--rq=ni&amp;ck --id=200 --rq=nick --nick=x") << QVariant(QStringLiteral("x"));
    QTest::newRow("action, missing id") << "addUserContact" << reply("--at=addcontact") << QVariant(500);
    QTest::newRow("action, non-numeric id") << "addUserContact" << reply("--at=addcontact --id=x1") << QVariant(0);
    QTest::newRow("action, two spaces") << "addUserContact" << reply("--at=addcontact  --id=200") << QVariant(200);
    QTest::newRow("action, id not unescaped")
        << "addUserContact" << reply("--at=addcontact --id=&nbsp;200") << QVariant(0);
    QTest::newRow("state, server code") << "getUserOnlineState" << reply("--rq=onlinestate --id=404 --state=2")
                                        << QVariant(501);
    QTest::newRow("state, missing id") << "getUserOnlineState" << reply("--rq=onlinestate --state=2") << QVariant(501);
    QTest::newRow("state, missing state") << "getUserOnlineState" << reply("--rq=onlinestate --id=200") << QVariant(0);
    QTest::newRow("state, non-numeric state")
        << "getUserOnlineState" << reply("--rq=onlinestate --id=200 --state=x") << QVariant(0);
    QTest::newRow("list, entries unescaped")
        << "getUserContacts" << reply("--rq=contacts --id=200 --users=a&amp;lt;<>b&nbsp;c")
        << QVariant(QStringLiteral("a&lt;\nb c"));
}

void TestRequests::resultRules()
{
    QFETCH(QString, member);
    QFETCH(QByteArray, answer);
    QFETCH(QVariant, result);
    Harness harness(false, [answer](const QByteArray &) { return answer; });
    QVERIFY(harness.start());
    QCOMPARE(members().value(member)(harness.client()), result);
    QVERIFY(harness.objects().isEmpty());
}

// Every case here waits out the reply limit, so they all wait at the same time.
void TestRequests::waitingOutcomes()
{
    struct Case {
        const char *name;
        const char *member;
        QByteArray answer; // sent instead of a reply
        QVariant result;
        QStringList objects;
    };
    // The reply limit, shortened so that no case waits out 5000 ms; long enough for a foreign
    // line to come first on a loaded machine.
    constexpr int ReplyTimeout = 1000;
    const QByteArray push = "ZM/1.1 message --username=ben --message=hi --mid=4\n";
    const QString pushObject = QStringLiteral("MessageFromUser<>ben: hi\n");
    const QList<Case> cases{
        {"silent action", "addUserContact", {}, 500, {}},
        {"silent state", "getUserOnlineState", {}, 501, {}},
        {"silent text", "getUserNick", {}, QStringLiteral("///Error 500"), {}},
        {"foreign line, action", "addUserContact", push, 601, {pushObject}},
        {"foreign line, state", "getUserOnlineState", push, 601, {pushObject}},
        {"foreign line, text", "getUserNick", push, QStringLiteral("///Error 601"), {pushObject}},
        {"wrong at word",
         "delUserContact",
         reply("--at=addcontact --id=200"),
         601,
         {QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--at=addcontact<>--id=200")}},
        {"wrong rq word",
         "getUserNick",
         reply("--rq=anotherusernick --id=200 --nick=x"),
         QStringLiteral("///Error 601"),
         {QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=anotherusernick<>--id=200<>--nick=x")}},
        {"two-word return",
         "sendPokeToUser",
         "ZM/1.1 return\n",
         601,
         {QStringLiteral("ReturnIntialize<>ZM/1.1<>return")}},
        {"other tag", "getUserContacts", "ZM/1.0 200 OK\n", QStringLiteral("///Error 601"), {QStringLiteral("")}},
        {"11Q mail reply word",
         "getUserMail",
         reply("--rq=usermail --id=200 --mail=x"),
         QStringLiteral("///Error 601"),
         {QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=usermail<>--id=200<>--mail=x")}},
    };
    QVector<QVariant> results(cases.size());
    QVector<QStringList> objects(cases.size());
    QVector<bool> started(cases.size());
    QList<std::function<void()>> jobs;
    for (int i = 0; i < cases.size(); ++i) {
        jobs << [&, i] {
            const Case &c = cases.at(i);
            Harness harness(QByteArray(c.name).startsWith("11Q"),
                            [answer = c.answer](const QByteArray &) { return answer; });
            started[i] = harness.start();
            harness.client().setReplyTimeout(ReplyTimeout);
            results[i] = members().value(QString::fromUtf8(c.member))(harness.client());
            objects[i] = harness.objects();
        };
    }
    QElapsedTimer timer;
    timer.start();
    runConcurrently(jobs);
    for (int i = 0; i < cases.size(); ++i) {
        const Case &c = cases.at(i);
        QVERIFY2(started.at(i), c.name);
        QVERIFY2(results.at(i) == c.result,
                 qPrintable(QStringLiteral("%1: %2").arg(QString::fromUtf8(c.name), results.at(i).toString())));
        QVERIFY2(objects.at(i) == c.objects, c.name);
    }
    QVERIFY(timer.elapsed() >= ReplyTimeout);
    QCOMPARE(ZMsgFw111Q().replyTimeout(), 5000);
    QCOMPARE(ZMsgFw11Q().replyTimeout(), 5000);
}

void TestRequests::nothingWrittenWithoutSession_data()
{
    QTest::addColumn<QString>("stage");
    QTest::newRow("before login") << "never";
    QTest::newRow("after logout") << "logout";
    QTest::newRow("after the server closed") << "closed";
}

void TestRequests::nothingWrittenWithoutSession()
{
    QFETCH(QString, stage);
    Harness harness(false);
    QVERIFY(harness.start(stage != QStringLiteral("never")));
    if (stage == QStringLiteral("logout")) {
        QCOMPARE(harness.client().logoutUser(), 0);
    } else if (stage == QStringLiteral("closed")) {
        harness.server().closeClient();
        QTRY_VERIFY(!harness.client().isLoggedIn());
    }
    for (auto it = members().cbegin(); it != members().cend(); ++it) {
        const QVariant result = it.value()(harness.client());
        const QString name = it.key();
        if (name.startsWith(QStringLiteral("request")) || name.startsWith(QStringLiteral("action")))
            QCOMPARE(result, QVariant(false));
        else if (name.endsWith(QStringLiteral("OnlineState")) || result.type() == QVariant::Int)
            QCOMPARE(result, QVariant(501));
        else
            QCOMPARE(result, QVariant(QStringLiteral("///Error 500")));
    }
    QCOMPARE(harness.server().receivedLines().size(), stage == QStringLiteral("never") ? 0 : 1);
}

void TestRequests::lineBreaksAreRefused_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("line feed") << "anna\nZM/1.1 action --at=delcontact --username=ben";
    QTest::newRow("carriage return") << "anna\rx";
}

void TestRequests::lineBreaksAreRefused()
{
    QFETCH(QString, value);
    Harness harness(false, [](const QByteArray &) { return reply("--rq=nick --id=200 --nick=n"); });
    QVERIFY(harness.start());
    ZMsgFw111Q &client = avatarClass(harness.client());
    for (int i = 0; i < 9; ++i)
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("refused to write a value containing a line break")));
    QCOMPARE(client.actionAddUserContact(value), false);
    QCOMPARE(client.requestGetAnotherUserNick(value), false);
    QCOMPARE(client.actionSetUserPassword(QStringLiteral("old"), value), false);
    QCOMPARE(client.actionSendMessageToUser(QStringLiteral("ben"), value, 3), false);
    QCOMPARE(client.addUserContact(value), 501);
    QCOMPARE(client.setUserMessageState(value), 501);
    QCOMPARE(client.sendMessageToUser(QStringLiteral("ben"), value), 501);
    QCOMPARE(client.getAnotherUserOnlineState(value), 501);
    QCOMPARE(client.getUserProfileInfo(value), QStringLiteral("///Error 500"));
    QCOMPARE(client.getUserNick(), QStringLiteral("n"));
    QCOMPARE(harness.written(), QList<QByteArray>{"ZM/1.1 request --rq=nick\n"});
    QVERIFY(client.isLoggedIn());
}

void TestRequests::bufferedLinesBeforeCallAreHandedOn()
{
    Harness harness(false, [](const QByteArray &) { return reply("--at=addcontact --id=200"); });
    QVERIFY(harness.start());
    harness.server().sendToClient("ZM/1.1 poke --username=ann\nZM/1.1 return --at=addcontact --id=404\n");
    QTRY_VERIFY(harness.client().isObjectIncoming());
    QTRY_VERIFY(harness.client().isObjectIncoming()); // both lines arrived in one record
    QCOMPARE(harness.client().addUserContact(QStringLiteral("bob")), 200);
    QCOMPARE(harness.objects(),
             QStringList({QStringLiteral("PokeFromUser<>ann\n"),
                          QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--at=addcontact<>--id=404")}));
    QVERIFY(!harness.client().isObjectIncoming());
}

void TestRequests::pushJustBeforeReply_data()
{
    QTest::addColumn<int>("delayMs");
    QTest::newRow("same record") << 0;
    QTest::newRow("reply in a later record") << 150;
}

void TestRequests::pushJustBeforeReply()
{
    QFETCH(int, delayMs);
    Harness *self = nullptr;
    Harness harness(false, [&self, delayMs](const QByteArray &) {
        const QByteArray push = "ZM/1.1 notification --nt=online --username=ann\n";
        const QByteArray answer = reply("--rq=onlinestate --id=200 --state=2");
        if (delayMs == 0)
            return push + answer;
        self->server().sendToClientLater(answer, delayMs);
        return push;
    });
    self = &harness;
    QVERIFY(harness.start());
    QCOMPARE(harness.client().getUserOnlineState(), 2);
    QCOMPARE(harness.objects(),
             QStringList{QStringLiteral("ReturnIntialize<>ZM/1.1<>notification<>--nt=online<>--username=ann")});
}

void TestRequests::replySplitAcrossRecords()
{
    QStringList users;
    for (int i = 0; i < 20000; ++i)
        users << QStringLiteral("user%1|Nick&nbsp;%1|status|1").arg(i);
    const QByteArray answer = reply("--rq=contacts --id=200 --users=" + users.join(QStringLiteral("<>")).toUtf8());
    Harness *self = nullptr;
    Harness harness(false, [&self, answer](const QByteArray &) {
        const int piece = answer.size() / 4;
        for (int i = 1; i < 4; ++i)
            self->server().sendToClientLater(answer.mid(i * piece, i == 3 ? -1 : piece), 40 * i);
        return answer.left(piece);
    });
    self = &harness;
    QVERIFY(harness.start());
    QCOMPARE(harness.client().getUserContacts(),
             users.join(QStringLiteral("\n")).replace(QStringLiteral("&nbsp;"), QStringLiteral(" ")));
    QVERIFY(harness.objects().isEmpty());
}

void TestRequests::incomingObjects_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("object");
    QTest::newRow("message") << QByteArray("ZM/1.1 message --username=a&nbsp;b --message=hi&nbsp;there --mid=3")
                             << "MessageFromUser<>a b: hi there\n";
    QTest::newRow("message, later key wins")
        << QByteArray("ZM/1.1 message --username=x --message=1 --username=y") << "MessageFromUser<>y: 1\n";
    QTest::newRow("message without text") << QByteArray("ZM/1.1 message --username=ann --message=") << "";
    QTest::newRow("message without sender") << QByteArray("ZM/1.1 message --message=hi") << "";
    QTest::newRow("poke") << QByteArray("ZM/1.1 poke --username=anna") << "PokeFromUser<>anna\n";
    QTest::newRow("poke without sender") << QByteArray("ZM/1.1 poke") << "";
    QTest::newRow("notification of two words")
        << QByteArray("ZM/1.1 notification") << "ReturnIntialize<>ZM/1.1<>notification";
    QTest::newRow("return with angle brackets")
        << QByteArray("ZM/1.1 return --rq=contacts --users=a<b<>c>d")
        << "ReturnIntialize<>ZM/1.1<>return<>--rq=contacts<>--users=a&lt;b&lt;&gt;c&gt;d";
    QTest::newRow("return with spaces") << QByteArray("ZM/1.1 return --nick=a&nbsp;b")
                                        << "ReturnIntialize<>ZM/1.1<>return<>--nick=a b";
    QTest::newRow("carriage return trimmed") << QByteArray("ZM/1.1 poke --username=anna\r") << "PokeFromUser<>anna\n";
    QTest::newRow("other verb") << QByteArray("ZM/1.1 hello --x=1") << "";
    QTest::newRow("other tag") << QByteArray("ZM/1.0 poke --username=anna") << "";
    QTest::newRow("one word") << QByteArray("ZM/1.1") << "";
    QTest::newRow("empty line") << QByteArray("") << "";
}

void TestRequests::incomingObjects()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, object);
    Harness harness(false);
    QVERIFY(harness.start());
    harness.server().sendToClient(line + "\n");
    QTRY_VERIFY(harness.client().isObjectIncoming());
    QCOMPARE(harness.client().readObject(), object);
    QVERIFY(!harness.client().isObjectIncoming());
    QVERIFY(harness.objects().isEmpty()); // polling never emits
}

void TestRequests::halfLineStaysBuffered()
{
    Harness harness(false);
    QVERIFY(harness.start());
    harness.server().sendToClient("ZM/1.1 poke --user");
    QTest::qWait(100); // nothing may become readable; give the half line time to arrive
    QVERIFY(!harness.client().isObjectIncoming());
    QCOMPARE(harness.client().readObject(), QString());
    harness.server().sendToClient("name=anna\n");
    QTRY_VERIFY(harness.client().isObjectIncoming());
    QCOMPARE(harness.client().readObject(), QStringLiteral("PokeFromUser<>anna\n"));
}

void TestRequests::asyncRepliesArriveAsObjectsInOrder()
{
    Harness harness(true, [](const QByteArray &line) {
        return line.contains("--rq=nick") ? reply("--rq=nick --id=200 --nick=me") : reply("--at=sendpoke --id=200");
    });
    QVERIFY(harness.start());
    QVERIFY(harness.client().requestGetUserNick());
    QVERIFY(harness.client().actionSendPokeToUser(QStringLiteral("ann")));
    QVERIFY(harness.server().waitForLines(3));
    QCOMPARE(harness.written(),
             QList<QByteArray>({"ZM/1.1 request --rq=nick\n", "ZM/1.1 action --at=sendpoke --username=ann\n"}));
    QStringList objects;
    QTRY_VERIFY((harness.client().isObjectIncoming() && (objects << harness.client().readObject()).size() == 2)
                || objects.size() == 2);
    QCOMPARE(objects,
             QStringList({QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=nick<>--id=200<>--nick=me"),
                          QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--at=sendpoke<>--id=200")}));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestRequests)
#include "tst_requests.moc"
