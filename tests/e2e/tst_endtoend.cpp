#include "e2edriver.h"
#include "hermetic.h"

#include <QJsonArray>

// The whole messenger as users meet it: a real zmsgd and real zmessenger processes, each
// with a HOME of its own, driven through their windows.
class TestEndToEnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void registerAndLogIn();
    void addContactAndAcceptRequest();
    void bothSeeEachOtherOnline();
    void exchangeMessages();
    void stateChangeShowsPopup();
    void profileChangesReachTheOtherSide();
    void serverRestartLosesNothing();
    void clientRestartShowsHistory();
    void logoutAndLoginAgain();
    void cleanupTestCase();

private:
    bool logIn(ClientProcess &client, const QString &name, const QString &password);
    bool listShows(ClientProcess &client, const QString &displayName);
    int contactState(ClientProcess &client, const QString &user);
    QStringList balloonTitles(ClientProcess &client);
    bool hasWindow(ClientProcess &client, const QString &className, const QString &title);
    bool chatShows(ClientProcess &client, const QString &title, const QString &text);
    bool sendChat(ClientProcess &client, const QString &title, const QString &text);
    bool openChat(ClientProcess &client, const QString &displayName);

    QTemporaryDir m_dir;
    std::unique_ptr<ServerProcess> m_server;
    std::unique_ptr<ClientProcess> m_erin;
    std::unique_ptr<ClientProcess> m_frank;
};

void TestEndToEnd::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ZM_ZMSGD") || qEnvironmentVariableIsEmpty("ZM_ZMESSENGER"))
        QSKIP("needs ZM_ZMSGD and ZM_ZMESSENGER (set by ctest)");
    m_server = std::make_unique<ServerProcess>(m_dir.filePath(QStringLiteral("zmsgd.sqlite")));
    QVERIFY2(m_server->start(), m_server->log().constData());
}

bool TestEndToEnd::logIn(ClientProcess &client, const QString &name, const QString &password)
{
    return client.type(QStringLiteral("frmLogin/txtNameDesigned"), name)
        && client.type(QStringLiteral("frmLogin/txtPasswordDesigned"), password)
        && client.click(QStringLiteral("frmLogin/labDesignedLogin"));
}

bool TestEndToEnd::listShows(ClientProcess &client, const QString &displayName)
{
    const QJsonArray items =
        client.get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items")).toArray();
    for (const QJsonValue &item : items) {
        if (item.toString().section(QLatin1Char('\n'), 0, 0) == displayName)
            return true;
    }
    return false;
}

int TestEndToEnd::contactState(ClientProcess &client, const QString &user)
{
    return client.call({{QStringLiteral("cmd"), QStringLiteral("contactState")}, {QStringLiteral("user"), user}})
        .value(QStringLiteral("value"))
        .toInt(-1);
}

QStringList TestEndToEnd::balloonTitles(ClientProcess &client)
{
    QStringList titles;
    for (const QJsonValue &balloon :
         client.call({{QStringLiteral("cmd"), QStringLiteral("balloons")}}).value(QStringLiteral("value")).toArray())
        titles << balloon.toObject().value(QStringLiteral("title")).toString();
    return titles;
}

bool TestEndToEnd::hasWindow(ClientProcess &client, const QString &className, const QString &title)
{
    for (const QJsonValue &window : client.windows()) {
        const QJsonObject w = window.toObject();
        if (w.value(QStringLiteral("class")).toString() == className
            && w.value(QStringLiteral("title")).toString().contains(title))
            return true;
    }
    return false;
}

bool TestEndToEnd::chatShows(ClientProcess &client, const QString &title, const QString &text)
{
    return client.get(QStringLiteral("frmChat@") + title + QStringLiteral("/tbChat"), QStringLiteral("plainText"))
        .toString()
        .contains(text);
}

bool TestEndToEnd::sendChat(ClientProcess &client, const QString &title, const QString &text)
{
    return client.type(QStringLiteral("frmChat@") + title + QStringLiteral("/txtMessageBox"), text, true);
}

bool TestEndToEnd::openChat(ClientProcess &client, const QString &displayName)
{
    return client
        .call({{QStringLiteral("cmd"), QStringLiteral("activateItem")},
               {QStringLiteral("path"), QStringLiteral("frmLogin/lwContactsDesigned")},
               {QStringLiteral("text"), displayName}})
        .value(QStringLiteral("ok"))
        .toBool();
}

