#include "hermetic.h"
#include "tlstestserver.h"

#include <zmsgfw.h>
#include <zmsgfw111q.h>
#include <zmsgfw11q.h>
#include <zmsgfwwire.h>

#include <QSysInfo>
#include <QThread>

#include <functional>
#include <memory>

namespace {

// The exact login line, written out here rather than by the library's own escaping.
QByteArray loginLine(const QByteArray &credentials, const QByteArray &version)
{
    QByteArray system = QSysInfo::prettyProductName().toUtf8();
    system.replace("&", "&amp;").replace(" ", "&nbsp;");
    return "ZM/1.1 login " + credentials + " --system=" + system + " --version=" + version + "\n";
}

// Answers every line with a successful return and points the library at the server.
bool acceptEveryLogin(TlsTestServer &server)
{
    server.setLineHandler([](const QByteArray &) { return QByteArray("ZM/1.1 return --id=200\n"); });
    if (!server.listenOnLoopback())
        return false;
    server.exportEndpoint();
    return true;
}

// Runs jobs on a thread of its own, with an event loop, one at a time and waiting for each.
class WorkerThread
{
public:
    WorkerThread()
    {
        m_thread.start();
        m_context.moveToThread(&m_thread);
    }
    ~WorkerThread()
    {
        m_thread.quit();
        m_thread.wait();
    }
    void run(const std::function<void()> &job)
    {
        QMetaObject::invokeMethod(&m_context, job, Qt::BlockingQueuedConnection);
    }

private:
    QThread m_thread;
    QObject m_context;
};

// The adoption steps for either class of generation 1.1.
template <typename Session> void checkAdoption(TlsTestServer &server)
{
    WorkerThread worker;
    QThread *here = QThread::currentThread();
    Session *other = nullptr;
    int code = 0;
    worker.run([&] {
        other = new Session;
        other->setAcknowledging(true);
        code = other->loginUser(QStringLiteral("anna"), QStringLiteral("pw"));
    });
    QCOMPARE(code, 200);
    Session mine;
    QCOMPARE(mine.loginUser(QStringLiteral("mine"), QStringLiteral("pw")), 200);
    QVERIFY(server.waitForOpenConnections(2, 30000));

    // Still on the worker's thread: refused, nothing changes.
    QVERIFY(!mine.adoptSession(other));
    QVERIFY(mine.isLoggedIn());
    QVERIFY(!mine.adoptSession(nullptr));
    Session never;
    QVERIFY(!mine.adoptSession(&never));
    QVERIFY(mine.isLoggedIn());

    worker.run([&] {
        other->moveSessionToThread(here);
        other->moveToThread(here);
    });
    QVERIFY(!mine.isAcknowledging());
    QVERIFY(mine.adoptSession(other));
    std::unique_ptr<Session> emptied(other);
    QVERIFY(mine.isLoggedIn());
    QVERIFY(!other->isLoggedIn());
    // The server was told at login that this session confirms messages: it still does.
    QVERIFY(mine.isAcknowledging());
    QVERIFY(!other->isAcknowledging());
    // The adopted connection is the only one left, and it is the worker's: no second login.
    QVERIFY(server.waitForOpenConnections(1, 30000));
    QCOMPARE(server.connectionCount(), 2);
    // What arrived before the adoption is read here, and calls use the adopted connection.
    QTRY_VERIFY_WITH_TIMEOUT(mine.isObjectIncoming(), 30000);
    QCOMPARE(mine.readObject(), QStringLiteral("PokeFromUser<>anna\n"));
    QCOMPARE(mine.getUserNick(), QStringLiteral("Anna"));
    QVERIFY(!mine.adoptSession(other));
}

} // namespace

