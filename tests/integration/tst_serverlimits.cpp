#include "hermetic.h"
#include "loopbackzmsgd.h"

#include <zmsgdcaptcha.h>
#include <zmsgdconfig.h>
#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdservice.h>
#include <zmsgdstore.h>
#include <zmsgdweb.h>

#include <zmsgfwwire.h>

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <atomic>
#include <memory>

#include <sys/stat.h>

namespace {

enum class Way { V11, V10, Upload };

const QHostAddress Owner(QStringLiteral("127.0.0.1"));
const QHostAddress Attacker(QStringLiteral("127.0.0.2"));

// One line from a socket, or what the socket had when it closed.
QByteArray readLine(QAbstractSocket &socket, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!socket.canReadLine() && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))
            && socket.state() != QAbstractSocket::ConnectedState)
            break;
    }
    return socket.canReadLine() ? socket.readLine().trimmed() : socket.readAll().trimmed();
}

int code11(const QByteArray &line)
{
    return ZMsgFwWire::integerArgument(ZMsgFwWire::splitWords(ZMsgFwWire::decodeLine(line)), QStringLiteral("--id="),
                                       0);
}

int mode(const QString &path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace

// Limits that keep one address from spoiling the server for everyone: connections, idle time,
// password guessing, registrations, captcha records, reply sizes, and slow hashing kept off the
// event loop. Each case runs a server of its own with small limits and a clock it can move.
class TestServerLimits : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void connectionsPerAddress_data();
    void connectionsPerAddress();
    void idleConnectionsAreClosed_data();
    void idleConnectionsAreClosed();
    void failedLoginsAreThrottled_data();
    void failedLoginsAreThrottled();
    void oneAddressCannotTryManyAccounts();
    void hashingLeavesTheEventLoopFree();
    void oversizedRepliesAreRefused();
    void registrationsPerAddress();
    void usedCaptchasExpire();
    void databaseIsPrivate_data();
    void databaseIsPrivate();

private:
    ZmsgdConfig config();
    void start(const ZmsgdConfig &config);
    void addAccount(const QString &name, const QString &password);
    int login(Way way, const QHostAddress &from, const QString &user, const QString &password);
    QString captchaAnswer(const QString &code);
    int registerAccount(const QString &name, const QString &code, const QString &answer);

    std::unique_ptr<QTemporaryDir> m_dir;
    ZmsgdServerThread m_server;
    std::atomic<qint64> m_clockOffset{0};
};

void TestServerLimits::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_clockOffset = 0;
}

void TestServerLimits::cleanup()
{
    m_server.stop();
}

ZmsgdConfig TestServerLimits::config()
{
    ZmsgdConfig config = loopbackZmsgdConfig(m_dir->filePath(QStringLiteral("limits.sqlite")), false);
    config.clock = [this] { return QDateTime::currentMSecsSinceEpoch() + m_clockOffset.load(); };
    return config;
}

void TestServerLimits::start(const ZmsgdConfig &config)
{
    QString error;
    QVERIFY2(m_server.start(config, &error), qPrintable(error));
    exportZmsgdEndpoint(m_server);
}

void TestServerLimits::addAccount(const QString &name, const QString &password)
{
    bool created = false;
    m_server.runOnServer([&](ZmsgdServer *server) {
        created = server->store()->createAccount(name, password, QString()) == ZmsgdStore::CreateResult::Created;
    });
    QVERIFY2(created, qPrintable(name));
}

// A login on a connection of its own from the given loopback address; the server's code.
int TestServerLimits::login(Way way, const QHostAddress &from, const QString &user, const QString &password)
{
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (!socket.bind(from))
        return -1;
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"),
                                  way == Way::Upload ? m_server.avatarTlsPort() : m_server.messagingPort());
    if (!socket.waitForEncrypted(10000))
        return -2;
    switch (way) {
    case Way::V11:
        socket.write(ZMsgFwWire::LineBuilder(QStringLiteral("login"))
                         .text(QStringLiteral("--username="), user)
                         .text(QStringLiteral("--password="), password)
                         .toBytes());
        return code11(readLine(socket));
    case Way::V10: {
        socket.write("SEND /login ZM/1.0\nUsername: " + user.toUtf8() + "\nPassword: " + password.toUtf8() + '\n');
        const QList<QByteArray> words = readLine(socket).split(' ');
        return words.value(1).toInt();
    }
    case Way::Upload:
        socket.write("ZM/1.1 avatarupload\n--username=" + user.toUtf8() + " --password=" + password.toUtf8());
        return code11(readLine(socket));
    }
    return -3;
}

