#include "MessageFormat.h"
#include "hermetic.h"

#include <QRandomGenerator>
#include <QTextDocument>

using namespace MessageFormat;

class TestFormat : public QObject
{
    Q_OBJECT

private slots:
    void escapeHtml_data();
    void escapeHtml();
    void decodeEntities_data();
    void decodeEntities();
    void roundTripArbitraryUnicode();
    void decodeEntitiesStart_data();
    void decodeEntitiesStart();
    void sanitizeReceived_data();
    void sanitizeReceived();
    void formatMessage_data();
    void formatMessage();
    void formattedReceivedTextHasNoForeignMarkup_data();
    void formattedReceivedTextHasNoForeignMarkup();
    void picturesPerMessageAreBounded_data();
    void picturesPerMessageAreBounded();
    void longReceivedTextIsCut_data();
    void longReceivedTextIsCut();
    void viewMarkup_data();
    void viewMarkup();
    void escapeName();
};

void TestFormat::escapeHtml_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "hello"
                           << "hello";
    QTest::newRow("angle brackets") << "a b<c>"
                                    << "a b&lt;c&gt;";
    QTest::newRow("ampersand first") << "&lt;"
                                     << "&amp;lt;";
    QTest::newRow("quote") << "say \"hi\""
                           << "say &quot;hi&quot;";
    QTest::newRow("umlauts") << QString::fromUtf8("äöüÄÖÜß") << "&auml;&ouml;&uuml;&Auml;&Ouml;&Uuml;&szlig;";
    QTest::newRow("signs") << QString::fromUtf8("€§©®°²³") << "&euro;&sect;&copy;&reg;&deg;&sup2;&sup3;";
    QTest::newRow("crlf is one break") << "a\r\nb"
                                       << "a<br>b";
    QTest::newRow("cr") << "a\rb"
                        << "a<br>b";
    QTest::newRow("lf") << "a\nb"
                        << "a<br>b";
    QTest::newRow("lf cr is two breaks") << "a\n\rb"
                                         << "a<br><br>b";
    QTest::newRow("apostrophe untouched") << "it's"
                                          << "it's";
    QTest::newRow("other letters untouched") << QString::fromUtf8("é ñ 日本 😀") << QString::fromUtf8("é ñ 日本 😀");
    QTest::newRow("case-sensitive entities untouched") << "&AMP;"
                                                       << "&amp;AMP;";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFormat::escapeHtml()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(MessageFormat::escapeHtml(input), expected);
}

void TestFormat::decodeEntities_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("lt gt") << "a b&lt;c&gt;" << QByteArray("a b<c>");
    QTest::newRow("amp last") << "&amp;lt;" << QByteArray("&lt;");
    QTest::newRow("amp of umlaut name") << "&amp;auml;" << QByteArray("&auml;");
    QTest::newRow("umlauts as utf-8") << "&auml;&ouml;&uuml;&Auml;&Ouml;&Uuml;&szlig;"
                                      << QByteArray("\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x84\xc3\x96\xc3\x9c\xc3\x9f");
    QTest::newRow("signs") << "&euro;&sect;&copy;&reg;&deg;&sup2;&sup3;"
                           << QByteArray("\xe2\x82\xac\xc2\xa7\xc2\xa9\xc2\xae\xc2\xb0\xc2\xb2\xc2\xb3");
    QTest::newRow("br") << "a<br>b" << QByteArray("a\nb");
    QTest::newRow("quot") << "&quot;x&quot;" << QByteArray("\"x\"");
    QTest::newRow("unknown entity kept") << "&nbsp;&#60;" << QByteArray("&nbsp;&#60;");
    QTest::newRow("uppercase BR kept") << "a<BR>b" << QByteArray("a<BR>b");
    QTest::newRow("non-latin passes") << QString::fromUtf8("日本") << QString::fromUtf8("日本").toUtf8();
}

void TestFormat::decodeEntities()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(MessageFormat::decodeEntities(input), expected);
}

void TestFormat::roundTripArbitraryUnicode()
{
    // Escaping then decoding gives the text back (line breaks normalised to line feeds), and
    // escaping the decoded text again gives the same escaped text.
    const QString alphabet = QString::fromUtf8("&<>\"äöüÄÖÜß€§©®°²³\r\n ;:)(abc&amp;lt;br日😀");
    QRandomGenerator rng(4711);
    for (int round = 0; round < 2000; ++round) {
        QString text;
        const int length = int(rng.bounded(40));
        for (int i = 0; i < length; ++i) {
            if (rng.bounded(4) == 0) {
                const uint code = rng.bounded(0x20u, 0x2FFFu);
                text += QChar(char16_t(code));
            } else {
                text += alphabet.at(int(rng.bounded(alphabet.size())));
            }
        }
        // Drop a lone surrogate half the alphabet split could have produced.
        if (!text.isValidUtf16())
            continue;
        const QString escaped = MessageFormat::escapeHtml(text);
        QString normalised = text;
        normalised.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        QCOMPARE(QString::fromUtf8(MessageFormat::decodeEntities(escaped)), normalised);
        QCOMPARE(MessageFormat::sanitizeReceived(escaped), escaped);
        QVERIFY(!escaped.contains(QLatin1Char('"')));
        QVERIFY(!escaped.contains(QLatin1Char('\n')));
    }
}