void TestEndToEnd::registerAndLogIn()
{
    QString page;
    QVERIFY2(registerThroughWebSite(*m_server, QStringLiteral("erin"), QStringLiteral("erin-pass-1"),
                                    QStringLiteral("Erin"), &page),
             qPrintable(page));
    QVERIFY2(registerThroughWebSite(*m_server, QStringLiteral("frank"), QStringLiteral("frank-pass-1"),
                                    QStringLiteral("Frank"), &page),
             qPrintable(page));
    // A taken name is refused by the form.
    QVERIFY(!registerThroughWebSite(*m_server, QStringLiteral("frank"), QStringLiteral("other-pass-1"),
                                    QStringLiteral("Frank"), &page));

    m_erin = std::make_unique<ClientProcess>(QStringLiteral("erin"), *m_server);
    m_frank = std::make_unique<ClientProcess>(QStringLiteral("frank"), *m_server);
    // The watchdog looks every second instead of every ten, so a server restart is seen soon.
    for (ClientProcess *client : {m_erin.get(), m_frank.get()})
        client->setEnvironment(QStringLiteral("ZM_TEST_WATCHDOG_MS"), QStringLiteral("1000"));
    QVERIFY(m_erin->start());
    QVERIFY(m_frank->start());

    // A wrong password keeps the login page and says so.
    QVERIFY(logIn(*m_erin, QStringLiteral("erin"), QStringLiteral("wrong-password")));
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get(QStringLiteral("modal"), QStringLiteral("windowTitle")).isString(), 15000);
    QVERIFY(m_erin->button(QStringLiteral("modal"), QStringLiteral("OK")));
    QTRY_VERIFY(!m_erin->get(QStringLiteral("modal"), QStringLiteral("windowTitle")).isString());
    QCOMPARE(m_erin->get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(), false);

    QVERIFY(logIn(*m_erin, QStringLiteral("erin"), QStringLiteral("erin-pass-1")));
    QVERIFY(logIn(*m_frank, QStringLiteral("frank"), QStringLiteral("frank-pass-1")));
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(),
                             15000);
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(),
                             15000);
}

void TestEndToEnd::addContactAndAcceptRequest()
{
    QVERIFY(m_erin->invoke(QStringLiteral("frmLogin"), QStringLiteral("addContact")));
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get(QStringLiteral("modal"), QStringLiteral("windowTitle")).toString()
                                 == QStringLiteral("Add contact"),
                             10000);
    QVERIFY(m_erin
                ->call({{QStringLiteral("cmd"), QStringLiteral("inputText")},
                        {QStringLiteral("path"), QStringLiteral("modal")},
                        {QStringLiteral("text"), QStringLiteral("frank")}})
                .value(QStringLiteral("ok"))
                .toBool());
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_erin, QStringLiteral("frank")) || listShows(*m_erin, QStringLiteral("Frank")),
                             10000);

    QVERIFY(m_frank->invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerFR_tick")));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get(QStringLiteral("frmLogin/labWelcomeNick"), QStringLiteral("plainText"))
                                 .toString()
                                 .contains(QStringLiteral("1")),
                             10000);
    QVERIFY(m_frank->invoke(QStringLiteral("frmLogin"), QStringLiteral("on_labWelcomeNick_linkActivated"),
                            QStringLiteral("zmp://friendrequests")));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get(QStringLiteral("modal"), QStringLiteral("windowTitle")).toString()
                                 == QStringLiteral("Friend Requests"),
                             10000);
    QVERIFY(m_frank
                ->call({{QStringLiteral("cmd"), QStringLiteral("activateItem")},
                        {QStringLiteral("path"), QStringLiteral("modal/lwRequests")},
                        {QStringLiteral("text"), QStringLiteral("erin")}})
                .value(QStringLiteral("ok"))
                .toBool());
    QVERIFY(m_frank->click(QStringLiteral("modal/cmdAccept")));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_frank->get(QStringLiteral("modal/lwRequests"), QStringLiteral("items")).toArray().isEmpty(), 10000);
    QVERIFY(m_frank->button(QStringLiteral("modal"), QStringLiteral("Close")));
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_frank, QStringLiteral("erin")) || listShows(*m_frank, QStringLiteral("Erin")),
                             10000);
}

void TestEndToEnd::bothSeeEachOtherOnline()
{
    QVERIFY(m_erin->invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerOA_tick")));
    QVERIFY(m_frank->invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerOA_tick")));
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_erin, QStringLiteral("frank")), 1, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_frank, QStringLiteral("erin")), 1, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_erin, QStringLiteral("Frank")), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_frank, QStringLiteral("Erin")), 10000);
}

