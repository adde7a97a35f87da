#include "PopupText.h"
#include "hermetic.h"

#include <QtTest>

// The lines a popup shows about an incoming event.
class TestPopupText : public QObject
{
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void header_data();
    void header();
};

void TestPopupText::lines_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("rich");
    QTest::newRow("short") << QByteArray("hi <b>") << "hi <b>"
                           << "hi &lt;b&gt;";
    QTest::newRow("exactly 25 bytes") << QByteArray(25, 'a') << QString(25, QLatin1Char('a'))
                                      << QString(25, QLatin1Char('a'));
    QTest::newRow("cut at 23 bytes") << QByteArray(26, 'a') << QString(23, QLatin1Char('a')) + QStringLiteral("..")
                                     << QString(23, QLatin1Char('a')) + QStringLiteral("..");
    // "ä" is two bytes; the cut never splits it.
    QTest::newRow("cut before a split character")
        << (QByteArray(22, 'a') + "\xc3\xa4" + "bbb") << QString(22, QLatin1Char('a')) + QStringLiteral("..")
        << QString(22, QLatin1Char('a')) + QStringLiteral("..");
    QTest::newRow("empty") << QByteArray() << QString() << QString();
}

void TestPopupText::lines()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QString, plain);
    QFETCH(QString, rich);
    QCOMPARE(PopupText::plainLine(utf8), plain);
    QCOMPARE(PopupText::line(utf8), rich);
}

void TestPopupText::header_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("forbidden");
    QTest::newRow("plain") << "Anna"
                           << "<b>";
    QTest::newRow("markup in the name") << "<b>Anna</b>"
                                        << "<b>";
    QTest::newRow("image in the name") << "<img src=x>"
                                       << "<img";
}

void TestPopupText::header()
{
    QFETCH(QString, name);
    QFETCH(QString, forbidden);
    const QString header = PopupText::header(name);
    QVERIFY(header.startsWith(QLatin1String("<span style=\"color: blue;\">")));
    QVERIFY(header.endsWith(QLatin1String("</span><br>")));
    QVERIFY2(!header.contains(forbidden), qPrintable(header));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestPopupText)
#include "tst_popuptext.moc"