void TestServerLimits::connectionsPerAddress_data()
{
    QTest::addColumn<int>("port");
    QTest::newRow("messaging") << 0;
    QTest::newRow("avatar TLS") << 1;
    QTest::newRow("avatar HTTP") << 2;
    QTest::newRow("web") << 3;
}

void TestServerLimits::connectionsPerAddress()
{
    QFETCH(int, port);
    ZmsgdConfig limits = config();
    limits.maxConnections = 12;
    limits.maxConnectionsPerAddress = 4;
    limits.handshakeTimeoutMs = limits.loginTimeoutMs = 60000;
    start(limits);
    addAccount(QStringLiteral("owner"), QStringLiteral("ownerpass"));
    const quint16 ports[] = {m_server.messagingPort(), m_server.avatarTlsPort(), m_server.avatarHttpPort(),
                             m_server.webPort()};
    // Idle connections from one address, more than the server holds in all.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 20; ++i) {
        idle.emplace_back(new QTcpSocket);
        idle.back()->bind(Attacker);
        idle.back()->connectToHost(QStringLiteral("127.0.0.1"), ports[port]);
        QVERIFY(idle.back()->waitForConnected(5000));
    }
    QTRY_VERIFY([this] {
        int held = -1;
        m_server.runOnServer([&](ZmsgdServer *server) { held = server->connectionCount(Attacker); });
        return held == 4;
    }());
    // The rest were closed, and the same address gets no more on another port.
    QTRY_COMPARE(std::count_if(idle.begin(), idle.end(),
                               [](const std::unique_ptr<QTcpSocket> &s) {
                                   return s->state() == QAbstractSocket::ConnectedState;
                               }),
                 std::ptrdiff_t(4));
    QCOMPARE(login(Way::V11, Attacker, QStringLiteral("owner"), QStringLiteral("ownerpass")) > 0, false);
    // Everyone else still gets in, on every port.
    QCOMPARE(login(Way::V11, Owner, QStringLiteral("owner"), QStringLiteral("ownerpass")), 200);
    QCOMPARE(login(Way::V10, Owner, QStringLiteral("owner"), QStringLiteral("ownerpass")), 200);
    QCOMPARE(login(Way::Upload, Owner, QStringLiteral("owner"), QStringLiteral("ownerpass")), 200);
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(network.get(
        QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:%1/update/stable32qt5").arg(m_server.webPort())))));
    QTRY_VERIFY(reply->isFinished());
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
}

void TestServerLimits::idleConnectionsAreClosed_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("handshake");
    QTest::newRow("messaging, no handshake") << 0 << false;
    QTest::newRow("messaging, no login") << 0 << true;
    QTest::newRow("avatar TLS, no handshake") << 1 << false;
    QTest::newRow("avatar TLS, no request") << 1 << true;
    QTest::newRow("avatar HTTP, no request") << 2 << false;
    QTest::newRow("web, no request") << 3 << false;
}

void TestServerLimits::idleConnectionsAreClosed()
{
    QFETCH(int, port);
    QFETCH(bool, handshake);
    ZmsgdConfig limits = config();
    limits.handshakeTimeoutMs = 300;
    limits.loginTimeoutMs = 300;
    start(limits);
    const quint16 ports[] = {m_server.messagingPort(), m_server.avatarTlsPort(), m_server.avatarHttpPort(),
                             m_server.webPort()};
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (handshake) {
        socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), ports[port]);
        QVERIFY(socket.waitForEncrypted(5000));
    } else {
        socket.connectToHost(QStringLiteral("127.0.0.1"), ports[port]);
        QVERIFY(socket.waitForConnected(5000));
    }
    // Closed by the server well before the allowances of old (10 to 60 seconds).
    QDeadlineTimer deadline(8000);
    while (socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired())
        socket.waitForReadyRead(100);
    QCOMPARE(socket.state(), QAbstractSocket::UnconnectedState);
    int held = -1;
    QTRY_VERIFY([&] {
        m_server.runOnServer([&](ZmsgdServer *server) { held = server->connectionCount(); });
        return held == 0;
    }());
}