class TestSession : public QObject
{
    Q_OBJECT
private slots:
    void versions();
    void loginLineIsExact_data();
    void loginLineIsExact();
    void loginResult_data();
    void loginResult();
    void foreignCertificateIsRefused();
    void pushedLineBeforeReplyIsHandedOn();
    void replySplitAcrossRecords();
    void secondLoginUsesNewConnection();
    void serverCloseEndsLogin();
    void lineBreakInCredentialsIsRefused_data();
    void lineBreakInCredentialsIsRefused();
    void endlessLineBreaksConnection();
    void pushedLineLengths_data();
    void pushedLineLengths();
    void logoutWithoutLogin();
    void pollingDeliversPushedLines();
    void sessionAdoptedFromAnotherThread_data();
    void sessionAdoptedFromAnotherThread();
    void nulBytesDoNotCutValues();
    void confirmationsOnlyWhenAnnounced_data();
    void confirmationsOnlyWhenAnnounced();
    void unreadConfirmationsAreBounded();
};

void TestSession::versions()
{
    QCOMPARE(ZMsgFw().getLibraryVersion(), QStringLiteral("1.1.1-1"));
    QCOMPARE(ZMsgFw111Q().getClassVersion(), QStringLiteral("1.1.1-1"));
    QCOMPARE(ZMsgFw11Q().getClassVersion(), QStringLiteral("1.1.0-9"));
}

void TestSession::loginLineIsExact_data()
{
    QTest::addColumn<bool>("legacyClass");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("credentials");
    QTest::addColumn<QByteArray>("version");
    QTest::newRow("111Q plain") << false << "anna"
                                << "secret" << QByteArray("--username=anna --password=secret") << QByteArray("1.1.1-1");
    QTest::newRow("111Q escaped") << false << "a b&c"
                                  << "p&nbsp;w d"
                                  << QByteArray("--username=a&nbsp;b&amp;c --password=p&amp;nbsp;w&nbsp;d")
                                  << QByteArray("1.1.1-1");
    QTest::newRow("11Q plain") << true << "anna"
                               << "secret" << QByteArray("--username=anna --password=secret") << QByteArray("1.1.0-9");
    QTest::newRow("11Q utf8")
        << true << "Jürgen"
        << "пароль"
        << QByteArray("--username=J\xc3\xbcrgen --password=\xd0\xbf\xd0\xb0\xd1\x80\xd0\xbe\xd0\xbb\xd1\x8c")
        << QByteArray("1.1.0-9");
}

void TestSession::loginLineIsExact()
{
    QFETCH(bool, legacyClass);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QByteArray, credentials);
    QFETCH(QByteArray, version);
    TlsTestServer server;
    QVERIFY(acceptEveryLogin(server));

    int code = 0;
    if (legacyClass) {
        ZMsgFw11Q session;
        code = session.loginUser(user, password);
        QVERIFY(session.isLoggedIn());
    } else {
        ZMsgFw111Q session;
        code = session.loginUser(user, password);
        QVERIFY(session.isLoggedIn());
    }
    QCOMPARE(code, 200);
    QCOMPARE(server.receivedLines(), QList<QByteArray>{loginLine(credentials, version)});
}

void TestSession::loginResult_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("loggedIn");
    QTest::newRow("success") << QByteArray("ZM/1.1 return --id=200 --result=ok --description=fine\n") << 200 << true;
    QTest::newRow("unknown account") << QByteArray("ZM/1.1 return --id=404\n") << 404 << false;
    QTest::newRow("no id") << QByteArray("ZM/1.1 return --result=ok\n") << 500 << false;
    QTest::newRow("id not a number") << QByteArray("ZM/1.1 return --id=abc\n") << 0 << false;
    QTest::newRow("double space") << QByteArray("ZM/1.1 return  --id=200\n") << 200 << true;
    QTest::newRow("only two words") << QByteArray("ZM/1.1 return\n") << 500 << false;
    QTest::newRow("other tag") << QByteArray("ZM/1.0 return --id=200\n") << 500 << false;
    QTest::newRow("silence") << QByteArray() << 500 << false;
}

