#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "mainwindowview.h"
#include "tlstestserver.h"

#include "LoginStore.h"
#include "Platform.h"
#include "UiMessage.h"
#include "frmLogin.h"

#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdstore.h>
#include <zmsgfw111q.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {

using MainWindowView::menuEntry;

// A login that waits for a server that does not answer takes this long: the window's session
// is given this limit instead of the library's 5000 ms. Above UsablePauseMs, so that a
// login on the window's thread still shows as a pause.
constexpr qint64 LoginWaitMs = 1500;
// Longest pause of the window's event loop that still counts as usable: a loaded machine
// delays a tick by a hundred milliseconds or so, a login on the window's thread by LoginWaitMs.
constexpr qint64 UsablePauseMs = 1000;
// How long anything here may take before it counts as hung.
constexpr int HangMs = 30000;

QSettings settings()
{
    return QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
}

void pointAt(quint16 port)
{
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", QByteArray::number(port));
}

void rememberLogin(const QString &name, const QString &password)
{
    QSettings store = settings();
    store.setValue(QStringLiteral("Login/Autologin"), true);
    store.setValue(QStringLiteral("Login/Name"), LoginStore::encodeCredential(name));
    store.setValue(QStringLiteral("Login/Password"), LoginStore::encodeCredential(password));
    store.sync();
}

// Ticks every 50 ms on the calling thread and keeps the longest pause between two ticks.
class PauseWatch : public QObject
{
public:
    PauseWatch()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
        m_timer.start(50);
        m_clock.start();
    }
    qint64 longestPause()
    {
        tick();
        return m_longest;
    }

private:
    void tick()
    {
        const qint64 now = m_clock.elapsed();
        m_longest = qMax(m_longest, now - m_last);
        m_last = now;
    }
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// The servers that keep a login waiting: one accepts TCP and never starts TLS, the other
// completes the handshake and never answers the login line.
class SilentServer
{
public:
    explicit SilentServer(bool tls)
    {
        if (tls)
            m_tls = std::make_unique<TlsTestServer>();
        else
            m_tcp = std::make_unique<QTcpServer>();
    }
    bool listen()
    {
        if (m_tls)
            return m_tls->listenOnLoopback();
        QObject::connect(m_tcp.get(), &QTcpServer::newConnection, m_tcp.get(), [this] {
            while (QTcpSocket *socket = m_tcp->nextPendingConnection())
                m_accepted.append(socket);
        });
        return m_tcp->listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_tls ? m_tls->serverPort() : m_tcp->serverPort(); }
    int connections() const { return m_tls ? m_tls->connectionCount() : m_accepted.size(); }

private:
    std::unique_ptr<TlsTestServer> m_tls;
    std::unique_ptr<QTcpServer> m_tcp;
    QList<QTcpSocket *> m_accepted;
};

QByteArray friendlyAnswer(const QByteArray &line)
{
    if (line.startsWith("ZM/1.1 login"))
        return "ZM/1.1 return --id=200\n";
    if (line.startsWith("ZM/1.1 request --rq=nick"))
        return "ZM/1.1 return --rq=nick --id=200 --nick=Dave\n";
    return QByteArray();
}

QStringList balloonTitles(const QSignalSpy &balloons)
{
    QStringList titles;
    for (const QList<QVariant> &shown : balloons)
        titles << shown.at(0).toString();
    return titles;
}