void TestServerLimits::failedLoginsAreThrottled_data()
{
    QTest::addColumn<int>("wayNumber");
    QTest::newRow("protocol 1.1") << int(Way::V11);
    QTest::newRow("protocol 1.0") << int(Way::V10);
    QTest::newRow("avatar upload") << int(Way::Upload);
}

void TestServerLimits::failedLoginsAreThrottled()
{
    QFETCH(int, wayNumber);
    const Way way = Way(wayNumber);
    ZmsgdConfig limits = config();
    limits.loginLimits.freePerAccount = 3;
    limits.loginLimits.firstRefusalMs = 60 * 1000;
    start(limits);
    addAccount(QStringLiteral("owner"), QStringLiteral("right pass"));
    // Guesses, each on a new connection: reconnecting changes nothing.
    for (int i = 0; i < 3; ++i)
        QCOMPARE(login(way, Attacker, QStringLiteral("owner"), QStringLiteral("guess %1").arg(i)), 404);
    QCOMPARE(login(way, Attacker, QStringLiteral("owner"), QStringLiteral("guess 3")), 429);
    // Refused without being checked: even the right password tells nothing now.
    QCOMPARE(login(way, Attacker, QStringLiteral("owner"), QStringLiteral("right pass")), 429);
    // Through the other ways as well.
    QCOMPARE(login(Way::V11, Attacker, QStringLiteral("owner"), QStringLiteral("guess 4")), 429);
    QCOMPARE(login(Way::Upload, Attacker, QStringLiteral("owner"), QStringLiteral("guess 5")), 429);
    // The owner, elsewhere, is not locked out.
    QCOMPARE(login(way, Owner, QStringLiteral("owner"), QStringLiteral("right pass")), 200);
    // Once the refusal is over the right password works from there too, without waiting for real.
    m_clockOffset += 61 * 1000;
    QCOMPARE(login(way, Attacker, QStringLiteral("owner"), QStringLiteral("right pass")), 200);
}

void TestServerLimits::oneAddressCannotTryManyAccounts()
{
    ZmsgdConfig limits = config();
    limits.loginLimits.freePerAddress = 6;
    start(limits);
    addAccount(QStringLiteral("owner"), QStringLiteral("right pass"));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(login(Way::V11, Attacker, QStringLiteral("ghost%1").arg(i), QStringLiteral("pw")), 404);
    QCOMPARE(login(Way::V11, Attacker, QStringLiteral("ghost6"), QStringLiteral("pw")), 429);
    QCOMPARE(login(Way::V10, Attacker, QStringLiteral("owner"), QStringLiteral("right pass")), 429);
    QCOMPARE(login(Way::V11, Owner, QStringLiteral("owner"), QStringLiteral("right pass")), 200);
    m_clockOffset += limits.loginLimits.firstRefusalMs + 1000;
    QCOMPARE(login(Way::V11, Attacker, QStringLiteral("owner"), QStringLiteral("right pass")), 200);
}

void TestServerLimits::hashingLeavesTheEventLoopFree()
{
    ZmsgdConfig limits = config();
    limits.passwordCost = ZmsgdPassword::productionCost();
    start(limits);
    addAccount(QStringLiteral("owner"), QStringLiteral("right pass"));
    QSslSocket session;
    session.setPeerVerifyMode(QSslSocket::VerifyNone);
    session.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
    QVERIFY(session.waitForEncrypted(10000));
    session.write("ZM/1.1 login --username=owner --password=right&nbsp;pass\n");
    QCOMPARE(code11(readLine(session, 30000)), 200);

    // Logins of unknown accounts cost a full hash each, on connections of their own.
    const int logins = 6;
    std::vector<std::unique_ptr<QSslSocket>> guessers;
    for (int i = 0; i < logins; ++i) {
        guessers.emplace_back(new QSslSocket);
        guessers.back()->setPeerVerifyMode(QSslSocket::VerifyNone);
        guessers.back()->connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
        QVERIFY(guessers.back()->waitForEncrypted(10000));
    }
    for (auto &guesser : guessers) {
        guesser->write("ZM/1.1 login --username=nobody" + QByteArray::number(quintptr(guesser.get()) % 1000)
                       + " --password=x\n");
        guesser->flush();
    }
    // While they are checked, the logged-in session gets answer after answer; with the hashing
    // on the event loop it would get about one between two of them.
    int answered = 0;
    int loginsAnswered = 0;
    QDeadlineTimer deadline(120000);
    while (loginsAnswered < logins && !deadline.hasExpired()) {
        session.write("ZM/1.1 request --rq=nick\n");
        if (code11(readLine(session)) == 200)
            ++answered;
        for (auto &guesser : guessers) {
            if (guesser->bytesAvailable() == 0)
                guesser->waitForReadyRead(0);
            if (guesser->canReadLine()) {
                QCOMPARE(code11(guesser->readLine()), 404);
                ++loginsAnswered;
            }
        }
    }
    QCOMPARE(loginsAnswered, logins);
    qInfo("%d answers to the session while the logins were checked", answered);
    QVERIFY2(answered > 3 * logins, qPrintable(QString::number(answered)));
}

