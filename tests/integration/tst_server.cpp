#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "testpictures.h"

#include <zmsgdconfig.h>
#include <zmsgdconnection.h>
#include <zmsgdpassword.h>
#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdservice.h>
#include <zmsgdstore.h>

#include <zmsgfw10q.h>
#include <zmsgfw111q.h>
#include <zmsgfw11q.h>
#include <zmsgfwwire.h>

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>

#include <functional>
#include <memory>

namespace {

// A library session with everything it was handed: objects emitted during blocking calls
// and objects found by polling, in arrival order.
class Session
{
public:
    Session()
        : fw(new ZMsgFw111Q)
    {
        QObject::connect(fw.get(), &ZMsgFw111Q::objectIncomed, fw.get(),
                         [this](const QString &object) { keep(object); });
    }

    void poll()
    {
        while (fw->isObjectIncoming())
            keep(fw->readObject());
    }

    void keep(const QString &object)
    {
        objects << object;
        if (const qint64 id = fw->messageId(object))
            messageIds << id;
    }

    // Confirms every message received so far.
    void confirmAll()
    {
        for (qint64 id : qAsConst(messageIds))
            QVERIFY(fw->acknowledgeMessage(id));
        messageIds.clear();
    }

    // Waits for an object the predicate accepts and takes it out of the list.
    QString take(const std::function<bool(const QString &)> &accept, int timeoutMs = 5000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            poll();
            for (int i = 0; i < objects.size(); ++i) {
                if (accept(objects.at(i)))
                    return objects.takeAt(i);
            }
            if (deadline.hasExpired())
                return QString();
            QTest::qWait(5);
        }
    }

    QString takeMessage(int timeoutMs = 5000)
    {
        return take([](const QString &o) { return o.startsWith(QLatin1String("MessageFromUser<>")); }, timeoutMs);
    }

    int countMessages()
    {
        poll();
        int count = 0;
        for (const QString &object : objects)
            count += object.startsWith(QLatin1String("MessageFromUser<>")) ? 1 : 0;
        return count;
    }

    std::unique_ptr<ZMsgFw111Q> fw;
    QStringList objects;
    // The numbers of the messages among them, in arrival order.
    QList<qint64> messageIds;
};

// A session that confirms the messages it is given.
std::unique_ptr<Session> confirmingSession(const QString &user, const QString &password)
{
    auto session = std::make_unique<Session>();
    session->fw->setAcknowledging(true);
    if (session->fw->loginUser(user, password) != 200 || !session->fw->isAcknowledging())
        return nullptr;
    return session;
}

bool isStateNotification(const QString &object, const QString &user, int state)
{
    return object.startsWith(QLatin1String("ReturnIntialize<>ZM/1.1<>notification<>"))
        && object.contains(QStringLiteral("<>--nt=onlinestate"))
        && object.contains(QStringLiteral("<>--username=") + user)
        && object.contains(QStringLiteral("<>--state=") + QString::number(state));
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xffffffffu;
    for (char byte : data) {
        crc ^= static_cast<unsigned char>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QImage picture(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// The body of a successful download; empty for an error status or a failed transfer.
QByteArray waitForReply(QNetworkReply *reply)
{
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(10000);
    const bool ok = reply->error() == QNetworkReply::NoError
        && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return ok ? body : QByteArray();
}

} // namespace

class TestServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void loginCodes_data();
    void loginCodes();
    void demoAccountsKnowEachOther();
    void clientStartupRequests();
    void olderClassAsksUsermail();
    void friendRequestAccepted();
    void friendRequestRejected();
    void addContactRefusals_data();
    void addContactRefusals();
    void messageWhileOnline();
    void messageSurvivesOfflineAndRestart();
    void messageRefusals_data();
    void messageRefusals();
    void stateNotifications();
    void profileAndSettings();
    void refusedValues_data();
    void refusedValues();
    void unframeableStoredValueGetsMatchableError();
    void listSeparatorsSurviveInContactLists_data();
    void listSeparatorsSurviveInContactLists();
    void passwordChange();
    void poke();
    void demoContactAnswers();
    void avatarUploadThenDownload();
    void avatarUploadWithWrongPassword();
    void avatarUploadRefusals_data();
    void avatarUploadRefusals();
    void avatarFormats_data();
    void avatarFormats();
    void uploadPasswordKeepsItsSpaces();
    void controlCharactersRefused_data();
    void controlCharactersRefused();
    void profileShowsClientsAsStateDoes_data();
    void profileShowsClientsAsStateDoes();
    void longContactListArrivesWhole_data();
    void longContactListArrivesWhole();
    void oldPasswordHashIsRenewed();
    void productionPasswordHashes();
    void logLinesCannotBeForged();
    void legacySession();
    void badLines_data();
    void badLines();
    void overlongLineIsRefused();
    void unknownProtocolIsClosed();
    void repeatedFailedLoginsClose();
    void nonReadingClientIsBounded();
    void loginAnnouncesConfirmations();
    void unconfirmedMessagesComeAgainAtNextLogin();
    void unconfirmedMessageNotPushedTwiceInOneSession();
    void confirmationsAreNeverAnswered_data();
    void confirmationsAreNeverAnswered();
    void confirmationsOnlyForOwnPushes();
    void unconfirmedPushesAreBounded();
    void executable();

private:
    void startServer();
    void addAccount(const QString &name, const QString &password);
    void makeContacts(const QString &a, const QString &b);
    // Sessions of earlier cases close asynchronously on the server side.
    void waitOffline(const QString &user);
    QByteArray rawExchange(const QList<QByteArray> &lines, int expectedLines);
    int storedFor(const QString &user);

    QTemporaryDir m_dir;
    ZmsgdConfig m_config;
    ZmsgdServerThread m_server;
};

void TestServer::startServer()
{
    QString error;
    QVERIFY2(m_server.start(m_config, &error), qPrintable(error));
    exportZmsgdEndpoint(m_server);
}

void TestServer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_config = loopbackZmsgdConfig(m_dir.filePath(QStringLiteral("zmsgd.sqlite")));
    startServer();
}

void TestServer::cleanupTestCase()
{
    m_server.stop();
}

void TestServer::addAccount(const QString &name, const QString &password)
{
    bool created = false;
    m_server.runOnServer([&](ZmsgdServer *server) {
        created = server->store()->createAccount(name, password, QString()) == ZmsgdStore::CreateResult::Created;
    });
    QVERIFY2(created, qPrintable(name));
}

void TestServer::makeContacts(const QString &a, const QString &b)
{
    m_server.runOnServer([&](ZmsgdServer *server) {
        server->store()->addContact(a, b);
        server->store()->addContact(b, a);
    });
}

void TestServer::waitOffline(const QString &user)
{
    QTRY_VERIFY([&] {
        bool online = true;
        m_server.runOnServer([&](ZmsgdServer *server) { online = server->service()->isOnline(user); });
        return !online;
    }());
}

void TestServer::loginCodes_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("code");
    QTest::newRow("demo account") << "alice"
                                  << "alice123" << 200;
    QTest::newRow("second demo account") << "bob"
                                         << "bob123" << 200;
    QTest::newRow("wrong password") << "alice"
                                    << "alice124" << 404;
    QTest::newRow("password of another account") << "alice"
                                                 << "bob123" << 404;
    QTest::newRow("unknown account") << "nobody"
                                     << "alice123" << 404;
    QTest::newRow("name in other case") << "Alice"
                                        << "alice123" << 404;
    QTest::newRow("empty password") << "alice"
                                    << "" << 404;
    QTest::newRow("demo contact cannot log in") << "zeltobot"
                                                << "" << 404;
}

void TestServer::loginCodes()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(int, code);
    Session session;
    QCOMPARE(session.fw->loginUser(user, password), code);
    QCOMPARE(session.fw->isLoggedIn(), code == 200);
}

void TestServer::demoAccountsKnowEachOther()
{
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->getUserNick(), QStringLiteral("Alice"));
    const QStringList contacts = alice.fw->getUserContacts().split(QLatin1Char('\n'));
    QCOMPARE(contacts, QStringList({QStringLiteral("bob"), QStringLiteral("zeltobot")}));
    QCOMPARE(alice.fw->getUserContactsLength(), QStringLiteral("2"));
    // carol asked alice before; the request waits for her.
    QCOMPARE(alice.fw->getUserFriendRequests(), QStringLiteral("carol"));
    QCOMPARE(alice.fw->getUserFriendRequestsLength(), QStringLiteral("1"));
    const QStringList states = alice.fw->getUserContactsWithStates().split(QLatin1Char('\n'));
    QCOMPARE(states.size(), 2);
    QCOMPARE(states.at(1), QStringLiteral("zeltobot|Zelto Bot|I answer every message|1"));
    QVERIFY(states.at(0).startsWith(QLatin1String("bob|Bob|")));
    QVERIFY(!alice.fw->getUserAvatar().startsWith(QLatin1String("///Error")));
}