void TestEndToEnd::exchangeMessages()
{
    QVERIFY(openChat(*m_erin, QStringLiteral("Frank")));
    QTRY_VERIFY_WITH_TIMEOUT(hasWindow(*m_erin, QStringLiteral("frmChat"), QStringLiteral("Frank")), 10000);
    const QString first = QStringLiteral("Hello :) see https://example.org/a?b=1&c=2 & <b>not bold</b> Привет 😀");
    QVERIFY(sendChat(*m_erin, QStringLiteral("Frank"), first));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, QStringLiteral("Frank"), QStringLiteral("Привет 😀")), 10000);

    // The first message opens the chat on the other side, minimised, with a popup.
    QTRY_VERIFY_WITH_TIMEOUT(hasWindow(*m_frank, QStringLiteral("frmChat"), QStringLiteral("Erin")), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_frank, QStringLiteral("Erin"), QStringLiteral("& <b>not bold</b> Привет 😀")),
                             10000);
    QVERIFY(chatShows(*m_frank, QStringLiteral("Erin"), QStringLiteral("https://example.org/a?b=1&c=2")));
    const QString html = m_frank->get(QStringLiteral("frmChat@Erin/tbChat"), QStringLiteral("html")).toString();
    QVERIFY2(html.contains(QStringLiteral("friendly.png")), qPrintable(html));
    QVERIFY2(!html.contains(QStringLiteral("<b>not bold</b>")), "received markup must stay text");

    QVERIFY(sendChat(*m_frank, QStringLiteral("Erin"), QStringLiteral("Thanks & bye < 3 ✓")));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, QStringLiteral("Frank"), QStringLiteral("Thanks & bye < 3 ✓")), 15000);
}

void TestEndToEnd::stateChangeShowsPopup()
{
    QVERIFY(m_frank->invoke(QStringLiteral("frmLogin"), QStringLiteral("setStateBusy")));
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_erin, QStringLiteral("frank")), 3, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(
        [this] {
            for (const QJsonValue &popup : m_erin->popups()) {
                if (popup.toObject().value(QStringLiteral("title")).toString() == QStringLiteral("Status changed")
                    && popup.toObject().value(QStringLiteral("text")).toString().contains(QStringLiteral("Frank")))
                    return true;
            }
            return false;
        }(),
        10000);
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get(QStringLiteral("frmLogin"), QStringLiteral("trayToolTip"))
                                 .toString()
                                 .contains(QStringLiteral("Busy")),
                             10000);
}

void TestEndToEnd::profileChangesReachTheOtherSide()
{
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(QColor(30, 140, 90));
    const QString pictureFile = m_frank->home() + QStringLiteral("/me.png");
    QVERIFY(picture.save(pictureFile));

    QVERIFY(m_frank->invoke(QStringLiteral("frmLogin"), QStringLiteral("editProfile")));
    QTRY_COMPARE_WITH_TIMEOUT(m_frank->get(QStringLiteral("modal"), QStringLiteral("objectName")).toString(),
                              QStringLiteral("frmProfile"), 10000);
    const QString status = QStringLiteral("Gone fishing & <back> soon | see &amp; you <> later");
    QVERIFY(m_frank
                ->call({{QStringLiteral("cmd"), QStringLiteral("set")},
                        {QStringLiteral("path"), QStringLiteral("modal/txtMsgState")},
                        {QStringLiteral("property"), QStringLiteral("text")},
                        {QStringLiteral("value"), status}})
                .value(QStringLiteral("ok"))
                .toBool());

    QVERIFY(m_frank->click(QStringLiteral("modal/cmdAvatar")));
    QTRY_COMPARE_WITH_TIMEOUT(m_frank->get(QStringLiteral("modal"), QStringLiteral("windowTitle")).toString(),
                              QStringLiteral("Avatar"), 10000);
    QVERIFY(m_frank->button(QStringLiteral("modal"), QStringLiteral("Change Avatar")));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get(QStringLiteral("modal"), QStringLiteral("windowTitle")).toString()
                                 == QStringLiteral("Select Avatar"),
                             10000);
    QVERIFY(m_frank
                ->call({{QStringLiteral("cmd"), QStringLiteral("chooseFile")},
                        {QStringLiteral("path"), QStringLiteral("modal")},
                        {QStringLiteral("file"), pictureFile}})
                .value(QStringLiteral("ok"))
                .toBool());
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get(QStringLiteral("QDialog@Avatar"), QStringLiteral("windowTitle")).isString(),
                             10000);
    QVERIFY(m_frank->button(QStringLiteral("QDialog@Avatar"), QStringLiteral("Apply Avatar")));
    QTRY_COMPARE_WITH_TIMEOUT(m_frank->get(QStringLiteral("modal"), QStringLiteral("objectName")).toString(),
                              QStringLiteral("frmProfile"), 15000);
    QVERIFY(m_frank->button(QStringLiteral("modal"), QStringLiteral("Change")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_frank->get(QStringLiteral("modal"), QStringLiteral("objectName")).isString(), 10000);

    // The other side sees the new status message, exactly as typed, and the new picture.
    QTRY_VERIFY_WITH_TIMEOUT((m_erin->invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerOA_tick")),
                              m_erin->get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items"))
                                  .toArray()
                                  .contains(QJsonValue(QStringLiteral("Frank\n") + status))),
                             20000);
    QTRY_VERIFY_WITH_TIMEOUT((m_erin->invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerOA_tick")),
                              m_erin
                                  ->call({{QStringLiteral("cmd"), QStringLiteral("avatarLoaded")},
                                          {QStringLiteral("user"), QStringLiteral("frank")}})
                                  .value(QStringLiteral("value"))
                                  .toBool()),
                             30000);
}

