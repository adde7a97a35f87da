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
    m_server = std::make_unique<ServerProcess>(m_dir.filePath("zmsgd.sqlite"));
    QVERIFY2(m_server->start(), m_server->log().constData());
}

bool TestEndToEnd::logIn(ClientProcess &client, const QString &name, const QString &password)
{
    return client.type("frmLogin/txtNameDesigned", name) && client.type("frmLogin/txtPasswordDesigned", password)
        && client.click("frmLogin/labDesignedLogin");
}

bool TestEndToEnd::listShows(ClientProcess &client, const QString &displayName)
{
    const QJsonArray items = client.get("frmLogin/lwContactsDesigned", "items").toArray();
    for (const QJsonValue &item : items) {
        if (item.toString().section('\n', 0, 0) == displayName)
            return true;
    }
    return false;
}

int TestEndToEnd::contactState(ClientProcess &client, const QString &user)
{
    return client.call({{"cmd", "contactState"}, {"user", user}}).value("value").toInt(-1);
}

QStringList TestEndToEnd::balloonTitles(ClientProcess &client)
{
    QStringList titles;
    for (const QJsonValue &balloon : client.call({{"cmd", "balloons"}}).value("value").toArray())
        titles << balloon.toObject().value("title").toString();
    return titles;
}

bool TestEndToEnd::hasWindow(ClientProcess &client, const QString &className, const QString &title)
{
    for (const QJsonValue &window : client.windows()) {
        const QJsonObject w = window.toObject();
        if (w.value("class").toString() == className && w.value("title").toString().contains(title))
            return true;
    }
    return false;
}

bool TestEndToEnd::chatShows(ClientProcess &client, const QString &title, const QString &text)
{
    return client.get("frmChat@" + title + "/tbChat", "plainText").toString().contains(text);
}

bool TestEndToEnd::sendChat(ClientProcess &client, const QString &title, const QString &text)
{
    return client.type("frmChat@" + title + "/txtMessageBox", text, true);
}

bool TestEndToEnd::openChat(ClientProcess &client, const QString &displayName)
{
    return client.call({{"cmd", "activateItem"}, {"path", "frmLogin/lwContactsDesigned"}, {"text", displayName}})
        .value("ok")
        .toBool();
}

void TestEndToEnd::registerAndLogIn()
{
    QString page;
    QVERIFY2(registerThroughWebSite(*m_server, "erin", "erin-pass-1", "Erin", &page), qPrintable(page));
    QVERIFY2(registerThroughWebSite(*m_server, "frank", "frank-pass-1", "Frank", &page), qPrintable(page));
    // A taken name is refused by the form.
    QVERIFY(!registerThroughWebSite(*m_server, "frank", "other-pass-1", "Frank", &page));

    m_erin = std::make_unique<ClientProcess>("erin", *m_server);
    m_frank = std::make_unique<ClientProcess>("frank", *m_server);
    // The watchdog looks every second instead of every ten, so a server restart is seen soon.
    for (ClientProcess *client : {m_erin.get(), m_frank.get()})
        client->setEnvironment("ZM_TEST_WATCHDOG_MS", "1000");
    QVERIFY(m_erin->start());
    QVERIFY(m_frank->start());

    // A wrong password keeps the login page and says so.
    QVERIFY(logIn(*m_erin, "erin", "wrong-password"));
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get("modal", "windowTitle").isString(), 15000);
    QVERIFY(m_erin->button("modal", "OK"));
    QTRY_VERIFY(!m_erin->get("modal", "windowTitle").isString());
    QCOMPARE(m_erin->get("frmLogin/menuBar", "visible").toBool(), false);

    QVERIFY(logIn(*m_erin, "erin", "erin-pass-1"));
    QVERIFY(logIn(*m_frank, "frank", "frank-pass-1"));
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get("frmLogin/menuBar", "visible").toBool(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("frmLogin/menuBar", "visible").toBool(), 15000);
}

