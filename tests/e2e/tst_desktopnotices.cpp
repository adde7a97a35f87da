// Notices of the real program through a notification service of the test's own, on a private
// session bus: what the service is told, what its action opens, and the popup without it.
#include "DesktopNotifications.h"
#include "e2edriver.h"
#include "frmConfig.h"
#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "privatebus.h"

#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdstore.h>
#include <zmsgfw111q.h>

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {

// org.freedesktop.Notifications as a desktop offers it, recording every notice.
class FakeNotificationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice {
        QString appName;
        uint replacesId = 0;
        QString appIcon, summary, body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
        uint id = 0;
    };
    QList<Notice> notices;
    QStringList capabilities{QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
    bool refuse = false;

    void invoke(uint id, const QString &action) { emit ActionInvoked(id, action); }

public slots:
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        if (refuse) {
            sendErrorReply(QDBusError::LimitsExceeded, QStringLiteral("too many notices"));
            return 0;
        }
        Notice notice{appName, replacesId, appIcon, summary, body, actions, hints, timeout, 0};
        notice.id = replacesId != 0 ? replacesId : ++m_lastId;
        notices << notice;
        return notice.id;
    }
    void CloseNotification(uint id) { emit NotificationClosed(id, 3); }
    QStringList GetCapabilities() { return capabilities; }
    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        vendor = QStringLiteral("tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake");
    }

signals:
    void ActionInvoked(uint id, const QString &actionKey);
    void NotificationClosed(uint id, uint reason);

private:
    uint m_lastId = 100;
};

const QString ServiceName = QStringLiteral("org.freedesktop.Notifications");
const QString ServicePath = QStringLiteral("/org/freedesktop/Notifications");

} // namespace

class TestDesktopNotices : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void messageGoesToTheService_data();
    void messageGoesToTheService();
    void stateChangeGoesToTheService();
    void withoutServiceThePopupShows();
    void refusedNoticeBecomesAPopup();
    void preferenceChoosesThePopup();
    void preferenceCheckBox();

private:
    void offerService();
    void withdrawService();
    bool startAlice();
    bool sendFromBob(const QString &text);
    bool hasChat(const QString &title, bool *minimized);
    QJsonArray popups() { return m_alice->popups(); }
    // Bob's own logins and state changes bring "Status changed" notices beside his messages.
    QList<FakeNotificationService::Notice> noticesWith(const QString &summary) const;
    QString popupText(const QString &title);

    QTemporaryDir m_dir;
    ZmsgdServerThread m_server;
    PrivateBus m_bus;
    FakeNotificationService m_service;
    bool m_offered = false;
    std::unique_ptr<ClientProcess> m_alice;
    std::unique_ptr<ZMsgFw111Q> m_bob;
};