void TestServer::clientStartupRequests()
{
    // What the client sends right after logging in, answered as objects it understands.
    waitOffline(QStringLiteral("bob"));
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->getUserNick(), QStringLiteral("Alice"));
    QVERIFY(alice.fw->requestGetUserAvatar());
    QVERIFY(alice.fw->requestGetUserContactsWithAvatar());
    QVERIFY(alice.fw->requestGetUserContactsWithStates());
    QVERIFY(alice.fw->requestGetUserContactsRequests());
    QVERIFY(alice.fw->requestGetUserOnlineState());
    const auto reply = [&alice](const char *word) {
        const QString key =
            QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=") + QLatin1String(word) + QStringLiteral("<>");
        return alice.take([&key](const QString &o) { return o.startsWith(key); });
    };
    const QString avatar = reply("avatar");
    QVERIFY2(QRegularExpression(QStringLiteral("<>--id=200<>--avatar=[0-9a-f]{32}$")).match(avatar).hasMatch(),
             qPrintable(avatar));
    const QString avatars = reply("contactswithavatar");
    QVERIFY2(
        QRegularExpression(QStringLiteral("<>--id=200<>--users=bob\\|[0-9a-f]{32}&lt;&gt;zeltobot\\|[0-9a-f]{32}$"))
            .match(avatars)
            .hasMatch(),
        qPrintable(avatars));
    const QString states = reply("contactswithstates");
    QVERIFY2(QRegularExpression(QStringLiteral("<>--id=200<>--users=bob\\|Bob\\|[^|]*\\|8&lt;&gt;"
                                               "zeltobot\\|Zelto Bot\\|I answer every message\\|1$"))
                 .match(states)
                 .hasMatch(),
             qPrintable(states));
    QCOMPARE(reply("contactsrequests"),
             QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=contactsrequests<>--id=200<>--users=carol"));
    QCOMPARE(reply("onlinestate"),
             QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=onlinestate<>--id=200<>--state=1"));
}

void TestServer::olderClassAsksUsermail()
{
    ZMsgFw11Q older;
    QCOMPARE(older.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(older.getUserMail(), QStringLiteral("bob@example.org"));
    QCOMPARE(older.getUserFriendRequestsLength(), QStringLiteral("0"));
}

void TestServer::friendRequestAccepted()
{
    addAccount(QStringLiteral("dave"), QStringLiteral("davepass"));
    addAccount(QStringLiteral("erin"), QStringLiteral("erinpass"));
    Session dave;
    Session erin;
    QCOMPARE(dave.fw->loginUser(QStringLiteral("dave"), QStringLiteral("davepass")), 200);
    QCOMPARE(erin.fw->loginUser(QStringLiteral("erin"), QStringLiteral("erinpass")), 200);
    QCOMPARE(erin.fw->getUserFriendRequestsLength(), QStringLiteral("0"));

    QCOMPARE(dave.fw->addUserContact(QStringLiteral("erin")), 200);
    // The asked side hears of it at once, as a friend request list.
    const QString pushed =
        erin.take([](const QString &o) { return o.contains(QLatin1String("--rq=contactsrequests")); });
    QCOMPARE(pushed,
             QStringLiteral("ReturnIntialize<>ZM/1.1<>notification<>--nt=contactsrequests<>--rq=contactsrequests"
                            "<>--id=200<>--users=dave"));
    QCOMPARE(erin.fw->getUserContactsRequests(), QStringLiteral("dave"));
    QCOMPARE(erin.fw->getUserFriendRequestsLength(), QStringLiteral("1"));
    // Until the answer the asker sees the other side as offline.
    QCOMPARE(dave.fw->getUserContactsWithStates(), QStringLiteral("erin|erin||8"));
    QCOMPARE(dave.fw->getAnotherUserOnlineState(QStringLiteral("erin")), 8);

    QCOMPARE(erin.fw->addUserContact(QStringLiteral("dave")), 200);
    QCOMPARE(erin.fw->getUserContactsRequests(), QString());
    QCOMPARE(erin.fw->getUserContacts(), QStringLiteral("dave"));
    QCOMPARE(dave.fw->getUserContactsWithStates(), QStringLiteral("erin|erin||1"));
    QCOMPARE(erin.fw->getAnotherUserOnlineState(QStringLiteral("dave")), 1);
    QVERIFY(!dave.take([](const QString &o) { return isStateNotification(o, QStringLiteral("erin"), 1); }).isEmpty());
}

void TestServer::friendRequestRejected()
{
    addAccount(QStringLiteral("frank"), QStringLiteral("frankpass"));
    addAccount(QStringLiteral("gina"), QStringLiteral("ginapass"));
    Session frank;
    Session gina;
    QCOMPARE(frank.fw->loginUser(QStringLiteral("frank"), QStringLiteral("frankpass")), 200);
    QCOMPARE(gina.fw->loginUser(QStringLiteral("gina"), QStringLiteral("ginapass")), 200);
    QCOMPARE(frank.fw->addUserContact(QStringLiteral("gina")), 200);
    QCOMPARE(gina.fw->getUserFriendRequests(), QStringLiteral("frank"));

    QCOMPARE(gina.fw->delUserContact(QStringLiteral("frank")), 200);
    QCOMPARE(gina.fw->getUserFriendRequests(), QString());
    QCOMPARE(gina.fw->getUserContacts(), QString());
    // The unanswered entry leaves the asker's list too, so a later request is possible.
    QCOMPARE(frank.fw->getUserContacts(), QString());
    QCOMPARE(frank.fw->addUserContact(QStringLiteral("gina")), 200);
    QCOMPARE(gina.fw->getUserFriendRequests(), QStringLiteral("frank"));
    // Withdrawing a request removes it from the other side.
    QCOMPARE(frank.fw->delUserContact(QStringLiteral("gina")), 200);
    QCOMPARE(gina.fw->getUserFriendRequests(), QString());
    QCOMPARE(frank.fw->delUserContact(QStringLiteral("gina")), 404);
}

void TestServer::addContactRefusals_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("code");
    QTest::newRow("unknown account") << "nosuchuser" << 404;
    QTest::newRow("self") << "alice" << 400;
    QTest::newRow("already a contact") << "bob" << 409;
    QTest::newRow("empty name") << "" << 400;
}

void TestServer::addContactRefusals()
{
    QFETCH(QString, user);
    QFETCH(int, code);
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->addUserContact(user), code);
    QCOMPARE(alice.fw->getUserContactsLength(), QStringLiteral("2"));
}

void TestServer::messageWhileOnline()
{
    Session alice;
    Session bob;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QVERIFY(!bob.fw->getUserNick().startsWith(QLatin1String("///Error")));
    const QString text = QStringLiteral("hello &nbsp; b&amp;c <b>ü</b>");
    QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), text), 200);
    QCOMPARE(bob.takeMessage(), QStringLiteral("MessageFromUser<>alice: ") + text + QLatin1Char('\n'));
    QVERIFY(alice.fw->actionSendMessageToUser(QStringLiteral("bob"), QStringLiteral("second"), 7));
    QCOMPARE(bob.takeMessage(), QStringLiteral("MessageFromUser<>alice: second\n"));
    // Each message arrives once; nothing more is on its way.
    QCOMPARE(bob.fw->getUserOnlineState(), 1);
    QCOMPARE(bob.countMessages(), 0);
    QCOMPARE(
        alice.take([](const QString &o) { return o.contains(QLatin1String("--at=sendmessage<>--id=200")); }).isEmpty(),
        false);
}

void TestServer::messageSurvivesOfflineAndRestart()
{
    waitOffline(QStringLiteral("bob"));
    {
        Session alice;
        QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), QStringLiteral("while away %1").arg(i)), 200);
        alice.fw->logoutUser();
    }
    m_server.stop();
    startServer();
    Session bob;
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(bob.takeMessage(), QStringLiteral("MessageFromUser<>alice: while away 1\n"));
    QCOMPARE(bob.takeMessage(), QStringLiteral("MessageFromUser<>alice: while away 2\n"));
    QCOMPARE(bob.takeMessage(), QStringLiteral("MessageFromUser<>alice: while away 3\n"));
    // Once delivered they are gone: the next login brings nothing again.
    QTRY_VERIFY([this] {
        int pending = -1;
        m_server.runOnServer(
            [&](ZmsgdServer *server) { pending = server->store()->pendingCount(QStringLiteral("bob")); });
        return pending == 0;
    }());
    bob.fw->logoutUser();
    Session again;
    QCOMPARE(again.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(again.fw->getUserNick(), QStringLiteral("Bob"));
    QCOMPARE(again.takeMessage(300), QString());
}

void TestServer::messageRefusals_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("code");
    QTest::newRow("unknown account") << "nosuchuser"
                                     << "hi" << 404;
    QTest::newRow("stranger") << "carol"
                              << "hi" << 403;
    QTest::newRow("self") << "alice"
                          << "hi" << 403;
    QTest::newRow("empty text") << "bob"
                                << "" << 400;
    QTest::newRow("overlong text") << "bob" << QString(ZmsgdService::MaxMessageLength + 1, QLatin1Char('x')) << 413;
}

