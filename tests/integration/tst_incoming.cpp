#include "DataDirectory.h"
#include "IncomingObject.h"
#include "MessageFormat.h"
#include "NotificationWidget.h"
#include "Platform.h"
#include "SeenMessages.h"
#include "UiMessage.h"
#include "frmChat.h"
#include "frmLogin.h"
#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "mainwindowview.h"
#include "tlstestserver.h"
#include "windowwatch.h"
#include "zmsgfw111q.h"
#include "zmsgfwwire.h"

#include <zmsgdserverthread.h>

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace IncomingObject;
using namespace MainWindowView;

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
}

int rowCount(frmLogin &window)
{
    return window.contactList()->count();
}

struct Entry {
    Entry(const QString &u, const QString &n, const QString &s, int st)
        : user(u)
        , nick(n)
        , status(s)
        , state(st)
    {}
    Entry(const char *u, const char *n, const char *s, int st)
        : Entry(QString::fromUtf8(u), QString::fromUtf8(n), QString::fromUtf8(s), st)
    {}
    QString user, nick, status;
    int state;
};

// A contact list exactly as the server puts it on the wire, rendered by the library.
QString contactsObject(const QList<Entry> &entries, const QString &request = QStringLiteral("contactswithstates"),
                       int id = 200)
{
    QStringList joined;
    for (const Entry &e : entries) {
        joined << ZMsgFwWire::escapeListField(e.user) + QLatin1Char('|') + ZMsgFwWire::escapeListField(e.nick)
                + QLatin1Char('|') + ZMsgFwWire::escapeListField(e.status) + QLatin1Char('|')
                + QString::number(e.state);
    }
    const QByteArray line = ZMsgFwWire::LineBuilder(QStringLiteral("return"))
                                .text(QStringLiteral("--rq="), request)
                                .number(QStringLiteral("--id="), id)
                                .text(QStringLiteral("--users="), joined.join(QStringLiteral("<>")))
                                .toBytes();
    return ZMsgFwWire::renderIncomingObject(line);
}

QString stateObject(const QString &user, int state)
{
    return ZMsgFwWire::renderIncomingObject(ZMsgFwWire::LineBuilder(QStringLiteral("notification"))
                                                .text(QStringLiteral("--nt="), QStringLiteral("onlinestate"))
                                                .text(QStringLiteral("--username="), user)
                                                .number(QStringLiteral("--state="), state)
                                                .toBytes());
}

QList<NotificationWidget *> livePopups()
{
    QList<NotificationWidget *> popups;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *p = qobject_cast<NotificationWidget *>(w))
            popups << p;
    }
    return popups;
}

QStringList captured;
QtMessageHandler previousHandler = nullptr;

void captureLog(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg) {
        captured << message;
        return;
    }
    if (type == QtWarningMsg)
        captured << message;
    if (message.contains(QLatin1String("does not support setting window opacity")))
        return;
    previousHandler(type, context, message);
}

// Answers what a logged-in window asks synchronously; asynchronous requests stay unanswered.
QByteArray scriptedReply(const QByteArray &line)
{
    if (line.startsWith("ZM/1.1 login"))
        return "ZM/1.1 return --id=200\n";
    if (line.contains("--rq=nick"))
        return "ZM/1.1 return --rq=nick --id=200 --nick=Me\n";
    if (line.contains("--at=delcontact"))
        return "ZM/1.1 return --at=delcontact --id=200\n";
    if (line.contains("--at=addcontact"))
        return "ZM/1.1 return --at=addcontact --id=200\n";
    return QByteArray();
}

// Starts server on loopback with the scripted replies and points the library at it.
bool startScriptedServer(TlsTestServer &server)
{
    server.setLineHandler(scriptedReply);
    if (!server.listenOnLoopback())
        return false;
    server.exportEndpoint();
    return true;
}

void login(frmLogin *window, const QString &name, const QString &password)
{
    window->findChild<QLineEdit *>(QStringLiteral("txtName"))->setText(name);
    window->findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
    window->findChild<QPushButton *>(QStringLiteral("cmdLogin"))->click();
}

} // namespace

class TestIncoming : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // Pure parsing
    void modes_data();
    void modes();
    void messages_data();
    void messages();
    void returnFields_data();
    void returnFields();
    void branches_data();
    void branches();
    void valueDecoding_data();
    void valueDecoding();
    void contactEntries_data();
    void contactEntries();
    void userList();
    void stateTables_data();
    void stateTables();
    void popupCut_data();
    void popupCut();
    void listFieldsSurviveTheWire_data();
    void listFieldsSurviveTheWire();

    // Dispatch into a real main window
    void contactRefresh_data();
    void contactRefresh();
    void refreshKeepsRowsAndUpdatesState();
    void malformedObjectsChangeNothing_data();
    void malformedObjectsChangeNothing();
    void displayNameRule_data();
    void displayNameRule();
    void iconsForEveryState_data();
    void iconsForEveryState();
    void nickWrittenOnlyWhenChanged();
    void searchFilter();
    void stateNotificationPopup();
    void popupsStayFew();
    void popupClickOpensChat();
    void incomingMessageOpensChat();
    void friendRequestsAndOwnState();
    void renameSurvivesLogoutDuringDialog();
    void removeSurvivesLogoutDuringQuestion();
    void addDialogRefusesBlankNames_data();
    void addDialogRefusesBlankNames();
    void burstDrainedInOrder();
    void messageBurstRaisesFewPopups();
    void watchdogAgainstZmsgd();
    void watchdogAccountGone();
    void messagesConfirmedAndShownOnce();
    void noConfirmationsWithoutAnnouncement();
};

void TestIncoming::initTestCase()
{
    previousHandler = qInstallMessageHandler(captureLog);
    // Destroying a main window ends the program; here many are made one after another.
    Platform::setQuitHook([] {});
}

void TestIncoming::init()
{
    QSettings store = settings();
    store.clear();
    store.setValue(QStringLiteral("Interface/designedMode"), true);
    store.sync();
    captured.clear();
    UiMessage::setHook(nullptr);
}

void TestIncoming::cleanup()
{
    UiMessage::setHook(nullptr);
    for (NotificationWidget *p : livePopups())
        delete p;
    QVERIFY(!QApplication::activeModalWidget());
}

// ---------------------------------------------------------------------------------------
// Pure parsing

void TestIncoming::modes_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("partCount");
    QTest::newRow("empty") << "" << int(Mode::Empty) << 0;
    QTest::newRow("message") << "MessageFromUser<>bob: hi\n" << int(Mode::Message) << 2;
    QTest::newRow("return") << "ReturnIntialize<>ZM/1.1<>return" << int(Mode::Return) << 3;
    QTest::newRow("poke") << "PokeFromUser<>anna\n" << int(Mode::Other) << 2;
    QTest::newRow("unknown") << "Something" << int(Mode::Other) << 1;
    QTest::newRow("separators only") << "<><>" << int(Mode::Other) << 3;
    QTest::newRow("lower case") << "returnintialize<>x" << int(Mode::Other) << 2;
}

void TestIncoming::modes()
{
    QFETCH(QString, object);
    QFETCH(int, mode);
    QFETCH(int, partCount);
    QStringList parts;
    QCOMPARE(int(modeOf(object, &parts)), mode);
    QCOMPARE(parts.size(), partCount);
}

