#include "ChatHistory.h"
#include "frmChat.h"
#include "frmLogin.h"
#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "testpictures.h"

#include <zmsgdserverthread.h>
#include <zmsgfw111q.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextBrowser>

#include <memory>

// The main window with its chat and avatar members opened up for inspection.
class ChatProbeLogin : public frmLogin
{
public:
    using frmLogin::avatarImages;
    using frmLogin::avatarQueue;
    using frmLogin::avatarWork;
    using frmLogin::chatWindows;
    using frmLogin::contactAvatars;
    using frmLogin::contactItems;
    using frmLogin::startAvatarThread;
};

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

// Accepts connections and never answers, so a download waits until it is stopped.
class SilentServer : public QTcpServer
{
public:
    int connections = 0;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        ++connections;
    }
};

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
    ChatProbeLogin window;
    window.openChatWindow("ann", "Ann", "", ":/img/online-t2x64.png", 1, "", false);
    window.openChatWindow("ben", "Ben", "", ":/img/online-t2x64.png", 1, "", true);
    QCOMPARE(openChats().size(), 2);
    QVERIFY(window.chatWindows.value("ben")->isMinimized());
    window.openChatWindow("ann", "Ann", "", ":/img/online-t2x64.png", 1, "", false);
    QCOMPARE(openChats().size(), 2);
    QCOMPARE(window.chatWindows.value("ann")->windowTitle(), QStringLiteral("Ann"));

    // Closing a chat deregisters it; the next open makes a new window.
    QPointer<frmChat> ann = window.chatWindows.value("ann");
    ann->close();
    QVERIFY(!window.chatWindows.contains("ann"));
    QTRY_VERIFY(ann.isNull());
    window.openChatWindow("ann", "Ann", "", ":/img/online-t2x64.png", 1, "", false);
    QVERIFY(window.chatWindows.value("ann"));
}

void TestChatWindows::avatarsReachTablesAndHeaders()
{
    ChatProbeLogin window;
    window.openChatWindow("cid", "Cid", "", ":/img/online-t2x64.png", 1, "id-red", false);
    frmChat *chat = window.chatWindows.value("cid");
    const QColor defaultColour = headerColour(chat);

    window.avatarInsert(png(Qt::red), "id-red");
    QCOMPARE(window.contactAvatarImage("id-red").pixelColor(1, 1), QColor(Qt::red));
    QCOMPARE(headerColour(chat), QColor(Qt::red));

    window.avatarInsert("not a picture", "id-bad");
    QVERIFY(window.avatarImages.contains("id-bad"));
    QVERIFY(window.avatarImages.value("id-bad").isNull());
    QCOMPARE(window.contactAvatarImage("id-bad"), window.defaultAvatarImage());
    QCOMPARE(window.contactAvatarImage("unknown"), window.defaultAvatarImage());

    // Pictures too large to be avatars are not decoded.
    window.avatarInsert(png(Qt::green, 4000), "id-huge");
    QVERIFY(window.avatarImages.value("id-huge").isNull());
    QVERIFY(headerColour(chat) != defaultColour);
}

void TestChatWindows::logoutClosesEveryChat()
{
    ChatProbeLogin window;
    for (const char *name : {"a", "b", "c", "d"})
        window.openChatWindow(QLatin1String(name), QLatin1String(name), "", ":/img/online-t2x64.png", 1, "", false);
    QList<QPointer<frmChat>> chats;
    for (frmChat *chat : openChats())
        chats << chat;
    QCOMPARE(chats.size(), 4);
    window.logoutUser();
    QVERIFY(window.chatWindows.isEmpty());
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

    ChatProbeLogin window;
    window.avatarQueue = QStringList{"slow"};
    window.startAvatarThread();
    QVERIFY(window.avatarWork);
    QTRY_COMPARE(server.connections, 1);
    QElapsedTimer clock;
    clock.start();
    window.logoutUser();
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!window.avatarWork);
    // A new session can start a new thread at once.
    window.startAvatarThread();
    QVERIFY(window.avatarWork);
    QTRY_COMPARE(server.connections, 2);
    window.logoutUser();
    QVERIFY(!window.avatarWork);
}