QAction *trayEntry(frmLogin *window, const QString &text)
{
    for (QAction *action : window->trayIcon()->contextMenu()->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

class TestRelogin : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void watchdogLeavesWindowUsable_data();
    void watchdogLeavesWindowUsable();
    void automaticLoginLeavesWindowUsable_data();
    void automaticLoginLeavesWindowUsable();
    void linesPushedDuringAttemptAreHandled_data();
    void linesPushedDuringAttemptAreHandled();
    void automaticLoginAsksWhatALoginAsks();
    void oneAttemptAtATime();
    void logoutDropsAttemptAndClosesItsConnection();
    void quitWhileAttemptRuns_data();
    void quitWhileAttemptRuns();
    void reloginAsksForTheLists();
    void reconnectShowsContactsAtOnce();

private:
    template <typename T> static T *child(QObject *window, const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning() << "no child" << name;
        return found;
    }
    static int page(frmLogin *window) { return child<QStackedWidget>(window, "swTabs")->currentIndex(); }
    // A designed-mode window logged in by its remembered login against server, whose
    // connection then breaks; the watchdog's timers are left to the test.
    std::unique_ptr<frmLogin> sessionThatLostItsServer(TlsTestServer &server,
                                                       TlsTestServer::LineHandler handler = friendlyAnswer);
    // Lets the window's own watchdog timer fire now.
    static void fireWatchdog(frmLogin *window) { child<QTimer>(window, "timerLC")->start(0); }

    int quits = 0;
    int messageBoxes = 0;
};

void TestRelogin::initTestCase()
{
    UiMessage::setHook([this](QMessageBox::Icon, const QString &, const QString &) {
        ++messageBoxes;
        return QMessageBox::Ok;
    });
    Platform::setQuitHook([this] { ++quits; });
}

void TestRelogin::init()
{
    QSettings store = settings();
    store.clear();
    store.sync();
    quits = 0;
    messageBoxes = 0;
}

std::unique_ptr<frmLogin> TestRelogin::sessionThatLostItsServer(TlsTestServer &server,
                                                                TlsTestServer::LineHandler handler)
{
    server.setLineHandler(std::move(handler));
    if (!server.listenOnLoopback())
        return nullptr;
    server.exportEndpoint();
    rememberLogin(QStringLiteral("dave"), QStringLiteral("pw"));
    auto window = std::make_unique<frmLogin>();
    window->show();
    // The watchdog runs when the test says so.
    child<QTimer>(window.get(), "timerLC")->stop();
    if (!QTest::qWaitFor([&] { return window->isSessionLoggedIn(); }, HangMs))
        return nullptr;
    server.closeClient();
    if (!QTest::qWaitFor([&] { return !window->session()->isLoggedIn(); }, HangMs))
        return nullptr;
    return window;
}

void TestRelogin::watchdogLeavesWindowUsable_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("accepts TCP and never answers") << false;
    QTest::newRow("accepts TLS and never answers the login") << true;
}

