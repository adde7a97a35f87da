#include "NotificationQueue.h"
#include "hermetic.h"

#include <QtTest>

namespace {

NotificationQueue::Note note(const QString &data, const QString &title, const QString &text)
{
    NotificationQueue::Note result;
    result.data = data;
    result.title = title;
    result.text = text;
    return result;
}

QStringList texts(const QVector<NotificationQueue::Note> &notes)
{
    QStringList result;
    for (const NotificationQueue::Note &held : notes)
        result << held.text;
    return result;
}

} // namespace

// The hold of popups and sound during a burst, on a clock the test moves.
class TestNotificationQueue : public QObject
{
    Q_OBJECT

private slots:
    void notHoldingShowsAtOnce();
    void heldNotes_data();
    void heldNotes();
    void soundOncePerBurst();
    void holdEndsAfterItsLimit();
    void releaseStartsAfresh();
};

void TestNotificationQueue::notHoldingShowsAtOnce()
{
    NotificationQueue queue([] { return qint64(0); });
    QVERIFY(!queue.isHolding());
    QVERIFY(!queue.add(note(QStringLiteral("ocw\nanna"), QStringLiteral("Incoming Message"), QStringLiteral("hi"))));
    QVERIFY(!queue.addChatIn());
    const NotificationQueue::Released released = queue.release();
    QVERIFY(released.notes.isEmpty());
    QVERIFY(!released.chatIn);
}

void TestNotificationQueue::heldNotes_data()
{
    // Each added note is "data|title|text".
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("one") << QStringList{QStringLiteral("a|m|1")} << QStringList{QStringLiteral("1")};
    QTest::newRow("newest of a contact and kind wins")
        << QStringList{QStringLiteral("a|m|1"), QStringLiteral("b|m|2"), QStringLiteral("a|m|3")}
        << QStringList{QStringLiteral("2"), QStringLiteral("3")};
    QTest::newRow("same contact, other kind kept") << QStringList{QStringLiteral("a|m|1"), QStringLiteral("a|s|2")}
                                                   << QStringList{QStringLiteral("1"), QStringLiteral("2")};
    QTest::newRow("cap drops the oldest")
        << QStringList{QStringLiteral("a|m|1"), QStringLiteral("b|m|2"), QStringLiteral("c|m|3"),
                       QStringLiteral("d|m|4"), QStringLiteral("e|m|5")}
        << QStringList{QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")};
    QTest::newRow("merge before cap") << QStringList{QStringLiteral("a|m|1"), QStringLiteral("b|m|2"),
                                                     QStringLiteral("c|m|3"), QStringLiteral("a|m|4")}
                                      << QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")};
    QStringList flood;
    for (int i = 0; i < 10000; ++i)
        flood << QStringLiteral("u%1|m|%1").arg(i);
    QTest::newRow("flood stays bounded") << flood
                                         << QStringList{QStringLiteral("9997"), QStringLiteral("9998"),
                                                        QStringLiteral("9999")};
}

void TestNotificationQueue::heldNotes()
{
    QFETCH(QStringList, added);
    QFETCH(QStringList, shown);
    NotificationQueue queue([] { return qint64(0); });
    queue.hold();
    for (const QString &entry : added) {
        const QStringList fields = entry.split(QLatin1Char('|'));
        QVERIFY(queue.add(note(fields.at(0), fields.at(1), fields.at(2))));
    }
    QCOMPARE(texts(queue.release().notes), shown);
    QVERIFY(!queue.isHolding());
}

void TestNotificationQueue::soundOncePerBurst()
{
    NotificationQueue queue([] { return qint64(0); });
    queue.hold();
    QVERIFY(queue.addChatIn());
    QVERIFY(queue.addChatIn());
    QVERIFY(queue.release().chatIn);
    QVERIFY(!queue.release().chatIn);
}

void TestNotificationQueue::holdEndsAfterItsLimit()
{
    qint64 now = 5000;
    NotificationQueue queue([&now] { return now; });
    QVERIFY(!queue.heldTooLong());
    queue.hold();
    now += NotificationQueue::MaxHoldMs - 1;
    // A second hold inside a running one keeps the first start.
    queue.hold();
    QVERIFY(!queue.heldTooLong());
    now += 1;
    QVERIFY(queue.heldTooLong());
    queue.release();
    QVERIFY(!queue.heldTooLong());
}

void TestNotificationQueue::releaseStartsAfresh()
{
    qint64 now = 0;
    NotificationQueue queue([&now] { return now; });
    queue.hold();
    queue.add(note(QStringLiteral("a"), QStringLiteral("m"), QStringLiteral("1")));
    now = 10 * NotificationQueue::MaxHoldMs;
    QCOMPARE(texts(queue.release().notes), QStringList{QStringLiteral("1")});
    queue.hold();
    QVERIFY(!queue.heldTooLong());
    QVERIFY(queue.release().notes.isEmpty());
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestNotificationQueue)
#include "tst_notificationqueue.moc"
