#include "concurrent.h"
#include "hermetic.h"
#include "tlstestserver.h"

#include <zmsgfw10.h>
#include <zmsgfw10q.h>
#include <zmsgfwwire.h>

#include <QMutex>
#include <QRegularExpression>

#include <functional>
#include <type_traits>

namespace {

const QByteArray LoginRequest = "SEND /login ZM/1.0\nUsername: me\nPassword: pw\n";

// One operation on either class; the C string class answers through UTF-8 texts.
struct Member {
    std::function<QVariant(ZMsgFw10Q &)> onQ;
    std::function<QVariant(ZMsgFw10 &)> onC;
};

QVariant text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

const QHash<QString, Member> &members()
{
    static const QHash<QString, Member> table{
        {QStringLiteral("getUserContacts"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserContacts()); },
          [](ZMsgFw10 &c) { return text(c.getUserContacts()); }}},
        {QStringLiteral("getUserContactsLength"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserContactsLength()); },
          [](ZMsgFw10 &c) { return text(c.getUserContactsLength()); }}},
        {QStringLiteral("getUserContactsRequests"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserContactsRequests()); },
          [](ZMsgFw10 &c) { return text(c.getUserContactsRequests()); }}},
        {QStringLiteral("getUserFriendRequests"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserFriendRequests()); },
          [](ZMsgFw10 &c) { return text(c.getUserFriendRequests()); }}},
        {QStringLiteral("getUserContactsWithStates"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserContactsWithStates()); },
          [](ZMsgFw10 &c) { return text(c.getUserContactsWithStates()); }}},
        {QStringLiteral("getUserFriendRequestsLength"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserFriendRequestsLength()); },
          [](ZMsgFw10 &c) { return text(c.getUserFriendRequestsLength()); }}},
        {QStringLiteral("getUserMessageState"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserMessageState()); },
          [](ZMsgFw10 &c) { return text(c.getUserMessageState()); }}},
        {QStringLiteral("getUserNick"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserNick()); }, [](ZMsgFw10 &c) { return text(c.getUserNick()); }}},
        {QStringLiteral("getUserOnlineState"),
         {[](ZMsgFw10Q &c) { return QVariant(c.getUserOnlineState()); },
          [](ZMsgFw10 &c) { return QVariant(c.getUserOnlineState()); }}},
        {QStringLiteral("addUserContact"),
         {[](ZMsgFw10Q &c) { return QVariant(c.addUserContact(QStringLiteral("anna"))); },
          [](ZMsgFw10 &c) { return QVariant(c.addUserContact("anna")); }}},
        {QStringLiteral("delUserContact"),
         {[](ZMsgFw10Q &c) { return QVariant(c.delUserContact(QStringLiteral("anna"))); },
          [](ZMsgFw10 &c) { return QVariant(c.delUserContact("anna")); }}},
        {QStringLiteral("removeUserContact"),
         {[](ZMsgFw10Q &c) { return QVariant(c.removeUserContact(QStringLiteral("anna"))); },
          [](ZMsgFw10 &c) { return QVariant(c.removeUserContact("anna")); }}},
        {QStringLiteral("setUserOnlineState"),
         {[](ZMsgFw10Q &c) { return QVariant(c.setUserOnlineState(2)); },
          [](ZMsgFw10 &c) { return QVariant(c.setUserOnlineState(2)); }}},
        {QStringLiteral("setUserMessageState"),
         {[](ZMsgFw10Q &c) { return QVariant(c.setUserMessageState(QStringLiteral("at home & more"))); },
          [](ZMsgFw10 &c) { return QVariant(c.setUserMessageState("at home & more")); }}},
        {QStringLiteral("setUserAvatar"),
         {[](ZMsgFw10Q &c) { return QVariant(c.setUserAvatar(QStringLiteral("abc"), QStringLiteral("png"))); },
          [](ZMsgFw10 &c) { return QVariant(c.setUserAvatar("abc", "png")); }}},
        {QStringLiteral("setUserNick"),
         {[](ZMsgFw10Q &c) { return QVariant(c.setUserNick(QStringLiteral("Jürgen"))); },
          [](ZMsgFw10 &c) { return QVariant(c.setUserNick("Jürgen")); }}},
        {QStringLiteral("setUserMail"),
         {[](ZMsgFw10Q &c) { return QVariant(c.setUserMail(QStringLiteral("a@b.c"), true)); },
          [](ZMsgFw10 &c) { return QVariant(c.setUserMail("a@b.c", true)); }}},
        {QStringLiteral("setUserPassword"),
         {[](ZMsgFw10Q &c) { return QVariant(c.setUserPassword(QStringLiteral("old"), QStringLiteral("new"))); },
          [](ZMsgFw10 &c) { return QVariant(c.setUserPassword("old", "new")); }}},
        {QStringLiteral("sendMessageToUser"),
         {[](ZMsgFw10Q &c) { return QVariant(c.sendMessageToUser(QStringLiteral("ben"), QStringLiteral("hi there"))); },
          [](ZMsgFw10 &c) { return QVariant(c.sendMessageToUser("ben", "hi there")); }}},
        {QStringLiteral("sendPokeToUser"),
         {[](ZMsgFw10Q &c) { return QVariant(c.sendPokeToUser(QStringLiteral("ben"))); },
          [](ZMsgFw10 &c) { return QVariant(c.sendPokeToUser("ben")); }}},
    };
    return table;
}