void TestFormat::decodeEntitiesStart_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("short") << "a&lt;b" << 64;
    QTest::newRow("longest entities") << QStringLiteral("&szlig;").repeated(200) << 25;
    QTest::newRow("entities of one byte") << QStringLiteral("&quot;").repeated(200) << 64;
    QTest::newRow("escaped entity names") << QStringLiteral("&amp;lt;").repeated(200) << 64;
    QTest::newRow("breaks") << QStringLiteral("<br>").repeated(300) << 64;
    QTest::newRow("four-byte characters") << QString::fromUtf8("😀&euro;").repeated(100) << 25;
    QTest::newRow("16 MiB") << QStringLiteral("word&nbsp;").repeated((16 << 20) / 10) << 64;
}

void TestFormat::decodeEntitiesStart()
{
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QCOMPARE(MessageFormat::decodeEntitiesStart(text, bytes), MessageFormat::decodeEntities(text).left(bytes));
}

void TestFormat::sanitizeReceived_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("expected");
    QTest::newRow("escaped text unchanged") << "a b&lt;c&gt; &amp;auml; &euro;"
                                            << "a b&lt;c&gt; &amp;auml; &euro;";
    QTest::newRow("breaks unchanged") << "a<br>b"
                                      << "a<br>b";
    QTest::newRow("raw image tag") << "<img src='/etc/passwd'>"
                                   << "&lt;img src='/etc/passwd'&gt;";
    QTest::newRow("raw anchor") << "<a href=\"file:///x\">x</a>"
                                << "&lt;a href=&quot;file:///x&quot;&gt;x&lt;/a&gt;";
    QTest::newRow("raw umlaut escaped") << QString::fromUtf8("ä") << "&auml;";
    QTest::newRow("foreign entity shown literally") << "&nbsp;"
                                                    << "&amp;nbsp;";
}

void TestFormat::sanitizeReceived()
{
    QFETCH(QString, received);
    QFETCH(QString, expected);
    QCOMPARE(MessageFormat::sanitizeReceived(received), expected);
}

void TestFormat::formatMessage_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString friendly = QStringLiteral("<img src=':/img/friendly.png'/>");
    QTest::newRow("single smiley") << ":)" << friendly;
    QTest::newRow("touching smileys stay text") << ":):)"
                                                << ":):)";
    QTest::newRow("second smiley lacks its space")
        << "a :) :) b" << QStringLiteral("a ") + friendly + QStringLiteral(" :) b");
    QTest::newRow("two spaces convert both")
        << "a :)  :) b" << QStringLiteral("a ") + friendly + QStringLiteral("  ") + friendly + QStringLiteral(" b");
    QTest::newRow("smiley touching word") << "hi:)"
                                          << "hi:)";
    QTest::newRow("nose variant") << "x :-) y" << QStringLiteral("x ") + friendly + QStringLiteral(" y");
    QTest::newRow("wink") << ";)"
                          << "<img src=':/img/wink.png'/>";
    QTest::newRow("normal") << ":|"
                            << "<img src=':/img/normal.png'/>";
    QTest::newRow("laugh") << ":-D"
                           << "<img src=':/img/laughting.png'/>";
    QTest::newRow("haha") << ":P"
                          << "<img src=':/img/haha.png'/>";
    QTest::newRow("surprised") << ":-O"
                               << "<img src=':/img/surprised.png'/>";
    QTest::newRow("sad") << ":("
                         << "<img src=':/img/sad.png'/>";
    QTest::newRow("cry") << ";-("
                         << "<img src=':/img/cry.png'/>";
    QTest::newRow("cry word") << "(cry)"
                              << "<img src=':/img/cry.png'/>";
    QTest::newRow("angry") << "(angry)"
                           << "<img src=':/img/angry.png'/>";
    QTest::newRow("evil") << "(evil)"
                          << "<img src=':/img/evil.png'/>";
    QTest::newRow("lower-case d stays") << ":d"
                                        << ":d";
    QTest::newRow("web link") << "see http://example.org/a now"
                              << "see <a href=\"http://example.org/a\">http://example.org/a</a> now";
    QTest::newRow("https link alone") << "https://x.y"
                                      << "<a href=\"https://x.y\">https://x.y</a>";
    QTest::newRow("full stop stays in link") << "go to http://x.y."
                                             << "go to <a href=\"http://x.y.\">http://x.y.</a>";
    QTest::newRow("ftp") << "ftp://h/f"
                         << "<a href=\"ftp://h/f\">ftp://h/f</a>";
    QTest::newRow("own scheme") << "mtasa://1.2.3.4"
                                << "<a href=\"mtasa://1.2.3.4\">mtasa://1.2.3.4</a>";
    QTest::newRow("upper-case scheme stays text") << "HTTP://x.y"
                                                  << "HTTP://x.y";
    QTest::newRow("file scheme stays text") << "file:///etc/passwd"
                                            << "file:///etc/passwd";
    QTest::newRow("link touching word") << "xhttp://a.b"
                                        << "xhttp://a.b";
    QTest::newRow("two links one space") << "http://a.b http://c.d"
                                         << "<a href=\"http://a.b\">http://a.b</a> http://c.d";
    QTest::newRow("escaped ampersand in link") << "http://a.b/?x=1&amp;y=2"
                                               << "<a href=\"http://a.b/?x=1&amp;y=2\">http://a.b/?x=1&amp;y=2</a>";
    QTest::newRow("blank") << "   "
                           << "";
}