void TestSession::loginResult()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, code);
    QFETCH(bool, loggedIn);
    TlsTestServer server;
    server.setLineHandler([reply](const QByteArray &) { return reply; });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    ZMsgFw111Q session;
    // A reply the library does not take is waited out: a short limit shows that as well as 5 s.
    if (code == 500)
        session.setReplyTimeout(500);
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), code);
    QCOMPARE(session.isLoggedIn(), loggedIn);
}

void TestSession::foreignCertificateIsRefused()
{
    TlsTestServer server(TlsTestServer::Certificate::Foreign);
    QVERIFY(acceptEveryLogin(server));
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 500);
    QVERIFY(!session.isLoggedIn());
    QVERIFY(server.receivedLines().isEmpty());
}

void TestSession::pushedLineBeforeReplyIsHandedOn()
{
    TlsTestServer server;
    server.setLineHandler([](const QByteArray &) {
        return QByteArray("ZM/1.1 message --username=ben --message=hello\nZM/1.1 return --id=200\n");
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    ZMsgFw111Q session;
    QSignalSpy incoming(&session, &ZMsgFw111Q::objectIncomed);
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QCOMPARE(incoming.count(), 1);
    QCOMPARE(incoming.first().first().toString(), QStringLiteral("MessageFromUser<>ben: hello\n"));
}

void TestSession::replySplitAcrossRecords()
{
    TlsTestServer server;
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    // The rest of the reply follows in a later TLS record, while the client is already waiting.
    server.setLineHandler([&server](const QByteArray &) {
        QTimer::singleShot(300, [&server] { server.sendToClient("urn --id=200\n"); });
        return QByteArray("ZM/1.1 ret");
    });
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
}

void TestSession::secondLoginUsesNewConnection()
{
    TlsTestServer server;
    QVERIFY(acceptEveryLogin(server));
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QCOMPARE(server.connectionCount(), 2);
    // The first session's socket was closed, so the server keeps only one live session.
    QVERIFY(server.waitForOpenConnections(1));
}

void TestSession::serverCloseEndsLogin()
{
    TlsTestServer server;
    QVERIFY(acceptEveryLogin(server));
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QVERIFY(session.isLoggedIn());
    server.closeClient();
    QTRY_VERIFY(!session.isLoggedIn());
}

void TestSession::lineBreakInCredentialsIsRefused_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("line feed in name") << "anna\nZM/1.1 action --at=delcontact --username=ben"
                                       << "pw";
    QTest::newRow("carriage return in password") << "anna"
                                                 << "pw\r";
}

void TestSession::lineBreakInCredentialsIsRefused()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    TlsTestServer server;
    QVERIFY(acceptEveryLogin(server));
    ZMsgFw111Q session;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("line break")));
    QCOMPARE(session.loginUser(user, password), 500);
    QVERIFY(!session.isLoggedIn());
    QCOMPARE(server.connectionCount(), 0);
    QVERIFY(server.receivedLines().isEmpty());
}

void TestSession::endlessLineBreaksConnection()
{
    TlsTestServer server;
    QVERIFY(acceptEveryLogin(server));
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("longer than")));
    const QByteArray chunk(1024 * 1024, 'x');
    for (qint64 sent = 0; sent <= ZMsgFwWire::MaxLineLength; sent += chunk.size())
        server.sendToClient(chunk);
    QTRY_VERIFY_WITH_TIMEOUT((session.isObjectIncoming(), !session.isLoggedIn()), 10000);
    QVERIFY(session.readObject().isEmpty());
}

void TestSession::pushedLineLengths_data()
{
    QTest::addColumn<int>("lineLength");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("short") << 40 << true;
    QTest::newRow("just past the first read") << 300 << true;
    QTest::newRow("many reads") << 70000 << true;
    QTest::newRow("longest allowed") << int(ZMsgFwWire::MaxLineLength) << true;
    QTest::newRow("one byte too long") << int(ZMsgFwWire::MaxLineLength) + 1 << false;
}