void TestRelogin::watchdogLeavesWindowUsable()
{
    QFETCH(bool, tls);
    TlsTestServer lost;
    auto window = sessionThatLostItsServer(lost);
    QVERIFY(window);
    window->session()->setReplyTimeout(int(LoginWaitMs));
    QCOMPARE(page(window.get()), 4);
    SilentServer silent(tls);
    QVERIFY(silent.listen());
    pointAt(silent.port());
    QSignalSpy balloons(window.get(), &frmLogin::balloonShown);
    auto *search = child<QLineEdit>(window.get(), "txtContactsSearch");
    search->setFocus();

    PauseWatch watch;
    QElapsedTimer attempt;
    attempt.start();
    fireWatchdog(window.get());
    QTRY_VERIFY_WITH_TIMEOUT(silent.connections() == 1, HangMs);
    // Typing reaches the window while the attempt is still waiting for the server.
    QTest::keyClicks(search, QStringLiteral("bo"));
    QCOMPARE(search->text(), QStringLiteral("bo"));
    QVERIFY(balloons.isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(balloonTitles(balloons), QStringList{QStringLiteral("Disconnected")}, HangMs);
    // The attempt really waited out the server, and the window kept its event loop meanwhile.
    QVERIFY2(attempt.elapsed() >= LoginWaitMs - 500, qPrintable(QString::number(attempt.elapsed())));
    const qint64 pause = watch.longestPause();
    qInfo("longest pause of the event loop %lld ms while the login took %lld ms", pause, attempt.elapsed());
    QVERIFY2(pause < UsablePauseMs, qPrintable(QStringLiteral("the window stood still for %1 ms").arg(pause)));
    QCOMPARE(window->trayIcon()->toolTip(), QStringLiteral("Zelto Messenger (Offline)"));
    QVERIFY(window->isSessionActive());
    QCOMPARE(page(window.get()), 4);
}

void TestRelogin::automaticLoginLeavesWindowUsable_data()
{
    watchdogLeavesWindowUsable_data();
}

void TestRelogin::automaticLoginLeavesWindowUsable()
{
    QFETCH(bool, tls);
    SilentServer silent(tls);
    QVERIFY(silent.listen());
    pointAt(silent.port());
    rememberLogin(QStringLiteral("dave"), QStringLiteral("pw"));
    settings().setValue(QStringLiteral("Nick/dave"), QStringLiteral("Dave Last Time"));

    QElapsedTimer attempt;
    attempt.start();
    auto window = std::make_unique<frmLogin>();
    window->session()->setReplyTimeout(int(LoginWaitMs));
    window->show();
    // The login starts from the event loop, after the window was built.
    PauseWatch watch;
    QTRY_VERIFY_WITH_TIMEOUT(silent.connections() == 1, HangMs);
    // The window is painted and shows the login under way while the server is waited for.
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *login = child<QLabel>(window.get(), "labDesignedLogin");
    QVERIFY(window->isLoginInProgress());
    QCOMPARE(login->text(), QStringLiteral("Logging in..."));
    QCOMPARE(page(window.get()), 3);
    // A click on the disabled login button starts nothing more.
    QTest::mouseClick(login, Qt::LeftButton);

    QTRY_COMPARE_WITH_TIMEOUT(page(window.get()), 4, HangMs);
    QVERIFY2(attempt.elapsed() >= LoginWaitMs - 500, qPrintable(QString::number(attempt.elapsed())));
    const qint64 pause = watch.longestPause();
    qInfo("longest pause of the event loop %lld ms while the login took %lld ms", pause, attempt.elapsed());
    QVERIFY2(pause < UsablePauseMs, qPrintable(QStringLiteral("the window stood still for %1 ms").arg(pause)));
    // No server: the offline session, as before, without a message.
    QVERIFY(window->isSessionActive());
    QVERIFY(!window->isSessionLoggedIn());
    QCOMPARE(window->ownNickName(), QStringLiteral("Dave Last Time"));
    QCOMPARE(messageBoxes, 0);
    QCOMPARE(silent.connections(), 1);
    QCOMPARE(login->text(), QStringLiteral("Login"));
    QVERIFY(child<QLineEdit>(window.get(), "txtName")->isEnabled());
    window->logoutUser();
}

void TestRelogin::linesPushedDuringAttemptAreHandled_data()
{
    QTest::addColumn<bool>("relogin");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray message = "ZM/1.1 message --username=ann --message=while&nbsp;you&nbsp;were&nbsp;away\n";
    QTest::newRow("automatic login, before the login reply") << false << message + "ZM/1.1 return --id=200\n";
    QTest::newRow("automatic login, before the nick reply")
        << false << message + "ZM/1.1 return --rq=nick --id=200 --nick=Dave&nbsp;D\n";
    QTest::newRow("re-login, before the login reply") << true << message + "ZM/1.1 return --id=200\n";
}

void TestRelogin::linesPushedDuringAttemptAreHandled()
{
    QFETCH(bool, relogin);
    QFETCH(QByteArray, reply);
    // The server pushes a message before it answers the login or the nick.
    const QByteArray trigger = reply.contains("--nick=") ? "ZM/1.1 request --rq=nick" : "ZM/1.1 login";
    auto armed = std::make_shared<std::atomic<bool>>(!relogin);
    const TlsTestServer::LineHandler handler = [=](const QByteArray &line) -> QByteArray {
        if (*armed && line.startsWith(trigger))
            return reply;
        return friendlyAnswer(line);
    };
    TlsTestServer server;
    std::unique_ptr<frmLogin> window;
    if (relogin) {
        window = sessionThatLostItsServer(server, handler);
        QVERIFY(window);
        *armed = true;
        fireWatchdog(window.get());
    } else {
        server.setLineHandler(handler);
        QVERIFY(server.listenOnLoopback());
        server.exportEndpoint();
        rememberLogin(QStringLiteral("dave"), QStringLiteral("pw"));
        window = std::make_unique<frmLogin>();
        window->show();
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), HangMs);
    QVERIFY(MainWindowView::chatWith(QStringLiteral("ann")));
    QCOMPARE(window->ownNickName(), reply.contains("--nick=") ? QStringLiteral("Dave D") : QStringLiteral("Dave"));
    QCOMPARE(page(window.get()), 4);
    // One connection per login: the window's session took over the one that logged in.
    QCOMPARE(server.connectionCount(), relogin ? 2 : 1);
    window->logoutUser();
}

void TestRelogin::automaticLoginAsksWhatALoginAsks()
{
    TlsTestServer server;
    server.setLineHandler(friendlyAnswer);
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    rememberLogin(QStringLiteral("dave"), QStringLiteral("pw"));
    auto window = std::make_unique<frmLogin>();
    window->show();
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), HangMs);
    QCOMPARE(window->ownNickName(), QStringLiteral("Dave"));
    QVERIFY(server.waitForLines(7));
    QStringList asked;
    for (const QByteArray &line : server.receivedLines().mid(2))
        asked << QString::fromUtf8(line.trimmed().split(' ').value(2));
    QCOMPARE(asked,
             (QStringList{QStringLiteral("--rq=avatar"), QStringLiteral("--rq=contactswithavatar"),
                          QStringLiteral("--rq=contactswithstates"), QStringLiteral("--rq=contactsrequests"),
                          QStringLiteral("--rq=onlinestate")}));
    QVERIFY(settings().value(QStringLiteral("Login/Autologin")).toBool());
    QCOMPARE(server.connectionCount(), 1);
    window->logoutUser();
}