void TestServer::messageRefusals()
{
    QFETCH(QString, user);
    QFETCH(QString, text);
    QFETCH(int, code);
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->sendMessageToUser(user, text), code);
    int pending = -1;
    m_server.runOnServer([&](ZmsgdServer *server) { pending = server->store()->pendingCount(user); });
    QCOMPARE(pending, 0);
}

void TestServer::stateNotifications()
{
    Session bob;
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    {
        Session alice;
        QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
        QVERIFY(
            !bob.take([](const QString &o) { return isStateNotification(o, QStringLiteral("alice"), 1); }).isEmpty());
        QCOMPARE(alice.fw->setUserOnlineState(3), 200);
        QCOMPARE(alice.fw->getUserOnlineState(), 3);
        QVERIFY(
            !bob.take([](const QString &o) { return isStateNotification(o, QStringLiteral("alice"), 3); }).isEmpty());
        QCOMPARE(bob.fw->getAnotherUserOnlineState(QStringLiteral("alice")), 3);
        QCOMPARE(alice.fw->setUserOnlineState(9), 400);
    }
    // The session object is gone and its connection with it.
    QVERIFY(!bob.take([](const QString &o) { return isStateNotification(o, QStringLiteral("alice"), 8); }).isEmpty());
    QCOMPARE(bob.fw->getAnotherUserOnlineState(QStringLiteral("alice")), 8);

    // The chosen state is kept for the next login.
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QVERIFY(!bob.take([](const QString &o) { return isStateNotification(o, QStringLiteral("alice"), 3); }).isEmpty());
    QCOMPARE(alice.fw->setUserOnlineState(1), 200);
}

void TestServer::profileAndSettings()
{
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->setUserNick(QStringLiteral("Alice A.")), 200);
    QCOMPARE(alice.fw->getUserNick(), QStringLiteral("Alice A."));
    QCOMPARE(alice.fw->setUserMessageState(QStringLiteral("line one<br>&amp; more")), 200);
    QCOMPARE(alice.fw->getUserMessageState(), QStringLiteral("line one<br>&amp; more"));
    QCOMPARE(alice.fw->setUserMail(QStringLiteral("alice@example.net"), false), 200);
    QCOMPARE(alice.fw->getUserMail(), QStringLiteral("alice@example.net"));

    Session bob;
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(bob.fw->getAnotherUserNick(QStringLiteral("alice")), QStringLiteral("Alice A."));
    QCOMPARE(bob.fw->getAnotherUserMessageState(QStringLiteral("alice")), QStringLiteral("line one<br>&amp; more"));
    QCOMPARE(bob.fw->getAnotherUserMail(QStringLiteral("alice")), QStringLiteral("///Error 403"));
    QCOMPARE(alice.fw->setUserMail(QStringLiteral("alice@example.net"), true), 200);
    QCOMPARE(bob.fw->getAnotherUserMail(QStringLiteral("alice")), QStringLiteral("alice@example.net"));
    QCOMPARE(bob.fw->getAnotherUserNick(QStringLiteral("nosuchuser")), QStringLiteral("///Error 404"));
    QVERIFY(bob.fw->getUserContactsWithStates().contains(
        QLatin1String("alice|Alice A.|line one&#60;br&#62;&#38;amp; more|1")));

    const QString own = alice.fw->getUserProfileInfo(QStringLiteral("alice"));
    QVERIFY2(own.startsWith(QLatin1String("contacts&splt;2&nxve;signature&splt;Gold&nxve;accas&splt;system&sxlt;")),
             qPrintable(own));
    QVERIFY(own.contains(QLatin1String("&aclt;version&sxlt;1.1.1-1&aclt;ip&sxlt;127.0.0.1")));
    // Other users see the clients but not their addresses.
    const QString seen = bob.fw->getUserProfileInfo(QStringLiteral("alice"));
    QVERIFY(seen.contains(QLatin1String("&aclt;version&sxlt;1.1.1-1")));
    QVERIFY(!seen.contains(QLatin1String("ip&sxlt;")));
    QCOMPARE(bob.fw->getUserProfileInfo(QStringLiteral("nosuchuser")), QStringLiteral("///Error 404"));
    QCOMPARE(alice.fw->setUserNick(QStringLiteral("Alice")), 200);
}

void TestServer::refusedValues_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("value");
    QTest::newRow("blank nick") << "nick"
                                << "   ";
    QTest::newRow("overlong nick") << "nick" << QString(65, QLatin1Char('n'));
    QTest::newRow("mail without at") << "mail"
                                     << "alice.example.org";
    QTest::newRow("mail with space") << "mail"
                                     << "al ice@example.org";
}

void TestServer::refusedValues()
{
    QFETCH(QString, kind);
    QFETCH(QString, value);
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    int code = 0;
    if (kind == QLatin1String("nick"))
        code = alice.fw->setUserNick(value);
    else if (kind == QLatin1String("status"))
        code = alice.fw->setUserMessageState(value);
    else
        code = alice.fw->setUserMail(value, true);
    QCOMPARE(code, 400);
    QCOMPARE(alice.fw->getUserNick(), QStringLiteral("Alice"));
}

// A value stored before line breaks were refused cannot be sent; the caller still gets the
// server's 500 as the answer to its own request, not somebody else's line.
void TestServer::unframeableStoredValueGetsMatchableError()
{
    m_server.runOnServer(
        [](ZmsgdServer *server) { server->store()->setNick(QStringLiteral("alice"), QStringLiteral("two\nlines")); });
    Session alice;
    Session bob;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(alice.fw->getUserNick(), QStringLiteral("///Error 500"));
    QCOMPARE(bob.fw->getAnotherUserNick(QStringLiteral("alice")), QStringLiteral("///Error 500"));
    QVERIFY(bob.objects.isEmpty());
    m_server.runOnServer(
        [](ZmsgdServer *server) { server->store()->setNick(QStringLiteral("alice"), QStringLiteral("Alice")); });
    QCOMPARE(alice.fw->getUserNick(), QStringLiteral("Alice"));
}

void TestServer::listSeparatorsSurviveInContactLists_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("status");
    QTest::newRow("bars") << "A|l|ice"
                          << "busy | away";
    QTest::newRow("list separator") << "a<>b"
                                    << "x<>y<>";
    QTest::newRow("entity texts") << "Alice &#124;"
                                  << "&amp; &#60; &nbsp;";
}

void TestServer::listSeparatorsSurviveInContactLists()
{
    QFETCH(QString, nick);
    QFETCH(QString, status);
    Session alice;
    Session bob;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(alice.fw->setUserNick(nick), 200);
    QCOMPARE(alice.fw->setUserMessageState(status), 200);
    const QStringList entries = bob.fw->getUserContactsWithStates().split(QLatin1Char('\n'));
    QStringList fields;
    for (const QString &entry : entries) {
        if (entry.startsWith(QLatin1String("alice|")))
            fields = entry.split(QLatin1Char('|'));
    }
    QCOMPARE(fields.size(), 4);
    QCOMPARE(ZMsgFwWire::unescapeListField(fields.at(1)), nick);
    QCOMPARE(ZMsgFwWire::unescapeListField(fields.at(2)), status);
    QCOMPARE(alice.fw->setUserNick(QStringLiteral("Alice")), 200);
    QCOMPARE(alice.fw->setUserMessageState(QString()), 200);
}

void TestServer::passwordChange()
{
    addAccount(QStringLiteral("hank"), QStringLiteral("oldpassword"));
    Session hank;
    QCOMPARE(hank.fw->loginUser(QStringLiteral("hank"), QStringLiteral("oldpassword")), 200);
    QCOMPARE(hank.fw->setUserPassword(QStringLiteral("wrong"), QStringLiteral("newpassword")), 300);
    QCOMPARE(hank.fw->setUserPassword(QStringLiteral("oldpassword"), QString()), 400);
    QCOMPARE(hank.fw->setUserPassword(QStringLiteral("oldpassword"), QStringLiteral("new password&")), 200);
    Session again;
    QCOMPARE(again.fw->loginUser(QStringLiteral("hank"), QStringLiteral("oldpassword")), 404);
    QCOMPARE(again.fw->loginUser(QStringLiteral("hank"), QStringLiteral("new password&")), 200);
}

void TestServer::poke()
{
    waitOffline(QStringLiteral("bob"));
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->sendPokeToUser(QStringLiteral("bob")), 404);
    Session bob;
    // Each try waits up to five seconds; a slow (sanitizer) build may need another, as the
    // client's watchdog would make.
    QTRY_COMPARE_WITH_TIMEOUT(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200, 30000);
    QCOMPARE(bob.fw->getUserNick(), QStringLiteral("Bob"));
    QCOMPARE(alice.fw->sendPokeToUser(QStringLiteral("bob")), 200);
    QCOMPARE(bob.take([](const QString &o) { return o.startsWith(QLatin1String("PokeFromUser<>")); }),
             QStringLiteral("PokeFromUser<>alice\n"));
    QCOMPARE(alice.fw->sendPokeToUser(QStringLiteral("carol")), 403);
}

