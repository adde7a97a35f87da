#include "hermetic.h"

#include <zmformat.h>

class TestSharedFormat : public QObject
{
    Q_OBJECT
private slots:
    void lineBreaks_data();
    void lineBreaks();
    void profileSeparatorsRemoved_data();
    void profileSeparatorsRemoved();
    void legacyRequest_data();
    void legacyRequest();
    void legacyCommand_data();
    void legacyCommand();
    void legacyHeader_data();
    void legacyHeader();
    void legacyStatus_data();
    void legacyStatus();
};

void TestSharedFormat::lineBreaks_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("broken");
    QTest::newRow("plain") << QStringLiteral("hello world") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("LF") << QStringLiteral("a\nb") << true;
    QTest::newRow("CR") << QStringLiteral("a\rb") << true;
    QTest::newRow("CR LF at end") << QStringLiteral("ab\r\n") << true;
    QTest::newRow("line separator is no break") << QString(QChar(0x2028)) << false;
}

void TestSharedFormat::lineBreaks()
{
    QFETCH(QString, value);
    QFETCH(bool, broken);
    QCOMPARE(ZmFormat::hasLineBreak(value), broken);
}

void TestSharedFormat::profileSeparatorsRemoved_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("plain") << QStringLiteral("Linux 6.1") << QStringLiteral("Linux 6.1");
    QTest::newRow("each word") << QStringLiteral("a&nxve;b&splt;c&acln;d&aclt;e&sxlt;f") << QStringLiteral("abcdef");
    QTest::newRow("nested word") << QStringLiteral("x&nx&splt;ve;y") << QStringLiteral("xy");
    QTest::newRow("half a word stays") << QStringLiteral("&nxve") << QStringLiteral("&nxve");
}

void TestSharedFormat::profileSeparatorsRemoved()
{
    QFETCH(QString, value);
    QFETCH(QString, cleaned);
    QCOMPARE(ZmFormat::withoutProfileSeparators(value), cleaned);
}

void TestSharedFormat::legacyRequest_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<ZmFormat::LegacyHeaders>("headers");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("no headers") << QStringLiteral("ping") << ZmFormat::LegacyHeaders()
                                << QByteArray("SEND /ping ZM/1.0\n");
    QTest::newRow("two headers") << QStringLiteral("message")
                                 << ZmFormat::LegacyHeaders{{QStringLiteral("Username"), QStringLiteral("bob")},
                                                            {QStringLiteral("Message"), QStringLiteral("hi there")}}
                                 << QByteArray("SEND /message ZM/1.0\nUsername: bob\nMessage: hi there\n");
    QTest::newRow("utf-8") << QStringLiteral("poke")
                           << ZmFormat::LegacyHeaders{{QStringLiteral("Username"), QStringLiteral("jürgen")}}
                           << QByteArray("SEND /poke ZM/1.0\nUsername: j\xc3\xbcrgen\n");
    QTest::newRow("value with LF") << QStringLiteral(
        "message") << ZmFormat::LegacyHeaders{{QStringLiteral("Message"), QStringLiteral("a\nSEND /x ZM/1.0")}}
                                   << QByteArray();
    QTest::newRow("name with CR") << QStringLiteral("message")
                                  << ZmFormat::LegacyHeaders{{QStringLiteral("Mess\rage"), QStringLiteral("a")}}
                                  << QByteArray();
    QTest::newRow("command with LF") << QStringLiteral("poke\nSEND /login") << ZmFormat::LegacyHeaders()
                                     << QByteArray();
}

void TestSharedFormat::legacyRequest()
{
    QFETCH(QString, command);
    QFETCH(ZmFormat::LegacyHeaders, headers);
    QFETCH(QByteArray, bytes);
    QCOMPARE(ZmFormat::legacyRequest(command, headers), bytes);
}

void TestSharedFormat::legacyCommand_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("command");
    QTest::newRow("message") << QStringLiteral("SEND /message ZM/1.0") << QStringLiteral("message");
    QTest::newRow("no command") << QStringLiteral("SEND / ZM/1.0") << QString();
    QTest::newRow("no generation") << QStringLiteral("SEND /message") << QString();
    QTest::newRow("other generation") << QStringLiteral("SEND /message ZM/1.1") << QString();
    QTest::newRow("status line") << QStringLiteral("ZM/1.0 200 OK") << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestSharedFormat::legacyCommand()
{
    QFETCH(QString, line);
    QFETCH(QString, command);
    QCOMPARE(ZmFormat::legacyCommand(line), command);
    QCOMPARE(ZmFormat::isLegacyCommandLine(line), !command.isEmpty());
}

void TestSharedFormat::legacyHeader_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("isHeader");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("value");
    QTest::newRow("header") << QStringLiteral("Username: bob") << true << QStringLiteral("Username")
                            << QStringLiteral("bob");
    QTest::newRow("value keeps colons and spaces")
        << QStringLiteral("Message: a: b ") << true << QStringLiteral("Message") << QStringLiteral("a: b ");
    QTest::newRow("empty value") << QStringLiteral("Message:") << true << QStringLiteral("Message") << QString();
    QTest::newRow("no name") << QStringLiteral(": bob") << false << QString() << QString();
    QTest::newRow("only colon") << QStringLiteral(":") << false << QString() << QString();
    QTest::newRow("no colon") << QStringLiteral("Username bob") << false << QString() << QString();
}

void TestSharedFormat::legacyHeader()
{
    QFETCH(QString, line);
    QFETCH(bool, isHeader);
    QString name;
    QString value;
    QCOMPARE(ZmFormat::splitLegacyHeader(line, &name, &value), isHeader);
    if (isHeader) {
        QTEST(name, "name");
        QTEST(value, "value");
    }
}

void TestSharedFormat::legacyStatus_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("code");
    QTest::newRow("ok") << QStringLiteral("ZM/1.0 200 OK") << 200;
    QTest::newRow("not found") << QStringLiteral("ZM/1.0 404 Not Found") << 404;
    QTest::newRow("no code") << QStringLiteral("garbage") << 502;
    QTest::newRow("empty") << QString() << 502;
}

void TestSharedFormat::legacyStatus()
{
    QFETCH(QString, line);
    QFETCH(int, code);
    QCOMPARE(ZmFormat::legacyStatusCode(line), code);
    if (line.startsWith(QLatin1String("ZM/1.0 ")) && code != 502) {
        const QByteArray reason = line.section(QLatin1Char(' '), 2).toLatin1();
        QCOMPARE(ZmFormat::legacyStatusLine(code, reason), line.toLatin1() + '\n');
    }
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestSharedFormat)
#include "tst_sharedformat.moc"