void TestIncoming::messages_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "MessageFromUser<>bob: hello\n"
                           << true << "bob"
                           << "hello";
    QTest::newRow("colon kept") << "MessageFromUser<>bob: hi:there\n"
                                << true << "bob"
                                << "hi:there";
    QTest::newRow("markup separator in text") << "MessageFromUser<>bob: a<>b\n"
                                              << true << "bob"
                                              << "a<>b";
    QTest::newRow("empty text") << "MessageFromUser<>bob: \n"
                                << false << ""
                                << "";
    QTest::newRow("blank sender") << "MessageFromUser<> : hi\n"
                                  << false << ""
                                  << "";
    QTest::newRow("no second part") << "MessageFromUser" << false << ""
                                    << "";
    QTest::newRow("no colon") << "MessageFromUser<>bob\n"
                              << false << ""
                              << "";
    QTest::newRow("oversized") << QStringLiteral("MessageFromUser<>bob: ") + QString(200000, QLatin1Char('x')) << true
                               << "bob" << QString(200000, QLatin1Char('x'));
}

void TestIncoming::messages()
{
    QFETCH(QString, object);
    QFETCH(bool, valid);
    QStringList parts;
    modeOf(object, &parts);
    Message message;
    QCOMPARE(parseMessage(object, parts, &message), valid);
    if (valid) {
        QFETCH(QString, sender);
        QFETCH(QString, text);
        QCOMPARE(message.sender, sender);
        QCOMPARE(message.text, text);
    }
}

void TestIncoming::returnFields_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("users");
    QTest::addColumn<QString>("username");
    QTest::newRow("defaults") << "ReturnIntialize<>ZM/1.1<>return"
                              << ""
                              << "" << 500 << 500 << ""
                              << "";
    QTest::newRow("id not a number") << "ReturnIntialize<>ZM/1.1<>return<>--id=abc"
                                     << ""
                                     << "" << 0 << 500 << ""
                                     << "";
    QTest::newRow("last wins") << "ReturnIntialize<>ZM/1.1<>return<>--rq=a<>--rq=b<>--id=404<>--id=200"
                               << "b"
                               << "" << 200 << 500 << ""
                               << "";
    QTest::newRow("prefix only at start") << "ReturnIntialize<>ZM/1.1<>return<>x--rq=a<>--RQ=b"
                                          << ""
                                          << "" << 500 << 500 << ""
                                          << "";
    QTest::newRow("list separator") << "ReturnIntialize<>ZM/1.1<>return<>--users=a|1&lt;&gt;b|2"
                                    << ""
                                    << "" << 500 << 500 << "a|1\nb|2"
                                    << "";
    QTest::newRow("entity text in value") << "ReturnIntialize<>ZM/1.1<>return<>--users=a&amp;lt;&amp;gt;b"
                                          << ""
                                          << "" << 500 << 500 << "a&lt;&gt;b"
                                          << "";
    QTest::newRow("space entity") << "ReturnIntialize<>ZM/1.1<>return<>--username=a&nbsp;b<>--at=x&amp;nbsp;"
                                  << ""
                                  << "x&nbsp;" << 500 << 500 << ""
                                  << "a b";
    QTest::newRow("state") << "ReturnIntialize<>ZM/1.1<>notification<>--state=3"
                           << ""
                           << "" << 500 << 3 << ""
                           << "";
}

void TestIncoming::returnFields()
{
    QFETCH(QString, object);
    QStringList parts;
    QCOMPARE(modeOf(object, &parts), Mode::Return);
    const ReturnFields f = parseReturn(parts);
    QTEST(f.request, "request");
    QTEST(f.action, "action");
    QTEST(f.id, "id");
    QTEST(f.state, "state");
    QTEST(f.users, "users");
    QTEST(f.username, "username");
}

void TestIncoming::branches_data()
{
    QTest::addColumn<QString>("words");
    QTest::addColumn<int>("branch");
    QTest::newRow("own avatar") << "--rq=avatar<>--id=200" << int(Branch::OwnAvatar);
    QTest::newRow("contacts") << "--rq=contactswithstates<>--id=200" << int(Branch::ContactsWithStates);
    QTest::newRow("contacts 404") << "--rq=contactswithstates<>--id=404" << int(Branch::Unhandled);
    QTest::newRow("avatars") << "--rq=contactswithavatar<>--id=200" << int(Branch::ContactsWithAvatar);
    QTest::newRow("own state") << "--rq=onlinestate<>--id=200<>--state=2" << int(Branch::OwnState);
    QTest::newRow("requests") << "--rq=contactsrequests<>--id=200" << int(Branch::FriendRequests);
    QTest::newRow("send message") << "--at=sendmessage<>--id=200" << int(Branch::MaybeFailedMessage);
    QTest::newRow("notification any result") << "--nt=onlinestate<>--id=7" << int(Branch::StateNotification);
    QTest::newRow("no result") << "--rq=avatar" << int(Branch::Unhandled);
    QTest::newRow("request before notification")
        << "--rq=onlinestate<>--nt=onlinestate<>--id=200" << int(Branch::OwnState);
}

void TestIncoming::branches()
{
    QFETCH(QString, words);
    QFETCH(int, branch);
    QStringList parts;
    modeOf(QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>") + words, &parts);
    QCOMPARE(int(branchOf(parseReturn(parts))), branch);
}

void TestIncoming::valueDecoding_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("listed");
    QTest::newRow("no entity") << "plain text"
                               << "plain text"
                               << "plain text";
    QTest::newRow("every entity") << "a&nbsp;&amp;&lt;b&gt;"
                                  << "a &<b>"
                                  << "a &<b>";
    QTest::newRow("separator") << "x&lt;&gt;y"
                               << "x<>y"
                               << "x\ny";
    QTest::newRow("separators in a row") << "&lt;&gt;&lt;&gt;"
                                         << "<><>"
                                         << "\n\n";
    QTest::newRow("typed entity text") << "&amp;lt;&amp;gt;"
                                       << "&lt;&gt;"
                                       << "&lt;&gt;";
    QTest::newRow("typed ampersands") << "&&amp;&"
                                      << "&&&"
                                      << "&&&";
    QTest::newRow("unknown entity") << "&quot;&am"
                                    << "&quot;&am"
                                    << "&quot;&am";
    QTest::newRow("cut entity at the end") << "a&lt"
                                           << "a&lt"
                                           << "a&lt";
    QTest::newRow("non-Latin") << QString::fromUtf8("Привет&nbsp;🙂") << QString::fromUtf8("Привет 🙂")
                               << QString::fromUtf8("Привет 🙂");
}

void TestIncoming::valueDecoding()
{
    QFETCH(QString, value);
    QFETCH(QString, plain);
    QFETCH(QString, listed);
    QCOMPARE(decodeValue(value), plain);
    QCOMPARE(decodeListValue(value), listed);
}

void TestIncoming::contactEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("state");
    QTest::newRow("plain") << "alice|Alice|Hi there|1" << true << "alice"
                           << "Alice"
                           << "Hi there" << 1;
    QTest::newRow("empty fields") << "bob|||2" << true << "bob"
                                  << ""
                                  << "" << 2;
    QTest::newRow("three fields") << "bob|Bob|hi" << false << ""
                                  << ""
                                  << "" << 0;
    QTest::newRow("one field") << "bob" << false << ""
                               << ""
                               << "" << 0;
    QTest::newRow("state not a number") << "bob|Bob|hi|x" << true << "bob"
                                        << "Bob"
                                        << "hi" << 0;
    QTest::newRow("extra field ignored") << "bob|Bob|hi|3|junk" << true << "bob"
                                         << "Bob"
                                         << "hi" << 3;
    QTest::newRow("escaped bar") << "bob|B&#124;b|a&#124;b|3" << true << "bob"
                                 << "B|b"
                                 << "a|b" << 3;
    QTest::newRow("no account name") << "|Nick|hi|1" << false << ""
                                     << ""
                                     << "" << 0;
    QTest::newRow("account name of blanks") << " \t|Nick|hi|1" << false << ""
                                            << ""
                                            << "" << 0;
    QTest::newRow("oversized") << QStringLiteral("big|") + QString(100000, QLatin1Char('n')) + QStringLiteral("|s|1")
                               << true << "big" << QString(100000, QLatin1Char('n')) << "s" << 1;
}