// A scripted generation 1.0 server: a complete request (command line and headers) is
// answered with the bytes the script gives for it.
class LegacyServer
{
public:
    explicit LegacyServer(QHash<QByteArray, QByteArray> script)
    {
        script.insert(LoginRequest, "ZM/1.0 200 OK\n");
        m_server.setLineHandler([this, script](const QByteArray &line) {
            m_pending += line;
            const QByteArray answer = script.value(m_pending);
            if (script.contains(m_pending))
                m_pending.clear();
            return answer;
        });
    }
    bool listen()
    {
        static QMutex endpointLock;
        QMutexLocker lock(&endpointLock);
        if (!m_server.listenOnLoopback())
            return false;
        m_server.exportEndpoint();
        return true;
    }
    TlsTestServer &server() { return m_server; }
    // Everything written after the login request.
    QByteArray written() const { return m_server.receivedLines().mid(3).join(); }

private:
    // Written by the handler on the server's thread: it must outlive the server.
    QByteArray m_pending;
    TlsTestServer m_server;
};

// Logging in reads the endpoint from the environment; keep concurrent logins apart.
QMutex &loginLock()
{
    static QMutex lock;
    return lock;
}

template <typename Client> int login(Client &client, LegacyServer &server)
{
    QMutexLocker lock(&loginLock());
    server.server().exportEndpoint();
    // The C-string class takes its credentials as bytes.
    if constexpr (std::is_same_v<Client, ZMsgFw10>)
        return client.loginUser("me", "pw");
    else
        return client.loginUser(QStringLiteral("me"), QStringLiteral("pw"));
}

} // namespace

class TestLegacy : public QObject
{
    Q_OBJECT
private slots:
    void versionAndStandardAvatar();
    void operations_data();
    void operations();
    void statusLines_data();
    void statusLines();
    void loginStatus_data();
    void loginStatus();
    void waitingOutcomes();
    void nothingWrittenBeforeLogin();
    void lineBreaksAreRefused();
    void pushedObjects_data();
    void pushedObjects();
    void pingIsAnsweredOnce();
    void pushedObjectWithReplyIsKept_data();
    void pushedObjectWithReplyIsKept();
    void headerInLaterRecord();
    void pushedHeadersInLaterRecord_data();
    void pushedHeadersInLaterRecord();
    void pushedHeaderThatNeverComes();
    void endlessStatusLineBreaksConnection_data();
    void endlessStatusLineBreaksConnection();
    void pushFloodDuringCallIsBounded();
};

void TestLegacy::versionAndStandardAvatar()
{
    ZMsgFw10Q q;
    ZMsgFw10 c;
    QCOMPARE(q.getClassVersion(), QStringLiteral("1.0.0-5"));
    QCOMPARE(QByteArray(c.getClassVersion()), QByteArray("1.0.0-5"));
    QVERIFY(QFile::exists(QStringLiteral(":/avatar/zm-standard")));
    QCOMPARE(q.getMessengerStandardAvatar(), QString());
    QCOMPARE(QByteArray(c.getMessengerStandardAvatar()), QByteArray());
}