void TestRelogin::oneAttemptAtATime()
{
    TlsTestServer lost;
    auto window = sessionThatLostItsServer(lost);
    QVERIFY(window);
    window->session()->setReplyTimeout(int(LoginWaitMs));
    SilentServer silent(true);
    QVERIFY(silent.listen());
    pointAt(silent.port());
    fireWatchdog(window.get());
    QTRY_VERIFY_WITH_TIMEOUT(silent.connections() == 1, HangMs);
    // Further runs of the watchdog while the attempt waits start no other.
    for (int i = 0; i < 3; ++i) {
        fireWatchdog(window.get());
        QTest::qWait(100);
    }
    QVERIFY(window->isLoginAttemptRunning());
    QTRY_VERIFY_WITH_TIMEOUT(!window->isLoginAttemptRunning(), HangMs);
    QCOMPARE(silent.connections(), 1);
}

void TestRelogin::logoutDropsAttemptAndClosesItsConnection()
{
    TlsTestServer lost;
    auto window = sessionThatLostItsServer(lost);
    QVERIFY(window);
    // This server accepts the login, but only after the user has logged out.
    TlsTestServer late;
    late.setLineHandler([](const QByteArray &) { return QByteArray(); });
    QVERIFY(late.listenOnLoopback());
    late.exportEndpoint();
    QSignalSpy balloons(window.get(), &frmLogin::balloonShown);
    fireWatchdog(window.get());
    QTRY_VERIFY_WITH_TIMEOUT(!late.receivedLines().isEmpty(), HangMs);

    QAction *logout = menuEntry(window.get(), QStringLiteral("Messenger"), QStringLiteral("Logout"));
    QVERIFY(logout);
    logout->trigger();
    QCOMPARE(page(window.get()), 3);
    late.sendToClient("ZM/1.1 return --id=200\n");
    QTRY_VERIFY_WITH_TIMEOUT(!window->isLoginAttemptRunning(), HangMs);
    // The late success is dropped: the window stays logged out and the connection is closed.
    QVERIFY(late.waitForOpenConnections(0, HangMs));
    QCOMPARE(page(window.get()), 3);
    QVERIFY(!window->isSessionActive());
    QVERIFY(!window->session()->isLoggedIn());
    QVERIFY(balloons.isEmpty());
    QVERIFY(!window->menuBar()->isVisible());
    QVERIFY(child<QLabel>(window.get(), "labDesignedLogin")->isEnabled());
}

void TestRelogin::quitWhileAttemptRuns_data()
{
    QTest::addColumn<bool>("relogin");
    QTest::newRow("Stop ZM from the tray during a re-login") << true;
    QTest::newRow("window closed during the automatic login") << false;
}

void TestRelogin::quitWhileAttemptRuns()
{
    QFETCH(bool, relogin);
    TlsTestServer lost;
    TlsTestServer silent;
    std::unique_ptr<frmLogin> window;
    if (relogin) {
        window = sessionThatLostItsServer(lost);
        QVERIFY(window);
        window->session()->setReplyTimeout(int(LoginWaitMs));
    }
    QVERIFY(silent.listenOnLoopback());
    silent.exportEndpoint();
    if (relogin) {
        fireWatchdog(window.get());
    } else {
        rememberLogin(QStringLiteral("dave"), QStringLiteral("pw"));
        window = std::make_unique<frmLogin>();
        window->session()->setReplyTimeout(int(LoginWaitMs));
        window->show();
    }
    QTRY_VERIFY_WITH_TIMEOUT(silent.connectionCount() == 1, HangMs);

    if (relogin) {
        QAction *stop = trayEntry(window.get(), QStringLiteral("Stop ZM"));
        QVERIFY(stop);
        stop->trigger();
    } else {
        QVERIFY(window->close());
    }
    QCOMPARE(quits, 1);
    QVERIFY(!window->isVisible());
    // The window goes while the attempt still waits: it waits for it and closes its connection.
    QVERIFY(window->isLoginAttemptRunning());
    QElapsedTimer destroying;
    destroying.start();
    window.reset();
    QVERIFY(destroying.elapsed() < HangMs);
    QVERIFY(silent.waitForOpenConnections(0, HangMs));
}