void TestEndToEnd::serverRestartLosesNothing()
{
    m_server->stop();
    // The watchdog notices the loss and shows the user offline.
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get(QStringLiteral("frmLogin"), QStringLiteral("trayToolTip"))
                                 .toString()
                                 .contains(QStringLiteral("Offline")),
                             30000);
    QVERIFY2(m_server->start(), m_server->log().constData());
    QTRY_VERIFY_WITH_TIMEOUT(!m_erin->get(QStringLiteral("frmLogin"), QStringLiteral("trayToolTip"))
                                  .toString()
                                  .contains(QStringLiteral("Offline")),
                             30000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_frank->get(QStringLiteral("frmLogin"), QStringLiteral("trayToolTip"))
                                  .toString()
                                  .contains(QStringLiteral("Offline")),
                             30000);

    QVERIFY(sendChat(*m_frank, QStringLiteral("Erin"), QStringLiteral("after the restart")));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, QStringLiteral("Frank"), QStringLiteral("after the restart")), 15000);

    // One balloon for the loss, however many watchdog runs saw the server down, and one for
    // the return. Frank's watchdog may have slept through the outage and shown none.
    const QStringList both{QStringLiteral("Disconnected"), QStringLiteral("Reconnected")};
    QCOMPARE(balloonTitles(*m_erin), both);
    const QStringList frankSaw = balloonTitles(*m_frank);
    QVERIFY2(frankSaw.isEmpty() || frankSaw == both, qPrintable(frankSaw.join(QLatin1Char(','))));
}

void TestEndToEnd::clientRestartShowsHistory()
{
    QVERIFY(m_erin->stop());
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_frank, QStringLiteral("erin")), 8, 15000);
    // A message to an offline user waits on the server.
    QVERIFY(sendChat(*m_frank, QStringLiteral("Erin"), QStringLiteral("while you were away")));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_frank, QStringLiteral("Erin"), QStringLiteral("while you were away")), 10000);

    // "Stay logged in" was ticked, so the restarted client logs in by itself.
    QVERIFY(m_erin->start());
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(),
                             20000);
    QTRY_VERIFY_WITH_TIMEOUT(hasWindow(*m_erin, QStringLiteral("frmChat"), QStringLiteral("Frank")), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, QStringLiteral("Frank"), QStringLiteral("while you were away")), 10000);
    // The chat shows the conversation of the earlier run from its history file.
    QVERIFY(chatShows(*m_erin, QStringLiteral("Frank"), QStringLiteral("Привет 😀")));
    QVERIFY(chatShows(*m_erin, QStringLiteral("Frank"), QStringLiteral("after the restart")));
}

void TestEndToEnd::logoutAndLoginAgain()
{
    QVERIFY(m_frank->invoke(QStringLiteral("frmLogin"), QStringLiteral("logoutUser")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_frank->get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(
        m_frank->get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items")).toArray().isEmpty(),
        10000);
    QVERIFY(logIn(*m_frank, QStringLiteral("frank"), QStringLiteral("frank-pass-1")));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(),
                             15000);
    QVERIFY(m_frank->invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerOA_tick")));
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_frank, QStringLiteral("Erin")), 15000);
}

void TestEndToEnd::cleanupTestCase()
{
    if (m_erin)
        m_erin->stop();
    if (m_frank)
        m_frank->stop();
}

ZM_HERMETIC_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