void TestServer::demoContactAnswers()
{
    Session bob;
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(bob.fw->getAnotherUserOnlineState(QStringLiteral("zeltobot")), 1);
    QCOMPARE(bob.fw->sendMessageToUser(QStringLiteral("zeltobot"), QStringLiteral("ping &amp; pong")), 200);
    QCOMPARE(bob.takeMessage(), QStringLiteral("MessageFromUser<>zeltobot: You wrote: ping &amp; pong\n"));

    // A new contact of the demo contact is accepted at once.
    addAccount(QStringLiteral("ivan"), QStringLiteral("ivanpass"));
    Session ivan;
    QCOMPARE(ivan.fw->loginUser(QStringLiteral("ivan"), QStringLiteral("ivanpass")), 200);
    QCOMPARE(ivan.fw->addUserContact(QStringLiteral("zeltobot")), 200);
    QCOMPARE(ivan.fw->getUserContactsWithStates(), QStringLiteral("zeltobot|Zelto Bot|I answer every message|1"));
    QCOMPARE(ivan.fw->sendMessageToUser(QStringLiteral("zeltobot"), QStringLiteral("hi")), 200);
    QCOMPARE(ivan.takeMessage(), QStringLiteral("MessageFromUser<>zeltobot: You wrote: hi\n"));
}

void TestServer::avatarUploadThenDownload()
{
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    const QString before = alice.fw->getUserAvatar();
    QVERIFY(!before.startsWith(QLatin1String("///Error")));

    QVERIFY(alice.fw->uploadAvatar(QStringLiteral("alice"), QStringLiteral("alice123"), picture(300, 200, Qt::red)));
    const QString id = alice.fw->getUserAvatar();
    QVERIFY(!id.startsWith(QLatin1String("///Error")));
    QVERIFY(id != before);

    Session bob;
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QVERIFY(bob.fw->requestGetUserContactsWithAvatar());
    const QString list =
        bob.take([](const QString &o) { return o.contains(QLatin1String("--rq=contactswithavatar")); });
    QVERIFY2(list.contains(QStringLiteral("--users=alice|") + id), qPrintable(list));

    for (bool secure : {false, true}) {
        const QByteArray png = waitForReply(alice.fw->downloadAvatar(id, secure));
        const QImage image = QImage::fromData(png, "PNG");
        QCOMPARE(image.size(), QSize(128, 128));
        QCOMPARE(QColor(image.pixel(64, 64)), QColor(Qt::red));
        const QByteArray digest = waitForReply(alice.fw->downloadAvatarHash(id, secure));
        QCOMPARE(digest, QCryptographicHash::hash(png, QCryptographicHash::Md5).toHex());
        // The account name finds the same picture.
        QCOMPARE(waitForReply(alice.fw->downloadAvatar(QStringLiteral("alice"), secure)), png);
    }
    QVERIFY(waitForReply(alice.fw->downloadAvatar(before, false)).isEmpty());

    QVERIFY(alice.fw->uploadAvatar(QStringLiteral("alice"), QStringLiteral("alice123"), picture(64, 64, Qt::blue)));
    QVERIFY(alice.fw->getUserAvatar() != id);
}

void TestServer::avatarUploadWithWrongPassword()
{
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    const QString id = alice.fw->getUserAvatar();
    QVERIFY(!alice.fw->uploadAvatar(QStringLiteral("alice"), QStringLiteral("wrong"), picture(32, 32, Qt::green)));
    QCOMPARE(alice.fw->getUserAvatar(), id);
}

void TestServer::avatarUploadRefusals_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("credentials");
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<QByteArray>("lastLine");
    const QByteArray upload = "ZM/1.1 avatarupload\n";
    const QByteArray alice = "--username=alice --password=alice123";
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture(20, 10, Qt::yellow).save(&buffer, "PNG");
    QTest::newRow("wrong first line") << QByteArray("ZM/1.1 avatardownload\n") << QByteArray() << QByteArray()
                                      << QByteArray("ZM/1.1 return --at=avatarupload --id=400 --result=error");
    QTest::newRow("endless first line") << QByteArray("ZM/1.1 avatarupload") + QByteArray(200, ' ') << QByteArray()
                                        << QByteArray()
                                        << QByteArray("ZM/1.1 return --at=avatarupload --id=413 --result=error");
    QTest::newRow("wrong password") << upload << QByteArray("--username=alice --password=nope") << QByteArray()
                                    << QByteArray("ZM/1.1 return --at=avatarupload --id=404 --result=refused");
    QTest::newRow("garbled credentials") << upload << QByteArray("user alice") << QByteArray()
                                         << QByteArray("ZM/1.1 return --at=avatarupload --id=404 --result=refused");
    QTest::newRow("not a picture") << upload << alice << QByteArray("GIF89a not a png at all")
                                   << QByteArray("ZM/1.1 return --at=avatarupload --id=400 --result=error");
    QTest::newRow("svg")
        << upload << alice
        << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"><text>A</text></svg>")
        << QByteArray("ZM/1.1 return --at=avatarupload --id=400 --result=error");
    QByteArray broken = png;
    broken[20] = char(broken[20] ^ 0x55);
    QTest::newRow("damaged png") << upload << alice << broken
                                 << QByteArray("ZM/1.1 return --at=avatarupload --id=400 --result=error");
    // A picture that claims to be huge is refused before it is decoded.
    QByteArray huge = png;
    qToBigEndian<quint32>(200000, huge.data() + 16);
    qToBigEndian<quint32>(200000, huge.data() + 20);
    qToBigEndian<quint32>(crc32(huge.mid(12, 17)), huge.data() + 29);
    QTest::newRow("huge declared size") << upload << alice << huge
                                        << QByteArray("ZM/1.1 return --at=avatarupload --id=400 --result=error");
    // Credentials and picture in one go, as a hasty client might send them.
    QTest::newRow("all at once") << upload << alice + png << QByteArray()
                                 << QByteArray("ZM/1.1 return --at=avatarupload --id=200 --result=psuccess");
}

void TestServer::avatarUploadRefusals()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, credentials);
    QFETCH(QByteArray, picture);
    QFETCH(QByteArray, lastLine);
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.avatarTlsPort());
    QVERIFY(socket.waitForEncrypted(5000));
    socket.write(header);
    if (!credentials.isEmpty())
        socket.write(credentials);
    socket.flush();
    if (!picture.isEmpty()) {
        QVERIFY(socket.waitForReadyRead(5000));
        QVERIFY(socket.readLine().contains("--result=allow"));
        socket.write(picture);
    }
    QByteArray received;
    QDeadlineTimer deadline(10000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(100);
        received += socket.readAll();
    }
    received += socket.readAll();
    const QList<QByteArray> lines = received.trimmed().split('\n');
    QCOMPARE(lines.last(), lastLine);
    QVERIFY(!deadline.hasExpired());
}

