#include "e2edriver.h"
#include "hermetic.h"
#include "tcprelay.h"

#include <zmsgfw111q.h>

#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <optional>

// Every message sent to a user is shown exactly once by the real client, whatever happens to
// the connection or the server in between: a real zmsgd, a real zmessenger as the recipient,
// and a library session of this process as the sender. What counts is what the client stores
// in its chat history.
class TestDelivery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void connectionResetWithPushesUnread();
    void serverKilledWhileMessagesFlow();

private:
    QTemporaryDir m_dir;
};

namespace {

struct Tally {
    int shown = 0;
    int lost = 0;
    int doubled = 0;
};

bool logIn(ClientProcess &client, const QString &name, const QString &password)
{
    return client.type(QStringLiteral("frmLogin/txtNameDesigned"), name)
        && client.type(QStringLiteral("frmLogin/txtPasswordDesigned"), password)
        && client.click(QStringLiteral("frmLogin/labDesignedLogin"));
}

bool loggedIn(ClientProcess &client)
{
    return client.get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool();
}

void pointLibraryAt(const ServerProcess &server)
{
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", QByteArray::number(server.messagingPort));
}

QString token(QChar kind, int number)
{
    return kind + QStringLiteral("%1").arg(number, 4, 10, QLatin1Char('0'));
}

// How often each token appears in the chat history the client keeps for contact.
QHash<QString, int> storedTokens(const ClientProcess &client, const QString &contact)
{
    QHash<QString, int> counts;
    const QString path = client.home() + QStringLiteral("/.zmsg/") + contact + QStringLiteral(".ini");
    if (!QFileInfo::exists(path))
        return counts;
    const QSettings history(path, QSettings::IniFormat);
    const int last = history.value(QStringLiteral("Chat/LastMessageID")).toInt();
    static const QRegularExpression pattern(QStringLiteral("\\b[a-z]\\d{4}\\b"));
    for (int i = 1; i <= last; ++i) {
        const QString markup = history.value(QStringLiteral("Messages/Message%1").arg(i)).toStringList().value(0);
        QRegularExpressionMatchIterator it = pattern.globalMatch(markup);
        while (it.hasNext())
            ++counts[it.next().captured(0)];
    }
    return counts;
}

Tally tally(const QHash<QString, int> &stored, const QStringList &sent)
{
    Tally result;
    for (const QString &t : sent) {
        const int times = stored.value(t);
        result.shown += times > 0 ? 1 : 0;
        result.lost += times == 0 ? 1 : 0;
        result.doubled += qMax(0, times - 1);
    }
    return result;
}

// Waits until every sent token is stored (or the time is up) and counts.
Tally waitForHistory(const ClientProcess &client, const QString &contact, const QStringList &sent, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    Tally result = tally(storedTokens(client, contact), sent);
    while (result.lost > 0 && !deadline.hasExpired()) {
        QTest::qWait(100);
        result = tally(storedTokens(client, contact), sent);
    }
    return result;
}

// The texts of the messages the server keeps for user, read beside the running or killed
// server; nullopt when the database cannot be read.
std::optional<QStringList> keptFor(const QString &databasePath, const QString &user)
{
    std::optional<QStringList> texts;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("delivery-peek"));
        db.setDatabaseName(databasePath);
        QSqlQuery query(db);
        if (db.open() && query.prepare(QStringLiteral("SELECT body FROM messages WHERE recipient = ?"))) {
            query.addBindValue(user);
            if (query.exec()) {
                texts.emplace();
                while (query.next())
                    texts->append(query.value(0).toString());
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("delivery-peek"));
    return texts;
}

int keptCount(const QString &databasePath, const QString &user)
{
    const std::optional<QStringList> texts = keptFor(databasePath, user);
    return texts ? texts->size() : -1;
}

QString describe(const Tally &t, int sent)
{
    return QStringLiteral("%1 sent, %2 shown, %3 lost, %4 shown twice")
        .arg(sent)
        .arg(t.shown)
        .arg(t.lost)
        .arg(t.doubled);
}

} // namespace

void TestDelivery::initTestCase()
{
#ifndef ZM_TEST_HOOKS
    QSKIP("needs the client's test control channel (ZM_TEST_HOOKS)");
#endif
    if (qEnvironmentVariableIsEmpty("ZM_ZMSGD") || qEnvironmentVariableIsEmpty("ZM_ZMESSENGER"))
        QSKIP("needs ZM_ZMSGD and ZM_ZMESSENGER (set by ctest)");
    QVERIFY(m_dir.isValid());
}