void TestEndToEnd::addContactAndAcceptRequest()
{
    QVERIFY(m_erin->invoke("frmLogin", "addContact"));
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get("modal", "windowTitle").toString() == "Add contact", 10000);
    QVERIFY(m_erin->call({{"cmd", "inputText"}, {"path", "modal"}, {"text", "frank"}}).value("ok").toBool());
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_erin, "frank") || listShows(*m_erin, "Frank"), 10000);

    QVERIFY(m_frank->invoke("frmLogin", "on_timerFR_tick"));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("frmLogin/labWelcomeNick", "plainText").toString().contains("1"), 10000);
    QVERIFY(m_frank->invoke("frmLogin", "on_labWelcomeNick_linkActivated", "zmp://friendrequests"));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("modal", "windowTitle").toString() == "Friend Requests", 10000);
    QVERIFY(
        m_frank->call({{"cmd", "activateItem"}, {"path", "modal/lwRequests"}, {"text", "erin"}}).value("ok").toBool());
    QVERIFY(m_frank->click("modal/cmdAccept"));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("modal/lwRequests", "items").toArray().isEmpty(), 10000);
    QVERIFY(m_frank->button("modal", "Close"));
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_frank, "erin") || listShows(*m_frank, "Erin"), 10000);
}

void TestEndToEnd::bothSeeEachOtherOnline()
{
    QVERIFY(m_erin->invoke("frmLogin", "on_timerOA_tick"));
    QVERIFY(m_frank->invoke("frmLogin", "on_timerOA_tick"));
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_erin, "frank"), 1, 15000);
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_frank, "erin"), 1, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_erin, "Frank"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_frank, "Erin"), 10000);
}

void TestEndToEnd::exchangeMessages()
{
    QVERIFY(openChat(*m_erin, "Frank"));
    QTRY_VERIFY_WITH_TIMEOUT(hasWindow(*m_erin, "frmChat", "Frank"), 10000);
    const QString first = QStringLiteral("Hello :) see https://example.org/a?b=1&c=2 & <b>not bold</b> Привет 😀");
    QVERIFY(sendChat(*m_erin, "Frank", first));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, "Frank", "Привет 😀"), 10000);

    // The first message opens the chat on the other side, minimised, with a popup.
    QTRY_VERIFY_WITH_TIMEOUT(hasWindow(*m_frank, "frmChat", "Erin"), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_frank, "Erin", "& <b>not bold</b> Привет 😀"), 10000);
    QVERIFY(chatShows(*m_frank, "Erin", "https://example.org/a?b=1&c=2"));
    const QString html = m_frank->get("frmChat@Erin/tbChat", "html").toString();
    QVERIFY2(html.contains("friendly.png"), qPrintable(html));
    QVERIFY2(!html.contains("<b>not bold</b>"), "received markup must stay text");

    QVERIFY(sendChat(*m_frank, "Erin", "Thanks & bye < 3 ✓"));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, "Frank", "Thanks & bye < 3 ✓"), 15000);
}

void TestEndToEnd::stateChangeShowsPopup()
{
    QVERIFY(m_frank->invoke("frmLogin", "setStateBusy"));
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_erin, "frank"), 3, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(
        [this] {
            for (const QJsonValue &popup : m_erin->popups()) {
                if (popup.toObject().value("title").toString() == "Status changed"
                    && popup.toObject().value("text").toString().contains("Frank"))
                    return true;
            }
            return false;
        }(),
        10000);
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("frmLogin", "trayToolTip").toString().contains("Busy"), 10000);
}