void TestServer::avatarFormats_data()
{
    QTest::addColumn<QByteArray>("picture");
    QTest::addColumn<int>("code");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("png") << plainPng(40, 30, Qt::red) << 200 << QColor(Qt::red);
    QImage blue(40, 40, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QVERIFY(blue.save(&buffer, "JPEG"));
    QTest::newRow("jpeg") << jpeg << 200 << QColor(Qt::blue);
    QImage green(30, 50, QImage::Format_RGB32);
    green.fill(Qt::green);
    QTest::newRow("gif") << gifBytes(green) << 200 << QColor(Qt::green);
    // Rendering text needs the font database, which a server without a GUI has not: it crashed.
    QTest::newRow("svg with text") << QByteArray(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"9\" height=\"9\"><text y=\"8\">A</text></svg>")
                                   << 400 << QColor();
    // The server would read a picture file of its own machine and publish it as the avatar.
    const QString secret = m_dir.filePath(QStringLiteral("secret.png"));
    QFile file(secret);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(plainPng(128, 128, Qt::magenta));
    file.close();
    QTest::newRow("svg naming a file of the server")
        << ("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"128\""
            " height=\"128\"><image width=\"128\" height=\"128\" xlink:href=\""
            + secret.toUtf8() + "\" href=\"" + secret.toUtf8() + "\"/></svg>")
        << 400 << QColor();
    QImage bitmap(8, 8, QImage::Format_RGB32);
    bitmap.fill(Qt::yellow);
    QByteArray bmp;
    QBuffer bmpBuffer(&bmp);
    bmpBuffer.open(QIODevice::WriteOnly);
    QVERIFY(bitmap.save(&bmpBuffer, "BMP"));
    QTest::newRow("bmp") << bmp << 400 << QColor();
    QTest::newRow("png wider than allowed") << plainPng(1100, 2, Qt::red) << 400 << QColor();
    QTest::newRow("png behind other bytes") << " " + plainPng(20, 20, Qt::red) << 400 << QColor();
}

void TestServer::avatarFormats()
{
    QFETCH(QByteArray, picture);
    QFETCH(int, code);
    QFETCH(QColor, colour);
    ZMsgFw10Q legacy;
    QCOMPARE(legacy.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    const QByteArray before = waitForReply(ZMsgFw111Q().downloadAvatar(QStringLiteral("bob"), false));
    QCOMPARE(legacy.setUserAvatar(QString::fromLatin1(picture.toBase64()), QStringLiteral("any")), code);
    // The server is still there and answers.
    QCOMPARE(legacy.getUserNick(), QStringLiteral("Bob"));
    const QByteArray after = waitForReply(ZMsgFw111Q().downloadAvatar(QStringLiteral("bob"), false));
    if (code != 200) {
        QCOMPARE(after, before);
        return;
    }
    const QImage image = QImage::fromData(after, "PNG");
    QCOMPARE(image.size(), QSize(128, 128));
    const QColor centre = image.pixelColor(64, 64);
    QVERIFY2(qAbs(centre.red() - colour.red()) < 16 && qAbs(centre.green() - colour.green()) < 16
                 && qAbs(centre.blue() - colour.blue()) < 16,
             qPrintable(centre.name()));
}

void TestServer::uploadPasswordKeepsItsSpaces()
{
    addAccount(QStringLiteral("spacey"), QStringLiteral(" secret "));
    Session spacey;
    QCOMPARE(spacey.fw->loginUser(QStringLiteral("spacey"), QStringLiteral(" secret ")), 200);
    QVERIFY(
        spacey.fw->uploadAvatar(QStringLiteral("spacey"), QStringLiteral(" secret "), picture(50, 50, Qt::darkCyan)));
    const QImage image =
        QImage::fromData(waitForReply(spacey.fw->downloadAvatar(QStringLiteral("spacey"), false)), "PNG");
    QCOMPARE(image.pixelColor(64, 64), QColor(Qt::darkCyan));
    QVERIFY(!spacey.fw->uploadAvatar(QStringLiteral("spacey"), QStringLiteral(" secret"), picture(50, 50, Qt::red)));
}

void TestServer::controlCharactersRefused_data()
{
    QTest::addColumn<QByteArray>("login");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray v11 = "ZM/1.1 login --username=bob --password=bob123\n";
    const QByteArray v10 = "SEND /login ZM/1.0\nUsername: bob\nPassword: bob123\n";
    const QByteArray refused11 = "ZM/1.1 return --at=%1 --id=400";
    const QByteArray refused10 = "ZM/1.0 400 Bad Request";
    QTest::newRow("CR in a message, 1.1")
        << v11 << QByteArray("ZM/1.1 action --at=sendmessage --username=alice --message=one\rtwo\n")
        << QByteArray(refused11).replace("%1", "sendmessage");
    QTest::newRow("NUL in a message, 1.1")
        << v11 << QByteArray("ZM/1.1 action --at=sendmessage --username=alice --message=one\0two\n", 66)
        << QByteArray(refused11).replace("%1", "sendmessage");
    QTest::newRow("CR in a message, 1.0")
        << v10 << QByteArray("SEND /message ZM/1.0\nUsername: alice\nMessage: one\rtwo\n") << refused10;
    QTest::newRow("NUL in a nick, 1.1") << v11 << QByteArray("ZM/1.1 action --at=setnick --nick=Al\0ice\n", 41)
                                        << QByteArray(refused11).replace("%1", "setnick");
    QTest::newRow("NUL in a nick, 1.0") << v10 << QByteArray("SEND /setusernick ZM/1.0\nNick: Al\0ice\n", 38)
                                        << refused10;
    QTest::newRow("NUL in a status, 1.1")
        << v11 << QByteArray("ZM/1.1 action --at=setmessagestate --message=a\0b\n", 49)
        << QByteArray(refused11).replace("%1", "setmessagestate");
}

void TestServer::controlCharactersRefused()
{
    QFETCH(QByteArray, login);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    waitOffline(QStringLiteral("alice"));
    const QByteArray received = rawExchange({login, line}, 2);
    const QList<QByteArray> lines = received.split('\n');
    QVERIFY2(lines.size() >= 2, received.constData());
    QCOMPARE(lines.at(1), reply);
    int pending = -1;
    QString nick;
    QString status;
    m_server.runOnServer([&](ZmsgdServer *server) {
        pending = server->store()->pendingCount(QStringLiteral("alice"));
        nick = server->store()->account(QStringLiteral("bob"))->nick;
        status = server->store()->account(QStringLiteral("bob"))->statusMessage;
    });
    QCOMPARE(pending, 0);
    QCOMPARE(nick, QStringLiteral("Bob"));
    QVERIFY(!status.contains(QChar(0)));
}

void TestServer::profileShowsClientsAsStateDoes_data()
{
    QTest::addColumn<QString>("viewer");
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("clientsShown");
    QTest::newRow("own profile") << "alice" << 3 << true;
    QTest::newRow("own profile while showing offline") << "alice" << 5 << true;
    QTest::newRow("contact") << "bob" << 2 << true;
    QTest::newRow("contact while showing offline") << "bob" << 5 << false;
    QTest::newRow("asked, not accepted") << "carol" << 1 << false;
    QTest::newRow("stranger") << "lurker" << 1 << false;
}

void TestServer::profileShowsClientsAsStateDoes()
{
    QFETCH(QString, viewer);
    QFETCH(int, state);
    QFETCH(bool, clientsShown);
    m_server.runOnServer([](ZmsgdServer *server) {
        if (!server->store()->accountExists(QStringLiteral("lurker")))
            server->store()->createAccount(QStringLiteral("lurker"), QStringLiteral("lurkerpass"), QString());
    });
    const QHash<QString, QString> passwords = {{QStringLiteral("alice"), QStringLiteral("alice123")},
                                               {QStringLiteral("bob"), QStringLiteral("bob123")},
                                               {QStringLiteral("carol"), QStringLiteral("carol123")},
                                               {QStringLiteral("lurker"), QStringLiteral("lurkerpass")}};
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->setUserOnlineState(state), 200);
    Session other;
    Session &looking = viewer == QLatin1String("alice") ? alice : other;
    if (&looking == &other)
        QCOMPARE(other.fw->loginUser(viewer, passwords.value(viewer)), 200);
    const QString profile = looking.fw->getUserProfileInfo(QStringLiteral("alice"));
    QVERIFY2(profile.startsWith(QLatin1String("contacts&splt;")), qPrintable(profile));
    QCOMPARE(profile.contains(QLatin1String("system&sxlt;")), clientsShown);
    QCOMPARE(profile.contains(QLatin1String("version&sxlt;1.1.1-1")), clientsShown);
    QCOMPARE(profile.contains(QLatin1String("ip&sxlt;")), viewer == QLatin1String("alice"));
    QCOMPARE(alice.fw->setUserOnlineState(1), 200);
}

void TestServer::longContactListArrivesWhole_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("count");
    // Status messages of 1024 list separators travel as ten bytes each: the lists are lines of
    // some 1.2 and 9 MB.
    QTest::newRow("120 contacts") << "popular" << 120;
    QTest::newRow("900 contacts") << "famous" << 900;
}

void TestServer::longContactListArrivesWhole()
{
    QFETCH(QString, user);
    QFETCH(int, count);
    const QString status(1024, QLatin1Char('|'));
    m_server.runOnServer([&](ZmsgdServer *server) {
        ZmsgdStore *store = server->store();
        store->createAccount(user, QStringLiteral("popularpass"), QString());
        store->transaction();
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("friend%1").arg(i, 3, 10, QLatin1Char('0'));
            if (!store->accountExists(name)) {
                store->createAccount(name, QStringLiteral("friendpass"), QString());
                store->setStatusMessage(name, status);
            }
            store->addContact(name, user);
            store->addContact(user, name);
        }
        store->commit();
    });
    Session popular;
    QCOMPARE(popular.fw->loginUser(user, QStringLiteral("popularpass")), 200);
    const QStringList entries = popular.fw->getUserContactsWithStates().split(QLatin1Char('\n'));
    QCOMPARE(entries.size(), count);
    for (const QString &entry : entries) {
        const QStringList fields = entry.split(QLatin1Char('|'));
        QCOMPARE(fields.size(), 4);
        QCOMPARE(ZMsgFwWire::unescapeListField(fields.at(2)), status);
    }
    QVERIFY(popular.fw->isLoggedIn());

    QVERIFY(popular.fw->requestGetUserContactsWithStates());
    const QString object = popular.take(
        [](const QString &o) {
            return o.startsWith(QLatin1String("ReturnIntialize<>ZM/1.1<>return<>--rq=contactswithstates"));
        },
        20000);
    QVERIFY(object.contains(QLatin1String("<>--id=200<>--users=")));
    QCOMPARE(object.count(QLatin1String("&lt;&gt;")), count - 1);
    QCOMPARE(popular.fw->getUserNick(), user);
}