void TestIncoming::contactEntries()
{
    QFETCH(QString, entry);
    QFETCH(bool, valid);
    ContactEntry contact;
    QCOMPARE(parseContactEntry(entry, &contact), valid);
    if (!valid)
        return;
    QTEST(contact.user, "user");
    QTEST(contact.nick, "nick");
    QTEST(contact.status, "status");
    QTEST(contact.state, "state");
}

void TestIncoming::userList()
{
    QCOMPARE(userListEntries(QStringLiteral("a|1\n\n\r\nb|2\n\r\n")),
             QStringList({QStringLiteral("a|1"), QStringLiteral("b|2")}));
    QCOMPARE(userListEntries(QString()), QStringList());
    AvatarEntry avatar;
    QVERIFY(!parseAvatarEntry(QStringLiteral("lonely"), &avatar));
    QVERIFY(parseAvatarEntry(QStringLiteral("bob|abc|x"), &avatar));
    QCOMPARE(avatar.user, QStringLiteral("bob"));
    QCOMPARE(avatar.avatarId, QStringLiteral("abc"));
    QVERIFY(!parseAvatarEntry(QStringLiteral("|abc"), &avatar));
    QCOMPARE(parseRequestEntry(QStringLiteral("carol")), QStringLiteral("carol"));
    QCOMPARE(parseRequestEntry(QStringLiteral("  ")), QString());
}

void TestIncoming::stateTables_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QString>("own");
    QTest::addColumn<QString>("popup");
    QTest::newRow("1") << 1 << "Online"
                       << ":/img/online-t2x64.png"
                       << ":/img/online-t2x64.png"
                       << ":/img/notification-online.png";
    QTest::newRow("2") << 2 << "Away"
                       << ":/img/away-t2x64.png"
                       << ":/img/away-t2x64.png"
                       << ":/img/notification-away.png";
    QTest::newRow("3") << 3 << "Busy"
                       << ":/img/busy-t2x64.png"
                       << ":/img/busy-t2x64.png"
                       << ":/img/notification-busy.png";
    QTest::newRow("4") << 4 << "Not just"
                       << ":/img/notjust-t1x64.png"
                       << ":/img/notjust-t1x64.png"
                       << ":/img/notification-notjust.png";
    QTest::newRow("5") << 5 << "Show offline"
                       << ":/img/showoffline-t1x64.png"
                       << ":/img/offline-t1x64.png"
                       << ":/img/notification-showoffline.png";
    for (int s : {0, 6, 8, 500, -1}) {
        QTest::newRow(qPrintable(QString::number(s))) << s << "Offline"
                                                      << ":/img/offline-t1x64.png"
                                                      << ":/img/offline-t1x64.png"
                                                      << ":/img/notification-offline.png";
    }
}

void TestIncoming::stateTables()
{
    QFETCH(int, state);
    QTEST(QString::fromLatin1(stateName(state)), "name");
    QTEST(stateIconPath(state), "icon");
    QTEST(ownStateIconPath(state), "own");
    QTEST(stateNotificationImage(state), "popup");
    QVERIFY(!QImage(stateIconPath(state)).isNull());
    QVERIFY(!QImage(stateNotificationImage(state)).isNull());
}

void TestIncoming::popupCut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString a25(25, QLatin1Char('a'));
    QTest::newRow("25 ascii kept") << a25 << a25;
    QTest::newRow("26 ascii cut") << a25 + QLatin1Char('b') << QString(23, QLatin1Char('a')) + QStringLiteral("..");
    QTest::newRow("30 ascii cut") << QString(30, QLatin1Char('x'))
                                  << QString(23, QLatin1Char('x')) + QStringLiteral("..");
    QTest::newRow("umlaut across the cut") << QString(22, QLatin1Char('a')) + QString::fromUtf8("äöü")
                                           << QString(22, QLatin1Char('a')) + QStringLiteral("..");
    QTest::newRow("umlaut ends at the cut") << QString(21, QLatin1Char('a'))
            + QString::fromUtf8("äöü") << QString(21, QLatin1Char('a')) + QString::fromUtf8("ä") + QStringLiteral("..");
    QTest::newRow("euro signs") << QString::fromUtf8("€€€€€€€€€€")
                                << QString::fromUtf8("€€€€€€€") + QStringLiteral("..");
    QTest::newRow("emoji") << QString::fromUtf8("😀😀😀😀😀😀😀") << QString::fromUtf8("😀😀😀😀😀") + QStringLiteral("..");
    QTest::newRow("short multibyte kept") << QString::fromUtf8("Grüße") << QString::fromUtf8("Grüße");
}

void TestIncoming::popupCut()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QByteArray cut = cutPopupBytes(text.toUtf8());
    QCOMPARE(QString::fromUtf8(cut), expected);
    QVERIFY(cut.size() <= 25);
}

void TestIncoming::listFieldsSurviveTheWire_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("status");
    QTest::newRow("ordinary") << "Alice"
                              << "Hello world";
    QTest::newRow("escaped ampersand") << "Al"
                                       << "Fish &amp; chips";
    QTest::newRow("literal entity text") << "A&amp;B"
                                         << "&amp;amp; and &amp;nbsp;";
    QTest::newRow("bar") << "a|b"
                         << "x | y";
    QTest::newRow("separator") << "a<>b"
                               << "&lt;&gt; <> &lt;&gt;";
    QTest::newRow("numeric entities") << "&#124;&#60;&#38;"
                                      << "&#62;|&#";
    QTest::newRow("spaces and nbsp") << "  two  spaces "
                                     << "&nbsp; a&nbsp;b";
    QTest::newRow("unicode") << QString::fromUtf8("Jürgen 😀") << QString::fromUtf8("grüß &euro;");
    QTest::newRow("empty") << ""
                           << "";
}

void TestIncoming::listFieldsSurviveTheWire()
{
    QFETCH(QString, nick);
    QFETCH(QString, status);
    const QString object =
        contactsObject({{QStringLiteral("alice"), nick, status, 3}, {QStringLiteral("bob"), nick, status, 1}});
    QStringList parts;
    QCOMPARE(modeOf(object, &parts), Mode::Return);
    const ReturnFields f = parseReturn(parts);
    QCOMPARE(branchOf(f), Branch::ContactsWithStates);
    const QStringList entries = userListEntries(f.users);
    QCOMPARE(entries.size(), 2);
    ContactEntry contact;
    QVERIFY(parseContactEntry(entries.at(0), &contact));
    QCOMPARE(contact.user, QStringLiteral("alice"));
    QCOMPARE(contact.nick, nick);
    QCOMPARE(contact.status, status);
    QCOMPARE(contact.state, 3);
    QVERIFY(parseContactEntry(entries.at(1), &contact));
    QCOMPARE(contact.user, QStringLiteral("bob"));
    QCOMPARE(contact.state, 1);
}

// ---------------------------------------------------------------------------------------
// Dispatch

