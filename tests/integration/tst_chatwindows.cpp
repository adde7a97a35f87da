#include "ChatHistory.h"
#include "frmChat.h"
#include "frmLogin.h"
#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "mainwindowview.h"
#include "silentserver.h"
#include "testpictures.h"
#include "zmsgfwwire.h"

#include <zmsgdserverthread.h>
#include <zmsgfw111q.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <memory>

using namespace MainWindowView;

namespace {

QByteArray png(const QColor &colour, int side = 32)
{
    return plainPng(side, side, colour);
}

QList<frmChat *> openChats()
{
    QList<frmChat *> chats;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *chat = qobject_cast<frmChat *>(widget))
            chats << chat;
    }
    return chats;
}

// The server's answer to a request for the own avatar: a picture id to fetch.
QString ownAvatarObject(const QString &id)
{
    return ZMsgFwWire::renderIncomingObject("ZM/1.1 return --rq=avatar --id=200 --avatar=" + id.toUtf8() + '\n');
}

QColor headerColour(frmChat *chat)
{
    return chat->findChild<QLabel *>(QStringLiteral("labUserAvatar"))
        ->pixmap(Qt::ReturnByValue)
        .toImage()
        .pixelColor(5, 5);
}

QString viewText(frmChat *chat)
{
    return chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->toPlainText();
}

void login(frmLogin *window, const QString &name, const QString &password)
{
    window->findChild<QLineEdit *>(QStringLiteral("txtName"))->setText(name);
    window->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
    window->findChild<QPushButton *>(QStringLiteral("cmdLogin"))->click();
}

// Both clients share one settings store here: the second must not start from the first
// one's remembered login.
void forgetLogin()
{
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    settings.remove(QStringLiteral("Login"));
}

} // namespace

class TestChatWindows : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void openingReusesTheWindow();
    void avatarsReachTablesAndHeaders();
    void logoutClosesEveryChat();
    void logoutStopsTheAvatarThread();
    void mainWindowGoesFirst();
    void twoClientsOnZmsgd();
};

void TestChatWindows::init()
{
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    settings.clear();
    QDir(QDir::homePath() + QStringLiteral("/.zmsg")).removeRecursively();
}

void TestChatWindows::cleanup()
{
    for (frmChat *chat : openChats())
        delete chat;
}

void TestChatWindows::openingReusesTheWindow()
{
    frmLogin window;
    const QString online = QStringLiteral(":/img/online-t2x64.png");
    window.openChatWindow(QStringLiteral("ann"), QStringLiteral("Ann"), QString(), online, 1, QString(), false);
    window.openChatWindow(QStringLiteral("ben"), QStringLiteral("Ben"), QString(), online, 1, QString(), true);
    QCOMPARE(openChats().size(), 2);
    QVERIFY(chatWith(QStringLiteral("ben"))->isMinimized());
    window.openChatWindow(QStringLiteral("ann"), QStringLiteral("Ann"), QString(), online, 1, QString(), false);
    QCOMPARE(openChats().size(), 2);
    QCOMPARE(chatWith(QStringLiteral("ann"))->windowTitle(), QStringLiteral("Ann"));

    // Closing a chat deregisters it; the next open makes a new window.
    QPointer<frmChat> ann = chatWith(QStringLiteral("ann"));
    ann->close();
    QVERIFY(!chatWith(QStringLiteral("ann")));
    QTRY_VERIFY(ann.isNull());
    window.openChatWindow(QStringLiteral("ann"), QStringLiteral("Ann"), QString(), online, 1, QString(), false);
    QVERIFY(chatWith(QStringLiteral("ann")));
    QCOMPARE(openChats().size(), 2);
}