void TestSession::pushedLineLengths()
{
    QFETCH(int, lineLength);
    QFETCH(bool, delivered);
    TlsTestServer server;
    QVERIFY(acceptEveryLogin(server));
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    const QByteArray head = "ZM/1.1 poke --username=";
    const QByteArray name(lineLength - head.size() - 1, 'n');
    server.sendToClient(head + name + "\nZM/1.1 poke --username=ben\n");
    if (!delivered)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("longer than")));
    QTRY_VERIFY_WITH_TIMEOUT(session.isObjectIncoming() || !session.isLoggedIn(), 10000);
    if (delivered) {
        QCOMPARE(session.readObject(), QString::fromLatin1("PokeFromUser<>" + name + '\n'));
        QTRY_VERIFY(session.isObjectIncoming());
        QCOMPARE(session.readObject(), QStringLiteral("PokeFromUser<>ben\n"));
    } else {
        QVERIFY(session.readObject().isEmpty());
        QVERIFY(!session.isLoggedIn());
    }
}

void TestSession::logoutWithoutLogin()
{
    ZMsgFw111Q session;
    QCOMPARE(session.logoutUser(), 0);
    QVERIFY(!session.isLoggedIn());
    QVERIFY(!session.isObjectIncoming());
    QVERIFY(session.readObject().isEmpty());
}

void TestSession::pollingDeliversPushedLines()
{
    TlsTestServer server;
    QVERIFY(acceptEveryLogin(server));
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    server.sendToClient("ZM/1.1 poke --username=ben\nZM/1.1 notifi");
    QTRY_VERIFY(session.isObjectIncoming());
    QCOMPARE(session.readObject(), QStringLiteral("PokeFromUser<>ben\n"));
    // Half a line stays buffered until the rest arrives.
    QVERIFY(!session.isObjectIncoming());
    QVERIFY(session.readObject().isEmpty());
    server.sendToClient("cation --nt=x\n");
    QTRY_VERIFY(session.isObjectIncoming());
    QCOMPARE(session.readObject(), QStringLiteral("ReturnIntialize<>ZM/1.1<>notification<>--nt=x"));
}

void TestSession::sessionAdoptedFromAnotherThread_data()
{
    QTest::addColumn<bool>("legacyClass");
    QTest::newRow("ZMsgFw111Q") << false;
    QTest::newRow("ZMsgFw11Q") << true;
}

