#include "AppSettings.h"
#include "AvatarLoader.h"
#include "ContactBook.h"
#include "IncomingDispatcher.h"
#include "IncomingView.h"
#include "hermetic.h"
#include "testpictures.h"
#include "zmsgfwwire.h"

#include <QSettings>
#include <QtTest>

namespace {

// Writes down what the dispatch asks the windows to show, one line per call.
class RecordingView : public IncomingView
{
public:
    QStringList calls;
    bool chatLeft = true;

    bool showMessage(const QString &sender, const QString &text) override
    {
        calls << QStringLiteral("message %1 %2").arg(sender, text);
        return chatLeft;
    }
    void contactsRefreshed(const QVector<ContactBook::Change> &changes) override
    {
        QStringList users;
        for (const ContactBook::Change &change : changes)
            users << change.user;
        calls << QStringLiteral("refreshed ") + users.join(QLatin1Char(','));
    }
    void contactIconChanged(const QString &user, int state) override
    {
        calls << QStringLiteral("icon %1 %2").arg(user).arg(state);
    }
    void contactChanged(const QString &user) override { calls << QStringLiteral("changed ") + user; }
    void ownStateChanged(int state) override { calls << QStringLiteral("own %1").arg(state); }
    void friendRequestsChanged() override { calls << QStringLiteral("requests"); }
    void notify(const NotificationQueue::Note &note) override
    {
        calls << QStringLiteral("notify %1 %2 %3")
                     .arg(note.title, note.data.split(QLatin1Char('\n')).join(QLatin1Char(' ')), note.image);
    }
};

// The objects as the library hands them over: rendered wire lines, message numbers kept aside.
class Wire
{
public:
    QString object(const QByteArray &line)
    {
        qint64 id = 0;
        const QString rendered = ZMsgFwWire::renderIncomingObject(line, &id);
        ids.insert(rendered, id);
        return rendered;
    }
    qint64 idOf(const QString &object) const { return ids.value(object); }

private:
    QHash<QString, qint64> ids;
};

struct Fixture {
    ContactBook book;
    AvatarLoader avatars;
    RecordingView view;
    Wire wire;
    QList<qint64> acknowledged;
    IncomingDispatcher dispatcher{book, avatars, view,
                                  IncomingDispatcher::Session{[this](const QString &o) { return wire.idOf(o); },
                                                              [this](qint64 id) { acknowledged << id; },
                                                              [] { return QStringLiteral("me"); }}};

    ~Fixture() { avatars.stop(); }
    void feed(const QByteArray &line) { dispatcher.dispatch(wire.object(line)); }
};

} // namespace

// The dispatch of incoming objects, without a window: what it changes in the book and the
// avatar queue, what it asks the view to show, and which messages it confirms.
class TestIncomingDispatcher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void returns_data();
    void returns();
    void stateNotification_data();
    void stateNotification();
    void avatarIds();
    void ownAvatar();
    void messages_data();
    void messages();
    void messageShownBeforeIsNotShownAgain();
};

void TestIncomingDispatcher::initTestCase()
{
    // Avatar threads started here must never reach a server.
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", "1");
    qputenv("ZMSGFW_AVATAR_PORT", "1");
}

void TestIncomingDispatcher::init()
{
    QSettings settings = AppSettings::open();
    settings.clear();
    settings.sync();
}