void TestServer::oldPasswordHashIsRenewed()
{
    const QByteArray salt("0123456789abcdef");
    const ZmsgdPassword::Record old{salt, ZmsgdPassword::pbkdf2(QStringLiteral("olden pass"), salt, 4096), 4096};
    m_server.runOnServer([&](ZmsgdServer *server) {
        QCOMPARE(server->store()->createAccountWithHash(QStringLiteral("olden"), old, QString()),
                 ZmsgdStore::CreateResult::Created);
    });
    const auto record = [this] {
        ZmsgdPassword::Record stored;
        m_server.runOnServer(
            [&](ZmsgdServer *server) { stored = *server->store()->passwordRecord(QStringLiteral("olden")); });
        return stored;
    };
    Session olden;
    QCOMPARE(olden.fw->loginUser(QStringLiteral("olden"), QStringLiteral("wrong")), 404);
    QVERIFY(record() == old);
    QCOMPARE(olden.fw->loginUser(QStringLiteral("olden"), QStringLiteral("olden pass")), 200);
    const ZmsgdPassword::Record renewed = record();
    QVERIFY(renewed.isArgon2());
    QVERIFY2(renewed.hash.startsWith("$argon2id$"), renewed.hash.constData());
    QVERIFY(renewed.salt.isEmpty());
    Session again;
    QCOMPARE(again.fw->loginUser(QStringLiteral("olden"), QStringLiteral("olden pass")), 200);
    QCOMPARE(again.fw->loginUser(QStringLiteral("olden"), QStringLiteral("olden pas")), 404);
    QVERIFY(record() == renewed);
}

void TestServer::productionPasswordHashes()
{
    const ZmsgdPassword::Cost production = ZmsgdPassword::productionCost();
    // libsodium's interactive strength: two passes over 64 MiB.
    QCOMPARE(production.operations, 2ull);
    QCOMPARE(production.memoryBytes, std::size_t(64 * 1024 * 1024));
    QCOMPARE(ZmsgdConfig().passwordCost.operations, production.operations);
    QCOMPARE(ZmsgdConfig().passwordCost.memoryBytes, production.memoryBytes);

    // What the program stores for a new account.
    const QString program = qEnvironmentVariable("ZM_ZMSGD");
    if (program.isEmpty())
        QSKIP("ZM_ZMSGD names no zmsgd program");
    const QString database = m_dir.filePath(QStringLiteral("production.sqlite"));
    QProcess add;
    add.start(program,
              {QStringLiteral("--database"), database, QStringLiteral("--add-user"), QStringLiteral("strong"),
               QStringLiteral("a long pass")});
    QVERIFY(add.waitForFinished(30000));
    QCOMPARE(add.exitCode(), 0);
    ZmsgdStore store;
    QString error;
    QVERIFY2(store.open(database, &error), qPrintable(error));
    const ZmsgdPassword::Record record = *store.passwordRecord(QStringLiteral("strong"));
    QVERIFY2(record.hash.startsWith("$argon2id$v=19$m=65536,t=2,p=1$"), record.hash.constData());
    QVERIFY(ZmsgdPassword::verify(QStringLiteral("a long pass"), record));
    QVERIFY(!ZmsgdPassword::needsRehash(record, production));
}

void TestServer::logLinesCannotBeForged()
{
    const QString program = qEnvironmentVariable("ZM_ZMSGD");
    if (program.isEmpty())
        QSKIP("ZM_ZMSGD names no zmsgd program");
    QProcess server;
    server.start(program,
                 {QStringLiteral("--database"), m_dir.filePath(QStringLiteral("log.sqlite")), QStringLiteral("--port"),
                  QStringLiteral("0"), QStringLiteral("--avatar-tls-port"), QStringLiteral("0"),
                  QStringLiteral("--avatar-http-port"), QStringLiteral("0"), QStringLiteral("--web-port"),
                  QStringLiteral("0")});
    QVERIFY(server.waitForStarted(10000));
    QHash<QString, quint16> ports;
    QDeadlineTimer deadline(10000);
    while (ports.size() < 4 && !deadline.hasExpired()) {
        if (!server.canReadLine())
            server.waitForReadyRead(200);
        while (server.canReadLine()) {
            const QStringList words = QString::fromUtf8(server.readLine()).trimmed().split(QLatin1Char(' '));
            ports.insert(words.value(1), quint16(words.value(3).toUInt()));
        }
    }
    QCOMPARE(ports.size(), 4);
    const auto send = [](quint16 port, bool tls, const QByteArray &bytes) {
        QSslSocket socket;
        socket.setPeerVerifyMode(QSslSocket::VerifyNone);
        if (tls) {
            socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
            QVERIFY(socket.waitForEncrypted(5000));
        } else {
            socket.connectToHost(QStringLiteral("127.0.0.1"), port);
            QVERIFY(socket.waitForConnected(5000));
        }
        socket.write(bytes);
        QDeadlineTimer done(5000);
        while (socket.state() == QAbstractSocket::ConnectedState && !done.hasExpired())
            socket.waitForReadyRead(100);
    };
    const QByteArray forged = "2001-01-01T00:00:00 zmsgd: forged";
    send(ports.value(QStringLiteral("web")), false,
         "GET /x%0A" + QUrl::toPercentEncoding(QString::fromLatin1(forged)) + "%1B[31mred HTTP/1.1\r\n\r\n");
    send(ports.value(QStringLiteral("avatar-http")), false,
         "GET /avatar/%0D%0A" + QUrl::toPercentEncoding(QString::fromLatin1(forged)) + " HTTP/1.1\r\n\r\n");
    send(ports.value(QStringLiteral("avatar-tls")), true,
         "ZM/1.1 avatarupload\n--username=a\r\n" + forged + "\x1b[2J\x7f\xc2\x9b --password=x");
    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    const QByteArray log = server.readAllStandardError();
    const QList<QByteArray> lines = log.trimmed().split('\n');
    QVERIFY(lines.size() >= 3);
    for (const QByteArray &line : lines) {
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d zmsgd: "))
                     .match(QString::fromUtf8(line))
                     .hasMatch(),
                 line.constData());
        QVERIFY2(!line.startsWith(forged), line.constData());
        for (const char c : line)
            QVERIFY2(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f, line.toHex().constData());
        QVERIFY2(!line.contains("\xc2\x9b"), line.constData());
    }
    QVERIFY2(log.contains("/x\\n" + forged + "\\x1b[31mred"), log.constData());
    QVERIFY2(log.contains("(a\\r\\n" + forged + "\\x1b[2J\\x7f\\x9b)"), log.constData());
}

void TestServer::legacySession()
{
    ZMsgFw10Q legacy;
    QCOMPARE(legacy.loginUser(QStringLiteral("bob"), QStringLiteral("wrong")), 404);
    QCOMPARE(legacy.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QCOMPARE(legacy.getUserContacts(), QStringLiteral("alice\nzeltobot"));
    QCOMPARE(legacy.getUserContactsLength(), QStringLiteral("2"));
    QCOMPARE(legacy.getUserNick(), QStringLiteral("Bob"));
    QCOMPARE(legacy.setUserMessageState(QStringLiteral("old client")), 200);
    QCOMPARE(legacy.getUserMessageState(), QStringLiteral("old client"));
    QCOMPARE(legacy.addUserContact(QStringLiteral("nosuchuser")), 404);
    QCOMPARE(legacy.getUserOnlineState(), 1);
    // A poke gets no answer in this generation: the next call still reads its own reply.
    QCOMPARE(legacy.sendPokeToUser(QStringLiteral("alice")), 0);
    QCOMPARE(legacy.getUserNick(), QStringLiteral("Bob"));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture(50, 50, Qt::cyan).save(&buffer, "PNG");
    QCOMPARE(legacy.setUserAvatar(QString::fromLatin1(png.toBase64()), QStringLiteral("png")), 200);
    QCOMPARE(legacy.setUserAvatar(QStringLiteral("not a picture"), QStringLiteral("png")), 400);
    QCOMPARE(QImage::fromData(waitForReply(ZMsgFw111Q().downloadAvatar(QStringLiteral("bob"), false)), "PNG")
                 .pixelColor(5, 5),
             QColor(Qt::cyan));

    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(legacy.sendMessageToUser(QStringLiteral("alice"), QStringLiteral("from the old days")), 200);
    QCOMPARE(alice.takeMessage(), QStringLiteral("MessageFromUser<>bob: from the old days\n"));
    QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), QStringLiteral("and back")), 200);
    QString object;
    QDeadlineTimer deadline(5000);
    while (object.isEmpty() && !deadline.hasExpired()) {
        QTest::qWait(5);
        object = legacy.readObject();
    }
    QCOMPARE(object, QStringLiteral("MessageFromUser<>alice: and back\n"));
}

QByteArray TestServer::rawExchange(const QList<QByteArray> &lines, int expectedLines)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
    if (!socket.waitForEncrypted(5000))
        return "no handshake";
    for (const QByteArray &line : lines)
        socket.write(line);
    QByteArray received;
    QDeadlineTimer deadline(5000);
    while (received.count('\n') < expectedLines && !deadline.hasExpired()) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
        received += socket.readAll();
    }
    return received;
}

int TestServer::storedFor(const QString &user)
{
    int pending = -1;
    m_server.runOnServer([&](ZmsgdServer *server) {
        server->service()->flushConfirmed();
        pending = server->store()->pendingCount(user);
    });
    return pending;
}