void TestLegacy::operations_data()
{
    QTest::addColumn<bool>("cStrings");
    QTest::addColumn<QString>("member");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QVariant>("result");
    struct Row {
        const char *member;
        const char *request;
        const char *answer;
        QVariant result;
    };
    const Row rows[] = {
        {"getUserContacts", "SEND /getusercontacts ZM/1.0\n", "ZM/1.0 200 OK\nUsers: anna<>ben\n",
         QStringLiteral("anna\nben")},
        {"getUserContactsLength", "SEND /getusercontactslength ZM/1.0\n", "ZM/1.0 200 OK\nLength: 2\n",
         QStringLiteral("2")},
        {"getUserContactsRequests", "SEND /getuserfriendrequests ZM/1.0\n", "ZM/1.0 200 OK\nUsers: x<>y\n",
         QStringLiteral("x\ny")},
        {"getUserFriendRequests", "SEND /getuserfriendrequests ZM/1.0\n", "ZM/1.0 200 OK\nUsers: x\n",
         QStringLiteral("x")},
        {"getUserContactsWithStates", "SEND /getusercontactswithstates ZM/1.0\n",
         "ZM/1.0 200 OK\nOther: 1\nUsers: a|1<>b|8\n", QStringLiteral("a|1\nb|8")},
        {"getUserFriendRequestsLength", "SEND /getuserfriendrequestslength ZM/1.0\n", "ZM/1.0 200 OK\nLength: 0\n",
         QStringLiteral("0")},
        {"getUserMessageState", "SEND /getusermessagestate ZM/1.0\n", "ZM/1.0 200 OK\nMessage: at home <>\n",
         QStringLiteral("at home <>")},
        {"getUserNick", "SEND /getusernick ZM/1.0\n", "ZM/1.0 200 OK\nNick: Jürgen\n", QStringLiteral("Jürgen")},
        {"getUserOnlineState", "SEND /getuseronlinestate ZM/1.0\n", "ZM/1.0 200 OK\nState: 3\n", 3},
        {"addUserContact", "SEND /addusercontact ZM/1.0\nUsername: anna\n", "ZM/1.0 200 OK\n", 200},
        {"delUserContact", "SEND /removeusercontact ZM/1.0\nUsername: anna\n", "ZM/1.0 200 OK\n", 200},
        {"removeUserContact", "SEND /removeusercontact ZM/1.0\nUsername: anna\n", "ZM/1.0 404 NF\n", 404},
        {"setUserOnlineState", "SEND /setuseronlinestate ZM/1.0\nState: 2\n", "ZM/1.0 200 OK\n", 200},
        {"setUserMessageState", "SEND /setusermessagestate ZM/1.0\nMessage: at home & more\n", "ZM/1.0 200 OK\n", 200},
        {"setUserAvatar", "SEND /setuseravatar ZM/1.0\nAvatar: abc\nFormat: png\n", "ZM/1.0 200 OK\n", 200},
        {"setUserNick", "SEND /setusernick ZM/1.0\nNick: Jürgen\n", "ZM/1.0 200 OK\n", 200},
        {"setUserMail", "SEND /setusermail ZM/1.0\nMail: a@b.c\nVFO: true\n", "ZM/1.0 200 OK\n", 200},
        {"setUserPassword", "SEND /setuserpassword ZM/1.0\nPassword old: old\nPassword new: new\n",
         "ZM/1.0 300 Wrong\n", 300},
        {"sendMessageToUser", "SEND /message ZM/1.0\nUsername: ben\nMessage: hi there\n", "ZM/1.0 200 OK\n", 200},
        {"sendPokeToUser", "SEND /poke ZM/1.0\nUsername: ben\n", "", 0},
    };
    for (bool cStrings : {false, true}) {
        for (const Row &row : rows)
            QTest::addRow("%s %s", cStrings ? "10" : "10Q", row.member)
                << cStrings << row.member << QByteArray(row.request) << QByteArray(row.answer) << row.result;
    }
}

void TestLegacy::operations()
{
    QFETCH(bool, cStrings);
    QFETCH(QString, member);
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, answer);
    QFETCH(QVariant, result);
    LegacyServer server({{request, answer}});
    QVERIFY(server.listen());
    const int lines = request.count('\n');
    if (cStrings) {
        ZMsgFw10 client;
        QCOMPARE(login(client, server), 200);
        QVERIFY(client.isLoggedIn());
        QCOMPARE(members().value(member).onC(client), result);
        QVERIFY(server.server().waitForLines(3 + lines));
        QVERIFY(!client.isObjectIncoming());
    } else {
        ZMsgFw10Q client;
        QCOMPARE(login(client, server), 200);
        QCOMPARE(members().value(member).onQ(client), result);
        QVERIFY(server.server().waitForLines(3 + lines));
        QVERIFY(!client.isObjectIncoming());
    }
    QCOMPARE(server.written(), request);
}

