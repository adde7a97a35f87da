#include "hermetic.h"
#include "tlstestserver.h"

#include "frmLogin.h"

#include <zmsgfw10q.h>
#include <zmsgfw111q.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

// What a run that has not logged in must leave unloaded. The functions run in order: the
// first one needs a process that has not touched TLS yet.
class TestLazyLoad : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void nothingLoadsBeforeItIsUsed();
    void aLongUnusedSessionLogsIn();
    void theFirstMessageLoadsTheSound();
};

namespace {

bool isMapped(const QByteArray &library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    return maps.readAll().contains(library);
}

bool tlsLoaded()
{
    return isMapped("/libssl.so");
}

bool multimediaLoaded()
{
    return isMapped("/libQt5Multimedia.so");
}

} // namespace

void TestLazyLoad::initTestCase()
{
    if (!QFile::exists(QStringLiteral("/proc/self/maps")))
        QSKIP("needs /proc/self/maps to see which libraries are loaded");
    QVERIFY2(!tlsLoaded(), "the TLS library was loaded before the test began");
    QVERIFY2(!multimediaLoaded(), "the multimedia library was loaded before the test began");
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    settings.setValue(QStringLiteral("Interface/designedMode"), false);
}

void TestLazyLoad::nothingLoadsBeforeItIsUsed()
{
    ZMsgFw111Q session;
    session.setAcknowledging(true);
    QVERIFY(!session.isLoggedIn());
    QVERIFY(!session.isObjectIncoming());
    QCOMPARE(session.readObject(), QString());
    QVERIFY(!session.requestGetUserContactsWithStates());
    QVERIFY(!session.acknowledgeMessage(1));
    QCOMPARE(session.getUserNick(), QStringLiteral("///Error 500"));
    QCOMPARE(session.setUserOnlineState(1), 501);
    QCOMPARE(session.logoutUser(), 0);
    ZMsgFw111Q other;
    QVERIFY(!session.adoptSession(&other));

    ZMsgFw10Q legacy;
    QVERIFY(!legacy.isObjectIncoming());
    QCOMPARE(legacy.readObject(), QString());
    QVERIFY(!legacy.isLoggedIn());
    QCOMPARE(legacy.logoutUser(), 0);

    {
        frmLogin window;
        // The tray asks the desktop over D-Bus and reads icon themes: not before the window.
        QVERIFY(!window.trayIcon());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTRY_VERIFY(window.trayIcon());
        QMetaObject::invokeMethod(&window, "on_timerSS_tick");
        QVERIFY(!window.isSessionLoggedIn());
    }
    QVERIFY(!tlsLoaded());
    QVERIFY(!multimediaLoaded());
}

void TestLazyLoad::aLongUnusedSessionLogsIn()
{
    ZMsgFw111Q session;
    QVERIFY(!session.isObjectIncoming());
    TlsTestServer server;
    server.setLineHandler([](const QByteArray &) { return QByteArray("ZM/1.1 return --id=200\n"); });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QVERIFY(session.isLoggedIn());
    // The look at the loaded libraries does see TLS once it is in use.
    QVERIFY(tlsLoaded());
    session.logoutUser();
    QCOMPARE(session.loginUser(QStringLiteral("anna"), QStringLiteral("pw")), 200);
    QVERIFY(session.isLoggedIn());
    session.logoutUser();
}

void TestLazyLoad::theFirstMessageLoadsTheSound()
{
    TlsTestServer server;
    server.setLineHandler([](const QByteArray &line) -> QByteArray {
        if (line.startsWith("ZM/1.1 login"))
            return "ZM/1.1 return --id=200\n";
        if (line.contains("--rq=nick"))
            return "ZM/1.1 return --rq=nick --id=200 --nick=me\n";
        return QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    frmLogin window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QLineEdit *>(QStringLiteral("txtName"))->setText(QStringLiteral("me"));
    window.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(QStringLiteral("pw"));
    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("cmdLogin")), Qt::LeftButton);
    QVERIFY(window.isSessionLoggedIn());
    QVERIFY(!multimediaLoaded());

    server.sendToClient("ZM/1.1 message --username=dana --message=hello --mid=1\n");
    QTRY_VERIFY_WITH_TIMEOUT(multimediaLoaded(), 20000);
    window.logoutUser();
}

ZM_HERMETIC_TEST_MAIN(TestLazyLoad)
#include "tst_lazyload.moc"