void TestEndToEnd::profileChangesReachTheOtherSide()
{
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(QColor(30, 140, 90));
    const QString pictureFile = m_frank->home() + "/me.png";
    QVERIFY(picture.save(pictureFile));

    QVERIFY(m_frank->invoke("frmLogin", "editProfile"));
    QTRY_COMPARE_WITH_TIMEOUT(m_frank->get("modal", "objectName").toString(), QStringLiteral("frmProfile"), 10000);
    const QString status = QStringLiteral("Gone fishing & <back> soon | see &amp; you <> later");
    QVERIFY(m_frank->call({{"cmd", "set"}, {"path", "modal/txtMsgState"}, {"property", "text"}, {"value", status}})
                .value("ok")
                .toBool());

    QVERIFY(m_frank->click("modal/cmdAvatar"));
    QTRY_COMPARE_WITH_TIMEOUT(m_frank->get("modal", "windowTitle").toString(), QStringLiteral("Avatar"), 10000);
    QVERIFY(m_frank->button("modal", "Change Avatar"));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("modal", "windowTitle").toString() == "Select Avatar", 10000);
    QVERIFY(m_frank->call({{"cmd", "chooseFile"}, {"path", "modal"}, {"file", pictureFile}}).value("ok").toBool());
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("QDialog@Avatar", "windowTitle").isString(), 10000);
    QVERIFY(m_frank->button("QDialog@Avatar", "Apply Avatar"));
    QTRY_COMPARE_WITH_TIMEOUT(m_frank->get("modal", "objectName").toString(), QStringLiteral("frmProfile"), 15000);
    QVERIFY(m_frank->button("modal", "Change"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_frank->get("modal", "objectName").isString(), 10000);

    // The other side sees the new status message, exactly as typed, and the new picture.
    QTRY_VERIFY_WITH_TIMEOUT(
        (m_erin->invoke("frmLogin", "on_timerOA_tick"),
         m_erin->get("frmLogin/lwContactsDesigned", "items").toArray().contains(QJsonValue("Frank\n" + status))),
        20000);
    QTRY_VERIFY_WITH_TIMEOUT((m_erin->invoke("frmLogin", "on_timerOA_tick"),
                              m_erin->call({{"cmd", "avatarLoaded"}, {"user", "frank"}}).value("value").toBool()),
                             30000);
}

void TestEndToEnd::serverRestartLosesNothing()
{
    m_server->stop();
    // The watchdog notices the loss and shows the user offline.
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get("frmLogin", "trayToolTip").toString().contains("Offline"), 30000);
    QVERIFY2(m_server->start(), m_server->log().constData());
    QTRY_VERIFY_WITH_TIMEOUT(!m_erin->get("frmLogin", "trayToolTip").toString().contains("Offline"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_frank->get("frmLogin", "trayToolTip").toString().contains("Offline"), 30000);

    QVERIFY(sendChat(*m_frank, "Erin", "after the restart"));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, "Frank", "after the restart"), 15000);

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
    QTRY_COMPARE_WITH_TIMEOUT(contactState(*m_frank, "erin"), 8, 15000);
    // A message to an offline user waits on the server.
    QVERIFY(sendChat(*m_frank, "Erin", "while you were away"));
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_frank, "Erin", "while you were away"), 10000);

    // "Stay logged in" was ticked, so the restarted client logs in by itself.
    QVERIFY(m_erin->start());
    QTRY_VERIFY_WITH_TIMEOUT(m_erin->get("frmLogin/menuBar", "visible").toBool(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(hasWindow(*m_erin, "frmChat", "Frank"), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(chatShows(*m_erin, "Frank", "while you were away"), 10000);
    // The chat shows the conversation of the earlier run from its history file.
    QVERIFY(chatShows(*m_erin, "Frank", "Привет 😀"));
    QVERIFY(chatShows(*m_erin, "Frank", "after the restart"));
}

void TestEndToEnd::logoutAndLoginAgain()
{
    QVERIFY(m_frank->invoke("frmLogin", "logoutUser"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_frank->get("frmLogin/menuBar", "visible").toBool(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("frmLogin/lwContactsDesigned", "items").toArray().isEmpty(), 10000);
    QVERIFY(logIn(*m_frank, "frank", "frank-pass-1"));
    QTRY_VERIFY_WITH_TIMEOUT(m_frank->get("frmLogin/menuBar", "visible").toBool(), 15000);
    QVERIFY(m_frank->invoke("frmLogin", "on_timerOA_tick"));
    QTRY_VERIFY_WITH_TIMEOUT(listShows(*m_frank, "Erin"), 15000);
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