void TestServerLimits::oversizedRepliesAreRefused()
{
    QCOMPARE(ZmsgdConfig().maxReplyLength, ZMsgFwWire::MaxLineLength);
    ZmsgdConfig limits = config();
    limits.maxReplyLength = 64 * 1024;
    start(limits);
    addAccount(QStringLiteral("owner"), QStringLiteral("ownerpass"));
    m_server.runOnServer([](ZmsgdServer *server) {
        for (int i = 0; i < 20; ++i) {
            const QString name = QStringLiteral("friend%1").arg(i);
            server->store()->createAccount(name, QStringLiteral("pw"), QString());
            server->store()->setStatusMessage(name, QString(1024, QLatin1Char('|')));
            server->store()->addContact(name, QStringLiteral("owner"));
            server->store()->addContact(QStringLiteral("owner"), name);
        }
    });
    QSslSocket socket;
    socket.setPeerVerifyMode(QSslSocket::VerifyNone);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
    QVERIFY(socket.waitForEncrypted(10000));
    socket.write("ZM/1.1 login --username=owner --password=ownerpass\n");
    QCOMPARE(code11(readLine(socket)), 200);
    socket.write("ZM/1.1 request --rq=contactswithstates\nZM/1.1 request --rq=nick\n");
    QCOMPARE(readLine(socket), QByteArray("ZM/1.1 return --rq=contactswithstates --id=413"));
    QCOMPARE(readLine(socket), QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=owner"));

    QSslSocket legacy;
    legacy.setPeerVerifyMode(QSslSocket::VerifyNone);
    legacy.connectToHostEncrypted(QStringLiteral("127.0.0.1"), m_server.messagingPort());
    QVERIFY(legacy.waitForEncrypted(10000));
    legacy.write("SEND /login ZM/1.0\nUsername: owner\nPassword: ownerpass\n");
    QCOMPARE(readLine(legacy), QByteArray("ZM/1.0 200 OK"));
    legacy.write("SEND /getusercontactswithstates ZM/1.0\nSEND /getusernick ZM/1.0\n");
    QCOMPARE(readLine(legacy), QByteArray("ZM/1.0 413 Too Long"));
    QCOMPARE(readLine(legacy), QByteArray("ZM/1.0 200 OK"));
    QCOMPARE(readLine(legacy), QByteArray("Nick: owner"));
}

QString TestServerLimits::captchaAnswer(const QString &code)
{
    QString answer;
    m_server.runOnServer([&](ZmsgdServer *server) {
        answer =
            ZmsgdCaptcha::answer(ZmsgdWeb::captchaSecret(server->service()), code, server->service()->now() / 1000);
    });
    return answer;
}

int TestServerLimits::registerAccount(const QString &name, const QString &code, const QString &answer)
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("username"), name);
    form.addQueryItem(QStringLiteral("email"), QString());
    form.addQueryItem(QStringLiteral("password"), QStringLiteral("password1"));
    form.addQueryItem(QStringLiteral("password2"), QStringLiteral("password1"));
    form.addQueryItem(QStringLiteral("code"), code);
    form.addQueryItem(QStringLiteral("captcha"), answer);
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1/user-register.php").arg(m_server.webPort())));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    std::unique_ptr<QNetworkReply> reply(network.post(request, form.toString(QUrl::FullyEncoded).toUtf8()));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(30000))
        return -1;
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