void TestServer::badLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("unknown verb") << QByteArray("ZM/1.1 dance\n")
                                  << QByteArray("ZM/1.1 return --id=405 --result=unknownverb\n");
    QTest::newRow("unknown request") << QByteArray("ZM/1.1 request --rq=everything\n")
                                     << QByteArray("ZM/1.1 return --rq=everything --id=405\n");
    QTest::newRow("request without word")
        << QByteArray("ZM/1.1 request\n") << QByteArray("ZM/1.1 return --rq= --id=400\n");
    QTest::newRow("unknown action") << QByteArray("ZM/1.1 action --at=explode\n")
                                    << QByteArray("ZM/1.1 return --at=explode --id=405\n");
    QTest::newRow("action without argument") << QByteArray("ZM/1.1 action --at=setonlinestate\n")
                                             << QByteArray("ZM/1.1 return --at=setonlinestate --id=400\n");
    QTest::newRow("state not a number") << QByteArray("ZM/1.1 action --at=setonlinestate --state=high\n")
                                        << QByteArray("ZM/1.1 return --at=setonlinestate --id=400\n");
    QTest::newRow("request about nobody") << QByteArray("ZM/1.1 request --rq=anotherusernick\n")
                                          << QByteArray("ZM/1.1 return --rq=anotherusernick --id=400\n");
    QTest::newRow("other tag") << QByteArray("HELLO world\n")
                               << QByteArray("ZM/1.1 return --id=400 --result=badline\n");
    QTest::newRow("second login") << QByteArray("ZM/1.1 login --username=bob --password=bob123\n")
                                  << QByteArray("ZM/1.1 return --id=409 --result=alreadyloggedin\n");
    QTest::newRow("carriage return before the line feed")
        << QByteArray("ZM/1.1 request --rq=anotherusernick --username=bob\r\n")
        << QByteArray("ZM/1.1 return --rq=anotherusernick --id=200 --username=bob --nick=Bob\n");
}

void TestServer::badLines()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, reply);
    const QByteArray login = "ZM/1.1 login --username=bob --password=bob123 --system=Test --version=0\n";
    const QByteArray received = rawExchange({login, line, "ZM/1.1 request --rq=nick\n"}, 3);
    const QList<QByteArray> lines = received.split('\n');
    QVERIFY2(lines.size() >= 3, received.constData());
    QVERIFY(lines.at(0).startsWith("ZM/1.1 return --id=200"));
    QCOMPARE(lines.at(1) + '\n', reply);
    // The session goes on after the bad line.
    QCOMPARE(lines.at(2), QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=Bob"));
}

void TestServer::overlongLineIsRefused()
{
    const QByteArray login = "ZM/1.1 login --username=bob --password=bob123\n";
    const QByteArray huge = "ZM/1.1 request --rq=nick --username=" + QByteArray(1024 * 1024, 'x') + "\n";
    const QByteArray received = rawExchange({login, huge, "ZM/1.1 request --rq=nick\n"}, 3);
    const QList<QByteArray> lines = received.split('\n');
    QVERIFY2(lines.size() >= 3, received.left(200).constData());
    QCOMPARE(lines.at(1), QByteArray("ZM/1.1 return --id=413 --result=linetoolong"));
    QCOMPARE(lines.at(2), QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=Bob"));
    // Before a login, requests are answered with 401 and nothing else happens.
    QCOMPARE(rawExchange({"ZM/1.1 request --rq=contacts\n"}, 1),
             QByteArray("ZM/1.1 return --rq=contacts --id=401 --result=notloggedin\n"));
}

void TestServer::unknownProtocolIsClosed()
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
    QVERIFY(socket.waitForEncrypted(5000));
    socket.write("GET / HTTP/1.1\r\n\r\n");
    QVERIFY(socket.waitForDisconnected(5000) || socket.state() == QAbstractSocket::UnconnectedState);
    QCOMPARE(socket.readAll(), QByteArray("ZM/1.1 return --id=400 --result=unknownprotocol\n"));
    // The server is still there for everyone else.
    Session bob;
    QCOMPARE(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
}

void TestServer::repeatedFailedLoginsClose()
{
    addAccount(QStringLiteral("guessed"), QStringLiteral("guessedpass"));
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
    QVERIFY(socket.waitForEncrypted(5000));
    for (int i = 0; i < ZmsgdConnection::MaxFailedLogins; ++i)
        socket.write("ZM/1.1 login --username=guessed --password=guess" + QByteArray::number(i) + "\n");
    QByteArray received;
    QDeadlineTimer deadline(10000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(100);
        received += socket.readAll();
    }
    received += socket.readAll();
    QCOMPARE(received.count("--id=404"), ZmsgdConnection::MaxFailedLogins);
    QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
}

void TestServer::nonReadingClientIsBounded()
{
    // A client that floods requests and never reads: the server stops reading from it
    // instead of queueing answers without limit, and serves others meanwhile.
    QSslSocket flood;
    flood.setPeerVerifyMode(QSslSocket::VerifyNone);
    flood.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
    QVERIFY(flood.waitForEncrypted(5000));
    flood.write("ZM/1.1 login --username=alice --password=alice123\n");
    const QByteArray request = "ZM/1.1 request --rq=profileinfo --username=alice\n";
    const int requests = 80000;
    QByteArray burst;
    for (int i = 0; i < requests / 40; ++i)
        burst += request;
    for (int i = 0; i < 40; ++i) {
        flood.write(burst);
        flood.flush();
    }
    Session bob;
    // Each try waits up to five seconds; a slow (sanitizer) build may need another, as the
    // client's watchdog would make.
    QTRY_COMPARE_WITH_TIMEOUT(bob.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200, 30000);
    QCOMPARE(bob.fw->getUserNick(), QStringLiteral("Bob"));
    int connections = 0;
    qint64 buffered = 0;
    m_server.runOnServer([&](ZmsgdServer *server) {
        connections = server->connectionCount();
        buffered = server->bufferedBytes();
    });
    QVERIFY(connections >= 2);
    // Answering everything would take some 25 MB; the server holds a small bounded part.
    QVERIFY2(buffered < 2 * 1024 * 1024, qPrintable(QString::number(buffered)));

    // Once the client reads, the answers come, each one whole.
    QByteArray received;
    int lines = 0;
    QDeadlineTimer deadline(20000);
    while (lines < 5000 && !deadline.hasExpired()) {
        flood.flush();
        if (flood.bytesAvailable() == 0)
            flood.waitForReadyRead(200);
        received += flood.readAll();
        int newline;
        while ((newline = received.indexOf('\n')) >= 0) {
            const QByteArray line = received.left(newline);
            received.remove(0, newline + 1);
            // The login reply first, bob's arrival pushed in between, then the answers.
            if (line.startsWith("ZM/1.1 return --id=200") || line.startsWith("ZM/1.1 notification --nt=onlinestate"))
                continue;
            QVERIFY2(line.startsWith("ZM/1.1 return --rq=profileinfo --id=200 --username=alice --image=contacts"),
                     line.left(100).constData());
            ++lines;
        }
    }
    QVERIFY(lines >= 5000);
    flood.abort();
    QTRY_COMPARE(bob.fw->getAnotherUserOnlineState(QStringLiteral("alice")), 8);
}

void TestServer::loginAnnouncesConfirmations()
{
    const QByteArray login = "ZM/1.1 login --username=alice --password=alice123 --system=raw --version=1\n";
    const QByteArray reply = rawExchange({login}, 1);
    QVERIFY2(reply.startsWith("ZM/1.1 return --id=200 ") && reply.endsWith(" --ack=1\n"), reply.constData());
    const QByteArray refused = rawExchange({"ZM/1.1 login --username=alice --password=wrong\n"}, 1);
    QVERIFY2(refused.startsWith("ZM/1.1 return --id=404 ") && !refused.contains("--ack="), refused.constData());
}

// A message read from a connection that then dies, without a confirmation, comes again.
void TestServer::unconfirmedMessagesComeAgainAtNextLogin()
{
    waitOffline(QStringLiteral("bob"));
    auto bob = confirmingSession(QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob);
    QCOMPARE(bob->fw->getUserNick(), QStringLiteral("Bob"));
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), QStringLiteral("again %1").arg(i)), 200);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(bob->takeMessage(), QStringLiteral("MessageFromUser<>alice: again %1\n").arg(i));
    const QList<qint64> firstIds = bob->messageIds;
    QCOMPARE(firstIds.size(), 3);
    QCOMPARE(storedFor(QStringLiteral("bob")), 3);
    bob.reset();
    waitOffline(QStringLiteral("bob"));

    bob = confirmingSession(QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob);
    for (int i = 1; i <= 3; ++i)
        QCOMPARE(bob->takeMessage(), QStringLiteral("MessageFromUser<>alice: again %1\n").arg(i));
    QCOMPARE(bob->messageIds, firstIds);
    bob->confirmAll();
    QTRY_COMPARE(storedFor(QStringLiteral("bob")), 0);
    bob.reset();
    waitOffline(QStringLiteral("bob"));
    bob = confirmingSession(QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob);
    QCOMPARE(bob->fw->getUserNick(), QStringLiteral("Bob"));
    QCOMPARE(bob->takeMessage(300), QString());
}