void TestIncoming::contactRefresh_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("rowText");
    QTest::addColumn<QString>("statusMessage");
    QTest::addColumn<int>("state");
    QTest::newRow("busy with ampersand") << contactsObject({{"alice", "Alice", "Fish &amp; chips", 3}})
                                         << "Alice\nFish & chips"
                                         << "Fish &amp; chips" << 3;
    QTest::newRow("hand-written object") << "ReturnIntialize<>ZM/1.1<>return<>--rq=contactswithstates<>--id=200"
                                            "<>--users=alice|Alice|a&amp;amp;b|3"
                                         << "Alice\na&b"
                                         << "a&amp;b" << 3;
    QTest::newRow("typed entity text") << contactsObject({{"alice", "Alice", "&amp;amp; &lt;&gt;", 1}})
                                       << "Alice\n&amp; <>"
                                       << "&amp;amp; &lt;&gt;" << 1;
    QTest::newRow("bar in status") << contactsObject({{"alice", "Al|ce", "a | b", 2}}) << "Al|ce\na | b"
                                   << "a | b" << 2;
    QTest::newRow("unknown state") << contactsObject({{"alice", "Alice", "", 42}}) << "Alice\n"
                                   << "" << 42;
    QTest::newRow("blank nick") << contactsObject({{"alice", "  ", "hi", 1}}) << "alice\nhi"
                                << "hi" << 1;
    QTest::newRow("markup in nick stays text") << contactsObject({{"alice", "<b>A</b>", "<br>", 1}}) << "<b>A</b>\n\n"
                                               << "<br>" << 1;
}

void TestIncoming::contactRefresh()
{
    QFETCH(QString, object);
    QFETCH(QString, rowText);
    QFETCH(QString, statusMessage);
    QFETCH(int, state);
    frmLogin window;
    window.readIncoming(object);
    QCOMPARE(rowCount(window), 1);
    QListWidgetItem *item = window.contactList()->item(0);
    QCOMPARE(item->text(), rowText);
    QCOMPARE(window.contacts().statusMessages.value(QStringLiteral("alice")), statusMessage);
    QCOMPARE(window.contacts().states.value(QStringLiteral("alice")), state);
    QCOMPARE(window.contacts().stateIcons.value(QStringLiteral("alice")), stateIconPath(state));
    QVERIFY(window.contacts().contactAvatars.contains(QStringLiteral("alice")));
    QVERIFY(!item->icon().isNull());
    QCOMPARE(item->listWidget(), window.contactList());
    // The row is alice's: Return on it opens her chat.
    pressReturnOn(window, item);
    QVERIFY(chatWith(QStringLiteral("alice")));
}

void TestIncoming::refreshKeepsRowsAndUpdatesState()
{
    frmLogin window;
    window.readIncoming(contactsObject({{"alice", "Alice", "one", 1}, {"Bob", "Bob", "", 8}}));
    QListWidgetItem *alice = contactRow(window, QStringLiteral("alice"));
    QCOMPARE(window.contactList()->count(), 2);
    // Locale-aware order: alice before Bob.
    QCOMPARE(window.contactList()->item(0), alice);
    window.readIncoming(contactsObject({{"alice", "Alice", "two", 2}}));
    QCOMPARE(window.contactList()->count(), 2);
    QCOMPARE(contactRow(window, QStringLiteral("alice")), alice);
    QCOMPARE(alice->text(), QStringLiteral("Alice\ntwo"));
    QCOMPARE(window.contacts().states.value(QStringLiteral("alice")), 2);
    QCOMPARE(captured.count(QStringLiteral("Contacts with states list sended")), 2);
}

void TestIncoming::malformedObjectsChangeNothing_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("logged");
    QTest::newRow("result 404") << contactsObject({{"x", "X", "", 1}}, QStringLiteral("contactswithstates"), 404)
                                << "ReturnIntialize<>ZM/1.1<>return<>--rq=contactswithstates<>--id=404";
    QTest::newRow("maybe failed") << "ReturnIntialize<>ZM/1.1<>return<>--at=sendmessage<>--id=200"
                                  << "Maybe failed message";
    QTest::newRow("poke") << "PokeFromUser<>anna\n"
                          << "PokeFromUser<>anna";
    QTest::newRow("short rows") << "ReturnIntialize<>ZM/1.1<>return<>--rq=contactswithstates<>--id=200<>--users=a|b|c"
                                << "Contacts with states list sended";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("garbage") << QString::fromUtf8("\xff\x01<><><>") << "";
    const QString refused = QStringLiteral("Refused a list entry without an account name");
    QTest::newRow("contact without account name") << contactsObject({{"", "Nick", "", 1}}) << refused;
    QTest::newRow("contact named by blanks") << contactsObject({{"  ", "Nick", "", 1}}) << refused;
    QTest::newRow("avatar without account name")
        << contactsObject({{"", "avatarid", "", 1}}, QStringLiteral("contactswithavatar")) << refused;
    QTest::newRow("state of no one") << stateObject(QString(), 1)
                                     << "Refused a state notification without an account name";
}

void TestIncoming::malformedObjectsChangeNothing()
{
    QFETCH(QString, object);
    QFETCH(QString, logged);
    frmLogin window;
    window.readIncoming(object);
    QVERIFY(rowCount(window) == 0);
    QVERIFY(window.contacts().states.isEmpty());
    QCOMPARE(window.contactList()->count(), 0);
    QVERIFY(window.contacts().contactAvatars.isEmpty());
    QVERIFY(livePopups().isEmpty());
    // Nothing keyed by an empty name reaches the settings ("Nick/" would be stored as "Nick").
    const QStringList keys = settings().allKeys();
    QVERIFY2(!keys.contains(QStringLiteral("Nick")) && !keys.contains(QString()),
             qPrintable(keys.join(QLatin1Char(' '))));
    if (!logged.isEmpty()) {
        const bool found = std::any_of(captured.cbegin(), captured.cend(),
                                       [&](const QString &line) { return line.startsWith(logged); });
        QVERIFY2(found, qPrintable(captured.join(QLatin1Char('\n'))));
    }
}

void TestIncoming::displayNameRule_data()
{
    QTest::addColumn<QString>("serverNick");
    QTest::addColumn<QVariant>("customNick");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("custom");
    QTest::newRow("server nick") << "Alice" << QVariant() << "Alice" << false;
    QTest::newRow("custom nick") << "Alice" << QVariant(QStringLiteral("Ally")) << "Ally" << true;
    QTest::newRow("blank custom nick") << "Alice" << QVariant(QStringLiteral("   ")) << "Alice" << false;
    QTest::newRow("empty server nick") << "" << QVariant() << "alice" << false;
    QTest::newRow("blank server nick") << "  " << QVariant() << "alice" << false;
}

void TestIncoming::displayNameRule()
{
    QFETCH(QString, serverNick);
    QFETCH(QVariant, customNick);
    frmLogin window;
    if (customNick.isValid()) {
        QSettings store = settings();
        store.setValue(QStringLiteral("CustomNick/alice"), customNick);
    }
    window.readIncoming(contactsObject({{QStringLiteral("alice"), serverNick, QStringLiteral("s"), 1}}));
    QTEST(window.displayName(QStringLiteral("alice")), "expected");
    QTEST(window.hasCustomNick(QStringLiteral("alice")), "custom");
    QCOMPARE(contactRow(window, QStringLiteral("alice"))->text().section(QLatin1Char('\n'), 0, 0),
             window.displayName(QStringLiteral("alice")));
    QCOMPARE(window.displayName(QStringLiteral("stranger")), QStringLiteral("stranger"));
}

void TestIncoming::iconsForEveryState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("designed");
    for (int s : {1, 2, 3, 4, 5, 8, 13}) {
        QTest::newRow(qPrintable(QStringLiteral("designed %1").arg(s))) << s << true;
        QTest::newRow(qPrintable(QStringLiteral("classic %1").arg(s))) << s << false;
    }
}