void TestFormat::formatMessage()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(MessageFormat::formatMessage(input), expected);
}

void TestFormat::formattedReceivedTextHasNoForeignMarkup_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<int>("images");
    QTest::addColumn<int>("anchors");
    QTest::newRow("image with file path") << "<img src=\"/etc/hosts\">" << 0 << 0;
    QTest::newRow("quote breaks out of href") << "http://a.b/\"><img src=\"/x\">" << 0 << 1;
    QTest::newRow("script") << "<script>alert(1)</script> :)" << 1 << 0;
    QTest::newRow("style") << "<style>body{background:url(http://x)}</style>" << 0 << 0;
}

void TestFormat::formattedReceivedTextHasNoForeignMarkup()
{
    QFETCH(QString, received);
    QFETCH(int, images);
    QFETCH(int, anchors);
    const QString html = MessageFormat::formatMessage(MessageFormat::sanitizeReceived(received));
    QCOMPARE(html.count(QLatin1String("<img src=':/img/")), images);
    QCOMPARE(html.count(QLatin1String("<img")), images);
    QCOMPARE(html.count(QLatin1String("<a ")), anchors);
    QVERIFY(!html.contains(QLatin1String("<script")));
    QVERIFY(!html.contains(QLatin1String("<style")));
}

void TestFormat::picturesPerMessageAreBounded_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    const QString friendly = QStringLiteral("<img src=':/img/friendly.png'/>");
    const QString sad = QStringLiteral("<img src=':/img/sad.png'/>");
    const int max = MaxPicturesPerMessage;
    const QString friendlies = (QLatin1Char(' ') + friendly + QLatin1Char(' ')).repeated(max);
    QTest::newRow("at the bound") << QStringLiteral(" :) ").repeated(max) << friendlies.trimmed();
    // 8,192 smileys, the largest message the server takes: the rest stays text.
    QTest::newRow("8192 smileys") << QStringLiteral(" :) ").repeated(8192)
                                  << (friendlies + QStringLiteral(" :) ").repeated(8192 - max)).trimmed();
    // The table's order decides which kinds are converted first.
    QTest::newRow("earlier kinds first") << QStringLiteral(" :( ").repeated(max) + QStringLiteral(" :) ")
                                         << ((QLatin1Char(' ') + sad + QLatin1Char(' ')).repeated(max - 1)
                                             + QStringLiteral(" :(  ") + friendly)
                                                .trimmed();
}

void TestFormat::picturesPerMessageAreBounded()
{
    QFETCH(QString, input);
    QFETCH(QString, expected);
    const QString formatted = MessageFormat::formatMessage(input);
    QVERIFY(formatted.count(QLatin1String("<img")) <= MaxPicturesPerMessage);
    QCOMPARE(formatted, expected);
}

void TestFormat::longReceivedTextIsCut_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("expected");
    const QString ellipsis(QChar(0x2026));
    const QString full(MaxShownCharacters, QLatin1Char('x'));
    QTest::newRow("largest message shown whole") << full << full;
    QTest::newRow("one more is cut") << full + QLatin1Char('y') << full + ellipsis;
    QTest::newRow("entities count as what they show")
        << QStringLiteral("&amp;").repeated(MaxShownCharacters) << QStringLiteral("&amp;").repeated(MaxShownCharacters);
    QTest::newRow("16 MiB from a hostile server")
        << QString(16 << 20, QLatin1Char('z')) << QString(MaxShownCharacters, QLatin1Char('z')) + ellipsis;
    QTest::newRow("no half surrogate pair") << QString(MaxShownCharacters - 1, QLatin1Char('x'))
            + QString::fromUtf8("😀😀") << QString(MaxShownCharacters - 1, QLatin1Char('x')) + ellipsis;
}