void TestServerLimits::registrationsPerAddress()
{
    ZmsgdConfig limits = config();
    limits.registrationsPerAddressPerHour = 2;
    start(limits);
    QCOMPARE(registerAccount(QStringLiteral("first"), QStringLiteral("c1"), captchaAnswer(QStringLiteral("c1"))), 200);
    QCOMPARE(registerAccount(QStringLiteral("second"), QStringLiteral("c2"), captchaAnswer(QStringLiteral("c2"))), 200);
    QCOMPARE(registerAccount(QStringLiteral("third"), QStringLiteral("c3"), captchaAnswer(QStringLiteral("c3"))), 429);
    // A refused registration creates nothing and does not count; a taken name neither.
    QCOMPARE(registerAccount(QStringLiteral("first"), QStringLiteral("c4"), captchaAnswer(QStringLiteral("c4"))), 409);
    bool exists = true;
    m_server.runOnServer(
        [&](ZmsgdServer *server) { exists = server->store()->accountExists(QStringLiteral("third")); });
    QVERIFY(!exists);
    m_clockOffset += 61 * 60 * 1000;
    QCOMPARE(registerAccount(QStringLiteral("third"), QStringLiteral("c5"), captchaAnswer(QStringLiteral("c5"))), 200);
}

void TestServerLimits::usedCaptchasExpire()
{
    start(config());
    const auto used = [this] {
        int count = -1;
        m_server.runOnServer([&](ZmsgdServer *server) { count = server->store()->usedCaptchaCount(); });
        return count;
    };
    const QString solved = captchaAnswer(QStringLiteral("once"));
    QCOMPARE(registerAccount(QStringLiteral("first"), QStringLiteral("once"), solved), 200);
    QCOMPARE(registerAccount(QStringLiteral("again"), QStringLiteral("once"), solved), 403);
    QCOMPARE(registerAccount(QStringLiteral("other"), QStringLiteral("wrong"), QStringLiteral("nope")), 403);
    QCOMPARE(used(), 2);
    // Two windows later the records go: the answer they guarded is no longer taken anyway.
    m_clockOffset += 2 * ZmsgdCaptcha::WindowSecs * 1000 + 1000;
    QCOMPARE(registerAccount(QStringLiteral("other"), QStringLiteral("fresh"), captchaAnswer(QStringLiteral("fresh"))),
             200);
    QCOMPARE(used(), 1);
    QCOMPARE(registerAccount(QStringLiteral("again"), QStringLiteral("once"), solved), 403);
}

void TestServerLimits::databaseIsPrivate_data()
{
    QTest::addColumn<int>("folderBefore");
    QTest::addColumn<int>("fileBefore");
    QTest::addColumn<int>("folderAfter");
    QTest::newRow("new folder and file") << -1 << -1 << 0700;
    QTest::newRow("open folder and file of before") << 0755 << 0644 << 0700;
    QTest::newRow("shared folder") << 01777 << -1 << 01777;
}

void TestServerLimits::databaseIsPrivate()
{
    QFETCH(int, folderBefore);
    QFETCH(int, fileBefore);
    QFETCH(int, folderAfter);
    const QString folder = m_dir->filePath(QStringLiteral("data"));
    const QString path = folder + QStringLiteral("/zmsgd.sqlite");
    if (folderBefore >= 0) {
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), mode_t(folderBefore)), 0);
    }
    if (fileBefore >= 0) {
        {
            ZmsgdStore store;
            QString error;
            QVERIFY2(store.open(path, &error), qPrintable(error));
        }
        for (const QString &file : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
            QFile(file).open(QIODevice::Append);
            QCOMPARE(::chmod(QFile::encodeName(file).constData(), mode_t(fileBefore)), 0);
        }
    }
    ZmsgdConfig settings = config();
    settings.databasePath = path;
    start(settings);
    addAccount(QStringLiteral("owner"), QStringLiteral("ownerpass"));
    QCOMPARE(mode(folder), folderAfter);
    QCOMPARE(mode(path), 0600);
    QCOMPARE(mode(path + QStringLiteral("-wal")), 0600);
    QCOMPARE(mode(path + QStringLiteral("-shm")), 0600);
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestServerLimits)
#include "tst_serverlimits.moc"