void TestIncoming::iconsForEveryState()
{
    QFETCH(int, state);
    QFETCH(bool, designed);
    {
        QSettings store = settings();
        store.setValue(QStringLiteral("Interface/designedMode"), designed);
    }
    frmLogin window;
    window.readIncoming(contactsObject({{"alice", "Alice", "", state}}));
    const QSize canvas = designed ? QSize(68, 54) : QSize(52, 38);
    const QImage shown = contactRow(window, QStringLiteral("alice"))->icon().pixmap(canvas).toImage();
    QCOMPARE(shown.size(), canvas);
    const QImage expected =
        window.makeContactIcon(window.defaultAvatarImage(), QImage(stateIconPath(state))).pixmap(canvas).toImage();
    QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32), expected.convertToFormat(QImage::Format_ARGB32));
    // Left of the avatar's top edge and right of the badge the canvas stays transparent.
    QCOMPARE(qAlpha(shown.pixel(canvas.width() - 1, 0)), 0);
    const QPoint badgeCentre = designed ? QPoint(60, 27) : QPoint(44, 19);
    const QImage badge = QImage(stateIconPath(state)).scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QVERIFY(qAbs(qRed(shown.pixel(badgeCentre)) - qRed(badge.pixel(8, 8))) < 8);
}

void TestIncoming::nickWrittenOnlyWhenChanged()
{
    frmLogin window;
    const QString object = contactsObject({{"alice", "Alice", "a", 1}, {"bob", "Bob", "b", 2}});
    window.readIncoming(object);
    QString file;
    {
        QSettings store = settings();
        QCOMPARE(store.value(QStringLiteral("Nick/alice")).toString(), QStringLiteral("Alice"));
        store.sync();
        file = store.fileName();
    }
    const QDateTime past = QDateTime::currentDateTime().addSecs(-3600);
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(past, QFileDevice::FileModificationTime));
    }
    window.readIncoming(object);
    {
        QSettings store = settings();
        store.sync();
    }
    QVERIFY(qAbs(QFileInfo(file).lastModified().secsTo(past)) < 2);
    window.readIncoming(contactsObject({{"alice", "Alicia", "a", 1}}));
    QSettings store = settings();
    store.sync();
    QCOMPARE(store.value(QStringLiteral("Nick/alice")).toString(), QStringLiteral("Alicia"));
    QVERIFY(QFileInfo(file).lastModified() > past.addSecs(60));
}

void TestIncoming::searchFilter()
{
    {
        QSettings store = settings();
        store.setValue(QStringLiteral("CustomNick/zed"), QStringLiteral("Albert"));
    }
    frmLogin window;
    window.readIncoming(contactsObject({{"alice", "Alice", "", 1}, {"zed", "Zed", "", 1}, {"bob", "Bob", "", 1}}));
    auto *search = window.findChild<QLineEdit *>(QStringLiteral("txtContactsSearch"));
    QVERIFY(search);
    QTest::keyClicks(search, QStringLiteral("AL"));
    QVERIFY(!contactRow(window, QStringLiteral("alice"))->isHidden());
    QVERIFY(!contactRow(window, QStringLiteral("zed"))->isHidden());
    QVERIFY(contactRow(window, QStringLiteral("bob"))->isHidden());
    search->clear();
    QTest::keyClicks(search, QStringLiteral("z"));
    QVERIFY(contactRow(window, QStringLiteral("alice"))->isHidden());
    QVERIFY(!contactRow(window, QStringLiteral("zed"))->isHidden());
    window.insertOfflineContact(QStringLiteral("carol"));
    QVERIFY(search->text().isEmpty());
    for (int i = 0; i < rowCount(window); ++i)
        QVERIFY(!window.contactList()->item(i)->isHidden());
    QCOMPARE(contactRow(window, QStringLiteral("carol"))->text(), QStringLiteral("carol\n"));
    QCOMPARE(window.contacts().states.value(QStringLiteral("carol")), 8);
}

void TestIncoming::stateNotificationPopup()
{
    frmLogin window;
    window.readIncoming(contactsObject({{"alice", "<img src=\"file:///etc/x.png\">Al", "", 1}}));
    QListWidgetItem *item = contactRow(window, QStringLiteral("alice"));
    const QImage before = item->icon().pixmap(68, 54).toImage();
    window.readIncoming(stateObject(QStringLiteral("alice"), 3));
    QCOMPARE(window.contacts().states.value(QStringLiteral("alice")), 3);
    QCOMPARE(window.contacts().stateIcons.value(QStringLiteral("alice")), stateIconPath(3));
    QVERIFY(item->icon().pixmap(68, 54).toImage() != before);
    const QList<NotificationWidget *> popups = livePopups();
    QCOMPARE(popups.size(), 1);
    NotificationWidget *popup = popups.first();
    QCOMPARE(popup->windowTitle(), QStringLiteral("Status changed"));
    QCOMPARE(popup->notificationData(), QStringLiteral("ocw\nalice"));
    auto *text = popup->findChild<QLabel *>(QStringLiteral("labNotificationText"));
    QVERIFY(!text->text().contains(QLatin1String("<img")));
    QVERIFY(text->text().contains(QLatin1String("&lt;img")));

    // A user who is not a contact still gets the popup but no row.
    window.readIncoming(stateObject(QStringLiteral("stranger"), 2));
    QCOMPARE(window.contacts().states.value(QStringLiteral("stranger")), 2);
    QVERIFY(!contactRow(window, QStringLiteral("stranger")));
    QCOMPARE(livePopups().size(), 2);
}

void TestIncoming::popupsStayFew()
{
    frmLogin window;
    for (int i = 0; i < 200; ++i)
        window.readIncoming(stateObject(QStringLiteral("user%1").arg(i), 1 + i % 5));
    QCOMPARE(window.contacts().states.size(), 200);
    int shown = 0;
    for (NotificationWidget *p : livePopups())
        shown += p->isVisible() ? 1 : 0;
    QVERIFY(shown <= 8);
    int steady = 0;
    for (NotificationWidget *p : livePopups())
        steady += (p->isVisible() && !p->isFading()) ? 1 : 0;
    QVERIFY(steady <= 3);
    QVERIFY(steady >= 1);
    // The faded ones are deleted by the window.
    QTRY_VERIFY_WITH_TIMEOUT(livePopups().size() <= 3, 5000);
}

void TestIncoming::popupClickOpensChat()
{
    frmLogin window;
    window.readIncoming(contactsObject({{"alice", "Alice", "hi", 1}, {"bob", "Bob", "", 2}}));
    window.readIncoming(stateObject(QStringLiteral("alice"), 2));
    window.readIncoming(stateObject(QStringLiteral("bob"), 3));
    QList<NotificationWidget *> popups = livePopups();
    QCOMPARE(popups.size(), 2);
    NotificationWidget *bobPopup =
        popups.at(0)->notificationData().endsWith(QLatin1String("bob")) ? popups.at(0) : popups.at(1);
    QTest::mouseClick(bobPopup->findChild<QLabel *>(QStringLiteral("labNotificationText")), Qt::LeftButton);
    QVERIFY(chatWith(QStringLiteral("bob")));
    QVERIFY(!chatWith(QStringLiteral("alice")));
    QVERIFY(chatWith(QStringLiteral("bob"))->isVisible());
    // Data that is not "ocw" does nothing.
    window.noteBack(QStringLiteral("xyz\nalice"));
    window.noteBack(QStringLiteral("ocw"));
    QVERIFY(!chatWith(QStringLiteral("alice")));
}