void TestLegacy::statusLines_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QVariant>("result");
    const QByteArray push = "SEND /update ZM/1.0\n";
    QTest::newRow("text, error") << "getUserNick" << QByteArray("ZM/1.0 500 Error\n")
                                 << QVariant(QStringLiteral("///Error 500"));
    QTest::newRow("text, code word kept")
        << "getUserNick" << QByteArray("ZM/1.0 4x4 Odd\n") << QVariant(QStringLiteral("///Error 4x4"));
    QTest::newRow("text, one word") << "getUserNick" << QByteArray("Broken\n")
                                    << QVariant(QStringLiteral("///Error 502"));
    QTest::newRow("text, header missing")
        << "getUserNick"
        << "ZM/1.0 200 OK\nOther: x\n" + push << QVariant(QStringLiteral("///Error 201"));
    QTest::newRow("text, NUL byte kept") << "getUserNick" << QByteArray("ZM/1.0 200 OK\nNick: Al\0ice\n", 27)
                                         << QVariant(QString::fromUtf8("Al\0ice", 6));
    QTest::newRow("text, header first wins")
        << "getUserNick" << QByteArray("ZM/1.0 200 OK\nNick: a\nNick: b\n") << QVariant(QStringLiteral("a"));
    QTest::newRow("int, error") << "addUserContact" << QByteArray("ZM/1.0 500 Error\n") << QVariant(500);
    QTest::newRow("int, one word") << "addUserContact" << QByteArray("Broken\n") << QVariant(502);
    QTest::newRow("int, not found") << "addUserContact" << QByteArray("404 Not Found\n") << QVariant(0);
    QTest::newRow("message, not found") << "sendMessageToUser" << QByteArray("404 Not Found\n") << QVariant(404);
    QTest::newRow("state, error") << "getUserOnlineState" << QByteArray("ZM/1.0 403 No\n") << QVariant(403);
    QTest::newRow("state, header missing") << "getUserOnlineState"
                                           << "ZM/1.0 200 OK\n" + push << QVariant(201);
    QTest::newRow("state, not a number") << "getUserOnlineState" << QByteArray("ZM/1.0 200 OK\nState: x\n")
                                         << QVariant(0);
}

void TestLegacy::statusLines()
{
    QFETCH(QString, member);
    QFETCH(QByteArray, answer);
    QFETCH(QVariant, result);
    TlsTestServer server;
    server.setLineHandler([answer](const QByteArray &line) {
        if (line == "Password: pw\n")
            return QByteArray("ZM/1.0 200 OK\n");
        return line.startsWith("SEND /") && !line.startsWith("SEND /login") ? answer : QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    ZMsgFw10Q client;
    QCOMPARE(client.loginUser(QStringLiteral("me"), QStringLiteral("pw")), 200);
    // Requests with headers are answered on their command line; the answer still comes after it.
    QCOMPARE(members().value(member).onQ(client), result);
}

void TestLegacy::loginStatus_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("loggedIn");
    QTest::newRow("ok") << QByteArray("ZM/1.0 200 OK\n") << 200 << true;
    QTest::newRow("short not found") << QByteArray("ZM/1.0 404 NF\n") << 404 << false;
    QTest::newRow("long not found") << QByteArray("404 Not Found\n") << 404 << false;
    QTest::newRow("other") << QByteArray("ZM/1.0 403 Forbidden\n") << 403 << false;
    QTest::newRow("one word") << QByteArray("Nope\n") << 502 << false;
}

void TestLegacy::loginStatus()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, code);
    QFETCH(bool, loggedIn);
    TlsTestServer server;
    server.setLineHandler(
        [answer](const QByteArray &line) { return line == "Password: pw\n" ? answer : QByteArray(); });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    ZMsgFw10 client;
    QCOMPARE(client.loginUser("me", "pw"), code);
    QCOMPARE(client.isLoggedIn(), loggedIn);
    QCOMPARE(server.receivedLines().join(), LoginRequest);
    QCOMPARE(client.logoutUser(), 0);
    QVERIFY(!client.isLoggedIn());
}