void TestDelivery::connectionResetWithPushesUnread()
{
    constexpr int Count = 200;
    ServerProcess server(m_dir.filePath(QStringLiteral("reset.sqlite")));
    QVERIFY2(server.start(true), server.log().constData());
    TcpRelay relay(server.messagingPort);
    QVERIFY(relay.listen());
    ClientProcess alice(QStringLiteral("reset"), server);
    alice.setEnvironment(QStringLiteral("ZMSGFW_PORT"), QString::number(relay.port()));
    QVERIFY(alice.start());
    QVERIFY(logIn(alice, QStringLiteral("alice"), QStringLiteral("alice123")));
    QTRY_VERIFY_WITH_TIMEOUT(loggedIn(alice), 15000);
    QCOMPARE(relay.connectionCount(), 1);

    pointLibraryAt(server);
    ZMsgFw111Q bob;
    QCOMPARE(bob.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);

    // The client stops reading; the server writes every push into the connection.
    relay.setHoldingDownstream(true);
    QStringList sent;
    for (int i = 1; i <= Count; ++i) {
        sent << token(QLatin1Char('r'), i);
        QCOMPARE(bob.sendMessageToUser(QStringLiteral("alice"), sent.last()), 200);
    }
    const qint64 pushBytes = QByteArray("ZM/1.1 message --username=bob --message=r0001 --mid=1\n").size();
    QTRY_VERIFY_WITH_TIMEOUT(relay.heldBytes() >= Count * pushBytes, 20000);
    relay.resetAll();
    relay.setHoldingDownstream(false);

    // The client finds its connection gone and logs in again.
    QTRY_VERIFY_WITH_TIMEOUT(
        (alice.invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerLC_tick")), relay.connectionCount() >= 2),
        30000);
    Tally seen = waitForHistory(alice, QStringLiteral("bob"), sent, 30000);
    qInfo("after the reset: %s", qPrintable(describe(seen, Count)));
    QCOMPARE(seen.lost, 0);
    QCOMPARE(seen.doubled, 0);
    const QString view = alice.get(QStringLiteral("frmChat@Bob/tbChat"), QStringLiteral("plainText")).toString();
    for (const QString &t : qAsConst(sent))
        QVERIFY2(view.count(t) == 1, qPrintable(t));

    // Every message is confirmed and leaves the store; a restarted client gets none again.
    QTRY_COMPARE_WITH_TIMEOUT(keptCount(server.databasePath(), QStringLiteral("alice")), 0, 20000);
    QVERIFY(alice.stop());
    QVERIFY(alice.start());
    QTRY_VERIFY_WITH_TIMEOUT(loggedIn(alice), 20000);
    sent << token(QLatin1Char('e'), 1);
    QCOMPARE(bob.sendMessageToUser(QStringLiteral("alice"), sent.last()), 200);
    seen = waitForHistory(alice, QStringLiteral("bob"), sent, 30000);
    QCOMPARE(seen.lost, 0);
    QCOMPARE(seen.doubled, 0);
    QVERIFY(alice.stop());
}

void TestDelivery::serverKilledWhileMessagesFlow()
{
    constexpr int Kills = 5;
    ServerProcess server(m_dir.filePath(QStringLiteral("kill.sqlite")));
    QVERIFY2(server.start(true), server.log().constData());
    ClientProcess alice(QStringLiteral("kill"), server);
    QVERIFY(alice.start());
    QVERIFY(logIn(alice, QStringLiteral("alice"), QStringLiteral("alice123")));
    QTRY_VERIFY_WITH_TIMEOUT(loggedIn(alice), 15000);

    pointLibraryAt(server);
    ZMsgFw111Q bob;
    QCOMPARE(bob.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);
    QStringList sent;
    auto sendSome = [&](int count) {
        for (int i = 0; i < count; ++i) {
            sent << token(QLatin1Char('k'), sent.size() + 1);
            if (bob.sendMessageToUser(QStringLiteral("alice"), sent.last()) != 200)
                return false;
        }
        return true;
    };

    // Messages the server still kept at a kill although the client had already stored them:
    // delivered again after the restart, they must not be shown twice.
    int shownAndKept = 0;
    for (int kill = 0; kill < Kills; ++kill) {
        // Rounds of different length, so the kill meets the pushes and confirmations in
        // different states.
        QVERIFY(sendSome(11 + 17 * kill % 29));
        server.kill();
        const std::optional<QStringList> kept = keptFor(server.databasePath(), QStringLiteral("alice"));
        QVERIFY(kept);
        const QHash<QString, int> stored = storedTokens(alice, QStringLiteral("bob"));
        for (const QString &text : *kept)
            shownAndKept += stored.contains(text) ? 1 : 0;
        QVERIFY2(server.start(true), server.log().constData());
        QTRY_COMPARE_WITH_TIMEOUT(bob.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200, 20000);
        // Alice's client logs in again by itself.
        QTRY_VERIFY_WITH_TIMEOUT((alice.invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerLC_tick")),
                                  bob.getAnotherUserOnlineState(QStringLiteral("alice")) == 1),
                                 40000);
    }
    QVERIFY(sendSome(20));

    Tally seen = waitForHistory(alice, QStringLiteral("bob"), sent, 30000);
    qInfo("%d kills, %d messages kept at a kill after the client had stored them: %s", Kills, shownAndKept,
          qPrintable(describe(seen, sent.size())));
    QCOMPARE(seen.lost, 0);
    QCOMPARE(seen.doubled, 0);

    // A restarted client gets nothing twice either.
    QTRY_COMPARE_WITH_TIMEOUT(keptCount(server.databasePath(), QStringLiteral("alice")), 0, 20000);
    QVERIFY(alice.stop());
    QVERIFY(alice.start());
    QTRY_VERIFY_WITH_TIMEOUT(loggedIn(alice), 20000);
    QVERIFY(sendSome(1));
    seen = waitForHistory(alice, QStringLiteral("bob"), sent, 30000);
    QCOMPARE(seen.lost, 0);
    QCOMPARE(seen.doubled, 0);
    QVERIFY(alice.stop());
}

ZM_HERMETIC_TEST_MAIN(TestDelivery)
#include "tst_delivery.moc"