void TestIncomingDispatcher::returns_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("requests");
    const QStringList none;
    QTest::newRow("contacts") << QByteArray(
        "ZM/1.1 return --rq=contactswithstates --id=200 --users=alice|A|s|1<>bob|B||3\n")
                              << QStringList{QStringLiteral("refreshed alice,bob")} << none;
    QTest::newRow("contacts refused") << QByteArray(
        "ZM/1.1 return --rq=contactswithstates --id=404 --users=alice|A|s|1\n")
                                      << none << none;
    QTest::newRow("own state") << QByteArray("ZM/1.1 return --rq=onlinestate --id=200 --state=3\n")
                               << QStringList{QStringLiteral("own 3")} << none;
    QTest::newRow("friend requests") << QByteArray("ZM/1.1 return --rq=contactsrequests --id=200 --users=carol<>dave\n")
                                     << QStringList{QStringLiteral("requests")}
                                     << QStringList{QStringLiteral("carol"), QStringLiteral("dave")};
    QTest::newRow("no friend requests") << QByteArray("ZM/1.1 return --rq=contactsrequests --id=200 --users=\n")
                                        << QStringList{QStringLiteral("requests")} << none;
    QTest::newRow("maybe failed message") << QByteArray("ZM/1.1 return --at=sendmessage --id=200\n") << none << none;
    QTest::newRow("poke") << QByteArray("ZM/1.1 poke --username=anna\n") << none << none;
    QTest::newRow("unknown verb") << QByteArray("ZM/1.1 something --id=200\n") << none << none;
    QTest::newRow("empty") << QByteArray() << none << none;
}

void TestIncomingDispatcher::returns()
{
    QFETCH(QByteArray, line);
    Fixture f;
    f.feed(line);
    QTEST(f.view.calls, "calls");
    QTEST(f.book.friendRequests, "requests");
    QVERIFY(f.acknowledged.isEmpty());
}

void TestIncomingDispatcher::stateNotification_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<int>("state");
    QTest::addColumn<QStringList>("calls");
    const QString busy = QStringLiteral("notify Status changed ocw alice :/img/notification-busy.png");
    // alice is listed Online with an avatar entry; stranger is no contact.
    QTest::newRow("contact changes") << QStringLiteral(
        "alice") << 3 << QStringList{QStringLiteral("icon alice 3"), QStringLiteral("changed alice"), busy};
    QTest::newRow("contact unchanged") << QStringLiteral("alice") << 1
                                       << QStringList{QStringLiteral("changed alice"),
                                                      QStringLiteral("notify Status changed ocw alice "
                                                                     ":/img/notification-online.png")};
    QTest::newRow("stranger") << QStringLiteral("stranger") << 2
                              << QStringList{QStringLiteral("changed stranger"),
                                             QStringLiteral("notify Status changed ocw stranger "
                                                            ":/img/notification-away.png")};
    QTest::newRow("no account name") << QStringLiteral("&nbsp;") << 2 << QStringList();
}

void TestIncomingDispatcher::stateNotification()
{
    QFETCH(QString, user);
    QFETCH(int, state);
    Fixture f;
    f.feed("ZM/1.1 return --rq=contactswithstates --id=200 --users=alice|Alice||1\n");
    f.feed("ZM/1.1 return --rq=contactswithavatar --id=200 --users=alice|pic\n");
    f.view.calls.clear();
    f.feed("ZM/1.1 notification --nt=onlinestate --username=" + user.toUtf8() + " --state=" + QByteArray::number(state)
           + '\n');
    QTEST(f.view.calls, "calls");
    if (!f.view.calls.isEmpty())
        QCOMPARE(f.book.states.value(user), state);
    else
        QCOMPARE(f.book.states.keys(), QStringList{QStringLiteral("alice")});
}