// Each case waits out the reply limit, shortened here; the cases share one wait.
void TestLegacy::waitingOutcomes()
{
    constexpr int ReplyTimeout = 1000;
    struct Case {
        const char *member;
        QByteArray answer;
        QVariant result;
    };
    const QList<Case> cases{
        {"getUserNick", {}, QStringLiteral("///Error 1")},
        {"setUserNick", {}, 1},
        {"getUserOnlineState", {}, 501},
        {"getUserContacts", "ZM/1.0 200 OK\n", QStringLiteral("///Error 201")},
        {"login", {}, 500},
    };
    QVector<QVariant> results(cases.size());
    QList<std::function<void()>> jobs;
    for (int i = 0; i < cases.size(); ++i) {
        jobs << [&, i] {
            const Case &c = cases.at(i);
            LegacyServer server({{"SEND /getusercontacts ZM/1.0\n", c.answer}});
            if (!server.listen())
                return;
            ZMsgFw10Q client;
            client.setReplyTimeout(ReplyTimeout);
            if (QByteArray(c.member) == "login") {
                server.server().setLineHandler([](const QByteArray &) { return QByteArray(); });
                results[i] = login(client, server);
                return;
            }
            if (login(client, server) == 200)
                results[i] = members().value(QString::fromUtf8(c.member)).onQ(client);
        };
    }
    QElapsedTimer timer;
    timer.start();
    runConcurrently(jobs);
    for (int i = 0; i < cases.size(); ++i)
        QVERIFY2(results.at(i) == cases.at(i).result, cases.at(i).member);
    QVERIFY(timer.elapsed() >= ReplyTimeout);
    QCOMPARE(ZMsgFw10Q().replyTimeout(), 5000);
}

void TestLegacy::nothingWrittenBeforeLogin()
{
    LegacyServer server({});
    QVERIFY(server.listen());
    ZMsgFw10Q q;
    ZMsgFw10 c;
    for (auto it = members().cbegin(); it != members().cend(); ++it) {
        for (const QVariant &result : {it.value().onQ(q), it.value().onC(c)}) {
            if (it.key() == QStringLiteral("getUserOnlineState"))
                QCOMPARE(result, QVariant(501));
            else if (result.type() == QVariant::Int)
                QCOMPARE(result, QVariant(1));
            else
                QCOMPARE(result, QVariant(QStringLiteral("///Error 1")));
        }
    }
    QVERIFY(!q.isObjectIncoming());
    QCOMPARE(q.readObject(), QString());
    QCOMPARE(server.server().connectionCount(), 0);
}

void TestLegacy::lineBreaksAreRefused()
{
    LegacyServer server({{"SEND /getusernick ZM/1.0\n", "ZM/1.0 200 OK\nNick: n\n"}});
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("line break")));
    QCOMPARE(client.loginUser(QStringLiteral("me\nPassword: x"), QStringLiteral("pw")), 500);
    QCOMPARE(server.server().connectionCount(), 0);
    QCOMPARE(login(client, server), 200);
    for (int i = 0; i < 4; ++i)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("line break")));
    QCOMPARE(client.setUserNick(QStringLiteral("a\nSEND /removeusercontact ZM/1.0")), 1);
    QCOMPARE(client.sendMessageToUser(QStringLiteral("ben"), QStringLiteral("hi\r")), 1);
    QCOMPARE(client.setUserAvatar(QStringLiteral("abc"), QStringLiteral("png\n")), 1);
    QCOMPARE(client.sendPokeToUser(QStringLiteral("ben\n")), 1);
    QCOMPARE(client.getUserNick(), QStringLiteral("n"));
    QCOMPARE(server.written(), QByteArray("SEND /getusernick ZM/1.0\n"));
}

