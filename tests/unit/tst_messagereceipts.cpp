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
            recordSizeAtFirstAck = QFileInfo(SeenMessages::fileName(QStringLiteral("burst"))).size();
        acknowledged << id;
    });
    QVERIFY(!receipts.shownBefore(QStringLiteral("burst"), 1, QStringLiteral("anna"), QStringLiteral("hi")));
    for (qint64 id : {1, 2, 3}) {
        receipts.markShown(id, QStringLiteral("anna"), QString::number(id));
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
    QVERIFY(!receipts.shownBefore(QStringLiteral("none"), id, QStringLiteral("anna"), QStringLiteral("hi")));
}

void TestMessageReceipts::shownBeforeSurvivesARestart()
{
    {
        MessageReceipts receipts([](qint64) {});
        QVERIFY(!receipts.shownBefore(QStringLiteral("restart"), 42, QStringLiteral("anna"), QStringLiteral("hello")));
        receipts.markShown(42, QStringLiteral("anna"), QStringLiteral("hello"));
        receipts.confirm(42);
        QVERIFY(receipts.shownBefore(QStringLiteral("restart"), 42, QStringLiteral("anna"), QStringLiteral("hello")));
        // Same id, other text: a different message.
        QVERIFY(!receipts.shownBefore(QStringLiteral("restart"), 42, QStringLiteral("anna"), QStringLiteral("other")));
    }
    MessageReceipts later([](qint64) {});
    QVERIFY(later.shownBefore(QStringLiteral("restart"), 42, QStringLiteral("anna"), QStringLiteral("hello")));
}

void TestMessageReceipts::recordsAreKeptPerAccount()
{
    MessageReceipts receipts([](qint64) {});
    QVERIFY(!receipts.shownBefore(QStringLiteral("first"), 9, QStringLiteral("bob"), QStringLiteral("x")));
    receipts.markShown(9, QStringLiteral("bob"), QStringLiteral("x"));
    QVERIFY(!receipts.shownBefore(QStringLiteral("second"), 9, QStringLiteral("bob"), QStringLiteral("x")));
    QVERIFY(receipts.shownBefore(QStringLiteral("first"), 9, QStringLiteral("bob"), QStringLiteral("x")));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestMessageReceipts)
#include "tst_messagereceipts.moc"