void TestSession::sessionAdoptedFromAnotherThread()
{
    QFETCH(bool, legacyClass);
    TlsTestServer server;
    // Each login is answered with a poke from its own user behind the reply; "anna" has the nick Anna.
    server.setLineHandler([](const QByteArray &line) -> QByteArray {
        if (line.startsWith("ZM/1.1 login --username=anna "))
            return "ZM/1.1 return --id=200 --ack=1\nZM/1.1 poke --username=anna\n";
        if (line.startsWith("ZM/1.1 login "))
            return "ZM/1.1 return --id=200\n";
        if (line.startsWith("ZM/1.1 request --rq=nick"))
            return "ZM/1.1 return --rq=nick --id=200 --nick=Anna\n";
        return QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    if (legacyClass)
        checkAdoption<ZMsgFw11Q>(server);
    else
        checkAdoption<ZMsgFw111Q>(server);
}

void TestSession::nulBytesDoNotCutValues()
{
    TlsTestServer server;
    server.setLineHandler([](const QByteArray &line) {
        if (line.contains(" request --rq=nick"))
            return QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=Al\0ice\n", 47);
        return QByteArray("ZM/1.1 return --id=200\n");
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    ZMsgFw111Q session;
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QCOMPARE(session.getUserNick(), QString::fromUtf8("Al\0ice", 6));
    server.sendToClient(QByteArray("ZM/1.1 message --username=ben --message=a\0b\n", 44));
    QTRY_VERIFY(session.isObjectIncoming());
    QCOMPARE(session.readObject(), QString::fromUtf8("MessageFromUser<>ben: a\0b\n", 26));
}

void TestSession::confirmationsOnlyWhenAnnounced_data()
{
    QTest::addColumn<bool>("turnedOn");
    QTest::addColumn<QByteArray>("loginReply");
    QTest::addColumn<bool>("confirms");
    QTest::newRow("announced") << true << QByteArray("ZM/1.1 return --id=200 --ack=1\n") << true;
    QTest::newRow("not turned on") << false << QByteArray("ZM/1.1 return --id=200 --ack=1\n") << false;
    QTest::newRow("older server") << true << QByteArray("ZM/1.1 return --id=200 --result=success\n") << false;
    QTest::newRow("other value") << true << QByteArray("ZM/1.1 return --id=200 --ack=2\n") << false;
    QTest::newRow("login refused") << true << QByteArray("ZM/1.1 return --id=404 --ack=1\n") << false;
}

// The login line is the same either way; the opening confirmation follows it only when both
// sides take part.
void TestSession::confirmationsOnlyWhenAnnounced()
{
    QFETCH(bool, turnedOn);
    QFETCH(QByteArray, loginReply);
    QFETCH(bool, confirms);
    TlsTestServer server;
    server.setLineHandler([loginReply](const QByteArray &line) {
        return line.startsWith("ZM/1.1 login") ? loginReply : QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=A\n");
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    ZMsgFw111Q session;
    session.setAcknowledging(turnedOn);
    session.loginUser(QStringLiteral("anna"), QStringLiteral("secret"));
    QCOMPARE(session.isAcknowledging(), confirms);
    QCOMPARE(session.acknowledgeMessage(5), confirms);
    if (session.isLoggedIn())
        QCOMPARE(session.getUserNick(), QStringLiteral("A"));
    QList<QByteArray> expected{loginLine("--username=anna --password=secret", "1.1.1-1")};
    if (confirms)
        expected << "ZM/1.1 action --at=ack --mid=0\n"
                 << "ZM/1.1 action --at=ack --mid=5\n";
    if (session.isLoggedIn())
        expected << "ZM/1.1 request --rq=nick\n";
    QVERIFY(server.waitForLines(expected.size()));
    QCOMPARE(server.receivedLines(), expected);
}

// A server that pushes and never reads what the client writes gets a bounded amount of
// confirmations; the client holds no more of them.
void TestSession::unreadConfirmationsAreBounded()
{
    TlsTestServer server;
    server.setLineHandler([](const QByteArray &line) {
        return line.startsWith("ZM/1.1 login") ? QByteArray("ZM/1.1 return --id=200 --ack=1\n") : QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    ZMsgFw111Q session;
    session.setAcknowledging(true);
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("secret")), 200);
    QVERIFY(server.waitForLines(2));
    server.setReading(false);

    auto next = std::make_shared<std::atomic<int>>(1);
    server.startStream([next] {
        QByteArray chunk;
        for (int i = 0; i < 100; ++i) {
            const int id = (*next)++;
            chunk += "ZM/1.1 message --username=a --message=m --mid=" + QByteArray::number(id) + '\n';
        }
        return chunk;
    });
    int sent = 0;
    int refused = 0;
    QDeadlineTimer deadline(60000);
    while (refused == 0 && !deadline.hasExpired()) {
        if (!session.isObjectIncoming()) {
            QTest::qWait(1);
            continue;
        }
        const QString object = session.readObject();
        (session.acknowledgeMessage(session.messageId(object)) ? sent : refused) += 1;
    }
    server.stopStream();
    QVERIFY2(refused > 0, qPrintable(QStringLiteral("%1 confirmations all taken").arg(sent)));
    qInfo("%d confirmations written before the first was held back", sent);

    // Once the server reads again, confirmations go out again.
    server.setReading(true);
    QTRY_VERIFY_WITH_TIMEOUT(session.acknowledgeMessage(1), 20000);
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestSession)
#include "tst_session.moc"