void TestDesktopNotices::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ZM_ZMESSENGER"))
        QSKIP("needs ZM_ZMESSENGER (set by ctest)");
    QString error;
    QVERIFY2(m_server.start(loopbackZmsgdConfig(m_dir.filePath(QStringLiteral("zmsgd.sqlite")), false), &error),
             qPrintable(error));
    exportZmsgdEndpoint(m_server);
    m_server.runOnServer([](ZmsgdServer *server) {
        server->store()->createAccount(QStringLiteral("alice"), QStringLiteral("alice123"), QStringLiteral("Alice"));
        server->store()->createAccount(QStringLiteral("bob"), QStringLiteral("bob12345"),
                                       QStringLiteral("Bob Builder"));
        server->store()->addContact(QStringLiteral("alice"), QStringLiteral("bob"));
        server->store()->addContact(QStringLiteral("bob"), QStringLiteral("alice"));
    });
    QVERIFY2(m_bus.start(&error), qPrintable(error));
    // This process serves the notices on the same bus the client uses.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
    QVERIFY(QDBusConnection::sessionBus().isConnected());
    QVERIFY(QDBusConnection::sessionBus().registerObject(
        ServicePath, &m_service, QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
}

void TestDesktopNotices::init()
{
    m_service.notices.clear();
    m_service.refuse = false;
    m_service.capabilities =
        QStringList{QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
    offerService();
}

void TestDesktopNotices::cleanup()
{
    if (m_bob)
        m_bob->logoutUser();
    m_bob.reset();
    if (m_alice)
        m_alice->stop();
    m_alice.reset();
}

void TestDesktopNotices::cleanupTestCase()
{
    withdrawService();
    m_bus.stop();
    m_server.stop();
}

void TestDesktopNotices::offerService()
{
    if (!m_offered)
        QVERIFY(QDBusConnection::sessionBus().registerService(ServiceName));
    m_offered = true;
}

void TestDesktopNotices::withdrawService()
{
    if (m_offered)
        QDBusConnection::sessionBus().unregisterService(ServiceName);
    m_offered = false;
}

bool TestDesktopNotices::startAlice()
{
    m_alice = std::make_unique<ClientProcess>(QStringLiteral("alice"));
    m_alice->setEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
    if (!m_alice->start({QStringLiteral("--noupdate")}))
        return false;
    if (!m_alice->type(QStringLiteral("frmLogin/txtNameDesigned"), QStringLiteral("alice"))
        || !m_alice->type(QStringLiteral("frmLogin/txtPasswordDesigned"), QStringLiteral("alice123"))
        || !m_alice->click(QStringLiteral("frmLogin/labDesignedLogin")))
        return false;
    // Bob in her list: his display name is known before he writes.
    return QTest::qWaitFor(
        [this] {
            const QJsonArray items =
                m_alice->get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items")).toArray();
            return !items.isEmpty() && items.first().toString().startsWith(QStringLiteral("Bob Builder"));
        },
        30000);
}

bool TestDesktopNotices::sendFromBob(const QString &text)
{
    if (!m_bob) {
        m_bob = std::make_unique<ZMsgFw111Q>();
        if (m_bob->loginUser(QStringLiteral("bob"), QStringLiteral("bob12345")) != 200)
            return false;
    }
    return m_bob->sendMessageToUser(QStringLiteral("alice"), text) == 200;
}

bool TestDesktopNotices::hasChat(const QString &title, bool *minimized)
{
    for (const QJsonValue &value : m_alice->windows()) {
        const QJsonObject window = value.toObject();
        if (window.value(QStringLiteral("class")).toString() == QLatin1String("frmChat")
            && window.value(QStringLiteral("title")).toString() == title) {
            *minimized = window.value(QStringLiteral("minimized")).toBool();
            return true;
        }
    }
    return false;
}

QList<FakeNotificationService::Notice> TestDesktopNotices::noticesWith(const QString &summary) const
{
    QList<FakeNotificationService::Notice> found;
    for (const FakeNotificationService::Notice &notice : m_service.notices) {
        if (notice.summary == summary)
            found << notice;
    }
    return found;
}

QString TestDesktopNotices::popupText(const QString &title)
{
    for (const QJsonValue &popup : popups()) {
        if (popup.toObject().value(QStringLiteral("title")).toString() == title)
            return popup.toObject().value(QStringLiteral("text")).toString();
    }
    return QString();
}

void TestDesktopNotices::messageGoesToTheService_data()
{
    QTest::addColumn<QStringList>("capabilities");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("body");
    const QStringList markup{QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup")};
    QTest::newRow("plain text") << markup << "hello Alice"
                                << "hello Alice";
    QTest::newRow("markup service gets the text escaped") << markup << "<b>Tom</b> & Jerry"
                                                          << "&lt;b&gt;Tom&lt;/b&gt; &amp; Jerry";
    QTest::newRow("text-only service gets the text as it is")
        << QStringList{QStringLiteral("actions"), QStringLiteral("body")} << "<b>Tom</b> & Jerry"
        << "<b>Tom</b> & Jerry";
    QTest::newRow("long text is cut as the popup cuts it") << markup << "abcdefghijklmnopqrstuvwxyz0123"
                                                           << "abcdefghijklmnopqrstuvw..";
}

void TestDesktopNotices::messageGoesToTheService()
{
    QFETCH(QStringList, capabilities);
    QFETCH(QString, message);
    QFETCH(QString, body);
    m_service.capabilities = capabilities;
    QVERIFY(startAlice());
    QVERIFY(sendFromBob(message));
    QTRY_VERIFY_WITH_TIMEOUT(!noticesWith(QStringLiteral("Bob Builder")).isEmpty(), 20000);
    const FakeNotificationService::Notice notice = noticesWith(QStringLiteral("Bob Builder")).first();
    QCOMPARE(notice.appName, QStringLiteral("Zelto Messenger"));
    QCOMPARE(notice.appIcon, QStringLiteral("zmessenger"));
    QCOMPARE(notice.summary, QStringLiteral("Bob Builder"));
    QCOMPARE(notice.body, body);
    QCOMPARE(notice.replacesId, 0u);
    QCOMPARE(notice.actions, QStringList({QStringLiteral("default"), QStringLiteral("Open chat")}));
    QCOMPARE(notice.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("zmessenger"));
    QVERIFY(notice.hints.contains(QStringLiteral("image-data")));
    QCOMPARE(notice.timeout, -1);
    // The chat waits minimised; no popup of our own covers the desktop's notice.
    bool minimized = false;
    QTRY_VERIFY(hasChat(QStringLiteral("Bob Builder"), &minimized));
    QVERIFY(minimized);
    QVERIFY(popups().isEmpty());

    // A second message of the same sender takes the place of the first notice.
    QVERIFY(sendFromBob(QStringLiteral("are you there?")));
    QTRY_COMPARE_WITH_TIMEOUT(noticesWith(QStringLiteral("Bob Builder")).size(), 2, 20000);
    QCOMPARE(noticesWith(QStringLiteral("Bob Builder")).last().replacesId, notice.id);
    QCOMPARE(noticesWith(QStringLiteral("Bob Builder")).last().body, QStringLiteral("are you there?"));

    // The notice's action opens the chat as a click on the popup does.
    m_service.invoke(notice.id, QStringLiteral("default"));
    QTRY_VERIFY_WITH_TIMEOUT(hasChat(QStringLiteral("Bob Builder"), &minimized) && !minimized, 20000);
    QVERIFY(popups().isEmpty());
}

void TestDesktopNotices::stateChangeGoesToTheService()
{
    QVERIFY(startAlice());
    QVERIFY(sendFromBob(QStringLiteral("hi")));
    QCOMPARE(m_bob->setUserOnlineState(3), 200);
    QTRY_VERIFY_WITH_TIMEOUT(!noticesWith(QStringLiteral("Status changed")).isEmpty(), 20000);
    const FakeNotificationService::Notice notice = noticesWith(QStringLiteral("Status changed")).first();
    QCOMPARE(notice.appName, QStringLiteral("Zelto Messenger"));
    QCOMPARE(notice.body, QStringLiteral("Bob Builder changed sta.."));
    QCOMPARE(notice.actions, QStringList({QStringLiteral("default"), QStringLiteral("Open chat")}));
    QCOMPARE(notice.replacesId, 0u);
    QVERIFY(notice.hints.contains(QStringLiteral("image-data")));

    // The next change of the same contact takes the place of this notice.
    const int before = noticesWith(QStringLiteral("Status changed")).size();
    QCOMPARE(m_bob->setUserOnlineState(2), 200);
    QTRY_VERIFY_WITH_TIMEOUT(noticesWith(QStringLiteral("Status changed")).size() > before, 20000);
    QCOMPARE(noticesWith(QStringLiteral("Status changed")).last().replacesId,
             noticesWith(QStringLiteral("Status changed")).at(before - 1).id);
    QVERIFY(popups().isEmpty());
}

void TestDesktopNotices::withoutServiceThePopupShows()
{
    withdrawService();
    QVERIFY(startAlice());
    QVERIFY(sendFromBob(QStringLiteral("anyone home?")));
    QTRY_VERIFY_WITH_TIMEOUT(popupText(QStringLiteral("Incoming Message")).contains(QStringLiteral("anyone home?")),
                             20000);
    QVERIFY(m_service.notices.isEmpty());
}

void TestDesktopNotices::refusedNoticeBecomesAPopup()
{
    m_service.refuse = true;
    QVERIFY(startAlice());
    QVERIFY(sendFromBob(QStringLiteral("still there?")));
    QTRY_VERIFY_WITH_TIMEOUT(popupText(QStringLiteral("Incoming Message")).contains(QStringLiteral("still there?")),
                             20000);
}

void TestDesktopNotices::preferenceChoosesThePopup()
{
    QVERIFY(startAlice());
    // Tools > Preferences, untick the box, OK: as a person does it.
    QVERIFY(m_alice->click(QStringLiteral("frmLogin/Preferences")));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_alice->get(QStringLiteral("modal/cbSystemNotifications"), QStringLiteral("checked")).toBool(), 20000);
    QVERIFY(m_alice->get(QStringLiteral("modal/cbSystemNotifications"), QStringLiteral("enabled")).toBool());
    QVERIFY(m_alice->click(QStringLiteral("modal/cbSystemNotifications")));
    QTRY_VERIFY(!m_alice->get(QStringLiteral("modal/cbSystemNotifications"), QStringLiteral("checked")).toBool());
    QVERIFY(m_alice->button(QStringLiteral("modal"), QStringLiteral("OK")));
    QTRY_VERIFY(m_alice->get(QStringLiteral("modal/cbSystemNotifications"), QStringLiteral("checked")).isUndefined());

    QVERIFY(sendFromBob(QStringLiteral("popup please")));
    QTRY_VERIFY_WITH_TIMEOUT(popupText(QStringLiteral("Incoming Message")).contains(QStringLiteral("popup please")),
                             20000);
    QVERIFY(m_service.notices.isEmpty());
    QSettings settings(m_alice->home() + QStringLiteral("/config/Zelto/Zelto Messenger.conf"), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Interface/SystemNotifications")), QVariant(false));
}

void TestDesktopNotices::preferenceCheckBox()
{
    // The box can be used only where the desktop has the service.
    for (const bool offered : {true, false}) {
        offered ? offerService() : withdrawService();
        frmConfig dialog{QString()};
        auto *box = dialog.findChild<QCheckBox *>(QStringLiteral("cbSystemNotifications"));
        QVERIFY(box);
        QCOMPARE(box->isEnabled(), offered);
        QVERIFY(box->isChecked());
        QCOMPARE(box->toolTip().isEmpty(), offered);
    }
}

ZM_HERMETIC_TEST_MAIN(TestDesktopNotices)
#include "tst_desktopnotices.moc"