void TestChatWindows::mainWindowGoesFirst()
{
    SilentServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(server.serverPort()));

    auto window = std::make_unique<ChatProbeLogin>();
    window->openChatWindow("eve", "Eve", "", ":/img/online-t2x64.png", 1, "", false);
    QPointer<frmChat> chat = window->chatWindows.value("eve");
    window->avatarQueue = QStringList{"slow"};
    window->startAvatarThread();
    QTRY_COMPARE(server.connections, 1);
    QElapsedTimer clock;
    clock.start();
    window.reset();
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(chat.isNull());
}

void TestChatWindows::twoClientsOnZmsgd()
{
    QTemporaryDir serverDir;
    const ZmsgdConfig config = loopbackZmsgdConfig(serverDir.filePath(QStringLiteral("zmsgd.sqlite")));
    ZmsgdServerThread zmsgd;
    QString error;
    QVERIFY2(zmsgd.start(config, &error), qPrintable(error));
    exportZmsgdEndpoint(zmsgd);

    ChatProbeLogin alice;
    login(&alice, "alice", "alice123");
    QVERIFY(alice.isSessionLoggedIn());
    forgetLogin();
    auto bob = std::make_unique<ChatProbeLogin>();
    login(bob.get(), "bob", "bob123");
    QVERIFY(bob->isSessionLoggedIn());
    QTRY_VERIFY_WITH_TIMEOUT(alice.contactItems.contains("bob"), 10000);

    // Alice writes from her chat window; Bob's window opens by itself.
    alice.openChatWindow("bob", "Bob", "", ":/img/online-t2x64.png", 1, "", false);
    frmChat *aliceChat = alice.chatWindows.value("bob");
    auto *field = aliceChat->findChild<QLineEdit *>("txtMessageBox");
    field->setText(QStringLiteral("hi <b>Bob</b> :) see http://example.org/x"));
    QTest::keyClick(field, Qt::Key_Return);
    QVERIFY(field->text().isEmpty());
    QCOMPARE(viewText(aliceChat).section(QLatin1Char(0x0a), 0, 0), QStringLiteral("Alice"));

    QTRY_VERIFY_WITH_TIMEOUT(bob->chatWindows.contains("alice"), 10000);
    frmChat *bobChat = bob->chatWindows.value("alice");
    QTRY_VERIFY(viewText(bobChat).contains(QLatin1String("hi <b>Bob</b>")));
    const QString html = bobChat->findChild<QTextBrowser *>("tbChat")->toHtml();
    QVERIFY(html.contains(QLatin1String(":/img/friendly.png")));
    QVERIFY(html.contains(QLatin1String("href=\"http://example.org/x\"")));

    // Closing and reopening the chat, and restarting Bob's program, keep the conversation.
    bobChat->close();
    bob->openChatWindow("alice", "Alice", "", ":/img/online-t2x64.png", 1, "", false);
    QVERIFY(viewText(bob->chatWindows.value("alice")).contains(QLatin1String("hi <b>Bob</b>")));
    bob.reset();
    forgetLogin();
    bob = std::make_unique<ChatProbeLogin>();
    bob->openChatWindow("alice", "Alice", "", ":/img/online-t2x64.png", 1, "", false);
    QVERIFY(viewText(bob->chatWindows.value("alice")).contains(QLatin1String("hi <b>Bob</b>")));
    login(bob.get(), "bob", "bob123");
    QVERIFY(bob->isSessionLoggedIn());

    // Alice uploads a picture; Bob's next avatar refresh downloads it into his list and header.
    QImage green(200, 100, QImage::Format_ARGB32);
    green.fill(Qt::green);
    QVERIFY(alice.uploadAvatar(green));
    QTRY_VERIFY_WITH_TIMEOUT(bob->contactItems.contains("alice"), 10000);
    QString greenId;
    for (int attempt = 0; attempt < 50 && greenId.isEmpty(); ++attempt) {
        QMetaObject::invokeMethod(bob.get(), "on_timerOA_tick");
        QTest::qWait(200);
        const QString id = bob->contactAvatars.value("alice");
        if (bob->avatarImages.value(id).pixelColor(5, 5) == QColor(Qt::green))
            greenId = id;
    }
    QVERIFY(!greenId.isEmpty());
    QTRY_COMPARE(headerColour(bob->chatWindows.value("alice")), QColor(Qt::green));
    QMetaObject::invokeMethod(bob.get(), "on_timerOA_tick");
    QTRY_VERIFY_WITH_TIMEOUT(bob->contactItems.value("alice")->icon().pixmap(68, 54).toImage().pixelColor(20, 25)
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