void TestRelogin::reloginAsksForTheLists()
{
    TlsTestServer server;
    auto window = sessionThatLostItsServer(server);
    QVERIFY(window);
    const int before = server.receivedLines().size();
    fireWatchdog(window.get());
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), HangMs);
    QVERIFY(server.waitForLines(before + 6, HangMs));
    QStringList asked;
    for (const QByteArray &line : server.receivedLines().mid(before + 1))
        asked << QString::fromUtf8(line.trimmed().split(' ').value(2));
    QCOMPARE(asked,
             (QStringList{QStringLiteral("--rq=onlinestate"), QStringLiteral("--rq=avatar"),
                          QStringLiteral("--rq=contactswithavatar"), QStringLiteral("--rq=contactswithstates"),
                          QStringLiteral("--rq=contactsrequests")}));
    QCOMPARE(server.connectionCount(), 2);
    window->logoutUser();
}

void TestRelogin::reconnectShowsContactsAtOnce()
{
    QTemporaryDir dir;
    ZmsgdConfig config = loopbackZmsgdConfig(dir.filePath(QStringLiteral("zmsgd.sqlite")));
    auto server = std::make_unique<ZmsgdServerThread>();
    QString error;
    QVERIFY2(server->start(config, &error), qPrintable(error));
    exportZmsgdEndpoint(*server);

    rememberLogin(QStringLiteral("alice"), QStringLiteral("alice123"));
    auto window = std::make_unique<frmLogin>();
    window->show();
    // Neither refresh timer may bring the lists; only the re-login can.
    for (const char *timer : {"timerOA", "timerFR", "timerLC"})
        child<QTimer>(window.get(), timer)->stop();
    QSignalSpy balloons(window.get(), &frmLogin::balloonShown);
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), HangMs);
    const QString bot = QStringLiteral("zeltobot");
    QTRY_COMPARE_WITH_TIMEOUT(window->contacts().states.value(bot), 1, HangMs);
    QCOMPARE(window->contacts().states.value(QStringLiteral("bob")), 8);
    QTRY_COMPARE_WITH_TIMEOUT(window->pendingFriendRequests(), QStringList{QStringLiteral("carol")}, HangMs);

    // The server goes away: everyone is shown offline.
    const quint16 port = server->messagingPort();
    server->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!window->session()->isLoggedIn(), HangMs);
    fireWatchdog(window.get());
    QTRY_COMPARE_WITH_TIMEOUT(balloonTitles(balloons), QStringList{QStringLiteral("Disconnected")}, HangMs);
    QCOMPARE(window->contacts().states.value(bot), 8);

    // It comes back on the same port, where bob is online now and dave asks alice.
    config.messagingPort = port;
    server = std::make_unique<ZmsgdServerThread>();
    QVERIFY2(server->start(config, &error), qPrintable(error));
    exportZmsgdEndpoint(*server);
    server->runOnServer([](ZmsgdServer *s) {
        s->store()->createAccount(QStringLiteral("dave"), QStringLiteral("dave1234"), QStringLiteral("Dave"));
        s->store()->addContact(QStringLiteral("dave"), QStringLiteral("alice"));
        s->store()->addRequest(QStringLiteral("dave"), QStringLiteral("alice"));
    });
    ZMsgFw111Q bob;
    QCOMPARE(bob.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")), 200);

    fireWatchdog(window.get());
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), HangMs);
    QCOMPARE(balloonTitles(balloons), (QStringList{QStringLiteral("Disconnected"), QStringLiteral("Reconnected")}));
    // The lists come with the re-login, not with a refresh 20 seconds later.
    QTRY_COMPARE_WITH_TIMEOUT(window->contacts().states.value(bot), 1, HangMs);
    QTRY_COMPARE_WITH_TIMEOUT(window->contacts().states.value(QStringLiteral("bob")), 1, HangMs);
    QTRY_COMPARE_WITH_TIMEOUT(window->pendingFriendRequests().size(), 2, HangMs);
    QVERIFY(window->pendingFriendRequests().contains(QStringLiteral("dave")));
    QVERIFY(child<QLabel>(window.get(), "labWelcomeNick")->text().contains(QStringLiteral("You have 2")));
    QCOMPARE(balloons.size(), 2);
    window->logoutUser();
    server->stop();
}

ZM_HERMETIC_TEST_MAIN(TestRelogin)
#include "tst_relogin.moc"