void TestLegacy::pushedObjects_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("objects");
    QTest::newRow("message") << QByteArray("SEND /message ZM/1.0\nUsername: ann\nMessage: hi there\n")
                             << QStringList{QStringLiteral("MessageFromUser<>ann: hi there\n")};
    // The next object's command line ends an object that lacks a header.
    QTest::newRow("message without text") << QByteArray("SEND /message ZM/1.0\nUsername: ann\nSEND /update ZM/1.0\n")
                                          << QStringList{QStringLiteral(""), QStringLiteral("update")};
    QTest::newRow("poke") << QByteArray("SEND /poke ZM/1.0\nUsername: ann\n")
                          << QStringList{QStringLiteral("PokeFromUser<>ann\n")};
    QTest::newRow("poke without user") << QByteArray("SEND /poke ZM/1.0\nOther: x\nSEND /update ZM/1.0\n")
                                       << QStringList{QStringLiteral(""), QStringLiteral("update")};
    QTest::newRow("update") << QByteArray("SEND /update ZM/1.0\n") << QStringList{QStringLiteral("update")};
    QTest::newRow("other command") << QByteArray("SEND /other ZM/1.0\n") << QStringList{QStringLiteral("")};
    QTest::newRow("one character") << QByteArray("x\n") << QStringList{QStringLiteral("")};
    QTest::newRow("one word") << QByteArray("SEND\n") << QStringList{QStringLiteral("")};
    QTest::newRow("two objects in one record")
        << QByteArray("SEND /message ZM/1.0\nUsername: ann\nMessage: one\nSEND /poke ZM/1.0\nUsername: ben\n")
        << QStringList{QStringLiteral("MessageFromUser<>ann: one\n"), QStringLiteral("PokeFromUser<>ben\n")};
}

void TestLegacy::pushedObjects()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, objects);
    LegacyServer server({});
    QVERIFY(server.listen());
    ZMsgFw10 client;
    QCOMPARE(login(client, server), 200);
    server.server().sendToClient(bytes);
    QStringList read;
    for (int i = 0; i < objects.size(); ++i) {
        QTRY_VERIFY(client.isObjectIncoming());
        read << QString::fromUtf8(client.readObject());
    }
    QCOMPARE(read, objects);
    QVERIFY(!client.isObjectIncoming());
}

void TestLegacy::pingIsAnsweredOnce()
{
    LegacyServer server({});
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QCOMPARE(login(client, server), 200);
    server.server().sendToClient("SEND /ping ZM/1.0\n");
    QTRY_VERIFY(client.isObjectIncoming());
    QCOMPARE(client.readObject(), QStringLiteral("ping/pong"));
    QVERIFY(server.server().waitForLines(5));
    QCOMPARE(client.readObject(), QString());
    QCOMPARE(server.written(), QByteArray("ZM/1.0 200 OK\nPing: Pong\n"));
}

void TestLegacy::pushedObjectWithReplyIsKept_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("answer");
    const QByteArray push = "SEND /message ZM/1.0\nUsername: ben\nMessage: hi\n";
    QTest::newRow("after the reply") << QByteArray() << "ZM/1.0 200 OK\nNick: Ann\n" + push;
    QTest::newRow("before the reply") << QByteArray() << push + "ZM/1.0 200 OK\nNick: Ann\n";
    QTest::newRow("buffered before the call") << push << QByteArray("ZM/1.0 200 OK\nNick: Ann\n");
}

void TestLegacy::pushedObjectWithReplyIsKept()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, answer);
    LegacyServer server({{"SEND /getusernick ZM/1.0\n", answer}});
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QCOMPARE(login(client, server), 200);
    if (!before.isEmpty()) {
        server.server().sendToClient(before);
        QTRY_VERIFY(client.isObjectIncoming());
    }
    QCOMPARE(client.getUserNick(), QStringLiteral("Ann"));
    QVERIFY(client.isObjectIncoming());
    QCOMPARE(client.readObject(), QStringLiteral("MessageFromUser<>ben: hi\n"));
    QVERIFY(!client.isObjectIncoming());
}

void TestLegacy::pushedHeadersInLaterRecord_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("later");
    QTest::addColumn<QString>("object");
    QTest::newRow("message headers") << QByteArray("SEND /message ZM/1.0\n")
                                     << QByteArray("Username: ann\nMessage: hi there\n")
                                     << "MessageFromUser<>ann: hi there\n";
    QTest::newRow("message text") << QByteArray("SEND /message ZM/1.0\nUsername: ann\n")
                                  << QByteArray("Message: late\n") << "MessageFromUser<>ann: late\n";
    QTest::newRow("cut inside a header") << QByteArray("SEND /message ZM/1.0\nUsername: an")
                                         << QByteArray("n\nMessage: hi\n") << "MessageFromUser<>ann: hi\n";
    QTest::newRow("poke user") << QByteArray("SEND /poke ZM/1.0\n") << QByteArray("Username: ben\n")
                               << "PokeFromUser<>ben\n";
}