void TestFormat::longReceivedTextIsCut()
{
    QFETCH(QString, received);
    QFETCH(QString, expected);
    QCOMPARE(MessageFormat::sanitizeReceived(received), expected);
}

void TestFormat::viewMarkup_data()
{
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("expected");
    const QChar zwsp(0x200B);
    const QString ellipsis(QChar(0x2026));
    const QString friendly = QStringLiteral(" <img src=':/img/friendly.png'/> ");
    const QString run(MaxUnbrokenRun, QLatin1Char('w'));
    const QString header = QStringLiteral("<span style=\"color: blue\">Bob</span><br>");

    QTest::newRow("message unchanged") << header + QStringLiteral("<span>hi ") + friendly
            + QStringLiteral(" <a href=\"http://a.b/?x&amp;y\">http://a.b/?x&amp;y</a></span>")
                                       << header + QStringLiteral("<span>hi ") + friendly
            + QStringLiteral(" <a href=\"http://a.b/?x&amp;y\">http://a.b/?x&amp;y</a></span>");
    QTest::newRow("longest run unchanged") << QStringLiteral("<span>") + run + QStringLiteral("</span>")
                                           << QStringLiteral("<span>") + run + QStringLiteral("</span>");
    QTest::newRow("long word broken") << QStringLiteral("<span>") + run + run + QStringLiteral("w</span>")
                                      << QStringLiteral("<span>") + run + zwsp + run + zwsp
            + QStringLiteral("w</span>");
    QTest::newRow("space starts a new run") << run + QStringLiteral(" ") + run << run + QStringLiteral(" ") + run;
    QTest::newRow("break tag starts a new run")
        << run + QStringLiteral("<br>") + run << run + QStringLiteral("<br>") + run;
    QTest::newRow("tags do not break a run")
        << run.left(200) + QStringLiteral("<b>") + run.left(100) + QStringLiteral("</b>")
        << run.left(200) + QStringLiteral("<b>") + run.left(56) + zwsp + run.left(44) + QStringLiteral("</b>");
    QTest::newRow("entity is one character")
        << QStringLiteral("&amp;").repeated(MaxUnbrokenRun + 1)
        << QStringLiteral("&amp;").repeated(MaxUnbrokenRun) + zwsp + QStringLiteral("&amp;");
    QTest::newRow("long link text broken, address kept")
        << QStringLiteral("<a href=\"http://") + run + QStringLiteral("\">http://") + run + QStringLiteral("</a>")
        << QStringLiteral("<a href=\"http://") + run + QStringLiteral("\">http://") + run.left(249) + zwsp
            + run.mid(249) + QStringLiteral("</a>");
    QTest::newRow("stray bracket is text") << "a < b"
                                           << "a &lt; b";

    // Markup stored by a version that put every smiley into the picture.
    const int max = MaxPicturesPerMessage;
    QTest::newRow("stored 8192 smileys") << QStringLiteral("<span>") + friendly.repeated(8192)
            + QStringLiteral("</span>")
                                         << QStringLiteral("<span>") + friendly.repeated(max)
            + QStringLiteral(" :) ").repeated(8192 - max) + QStringLiteral("</span>");
    QTest::newRow("other pictures beyond the bound left out") << QStringLiteral("<img src=\"x.png\">").repeated(max + 2)
                                                              << QStringLiteral("<img src=\"x.png\">").repeated(max);
    QTest::newRow("pictures hidden in a quoted value beyond the bound")
        << friendly.repeated(max) + QStringLiteral("<span title='<img src=x>'>t</span>")
        << friendly.repeated(max) + QStringLiteral("t</span>");
    QTest::newRow("upper-case picture beyond the bound")
        << friendly.repeated(max) + QStringLiteral("<IMG src='x.png'>") << friendly.repeated(max);
    QTest::newRow("stored text beyond the bound cut")
        << QStringLiteral("<span>") + QString(MaxShownCharacters + 2000, QLatin1Char(' ')) + QStringLiteral("</span>")
        << QStringLiteral("<span>") + QString(MaxShownCharacters + 1024, QLatin1Char(' ')) + ellipsis;
}

void TestFormat::viewMarkup()
{
    QFETCH(QString, markup);
    QFETCH(QString, expected);
    QCOMPARE(MessageFormat::viewMarkup(markup), expected);
}

void TestFormat::escapeName()
{
    QCOMPARE(MessageFormat::escapeName(QStringLiteral("<b>bob</b> & \"x\"")),
             QStringLiteral("&lt;b&gt;bob&lt;/b&gt; &amp; &quot;x&quot;"));
    QCOMPARE(MessageFormat::escapeName(QString::fromUtf8("Jörg")), QString::fromUtf8("Jörg"));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestFormat)
#include "tst_format.moc"