void TestIncoming::incomingMessageOpensChat()
{
    frmLogin window;
    window.readIncoming(contactsObject({{"alice", "Alice", "hi", 1}}));
    window.readIncoming(QStringLiteral("MessageFromUser<>alice: ")
                        + QString::fromUtf8("Grüße aus dem schönen Süden, liebe Leute") + QLatin1Char('\n'));
    QVERIFY(chatWith(QStringLiteral("alice")));
    frmChat *chat = chatWith(QStringLiteral("alice"));
    QVERIFY(chat->isMinimized());
    QList<NotificationWidget *> popups = livePopups();
    QCOMPARE(popups.size(), 1);
    QCOMPARE(popups.first()->windowTitle(), QStringLiteral("Incoming Message"));
    const QString text = popups.first()->findChild<QLabel *>(QStringLiteral("labNotificationText"))->text();
    QVERIFY2(text.endsWith(QStringLiteral("Gr&uuml;&szlig;e aus dem sch&ouml;ne..")), qPrintable(text));

    // Further messages from the same sender refresh the popup that is still showing.
    window.readIncoming(QStringLiteral("MessageFromUser<>alice: second\n"));
    QCOMPARE(livePopups().size(), 1);
    QVERIFY(livePopups()
                .first()
                ->findChild<QLabel *>(QStringLiteral("labNotificationText"))
                ->text()
                .endsWith(QLatin1String("second")));

    // A stranger gets a chat window marked as such.
    window.readIncoming(QStringLiteral("MessageFromUser<>mallory: <b>x</b>\n"));
    QVERIFY(chatWith(QStringLiteral("mallory")));
    const QLabel *notice = chatWith(QStringLiteral("mallory"))->findChild<QLabel *>(QStringLiteral("labStatusText"));
    QCOMPARE(notice->textFormat(), Qt::RichText);
    QCOMPARE(notice->text(),
             QStringLiteral("<span style=\"color: blue;\">mallory</span><span> is not in your contacts!</span>"));
    QCOMPARE(livePopups().size(), 2);
    // Empty texts are dropped.
    window.readIncoming(QStringLiteral("MessageFromUser<>eve:   \n"));
    QVERIFY(!chatWith(QStringLiteral("eve")));
}

void TestIncoming::friendRequestsAndOwnState()
{
    frmLogin window;
    window.readIncoming(QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=contactsrequests<>--id=200"
                                       "<>--users=carol&lt;&gt;dave"));
    QCOMPARE(window.pendingFriendRequests(), QStringList({QStringLiteral("carol"), QStringLiteral("dave")}));
    window.readIncoming(QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=contactsrequests<>--id=200<>--users="));
    QVERIFY(window.pendingFriendRequests().isEmpty());
    // A request from a name of blanks is no request.
    window.readIncoming(QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=contactsrequests<>--id=200"
                                       "<>--users=carol&lt;&gt;&nbsp;&nbsp;&lt;&gt;dave"));
    QCOMPARE(window.pendingFriendRequests(), QStringList({QStringLiteral("carol"), QStringLiteral("dave")}));
    // The tray comes after the window; it shows the state given before it was there.
    window.readIncoming(QStringLiteral("ReturnIntialize<>ZM/1.1<>return<>--rq=onlinestate<>--id=200<>--state=3"));
    QTRY_VERIFY(window.trayIcon());
    QCOMPARE(window.trayIcon()->toolTip(), QStringLiteral("Zelto Messenger (Busy)"));
}

void TestIncoming::renameSurvivesLogoutDuringDialog()
{
    frmLogin window;
    window.readIncoming(contactsObject({{"alice", "Alice", "", 1}}));
    window.contactList()->setCurrentItem(contactRow(window, QStringLiteral("alice")));
    QString prefilled;
    whenModalUp(&window, [&window, &prefilled](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        prefilled = dialog->textValue();
        window.logoutUser();
        dialog->setTextValue(QStringLiteral("Ally"));
        dialog->accept();
    });
    QMetaObject::invokeMethod(&window, "triggerSetCustomNick");
    QCOMPARE(prefilled, QStringLiteral("Alice"));
    QVERIFY(rowCount(window) == 0);
    QVERIFY(!window.hasCustomNick(QStringLiteral("alice")));

    // Without a logout the new name is stored and shown.
    window.readIncoming(contactsObject({{"alice", "Alice", "st", 1}}));
    window.contactList()->setCurrentItem(contactRow(window, QStringLiteral("alice")));
    whenModalUp(&window, [](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        dialog->setTextValue(QStringLiteral(" Ally "));
        dialog->accept();
    });
    QMetaObject::invokeMethod(&window, "triggerSetCustomNick");
    QCOMPARE(rowCount(window), 1);
    QListWidgetItem *alice = window.contactList()->item(0);
    QCOMPARE(alice->text(), QStringLiteral(" Ally \nst"));
    QCOMPARE(window.displayName(QStringLiteral("alice")), QStringLiteral("Ally"));
    QVERIFY(window.hasCustomNick(QStringLiteral("alice")));
    window.contactList()->setCurrentItem(alice);
    QMetaObject::invokeMethod(&window, "triggerRemoveCustomNick");
    QCOMPARE(alice->text(), QStringLiteral("Alice\nst"));
}

void TestIncoming::removeSurvivesLogoutDuringQuestion()
{
    TlsTestServer server;
    QVERIFY(startScriptedServer(server));
    frmLogin window;
    login(&window, QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window.isSessionLoggedIn());
    window.readIncoming(contactsObject({{"alice", "Alice", "", 1}, {"bob", "Bob", "", 1}}));

    window.contactList()->setCurrentItem(contactRow(window, QStringLiteral("alice")));
    UiMessage::setHook([&window](QMessageBox::Icon, const QString &title, const QString &text) {
        if (title == QLatin1String("Remove contact") && text.contains(QLatin1String("Alice")))
            window.logoutUser();
        return QMessageBox::Yes;
    });
    QMetaObject::invokeMethod(&window, "removeContact");
    QVERIFY(rowCount(window) == 0);
    for (const QByteArray &line : server.receivedLines())
        QVERIFY2(!line.contains("delcontact"), line.constData());

    // Logged in again, the removal goes through and takes the row and the chat window away.
    UiMessage::setHook([](QMessageBox::Icon, const QString &, const QString &) { return QMessageBox::Yes; });
    login(&window, QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window.isSessionLoggedIn());
    window.readIncoming(contactsObject({{"alice", "Alice", "", 1}, {"bob", "Bob", "", 1}}));
    window.noteBack(QStringLiteral("ocw\nbob"));
    QVERIFY(chatWith(QStringLiteral("bob")));
    window.contactList()->setCurrentItem(contactRow(window, QStringLiteral("bob")));
    QMetaObject::invokeMethod(&window, "removeContact");
    QVERIFY(!contactRow(window, QStringLiteral("bob")));
    QVERIFY(!chatWith(QStringLiteral("bob")));
    QCOMPARE(window.contactList()->count(), 1);
    QVERIFY(window.contacts().contactAvatars.contains(QStringLiteral("bob")));
}

void TestIncoming::addDialogRefusesBlankNames_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("blanks") << "   ";
    QTest::newRow("tab") << "\t";
}