void TestServer::unconfirmedMessageNotPushedTwiceInOneSession()
{
    waitOffline(QStringLiteral("bob"));
    auto bob = confirmingSession(QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob);
    QCOMPARE(bob->fw->getUserNick(), QStringLiteral("Bob"));
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), QStringLiteral("once")), 200);
    QCOMPARE(bob->takeMessage(), QStringLiteral("MessageFromUser<>alice: once\n"));
    // A second session of bob comes and goes: the server hands its messages round again.
    {
        Session other;
        QCOMPARE(other.fw->loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
        QCOMPARE(other.fw->getUserNick(), QStringLiteral("Bob"));
    }
    QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), QStringLiteral("twice")), 200);
    QCOMPARE(bob->takeMessage(), QStringLiteral("MessageFromUser<>alice: twice\n"));
    QCOMPARE(bob->fw->getUserOnlineState(), 1);
    QCOMPARE(bob->countMessages(), 0);
    bob->confirmAll();
    QTRY_COMPARE(storedFor(QStringLiteral("bob")), 0);
}

void TestServer::confirmationsAreNeverAnswered_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("answered");
    QTest::newRow("opening") << QByteArray("ZM/1.1 action --at=ack --mid=0\n") << false;
    QTest::newRow("unknown message") << QByteArray("ZM/1.1 action --at=ack --mid=987654321\n") << false;
    QTest::newRow("number too large") << QByteArray("ZM/1.1 action --at=ack --mid=99999999999999999999\n") << false;
    QTest::newRow("not a number") << QByteArray("ZM/1.1 action --at=ack --mid=x\n") << false;
    QTest::newRow("without number") << QByteArray("ZM/1.1 action --at=ack\n") << false;
    // Only the word "ack" itself makes a confirmation; anything else is an unknown action.
    QTest::newRow("longer word") << QByteArray("ZM/1.1 action --at=acks --mid=1\n") << true;
    QTest::newRow("as a request") << QByteArray("ZM/1.1 request --rq=ack --mid=1\n") << true;
}

// A confirmation gets no reply, which a blocking call would take for a foreign line.
void TestServer::confirmationsAreNeverAnswered()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, answered);
    const QByteArray received =
        rawExchange({"ZM/1.1 login --username=carol --password=carol123 --system=raw --version=1\n", line,
                     "ZM/1.1 request --rq=nick\n"},
                    answered ? 3 : 2);
    const QList<QByteArray> lines = received.split('\n');
    QVERIFY2(lines.size() >= 3, received.constData());
    QVERIFY2(lines.at(0).startsWith("ZM/1.1 return --id=200"), received.constData());
    if (answered)
        QVERIFY2(lines.at(1).contains(" --id=405"), received.constData());
    QCOMPARE(lines.at(answered ? 2 : 1), QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=Carol"));
}

// A client confirms only messages pushed to it on that connection.
void TestServer::confirmationsOnlyForOwnPushes()
{
    waitOffline(QStringLiteral("bob"));
    Session alice;
    alice.fw->setAcknowledging(true);
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), QStringLiteral("for bob only")), 200);
    qint64 id = 0;
    m_server.runOnServer([&](ZmsgdServer *server) {
        const QList<ZmsgdStoredMessage> waiting = server->store()->pendingMessages(QStringLiteral("bob"), 0, 10);
        id = waiting.isEmpty() ? 0 : waiting.last().id;
    });
    QVERIFY(id > 0);
    QVERIFY(alice.fw->acknowledgeMessage(id));
    QCOMPARE(alice.fw->getUserNick(), QStringLiteral("Alice"));
    QCOMPARE(storedFor(QStringLiteral("bob")), 1);

    // Bob himself cannot confirm it before it was pushed to him either.
    auto bob = confirmingSession(QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob);
    QVERIFY(bob->fw->acknowledgeMessage(id));
    QCOMPARE(bob->takeMessage(), QStringLiteral("MessageFromUser<>alice: for bob only\n"));
    QCOMPARE(storedFor(QStringLiteral("bob")), 1);
    bob->confirmAll();
    QTRY_COMPARE(storedFor(QStringLiteral("bob")), 0);
}

// A client that never confirms gets a bounded number of messages, then more as it confirms.
void TestServer::unconfirmedPushesAreBounded()
{
    constexpr int Bound = ZmsgdConnection::MaxUnconfirmedPushes;
    constexpr int Extra = 6;
    waitOffline(QStringLiteral("bob"));
    auto bob = confirmingSession(QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob);
    QCOMPARE(bob->fw->getUserNick(), QStringLiteral("Bob"));
    Session alice;
    QCOMPARE(alice.fw->loginUser(QStringLiteral("alice"), QStringLiteral("alice123")), 200);
    for (int i = 0; i < Bound + Extra; ++i)
        QCOMPARE(alice.fw->sendMessageToUser(QStringLiteral("bob"), QStringLiteral("n%1").arg(i)), 200);
    QTRY_COMPARE(bob->countMessages(), Bound);
    // A round trip later nothing more has come.
    QCOMPARE(bob->fw->getUserOnlineState(), 1);
    QCOMPARE(bob->countMessages(), Bound);

    QVERIFY(bob->fw->acknowledgeMessage(bob->messageIds.first()));
    QTRY_COMPARE(bob->countMessages(), Bound + 1);
    bob->confirmAll();
    QTRY_COMPARE(bob->countMessages(), Bound + Extra);
    QCOMPARE(bob->objects.last(), QStringLiteral("MessageFromUser<>alice: n%1\n").arg(Bound + Extra - 1));
    bob->confirmAll();
    QTRY_COMPARE(storedFor(QStringLiteral("bob")), 0);
}

void TestServer::executable()
{
    const QString program = qEnvironmentVariable("ZM_ZMSGD");
    if (program.isEmpty())
        QSKIP("ZM_ZMSGD names no zmsgd program");
    const QString database = m_dir.filePath(QStringLiteral("cli.sqlite"));

    QProcess help;
    help.start(program, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(10000));
    QCOMPARE(help.exitCode(), 0);
    const QByteArray usage = help.readAllStandardOutput();
    for (const char *option : {"--address", "--port", "--avatar-tls-port", "--avatar-http-port", "--web-port",
                               "--database", "--cert", "--key", "--latest-version", "--demo", "--add-user"})
        QVERIFY2(usage.contains(option), option);

    QProcess add;
    add.start(program,
              {QStringLiteral("--database"), database, QStringLiteral("--add-user"), QStringLiteral("zoe"),
               QStringLiteral("zoe secret")});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 0);
    add.start(program,
              {QStringLiteral("--database"), database, QStringLiteral("--add-user"), QStringLiteral("zoe"),
               QStringLiteral("again")});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 1);
    add.start(program,
              {QStringLiteral("--database"), database, QStringLiteral("--add-user"), QStringLiteral("bad|name"),
               QStringLiteral("pw")});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 1);
    add.start(program, {QStringLiteral("--database"), database, QStringLiteral("--port"), QStringLiteral("70000")});
    QVERIFY(add.waitForFinished(10000));
    QCOMPARE(add.exitCode(), 2);
    QVERIFY(add.readAllStandardError().contains("--port"));

    QProcess server;
    server.start(program,
                 {QStringLiteral("--database"), database, QStringLiteral("--port"), QStringLiteral("0"),
                  QStringLiteral("--avatar-tls-port"), QStringLiteral("0"), QStringLiteral("--avatar-http-port"),
                  QStringLiteral("0"), QStringLiteral("--web-port"), QStringLiteral("0")});
    QVERIFY(server.waitForStarted(10000));
    QStringList listening;
    QDeadlineTimer deadline(10000);
    while (listening.size() < 4 && !deadline.hasExpired()) {
        if (!server.canReadLine())
            server.waitForReadyRead(200);
        while (server.canReadLine())
            listening << QString::fromUtf8(server.readLine()).trimmed();
    }
    QCOMPARE(listening.size(), 4);
    const QStringList names = {QStringLiteral("messaging"), QStringLiteral("avatar-tls"), QStringLiteral("avatar-http"),
                               QStringLiteral("web")};
    for (int i = 0; i < 4; ++i) {
        const QStringList words = listening.at(i).split(QLatin1Char(' '));
        QCOMPARE(words.size(), 4);
        QCOMPARE(words.at(0), QStringLiteral("listening"));
        QCOMPARE(words.at(1), names.at(i));
        QCOMPARE(words.at(2), QStringLiteral("127.0.0.1"));
        QVERIFY(words.at(3).toUInt() > 0);
    }
    const QByteArray port = listening.at(0).split(QLatin1Char(' ')).at(3).toLatin1();
    const QByteArray previous = qgetenv("ZMSGFW_PORT");
    qputenv("ZMSGFW_PORT", port);
    Session zoe;
    QCOMPARE(zoe.fw->loginUser(QStringLiteral("zoe"), QStringLiteral("zoe secret")), 200);
    QCOMPARE(zoe.fw->getUserNick(), QStringLiteral("zoe"));
    Session wrong;
    QCOMPARE(wrong.fw->loginUser(QStringLiteral("zoe"), QStringLiteral("zoe")), 404);
    qputenv("ZMSGFW_PORT", previous);
    server.terminate();
    QVERIFY(server.waitForFinished(10000));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QVERIFY(server.readAllStandardError().contains("(zoe) logged in"));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestServer)
#include "tst_server.moc"
