#include "MessageReceipts.h"
#include "SeenMessages.h"
#include "hermetic.h"

#include <QFileInfo>
#include <QtTest>

// Confirmations of handled messages and the record of shown ones, on real files of a
// temporary home.
class TestMessageReceipts : public QObject
{
    Q_OBJECT

private slots:
    void burstConfirmedOnceAfterSaving();
    void nothingToConfirm_data();
    void nothingToConfirm();
    void shownBeforeSurvivesARestart();
    void recordsAreKeptPerAccount();
};

void TestMessageReceipts::burstConfirmedOnceAfterSaving()
{
    QList<qint64> acknowledged;
    qint64 recordSizeAtFirstAck = -1;
    MessageReceipts receipts([&](qint64 id) {
        if (acknowledged.isEmpty())
            recordSizeAtFirstAck = QFileInfo(SeenMessages::fileName("burst")).size();
        acknowledged << id;
    });
    QVERIFY(!receipts.shownBefore("burst", 1, "anna", "hi"));
    for (qint64 id : {1, 2, 3}) {
        receipts.markShown(id, "anna", QString::number(id));
        receipts.confirm(id);
    }
    QVERIFY(acknowledged.isEmpty());
    QTRY_COMPARE(acknowledged, QList<qint64>({1, 2, 3}));
    QVERIFY(recordSizeAtFirstAck > 0);
    QCoreApplication::processEvents();
    QCOMPARE(acknowledged.size(), 3);
}

void TestMessageReceipts::nothingToConfirm_data()
{
    QTest::addColumn<qint64>("id");
    QTest::newRow("zero") << qint64(0);
    QTest::newRow("negative") << qint64(-5);
}

void TestMessageReceipts::nothingToConfirm()
{
    QFETCH(qint64, id);
    QList<qint64> acknowledged;
    MessageReceipts receipts([&](qint64 acked) { acknowledged << acked; });
    receipts.confirm(id);
    receipts.confirm(7);
    QTRY_COMPARE(acknowledged, QList<qint64>({7}));
    QVERIFY(!receipts.shownBefore("none", id, "anna", "hi"));
}

void TestMessageReceipts::shownBeforeSurvivesARestart()
{
    {
        MessageReceipts receipts([](qint64) {});
        QVERIFY(!receipts.shownBefore("restart", 42, "anna", "hello"));
        receipts.markShown(42, "anna", "hello");
        receipts.confirm(42);
        QVERIFY(receipts.shownBefore("restart", 42, "anna", "hello"));
        // Same id, other text: a different message.
        QVERIFY(!receipts.shownBefore("restart", 42, "anna", "other"));
    }
    MessageReceipts later([](qint64) {});
    QVERIFY(later.shownBefore("restart", 42, "anna", "hello"));
}

void TestMessageReceipts::recordsAreKeptPerAccount()
{
    MessageReceipts receipts([](qint64) {});
    QVERIFY(!receipts.shownBefore("first", 9, "bob", "x"));
    receipts.markShown(9, "bob", "x");
    QVERIFY(!receipts.shownBefore("second", 9, "bob", "x"));
    QVERIFY(receipts.shownBefore("first", 9, "bob", "x"));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestMessageReceipts)
#include "tst_messagereceipts.moc"