void TestIncomingDispatcher::avatarIds()
{
    Fixture f;
    f.feed("ZM/1.1 return --rq=contactswithstates --id=200 --users=alice|Alice||2<>bob|Bob||1\n");
    f.view.calls.clear();
    f.feed("ZM/1.1 return --rq=contactswithavatar --id=200 --users=alice|red<>bob|red<>|nobody<>carol\n");
    QCOMPARE(f.book.contactAvatars.value(QStringLiteral("alice")), QStringLiteral("red"));
    QCOMPARE(f.book.avatarShown.value(QStringLiteral("alice"), true), false);
    QCOMPARE(f.avatars.queue, QStringList{QStringLiteral("red")});
    QVERIFY(f.avatars.working);
    QVERIFY(f.view.calls.isEmpty());

    // Once the picture is there, the next list shows it in the rows, each once.
    f.avatars.stop();
    f.avatars.insert(plainPng(8, 8, Qt::red), QStringLiteral("red"));
    f.feed("ZM/1.1 return --rq=contactswithavatar --id=200 --users=alice|red<>bob|red\n");
    QCOMPARE(f.view.calls, (QStringList{QStringLiteral("icon alice 2"), QStringLiteral("icon bob 1")}));
    QVERIFY(f.book.avatarShown.value(QStringLiteral("alice")));
    f.view.calls.clear();
    f.feed("ZM/1.1 return --rq=contactswithavatar --id=200 --users=alice|red<>bob|blue\n");
    QVERIFY(f.view.calls.isEmpty());
    QCOMPARE(f.book.avatarShown.value(QStringLiteral("bob"), true), false);
    QCOMPARE(f.avatars.queue, (QStringList{QStringLiteral("red"), QStringLiteral("blue")}));
}

void TestIncomingDispatcher::ownAvatar()
{
    Fixture f;
    f.feed("ZM/1.1 return --rq=avatar --id=200 --avatar=mine\n");
    f.feed("ZM/1.1 return --rq=avatar --id=200 --avatar=mine\n");
    QCOMPARE(f.book.contactAvatars.value(QStringLiteral("me")), QStringLiteral("mine"));
    QCOMPARE(f.avatars.queue, QStringList{QStringLiteral("mine")});
    QVERIFY(f.avatars.working);
    f.feed("ZM/1.1 return --rq=avatar --id=404 --avatar=other\n");
    QCOMPARE(f.book.contactAvatars.value(QStringLiteral("me")), QStringLiteral("mine"));
}

void TestIncomingDispatcher::messages_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("chatLeft");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("shown") << QByteArray("ZM/1.1 message --username=bob --message=hi&nbsp;there --mid=5\n") << true
                           << QStringList{QStringLiteral("message bob hi there")} << true;
    QTest::newRow("chat gone meanwhile") << QByteArray("ZM/1.1 message --username=bob --message=hi --mid=5\n") << false
                                         << QStringList{QStringLiteral("message bob hi")} << false;
    QTest::newRow("empty text") << QByteArray("ZM/1.1 message --username=bob --message=&nbsp; --mid=5\n") << true
                                << QStringList() << true;
    QTest::newRow("no sender") << QByteArray("ZM/1.1 message --username=&nbsp; --message=hi --mid=5\n") << true
                               << QStringList() << true;
}

void TestIncomingDispatcher::messages()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, chatLeft);
    QFETCH(bool, confirmed);
    Fixture f;
    f.view.chatLeft = chatLeft;
    f.feed(line);
    QTEST(f.view.calls, "calls");
    // Confirmations go out at the next turn of the event loop.
    QTRY_COMPARE(f.acknowledged, confirmed ? QList<qint64>{5} : QList<qint64>());
    QCoreApplication::processEvents();
    QCOMPARE(f.acknowledged.size(), confirmed ? 1 : 0);
}

void TestIncomingDispatcher::messageShownBeforeIsNotShownAgain()
{
    const QByteArray line = "ZM/1.1 message --username=dana --message=once --mid=7\n";
    {
        Fixture f;
        f.feed(line);
        f.feed(line);
        QCOMPARE(f.view.calls, QStringList{QStringLiteral("message dana once")});
        QTRY_COMPARE(f.acknowledged, (QList<qint64>{7, 7}));
    }
    // A new run of the program still knows it; another text under the number is another message.
    Fixture f;
    f.feed(line);
    f.feed("ZM/1.1 message --username=dana --message=again --mid=7\n");
    QCOMPARE(f.view.calls, QStringList{QStringLiteral("message dana again")});
    QTRY_COMPARE(f.acknowledged, (QList<qint64>{7, 7}));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestIncomingDispatcher)
#include "tst_incomingdispatcher.moc"
