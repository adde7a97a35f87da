#include "hermetic.h"

#include <zmsgfwwire.h>

#include <QRegularExpression>

using namespace ZMsgFwWire;

class TestWire : public QObject
{
    Q_OBJECT
private slots:
    void escaping_data();
    void escaping();
    void words_data();
    void words();
    void arguments_data();
    void arguments();
    void lineBuilder_data();
    void lineBuilder();
    void incomingObjects_data();
    void incomingObjects();
    void listFields_data();
    void listFields();
    void messageIds_data();
    void messageIds();
};

void TestWire::escaping_data()
{
    QTest::addColumn<QString>("plain");
    QTest::addColumn<QString>("wire");
    QTest::newRow("space and ampersand") << "a b&c"
                                         << "a&nbsp;b&amp;c";
    QTest::newRow("literal amp entity") << "x&amp;y"
                                        << "x&amp;amp;y";
    QTest::newRow("literal nbsp entity") << "x&nbsp;y"
                                         << "x&amp;nbsp;y";
    QTest::newRow("other characters unchanged") << "Grüße<b>\"\x27"
                                                << "Grüße<b>\"\x27";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only spaces") << "  "
                                 << "&nbsp;&nbsp;";
}

void TestWire::escaping()
{
    QFETCH(QString, plain);
    QFETCH(QString, wire);
    QCOMPARE(escapeValue(plain), wire);
    QCOMPARE(unescapeValue(wire), plain);
}

void TestWire::words_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("plain") << QByteArray("ZM/1.1 return --id=200\n")
                           << QStringList{QStringLiteral("ZM/1.1"), QStringLiteral("return"),
                                          QStringLiteral("--id=200")};
    QTest::newRow("double space keeps empty word") << QByteArray("ZM/1.1 return  --id=200")
                                                   << QStringList{QStringLiteral("ZM/1.1"), QStringLiteral("return"),
                                                                  QStringLiteral(""), QStringLiteral("--id=200")};
    QTest::newRow("crlf and tabs trimmed")
        << QByteArray("\t ZM/1.1 poke\r\n") << QStringList{QStringLiteral("ZM/1.1"), QStringLiteral("poke")};
    QTest::newRow("utf8") << QByteArray("ZM/1.1 message --message=\xc3\xa4")
                          << QStringList{QStringLiteral("ZM/1.1"), QStringLiteral("message"),
                                         QStringLiteral("--message=ä")};
    QTest::newRow("empty") << QByteArray("\n") << QStringList{QStringLiteral("")};
    QTest::newRow("NUL byte kept") << QByteArray("ZM/1.1 action --nick=Al\0ice\n", 28)
                                   << QStringList{QStringLiteral("ZM/1.1"), QStringLiteral("action"),
                                                  QString::fromUtf8("--nick=Al\0ice", 13)};
}

void TestWire::words()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, expected);
    QCOMPARE(splitWords(decodeLine(line)), expected);
}

void TestWire::arguments_data()
{
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("found");
    QTest::addColumn<int>("number");
    const QStringList reply{QStringLiteral("ZM/1.1"),    QStringLiteral("return"),          QStringLiteral("--id=404"),
                            QStringLiteral("--rq=nick"), QStringLiteral("--nick=a&nbsp;b"), QStringLiteral("--id=200")};
    QTest::newRow("later occurrence wins") << reply << "--id="
                                           << "200" << true << 200;
    QTest::newRow("value kept escaped") << reply << "--nick="
                                        << "a&nbsp;b" << true << 0;
    QTest::newRow("missing") << reply << "--state="
                             << "" << false << -7;
    QTest::newRow("case sensitive key") << QStringList{QStringLiteral("--ID=5")} << "--id="
                                        << "" << false << -7;
    QTest::newRow("not a number reads 0") << QStringList{QStringLiteral("--id=abc")} << "--id="
                                          << "abc" << true << 0;
    QTest::newRow("prefix of another key does not match") << QStringList{QStringLiteral("--idx=3")} << "--id="
                                                          << "" << false << -7;
}

void TestWire::arguments()
{
    QFETCH(QStringList, words);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(bool, found);
    QFETCH(int, number);
    bool seen = !found;
    QCOMPARE(argumentValue(words, key, &seen), value);
    QCOMPARE(seen, found);
    QCOMPARE(integerArgument(words, key, -7), number);
}

void TestWire::lineBuilder_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("escaped") << "a b&c" << true << QByteArray("ZM/1.1 action --at=setnick --nick=a&nbsp;b&amp;c\n");
    QTest::newRow("line feed refused") << "evil\nZM/1.1 action --at=delcontact" << false << QByteArray();
    QTest::newRow("carriage return refused") << "evil\r" << false << QByteArray();
}

void TestWire::lineBuilder()
{
    QFETCH(QString, value);
    QFETCH(bool, valid);
    QFETCH(QByteArray, bytes);
    LineBuilder line(QStringLiteral("action"));
    line.raw(QStringLiteral("--at="), QStringLiteral("setnick")).text(QStringLiteral("--nick="), value);
    QCOMPARE(line.isValid(), valid);
    if (valid)
        QCOMPARE(line.toBytes(), bytes);
}