void TestIncoming::addDialogRefusesBlankNames()
{
    QFETCH(QString, typed);
    TlsTestServer server;
    QVERIFY(startScriptedServer(server));
    frmLogin window;
    login(&window, QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window.isSessionLoggedIn());
    bool asked = false;
    whenModalUp(&window, [&asked, typed](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        asked = true;
        dialog->setTextValue(typed);
        dialog->accept();
    });
    QAction *add = nullptr;
    for (QAction *action : window.findChildren<QAction *>()) {
        if (action->text() == QLatin1String("Add contact"))
            add = action;
    }
    QVERIFY(add);
    add->trigger();
    QVERIFY(asked);
    for (const QByteArray &line : server.receivedLines())
        QVERIFY2(!line.contains("addcontact"), line.constData());
    QVERIFY(rowCount(window) == 0);
    QVERIFY(!settings().allKeys().contains(QStringLiteral("Nick")));

    // A contact the server confirmed without a name is refused as well.
    window.insertOfflineContact(QStringLiteral(" "));
    QVERIFY(rowCount(window) == 0);
}

void TestIncoming::burstDrainedInOrder()
{
    TlsTestServer server;
    QVERIFY(startScriptedServer(server));
    frmLogin window;
    login(&window, QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window.isSessionLoggedIn());
    captured.clear();

    constexpr int Count = 2000;
    QByteArray burst;
    for (int i = 0; i < Count; ++i)
        burst += "ZM/1.1 return --rq=onlinestate --id=200 --state=" + QByteArray::number(i) + '\n';
    QElapsedTimer clock;
    clock.start();
    server.sendToClient(burst);
    auto handled = [] {
        QList<int> seen;
        for (const QString &line : qAsConst(captured)) {
            if (line.startsWith(QLatin1String("Online state has changed to")))
                seen << line.section(QLatin1Char(' '), 5, 5).toInt();
        }
        return seen;
    };
    // One object per 100 ms tick would need more than three minutes for this burst.
    QTRY_COMPARE_WITH_TIMEOUT(handled().size(), Count, 10000);
    QList<int> expected;
    for (int i = 0; i < Count; ++i)
        expected << i;
    QCOMPARE(handled(), expected);
    qInfo("burst of %d objects handled in %lld ms", Count, clock.elapsed());
}

namespace {

// Counts every popup that is shown, however short its life.
class PopupShowCounter : public QObject
{
public:
    int shown = 0;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show && qobject_cast<NotificationWidget *>(watched))
            ++shown;
        return false;
    }
};

} // namespace

void TestIncoming::messageBurstRaisesFewPopups()
{
    TlsTestServer server;
    QVERIFY(startScriptedServer(server));
    frmLogin window;
    login(&window, QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window.isSessionLoggedIn());
    PopupShowCounter counter;
    qApp->installEventFilter(&counter);

    constexpr int Senders = 20;
    constexpr int PerSender = 40;
    QByteArray burst;
    for (int i = 0; i < Senders * PerSender; ++i) {
        burst += "ZM/1.1 message --username=sender" + QByteArray::number(i % Senders) + " --message=number&nbsp;"
            + QByteArray::number(i / Senders) + " --mid=" + QByteArray::number(i) + '\n';
    }
    QElapsedTimer clock;
    clock.start();
    server.sendToClient(burst);
    auto chatText = [](int sender) {
        frmChat *chat = chatWith(QStringLiteral("sender%1").arg(sender));
        return chat ? chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->toPlainText() : QString();
    };
    const QString last = QStringLiteral("number %1").arg(PerSender - 1);
    QTRY_VERIFY_WITH_TIMEOUT(chatText(Senders - 1).endsWith(last), 20000);
    qApp->removeEventFilter(&counter);

    // Every message is in its window, in the order sent.
    for (int sender = 0; sender < Senders; ++sender) {
        const QString text = chatText(sender);
        int from = 0;
        for (int n = 0; n < PerSender; ++n) {
            const int at = text.indexOf(QStringLiteral("number %1\n").arg(n), from);
            QVERIFY2(at >= 0 || (n == PerSender - 1 && text.endsWith(last)), qPrintable(text));
            from = at + 1;
        }
    }
    // A popup per message would be 800 windows; the burst shows only its newest few, and a
    // burst that lasts (on a slow build) a few more every second.
    const int bound = 3 * (2 + int(clock.elapsed() / 1000));
    QVERIFY2(counter.shown <= bound, qPrintable(QStringLiteral("%1 > %2").arg(counter.shown).arg(bound)));
    bool lastSenderShown = false;
    for (NotificationWidget *p : livePopups())
        lastSenderShown |= p->notificationData() == QStringLiteral("ocw\nsender%1").arg(Senders - 1);
    QVERIFY(lastSenderShown);
}