void TestChatWindows::avatarsReachTablesAndHeaders()
{
    frmLogin window;
    window.openChatWindow(QStringLiteral("cid"), QStringLiteral("Cid"), QString(),
                          QStringLiteral(":/img/online-t2x64.png"), 1, QStringLiteral("id-red"), false);
    frmChat *chat = chatWith(QStringLiteral("cid"));
    const QColor defaultColour = headerColour(chat);

    window.avatarInsert(png(Qt::red), QStringLiteral("id-red"));
    QCOMPARE(window.contactAvatarImage(QStringLiteral("id-red")).pixelColor(1, 1), QColor(Qt::red));
    QCOMPARE(headerColour(chat), QColor(Qt::red));

    window.avatarInsert(QByteArray("not a picture"), QStringLiteral("id-bad"));
    QCOMPARE(window.contactAvatarImage(QStringLiteral("id-bad")), window.defaultAvatarImage());
    QCOMPARE(window.contactAvatarImage(QStringLiteral("unknown")), window.defaultAvatarImage());

    // Pictures too large to be avatars are not decoded.
    window.avatarInsert(png(Qt::green, 4000), QStringLiteral("id-huge"));
    QCOMPARE(window.contactAvatarImage(QStringLiteral("id-huge")), window.defaultAvatarImage());
    QVERIFY(headerColour(chat) != defaultColour);
}

void TestChatWindows::logoutClosesEveryChat()
{
    frmLogin window;
    for (const char *name : {"a", "b", "c", "d"}) {
        window.openChatWindow(QLatin1String(name), QLatin1String(name), QString(),
                              QStringLiteral(":/img/online-t2x64.png"), 1, QString(), false);
    }
    QList<QPointer<frmChat>> chats;
    for (frmChat *chat : openChats())
        chats << chat;
    QCOMPARE(chats.size(), 4);
    window.logoutUser();
    for (const char *name : {"a", "b", "c", "d"})
        QVERIFY(!chatWith(QLatin1String(name)));
    for (const QPointer<frmChat> &chat : chats)
        QTRY_VERIFY(chat.isNull());
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    QVERIFY(settings.contains(QStringLiteral("Windows/Chat/c")));
}

void TestChatWindows::logoutStopsTheAvatarThread()
{
    SilentServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(server.serverPort()));

    frmLogin window;
    window.readIncoming(ownAvatarObject(QStringLiteral("slow")));
    QTRY_COMPARE(server.connections, 1);
    QElapsedTimer clock;
    clock.start();
    window.logoutUser();
    QVERIFY(clock.elapsed() < 5000);
    QTRY_COMPARE(server.closed, 1);
    // A new session can start a new thread at once.
    window.readIncoming(ownAvatarObject(QStringLiteral("slow")));
    QTRY_COMPARE(server.connections, 2);
    window.logoutUser();
    QTRY_COMPARE(server.closed, 2);
}

void TestChatWindows::mainWindowGoesFirst()
{
    SilentServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(server.serverPort()));

    auto window = std::make_unique<frmLogin>();
    window->openChatWindow(QStringLiteral("eve"), QStringLiteral("Eve"), QString(),
                           QStringLiteral(":/img/online-t2x64.png"), 1, QString(), false);
    QPointer<frmChat> chat = chatWith(QStringLiteral("eve"));
    window->readIncoming(ownAvatarObject(QStringLiteral("slow")));
    QTRY_COMPARE(server.connections, 1);
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(chat.isNull());
    QTRY_COMPARE(server.closed, 1);
}