void TestWire::incomingObjects_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("object");
    QTest::newRow("poke") << QByteArray("ZM/1.1 poke --username=anna\n") << "PokeFromUser<>anna\n";
    QTest::newRow("message unescaped") << QByteArray(
        "ZM/1.1 message --username=a&nbsp;b --message=hi&nbsp;&amp;&nbsp;<b> --mid=3")
                                       << "MessageFromUser<>a b: hi & <b>\n";
    QTest::newRow("message later argument wins")
        << QByteArray("ZM/1.1 message --username=x --message=one --username=y") << "MessageFromUser<>y: one\n";
    QTest::newRow("message without text") << QByteArray("ZM/1.1 message --username=anna --message=") << "";
    QTest::newRow("message without sender") << QByteArray("ZM/1.1 message --message=hi") << "";
    QTest::newRow("poke without sender") << QByteArray("ZM/1.1 poke") << "";
    QTest::newRow("return list converted") << QByteArray("ZM/1.1 return --rq=contacts --users=a<b")
                                           << "ReturnIntialize<>ZM/1.1<>return<>--rq=contacts<>--users=a&lt;b";
    QTest::newRow("notification two words")
        << QByteArray("ZM/1.1 notification") << "ReturnIntialize<>ZM/1.1<>notification";
    QTest::newRow("return escapes decoded") << QByteArray("ZM/1.1 return --message=a&nbsp;&amp;&nbsp;>")
                                            << "ReturnIntialize<>ZM/1.1<>return<>--message=a & &gt;";
    QTest::newRow("encoded ampersand before space letters")
        << QByteArray("ZM/1.1 notification --nt=x --username=&amp;nbsp;&amp;amp;")
        << "ReturnIntialize<>ZM/1.1<>notification<>--nt=x<>--username=&nbsp;&amp;";
    QTest::newRow("one word") << QByteArray("ZM/1.1") << "";
    QTest::newRow("empty line") << QByteArray("") << "";
    QTest::newRow("other tag") << QByteArray("ZM/1.0 return --id=200") << "";
    QTest::newRow("unknown verb") << QByteArray("ZM/1.1 hello --id=200") << "";
    QTest::newRow("binary garbage") << QByteArray("\xff\xfe\x00ZM/1.1 return", 15) << "";
    QTest::newRow("message with a NUL byte") << QByteArray("ZM/1.1 message --username=anna --message=a\0b", 44)
                                             << QString::fromUtf8("MessageFromUser<>anna: a\0b\n", 27);
    QTest::newRow("message text at the bound")
        << "ZM/1.1 message --username=anna --message=" + QByteArray(MaxMessageTextLength, 'x')
        << QStringLiteral("MessageFromUser<>anna: ") + QString(MaxMessageTextLength, QLatin1Char('x'))
            + QStringLiteral("\n");
    QTest::newRow("message text beyond the bound")
        << "ZM/1.1 message --username=anna --message=" + QByteArray(MaxMessageTextLength + 1, 'x') << "";
}

void TestWire::incomingObjects()
{
    QFETCH(QByteArray, line);
    QFETCH(QString, object);
    if (QByteArray(QTest::currentDataTag()).contains("beyond the bound"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("dropped a pushed message")));
    QCOMPARE(renderIncomingObject(line), object);
}

void TestWire::listFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("escaped");
    QTest::newRow("plain") << "Hello world"
                           << "Hello world";
    QTest::newRow("bar") << "a|b"
                         << "a&#124;b";
    QTest::newRow("separator") << "a<>b"
                               << "a&#60;&#62;b";
    QTest::newRow("entity text") << "Fish &amp; chips &lt;&gt;"
                                 << "Fish &#38;amp; chips &#38;lt;&#38;gt;";
    QTest::newRow("numeric entity text") << "&#124;"
                                         << "&#38;#124;";
    QTest::newRow("ampersand at the end") << "a&"
                                          << "a&#38;";
}

// Whatever a field holds, the incoming object never shows it like the entry separator.
void TestWire::listFields()
{
    QFETCH(QString, field);
    QFETCH(QString, escaped);
    QCOMPARE(escapeListField(field), escaped);
    QCOMPARE(unescapeListField(escaped), field);
    const QString object =
        renderIncomingObject(LineBuilder(QStringLiteral("return")).text(QStringLiteral("--users="), escaped).toBytes());
    QVERIFY(!object.section(QStringLiteral("<>"), 3).contains(QLatin1String("&lt;&gt;")));
}

void TestWire::messageIds_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<qint64>("id");
    QTest::newRow("message") << QByteArray("ZM/1.1 message --username=anna --message=hi --mid=42\n") << qint64(42);
    QTest::newRow("beyond 32 bits") << QByteArray("ZM/1.1 message --username=anna --message=hi --mid=8589934592")
                                    << qint64(8589934592);
    QTest::newRow("missing") << QByteArray("ZM/1.1 message --username=anna --message=hi") << qint64(0);
    QTest::newRow("not a number") << QByteArray("ZM/1.1 message --username=anna --message=hi --mid=7x") << qint64(0);
    QTest::newRow("negative") << QByteArray("ZM/1.1 message --username=anna --message=hi --mid=-7") << qint64(0);
    QTest::newRow("too large") << QByteArray("ZM/1.1 message --username=a --message=b --mid=99999999999999999999")
                               << qint64(0);
    QTest::newRow("poke") << QByteArray("ZM/1.1 poke --username=anna --mid=5") << qint64(0);
    QTest::newRow("return") << QByteArray("ZM/1.1 return --at=sendmessage --id=200 --mid=5") << qint64(0);
}

// The number of a pushed message travels beside its object, which keeps its shape.
void TestWire::messageIds()
{
    QFETCH(QByteArray, line);
    QFETCH(qint64, id);
    qint64 found = -1;
    QCOMPARE(renderIncomingObject(line, &found), renderIncomingObject(line));
    QCOMPARE(found, id);
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestWire)
#include "tst_wire.moc"