void TestIncoming::watchdogAgainstZmsgd()
{
    QTemporaryDir dataDir;
    ZmsgdConfig config = loopbackZmsgdConfig(dataDir.filePath(QStringLiteral("zmsgd.sqlite")));
    auto zmsgd = std::make_unique<ZmsgdServerThread>();
    QString error;
    QVERIFY2(zmsgd->start(config, &error), qPrintable(error));
    exportZmsgdEndpoint(*zmsgd);

    frmLogin window;
    QSignalSpy balloons(&window, &frmLogin::balloonShown);
    login(&window, QStringLiteral("alice"), QStringLiteral("alice123"));
    QVERIFY(window.isSessionLoggedIn());
    QTRY_VERIFY_WITH_TIMEOUT(contactRow(window, QStringLiteral("bob")), 5000);
    auto balloonTitles = [&balloons] {
        QStringList titles;
        for (const QList<QVariant> &shown : qAsConst(balloons))
            titles << shown.at(0).toString();
        return titles;
    };

    // The server goes away: the watchdog finds the session lost and shows everyone offline.
    const quint16 port = zmsgd->messagingPort();
    zmsgd->stop();
    QTRY_VERIFY_WITH_TIMEOUT(!window.session()->isLoggedIn(), 5000);
    QMetaObject::invokeMethod(&window, "on_timerLC_tick");
    QTRY_COMPARE_WITH_TIMEOUT(balloonTitles(), QStringList{QStringLiteral("Disconnected")}, 15000);
    for (auto it = window.contacts().states.cbegin(); it != window.contacts().states.cend(); ++it) {
        QCOMPARE(it.value(), 8);
        QCOMPARE(window.contacts().stateIcons.value(it.key()), stateIconPath(8));
    }
    QCOMPARE(window.trayIcon()->toolTip(), QStringLiteral("Zelto Messenger (Offline)"));
    QVERIFY(window.isSessionActive());
    QCOMPARE(balloonTitles(), QStringList{QStringLiteral("Disconnected")});
    QCOMPARE(balloons.first().at(1).toString(), QStringLiteral("Please check your Internet connection!"));
    // No tray here: a popup carries the balloon instead.
    const QList<NotificationWidget *> popups = livePopups();
    QVERIFY(std::any_of(popups.cbegin(), popups.cend(),
                        [](NotificationWidget *p) { return p->windowTitle() == QLatin1String("Disconnected"); }));
    // Still down: nothing more is shown.
    QMetaObject::invokeMethod(&window, "on_timerLC_tick");
    QTRY_VERIFY_WITH_TIMEOUT(!window.isLoginAttemptRunning(), 15000);
    QVERIFY(window.isSessionActive());
    QCOMPARE(balloonTitles(), QStringList{QStringLiteral("Disconnected")});

    // Back on the same port: the next run logs in again.
    config.messagingPort = port;
    zmsgd = std::make_unique<ZmsgdServerThread>();
    QVERIFY2(zmsgd->start(config, &error), qPrintable(error));
    QMetaObject::invokeMethod(&window, "on_timerLC_tick");
    QTRY_VERIFY_WITH_TIMEOUT(window.isSessionLoggedIn(), 15000);
    QCOMPARE(balloonTitles(), (QStringList{QStringLiteral("Disconnected"), QStringLiteral("Reconnected")}));
    QCOMPARE(balloons.last().at(1).toString(), QStringLiteral("Zelto Messenger has relogged in your account"));
    QMetaObject::invokeMethod(&window, "on_timerLC_tick");
    QVERIFY(!window.isLoginAttemptRunning());
    QCOMPARE(balloons.size(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(
        std::any_of(captured.cbegin(), captured.cend(),
                    [](const QString &l) { return l.startsWith(QLatin1String("Online state has changed")); }),
        5000);
    zmsgd->stop();
}

void TestIncoming::watchdogAccountGone()
{
    std::atomic<bool> accountValid{true};
    TlsTestServer server;
    server.setLineHandler([&accountValid](const QByteArray &line) -> QByteArray {
        if (line.startsWith("ZM/1.1 login"))
            return accountValid ? "ZM/1.1 return --id=200\n" : "ZM/1.1 return --id=404\n";
        return scriptedReply(line);
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    frmLogin window;
    QSignalSpy balloons(&window, &frmLogin::balloonShown);
    login(&window, QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window.isSessionLoggedIn());
    window.readIncoming(contactsObject({{"alice", "Alice", "", 1}}));
    accountValid = false;
    server.closeClient();
    QTRY_VERIFY_WITH_TIMEOUT(!window.session()->isLoggedIn(), 5000);
    QMetaObject::invokeMethod(&window, "on_timerLC_tick");
    QTRY_VERIFY_WITH_TIMEOUT(!window.isSessionActive(), 15000);
    QVERIFY(rowCount(window) == 0);
    QCOMPARE(balloons.size(), 1);
    QCOMPARE(balloons.first().at(0).toString(), QStringLiteral("Logged out"));
    QCOMPARE(balloons.first().at(1).toString(), QStringLiteral("Your Account data has been expired!"));
    // Once logged out the watchdog stays quiet.
    const int logins = server.connectionCount();
    QMetaObject::invokeMethod(&window, "on_timerLC_tick");
    QCOMPARE(server.connectionCount(), logins);
    QCOMPARE(balloons.size(), 1);
}

namespace {

QString chatText(const QString &user)
{
    frmChat *chat = chatWith(user);
    return chat ? chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->toPlainText() : QString();
}

int linesEqualTo(const TlsTestServer &server, const QByteArray &wanted)
{
    const QList<QByteArray> lines = server.receivedLines();
    return int(std::count(lines.cbegin(), lines.cend(), wanted));
}

QByteArray pushedMessage(const QByteArray &sender, const QByteArray &text, int id)
{
    return "ZM/1.1 message --username=" + sender + " --message=" + text + " --mid=" + QByteArray::number(id) + '\n';
}

} // namespace

// A message is confirmed once it is in the history; one the server delivers again because
// the confirmation was lost is not shown twice, also after a restart of the program.
void TestIncoming::messagesConfirmedAndShownOnce()
{
    const QString history = DataDirectory::filePath(QStringLiteral("dana"), QStringLiteral(".ini"));
    std::atomic<int> confirmedBeforeStored{0};
    TlsTestServer server;
    server.setLineHandler([&](const QByteArray &line) -> QByteArray {
        if (line.startsWith("ZM/1.1 login"))
            return "ZM/1.1 return --id=200 --result=success --ack=1\n";
        if (line.startsWith("ZM/1.1 action --at=ack --mid=") && !line.endsWith("=0\n")) {
            QFile file(history);
            if (!file.open(QIODevice::ReadOnly) || !file.readAll().contains("once-a"))
                ++confirmedBeforeStored;
        }
        return scriptedReply(line);
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    auto window = std::make_unique<frmLogin>();
    login(window.get(), QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window->isSessionLoggedIn());
    // The login line stays as it was; the session opens its confirmations right after it.
    QVERIFY(server.receivedLines().value(0).startsWith("ZM/1.1 login --username=me --password=pw --system="));
    QCOMPARE(server.receivedLines().value(1), QByteArray("ZM/1.1 action --at=ack --mid=0\n"));

    server.sendToClient(pushedMessage("dana", "once-a", 7));
    QTRY_VERIFY(chatText(QStringLiteral("dana")).contains(QLatin1String("once-a")));
    QTRY_COMPARE(linesEqualTo(server, "ZM/1.1 action --at=ack --mid=7\n"), 1);

    // The connection breaks; the next session gets the message again, and a new one.
    server.closeClient();
    QTRY_VERIFY(!window->session()->isLoggedIn());
    QMetaObject::invokeMethod(window.get(), "on_timerLC_tick");
    // The new login runs beside the window and is handed over when it succeeded.
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), 15000);
    server.sendToClient(pushedMessage("dana", "once-a", 7) + pushedMessage("dana", "once-b", 8));
    QTRY_VERIFY(chatText(QStringLiteral("dana")).contains(QLatin1String("once-b")));
    QCOMPARE(chatText(QStringLiteral("dana")).count(QLatin1String("once-a")), 1);
    // Confirmed again, so that the server lets it go.
    QTRY_COMPARE(linesEqualTo(server, "ZM/1.1 action --at=ack --mid=7\n"), 2);
    QTRY_COMPARE(linesEqualTo(server, "ZM/1.1 action --at=ack --mid=8\n"), 1);

    // The same number with another text is another message: a server that started over.
    server.sendToClient(pushedMessage("dana", "once-c", 7));
    QTRY_VERIFY(chatText(QStringLiteral("dana")).contains(QLatin1String("once-c")));

    // After a restart of the program the record still knows what was shown.
    window.reset();
    const QFileInfo record(SeenMessages::fileName(QStringLiteral("me")));
    QVERIFY(record.exists());
    const QFileDevice::Permissions ownerGroupOther(0x7077);
    QCOMPARE(record.permissions() & ownerGroupOther, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    settings().remove(QStringLiteral("Login"));
    window = std::make_unique<frmLogin>();
    login(window.get(), QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window->isSessionLoggedIn());
    server.sendToClient(pushedMessage("dana", "once-a", 7) + pushedMessage("dana", "once-b", 8)
                        + pushedMessage("dana", "once-d", 9));
    QTRY_VERIFY(chatText(QStringLiteral("dana")).contains(QLatin1String("once-d")));
    const QString shown = chatText(QStringLiteral("dana"));
    QCOMPARE(shown.count(QLatin1String("once-a")), 1);
    QCOMPARE(shown.count(QLatin1String("once-b")), 1);
    QTRY_COMPARE(linesEqualTo(server, "ZM/1.1 action --at=ack --mid=9\n"), 1);
    QCOMPARE(confirmedBeforeStored.load(), 0);
}

// A server that does not announce confirmations never gets one.
void TestIncoming::noConfirmationsWithoutAnnouncement()
{
    TlsTestServer server;
    QVERIFY(startScriptedServer(server));
    frmLogin window;
    login(&window, QStringLiteral("me"), QStringLiteral("pw"));
    QVERIFY(window.isSessionLoggedIn());
    server.sendToClient(pushedMessage("erik", "unconfirmed", 11));
    QTRY_VERIFY(chatText(QStringLiteral("erik")).contains(QLatin1String("unconfirmed")));
    QCoreApplication::processEvents();
    // Everything the client wrote has arrived once the answer to this comes back.
    QCOMPARE(window.session()->getUserNick(), QStringLiteral("Me"));
    for (const QByteArray &line : server.receivedLines())
        QVERIFY2(!line.contains("--at=ack"), line.constData());
}

ZM_HERMETIC_TEST_MAIN(TestIncoming)
#include "tst_incoming.moc"