void TestChatWindows::twoClientsOnZmsgd()
{
    QTemporaryDir serverDir;
    const ZmsgdConfig config = loopbackZmsgdConfig(serverDir.filePath(QStringLiteral("zmsgd.sqlite")));
    ZmsgdServerThread zmsgd;
    QString error;
    QVERIFY2(zmsgd.start(config, &error), qPrintable(error));
    exportZmsgdEndpoint(zmsgd);
    const QString online = QStringLiteral(":/img/online-t2x64.png");

    frmLogin alice;
    login(&alice, QStringLiteral("alice"), QStringLiteral("alice123"));
    QVERIFY(alice.isSessionLoggedIn());
    forgetLogin();
    auto bob = std::make_unique<frmLogin>();
    login(bob.get(), QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob->isSessionLoggedIn());
    QTRY_VERIFY_WITH_TIMEOUT(contactRow(alice, QStringLiteral("bob")), 10000);

    // Alice writes from her chat window; Bob's window opens by itself.
    alice.openChatWindow(QStringLiteral("bob"), QStringLiteral("Bob"), QString(), online, 1, QString(), false);
    frmChat *aliceChat = chatWith(QStringLiteral("bob"));
    auto *field = aliceChat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"));
    field->setText(QStringLiteral("hi <b>Bob</b> :) see http://example.org/x"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(field->text().isEmpty());
    QCOMPARE(viewText(aliceChat).section(QLatin1Char(0x0a), 0, 0), QStringLiteral("Alice"));

    QTRY_VERIFY_WITH_TIMEOUT(chatWith(QStringLiteral("alice")), 10000);
    frmChat *bobChat = chatWith(QStringLiteral("alice"));
    QTRY_VERIFY(viewText(bobChat).contains(QLatin1String("hi <b>Bob</b>")));
    const QString html = bobChat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->toHtml();
    QVERIFY(html.contains(QLatin1String(":/img/friendly.png")));
    QVERIFY(html.contains(QLatin1String("href=\"http://example.org/x\"")));

    // Closing and reopening the chat, and restarting Bob's program, keep the conversation.
    bobChat->close();
    bob->openChatWindow(QStringLiteral("alice"), QStringLiteral("Alice"), QString(), online, 1, QString(), false);
    QVERIFY(viewText(chatWith(QStringLiteral("alice"))).contains(QLatin1String("hi <b>Bob</b>")));
    bob.reset();
    forgetLogin();
    bob = std::make_unique<frmLogin>();
    bob->openChatWindow(QStringLiteral("alice"), QStringLiteral("Alice"), QString(), online, 1, QString(), false);
    QVERIFY(viewText(chatWith(QStringLiteral("alice"))).contains(QLatin1String("hi <b>Bob</b>")));
    login(bob.get(), QStringLiteral("bob"), QStringLiteral("bob123"));
    QVERIFY(bob->isSessionLoggedIn());

    // Alice uploads a picture; Bob's next avatar refresh downloads it into his list and header.
    QImage green(200, 100, QImage::Format_ARGB32);
    green.fill(Qt::green);
    QVERIFY(alice.uploadAvatar(green));
    QTRY_VERIFY_WITH_TIMEOUT(contactRow(*bob, QStringLiteral("alice")), 10000);
    QString greenId;
    for (int attempt = 0; attempt < 50 && greenId.isEmpty(); ++attempt) {
        QMetaObject::invokeMethod(bob.get(), "on_timerOA_tick");
        QTest::qWait(200);
        const QString id = bob->contacts().contactAvatars.value(QStringLiteral("alice"));
        if (bob->isContactAvatarLoaded(QStringLiteral("alice"))
            && bob->contactAvatarImage(id).pixelColor(5, 5) == QColor(Qt::green))
            greenId = id;
    }
    QVERIFY(!greenId.isEmpty());
    QTRY_COMPARE(headerColour(chatWith(QStringLiteral("alice"))), QColor(Qt::green));
    QMetaObject::invokeMethod(bob.get(), "on_timerOA_tick");
    QTRY_VERIFY_WITH_TIMEOUT(
        contactRow(*bob, QStringLiteral("alice"))->icon().pixmap(68, 54).toImage().pixelColor(20, 25)
            == QColor(Qt::green),
        10000);
    QVERIFY(QFileInfo::exists(QDir::homePath() + QStringLiteral("/.zmsg/") + greenId + QStringLiteral(".zm"))
            || QFileInfo::exists(QDir::homePath() + QStringLiteral("/.zmsg/encoded")));

    alice.logoutUser();
    bob->logoutUser();
    zmsgd.stop();
}

ZM_HERMETIC_TEST_MAIN(TestChatWindows)
#include "tst_chatwindows.moc"