void TestLegacy::pushedHeadersInLaterRecord()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, later);
    QFETCH(QString, object);
    LegacyServer server({});
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QCOMPARE(login(client, server), 200);
    server.server().sendToClient(first);
    server.server().sendToClientLater(later, 500);
    QTRY_VERIFY_WITH_TIMEOUT(client.isObjectIncoming(), 30000);
    QCOMPARE(client.readObject(), object);
    // The headers were part of that object, not another one.
    QVERIFY(!client.isObjectIncoming());
    QCOMPARE(client.readObject(), QString());
}

void TestLegacy::pushedHeaderThatNeverComes()
{
    LegacyServer server({});
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QCOMPARE(login(client, server), 200);
    client.setReplyTimeout(300);
    server.server().sendToClient("SEND /message ZM/1.0\nUsername: ann\n");
    QTRY_VERIFY_WITH_TIMEOUT(client.isObjectIncoming(), 30000);
    QElapsedTimer waited;
    waited.start();
    QCOMPARE(client.readObject(), QString());
    // Waited like a reply, not without end.
    QVERIFY2(waited.elapsed() >= 290 && waited.elapsed() < 30000, qPrintable(QString::number(waited.elapsed())));
    QVERIFY(client.isLoggedIn());
}

void TestLegacy::headerInLaterRecord()
{
    TlsTestServer *tls = nullptr;
    LegacyServer server({{"SEND /getusercontacts ZM/1.0\n", "ZM/1.0 200 OK\nUsers: an"}});
    tls = &server.server();
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QCOMPARE(login(client, server), 200);
    tls->sendToClientLater("na<>ben\n", 150);
    QCOMPARE(client.getUserContacts(), QStringLiteral("anna\nben"));
}

void TestLegacy::endlessStatusLineBreaksConnection_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("failure");
    QTest::newRow("status line") << QByteArray() << "///Error 1";
    QTest::newRow("header line") << QByteArray("ZM/1.0 200 OK\nNick: ") << "///Error 201";
}

void TestLegacy::endlessStatusLineBreaksConnection()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, failure);
    const QByteArray endless(ZMsgFwWire::MaxLineLength + 1024, 'x');
    LegacyServer server({{"SEND /getusernick ZM/1.0\n", before + endless}});
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QCOMPARE(login(client, server), 200);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("longer than")));
    QCOMPARE(client.getUserNick(), failure);
    QVERIFY(!client.isLoggedIn());

    // The same while polling for pushed objects.
    QCOMPARE(login(client, server), 200);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("longer than")));
    server.server().sendToClient(endless);
    QTRY_VERIFY(!client.isObjectIncoming() && !client.isLoggedIn());
}

void TestLegacy::pushFloodDuringCallIsBounded()
{
    // Some 6 MB of pushed messages before the reply: the call still gets its answer, the
    // oldest pushes are kept whole and the rest are dropped instead of filling memory.
    const int pushes = 40000;
    QByteArray answer;
    for (int i = 0; i < pushes; ++i)
        answer += "SEND /message ZM/1.0\nUsername: ben\nMessage: number " + QByteArray::number(i) + ' '
            + QByteArray(100, 'x') + '\n';
    answer += "ZM/1.0 200 OK\nNick: Ann\n";
    LegacyServer server({{"SEND /getusernick ZM/1.0\n", answer}});
    QVERIFY(server.listen());
    ZMsgFw10Q client;
    QCOMPARE(login(client, server), 200);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("pushed objects wait to be read")));
    QCOMPARE(client.getUserNick(), QStringLiteral("Ann"));
    int kept = 0;
    while (client.isObjectIncoming()) {
        const QString object = client.readObject();
        QCOMPARE(object,
                 QStringLiteral("MessageFromUser<>ben: number %1 %2\n").arg(kept).arg(QString(100, QLatin1Char('x'))));
        ++kept;
    }
    QVERIFY2(kept > 1000 && kept < pushes, qPrintable(QString::number(kept)));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestLegacy)
#include "tst_legacy.moc"
