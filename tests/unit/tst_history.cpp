#include "AvatarCache.h"
#include "ChatHistory.h"
#include "DataDirectory.h"
#include "SeenMessages.h"
#include "hermetic.h"
#include "testpictures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSettings>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

Q_DECLARE_METATYPE(SeenMessages::Entry)

class TestHistory : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void dataDirectoryIsUnderHome();
    void iniValueMatchesQSettings_data();
    void iniValueMatchesQSettings();
    void appendedMessagesReadBack();
    void appendedFileReadByQSettings();
    void damagedCounterIsBounded_data();
    void damagedCounterIsBounded();
    void shownRange_data();
    void shownRange();
    void firstMessageHeader_data();
    void firstMessageHeader();
    void handWrittenFile();
    void damagedEntries();
    void appendAfterCutOffLine_data();
    void appendAfterCutOffLine();
    void blockContinuesAfterReopen();
    void excerptsOfEqualSize();
    void valuesEndingInBackslash();
    void failedWriteKeepsEarlierHistory();
    void plainNamesKeepTheirFileName_data();
    void plainNamesKeepTheirFileName();
    void unsafeNamesStayInside_data();
    void unsafeNamesStayInside();
    void writtenFilesAreOwnerOnly_data();
    void writtenFilesAreOwnerOnly();
    void existingContentsMadeOwnerOnly();
    void seenRecordLines_data();
    void seenRecordLines();
    void seenRecordSurvivesReopening();
    void seenRecordIsBounded();
    void seenRecordAfterCutOffLine();
    void seenRecordPipeIsNotRead();
    void seenRecordTooLargeIsNotRead();

private:
    static void writeHistory(const QString &user, int count, const QString &lastSpeaker = QStringLiteral("You"));
    static QString dataDir() { return DataDirectory::path(); }
};

void TestHistory::init()
{
    QDir(dataDir()).removeRecursively();
    QVERIFY(DataDirectory::ensure());
}

void TestHistory::writeHistory(const QString &user, int count, const QString &lastSpeaker)
{
    QByteArray all;
    for (int i = 1; i <= count; ++i)
        all += ChatHistory::appendBlock(i, QStringLiteral("<span>m%1</span>").arg(i), lastSpeaker, i % 2 == 1);
    QFile file(ChatHistory(user).fileName());
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(all), qint64(all.size()));
}

void TestHistory::dataDirectoryIsUnderHome()
{
    QCOMPARE(dataDir(), QDir::homePath() + QStringLiteral("/.zmsg"));
    QVERIFY(QFileInfo(dataDir()).isDir());
}

void TestHistory::iniValueMatchesQSettings_data()
{
    QTest::addColumn<QStringList>("value");
    QTest::newRow("simple") << QStringList{QStringLiteral("<span>hi</span>"), QStringLiteral("You"),
                                           QStringLiteral("true")};
    QTest::newRow("quotes and backslash") << QStringList{QStringLiteral("<span style=\"color: grey\">a\\b</span>"),
                                                         QStringLiteral("She/He"), QStringLiteral("false")};
    QTest::newRow("separators need quotes")
        << QStringList{QStringLiteral("a, b; c=d"), QStringLiteral("You"), QStringLiteral("true")};
    QTest::newRow("leading and trailing space")
        << QStringList{QStringLiteral(" x"), QStringLiteral("y "), QStringLiteral("false")};
    QTest::newRow("non-latin") << QStringList{QString::fromUtf8("äöü € 日本 😀"), QStringLiteral("You"),
                                              QStringLiteral("true")};
    QTest::newRow("control and digit after escape") << QStringList{QString::fromUtf8("\x01"
                                                                                     "1a\tb\nc\rd"),
                                                                   QStringLiteral("You"), QStringLiteral("true")};
    QTest::newRow("hex letter after escape") << QStringList{QString::fromUtf8("é"
                                                                              "f"
                                                                              "ßA"),
                                                            QStringLiteral("x"), QStringLiteral("y")};
    QTest::newRow("at sign") << QStringList{QStringLiteral("@Invalid()"), QStringLiteral("@x"), QStringLiteral("true")};
    QTest::newRow("nul") << QStringList{QString(QChar(0)) + QStringLiteral("7"), QStringLiteral("You"),
                                        QStringLiteral("true")};
    QTest::newRow("empty elements") << QStringList{QStringLiteral(""), QStringLiteral(""), QStringLiteral("")};
}

void TestHistory::iniValueMatchesQSettings()
{
    QFETCH(QStringList, value);
    const QString file = dataDir() + QStringLiteral("/reference.ini");
    {
        QSettings settings(file, QSettings::IniFormat);
        settings.setValue(QStringLiteral("Messages/Message1"), value);
    }
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray written;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("Message1="))
            written = line.mid(9);
    }
    QCOMPARE(ChatHistory::iniValue(value), written);
}

void TestHistory::appendedMessagesReadBack()
{
    ChatHistory history(QStringLiteral("alice"));
    QVERIFY(history.append(1, QStringLiteral("<span style=\"color: grey\">me</span><br><span>a, b</span>"),
                           QStringLiteral("You"), true));
    QVERIFY(history.append(2, QStringLiteral("<span>second</span>"), QStringLiteral("You"), false));
    QVERIFY(history.append(3, QStringLiteral("<span style=\"color: blue\">Al</span><br><span>x</span>"),
                           QStringLiteral("She/He"), true));

    const ChatHistory::Loaded loaded = ChatHistory(QStringLiteral("alice"))
                                           .load(QStringLiteral("me"), QStringLiteral("Al"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastId, 3);
    QCOMPARE(loaded.lastSpeaker, QStringLiteral("She/He"));
    QCOMPARE(loaded.markups,
             (QStringList{QStringLiteral("<span style=\"color: grey\">me</span><br><span>a, b</span>"),
                          QStringLiteral("<span>second</span>"),
                          QStringLiteral("<span style=\"color: blue\">Al</span><br><span>x</span>")}));
}

void TestHistory::appendedFileReadByQSettings()
{
    ChatHistory history(QStringLiteral("bob"));
    QVERIFY(history.append(1, QStringLiteral("one"), QStringLiteral("You"), true));
    QVERIFY(history.append(2, QStringLiteral("two"), QStringLiteral("She/He"), true));
    QCOMPARE(history.fileName(), dataDir() + QStringLiteral("/bob.ini"));

    QSettings settings(history.fileName(), QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Chat/LastMessageID")).toInt(), 2);
    QCOMPARE(settings.value(QStringLiteral("Chat/LastMessageFrom")).toString(), QStringLiteral("She/He"));
    QCOMPARE(settings.value(QStringLiteral("Messages/Message1")).toStringList(),
             (QStringList{QStringLiteral("one"), QStringLiteral("You"), QStringLiteral("true")}));
    QCOMPARE(settings.value(QStringLiteral("Messages/Message2")).toStringList(),
             (QStringList{QStringLiteral("two"), QStringLiteral("She/He"), QStringLiteral("true")}));
}

void TestHistory::damagedCounterIsBounded_data()
{
    QTest::addColumn<QByteArray>("counter");
    QTest::addColumn<int>("lastId");
    QTest::newRow("largest int") << QByteArray("2147483647") << 1000000000;
    QTest::newRow("negative") << QByteArray("-5") << 0;
    QTest::newRow("not a number") << QByteArray("many") << 0;
}

void TestHistory::damagedCounterIsBounded()
{
    QFETCH(QByteArray, counter);
    QFETCH(int, lastId);
    const QString name = QStringLiteral("damaged");
    QDir().mkpath(QFileInfo(ChatHistory(name).fileName()).absolutePath());
    QFile file(ChatHistory(name).fileName());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Chat]\nLastMessageFrom=You\nLastMessageID=" + counter + "\n[Messages]\nMessage1=a, You, true\n");
    file.close();
    // Opening such a chat must neither loop past the end of int nor hang.
    const ChatHistory::Loaded loaded =
        ChatHistory(name).load(QStringLiteral("me"), QStringLiteral("Them"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastId, lastId);
    QVERIFY(loaded.markups.size() <= 1001);
}

void TestHistory::shownRange_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("shown");
    QTest::newRow("empty") << 0 << 1 << 0;
    QTest::newRow("one") << 1 << 1 << 1;
    QTest::newRow("1000") << 1000 << 1 << 1000;
    QTest::newRow("1001") << 1001 << 1 << 1001;
    QTest::newRow("1002") << 1002 << 2 << 1001;
    QTest::newRow("1500") << 1500 << 500 << 1001;
}

void TestHistory::shownRange()
{
    QFETCH(int, stored);
    QFETCH(int, first);
    QFETCH(int, shown);
    writeHistory(QStringLiteral("carol"), stored);
    const ChatHistory::Loaded loaded =
        ChatHistory(QStringLiteral("carol"))
            .load(QStringLiteral("me"), QStringLiteral("Carol"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastId, stored);
    QCOMPARE(loaded.firstId, first);
    QCOMPARE(loaded.markups.size(), shown);
    if (shown > 0) {
        QVERIFY(loaded.markups.first().endsWith(QStringLiteral("<span>m%1</span>").arg(first)));
        QCOMPARE(loaded.markups.last(), QStringLiteral("<span>m%1</span>").arg(stored));
    }
}

void TestHistory::firstMessageHeader_data()
{
    QTest::addColumn<QString>("speaker");
    QTest::addColumn<bool>("startsBlock");
    QTest::addColumn<QString>("expectedHeader");
    QTest::newRow("own continued") << "You" << false << "<span style=\"color: grey\">M&amp;e</span><br>";
    QTest::newRow("contact continued") << "She/He" << false << "<span style=\"color: blue\">&lt;Dave&gt;</span><br>";
    QTest::newRow("unknown speaker") << "ZZ" << false << "<span style=\"color: red\">Unknown</span><br>";
    QTest::newRow("block start has its own header") << "She/He" << true << "";
}

void TestHistory::firstMessageHeader()
{
    QFETCH(QString, speaker);
    QFETCH(bool, startsBlock);
    QFETCH(QString, expectedHeader);
    // 1500 messages: the first shown is number 500, which continues a block here.
    QByteArray all;
    for (int i = 1; i <= 1500; ++i)
        all += ChatHistory::appendBlock(i, QStringLiteral("m%1").arg(i), i == 500 ? speaker : QStringLiteral("You"),
                                        i == 500 ? startsBlock : false);
    QFile file(ChatHistory(QStringLiteral("dave")).fileName());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(all);
    file.close();

    const ChatHistory::Loaded loaded =
        ChatHistory(QStringLiteral("dave"))
            .load(QStringLiteral("M&e"), QStringLiteral("<Dave>"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.markups.first(), expectedHeader + QStringLiteral("m500"));
    QCOMPARE(loaded.markups.at(1), QStringLiteral("m501"));
}

void TestHistory::handWrittenFile()
{
    QFile file(dataDir() + QStringLiteral("/erin.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Chat]\nLastMessageFrom=She/He\nLastMessageID=2\n\n[Messages]\n"
               "Message1=\"<span style=\\\"color: blue\\\">Erin</span><br><span>hi, you</span>\", She/He, true\n"
               "Message2=<span>G\\xfc\\x65nter \\x20ac</span>, She/He, false\n");
    file.close();
    const ChatHistory::Loaded loaded =
        ChatHistory(QStringLiteral("erin"))
            .load(QStringLiteral("me"), QStringLiteral("Erin"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastSpeaker, QStringLiteral("She/He"));
    QCOMPARE(loaded.markups,
             (QStringList{QStringLiteral("<span style=\"color: blue\">Erin</span><br><span>hi, you</span>"),
                          QString::fromUtf8("<span>Güenter €</span>")}));
}

void TestHistory::damagedEntries()
{
    QFile file(dataDir() + QStringLiteral("/frank.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("garbage without section\n[Chat]\nLastMessageID=4\n[Messages]\n"
               "Message1=only one\nMessage2=two, parts\nMessage4=ok, You, true\n=\n[broken\n");
    file.close();
    const ChatHistory::Loaded loaded =
        ChatHistory(QStringLiteral("frank"))
            .load(QStringLiteral("me"), QStringLiteral("Frank"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastSpeaker, QString());
    QCOMPARE(loaded.markups,
             (QStringList{QStringLiteral(""), QStringLiteral(""), QStringLiteral(""), QStringLiteral("ok")}));

    QFile negative(dataDir() + QStringLiteral("/gina.ini"));
    QVERIFY(negative.open(QIODevice::WriteOnly));
    negative.write("[Chat]\nLastMessageID=-5\n");
    negative.close();
    QCOMPARE(ChatHistory(QStringLiteral("gina"))
                 .load(QStringLiteral("me"), QStringLiteral("Gina"), QStringLiteral("Unknown"))
                 .markups.size(),
             0);
}

void TestHistory::appendAfterCutOffLine_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QByteArray>("closing");
    QTest::newRow("whole line") << QByteArray("Message2=two, You, true\n") << QByteArray();
    QTest::newRow("cut short") << QByteArray("Message2=cut sh") << QByteArray("\n");
    QTest::newRow("open quote") << QByteArray("Message2=\"cut, sh") << QByteArray("\"\n");
    QTest::newRow("open quote, then lines") << QByteArray("Message2=\"cut\nMessage3=x\n") << QByteArray("\"\n");
    QTest::newRow("backslash at the end") << QByteArray("Message2=cut \\") << QByteArray("\n\n");
    QTest::newRow("quote and backslash") << QByteArray("Message2=\"cut \\") << QByteArray("\n\"\n");
    QTest::newRow("escaped quote") << QByteArray("Message2=a \\\" b\n") << QByteArray();
    QTest::newRow("quote in a comment") << QByteArray("; a \" quote\n") << QByteArray();
    QTest::newRow("quote after a semicolon") << QByteArray("Message2=a ; \" b") << QByteArray("\n");
    QTest::newRow("lone carriage return") << QByteArray("[[M\r") << QByteArray("\n");
    QTest::newRow("continued line") << QByteArray("Message2=a \\\n") << QByteArray("\n");
    QTest::newRow("continued line, CR LF") << QByteArray("Message2=a \\\r\n") << QByteArray("\n");
    QTest::newRow("escaped backslash at the end") << QByteArray("Message2=a \\\\\n") << QByteArray("\n");
    QTest::newRow("backslash in a comment") << QByteArray("Message2=a ;b \\") << QByteArray("\n\n");
}

void TestHistory::appendAfterCutOffLine()
{
    QFETCH(QByteArray, tail);
    QFETCH(QByteArray, closing);
    const QByteArray head = "[Chat]\nLastMessageID=1\nLastMessageFrom=You\n[Messages]\nMessage1=one, You, true\n";
    QCOMPARE(ChatHistory::tailClosing(head + tail), closing);

    QFile file(dataDir() + QStringLiteral("/hank.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(head + tail);
    file.close();
    ChatHistory history(QStringLiteral("hank"));
    QVERIFY(history.append(7, QStringLiteral("seven"), QStringLiteral("She/He"), true));
    QVERIFY(history.append(8, QStringLiteral("eight"), QStringLiteral("She/He"), false));
    // Messages after the damage are seen by this program and by any INI reader.
    const ChatHistory::Loaded loaded =
        history.load(QStringLiteral("me"), QStringLiteral("Hank"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastId, 8);
    QCOMPARE(loaded.markups.first(), QStringLiteral("one"));
    QCOMPARE(loaded.markups.mid(6), (QStringList{QStringLiteral("seven"), QStringLiteral("eight")}));
    QSettings reread(history.fileName(), QSettings::IniFormat);
    QCOMPARE(reread.value(QStringLiteral("Chat/LastMessageID")).toInt(), 8);
    QCOMPARE(reread.value(QStringLiteral("Messages/Message1")).toStringList(),
             (QStringList{QStringLiteral("one"), QStringLiteral("You"), QStringLiteral("true")}));
    QCOMPARE(reread.value(QStringLiteral("Messages/Message7")).toStringList(),
             (QStringList{QStringLiteral("seven"), QStringLiteral("She/He"), QStringLiteral("true")}));
}

void TestHistory::excerptsOfEqualSize()
{
    // The two parts read from this file are exactly as long as each other (found by the
    // fuzzer): the message must not be taken from the part read first.
    ChatHistory history(QStringLiteral("kim"));
    QVERIFY(history.append(681334, QStringLiteral("[Chat]\nLal"), QStringLiteral("4He, t"), true));
    for (int i = 0; i < 20; ++i) {
        const ChatHistory::Loaded loaded =
            history.load(QStringLiteral("me"), QStringLiteral("Kim"), QStringLiteral("Unknown"));
        QCOMPARE(loaded.lastId, 681334);
        QCOMPARE(loaded.markups.last(), QStringLiteral("[Chat]\nLal"));
    }
}

void TestHistory::valuesEndingInBackslash()
{
    // Written as an escaped pair at the end of the line, which must not continue the line.
    ChatHistory history(QStringLiteral("lou"));
    QVERIFY(history.append(1, QStringLiteral("one"), QStringLiteral("You"), true));
    QVERIFY(history.append(2, QStringLiteral("two\\"), QStringLiteral("x\\"), true));
    QVERIFY(history.append(3, QStringLiteral("three"), QStringLiteral("y\\\\"), true));
    const ChatHistory::Loaded loaded =
        history.load(QStringLiteral("me"), QStringLiteral("Lou"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastId, 3);
    QCOMPARE(loaded.lastSpeaker, QStringLiteral("y\\\\"));
    QCOMPARE(loaded.markups, (QStringList{QStringLiteral("one"), QStringLiteral("two\\"), QStringLiteral("three")}));
}

void TestHistory::blockContinuesAfterReopen()
{
    ChatHistory history(QStringLiteral("ivy"));
    QVERIFY(history.append(1, QStringLiteral("x"), QStringLiteral("She/He"), true));
    QCOMPARE(ChatHistory(QStringLiteral("ivy"))
                 .load(QStringLiteral("me"), QStringLiteral("Ivy"), QStringLiteral("Unknown"))
                 .lastSpeaker,
             QStringLiteral("She/He"));
}

void TestHistory::failedWriteKeepsEarlierHistory()
{
    ChatHistory history(QStringLiteral("jack"));
    QVERIFY(history.append(1, QStringLiteral("first"), QStringLiteral("You"), true));
    const qint64 size = QFileInfo(history.fileName()).size();

    // A full disk, simulated by a file size limit just above the current file.
    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = rlim_t(size + 10);
    signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool written =
        history.append(2, QStringLiteral("second, far too long for the space left"), QStringLiteral("You"), false);
    setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY(!written);
    QCOMPARE(QFileInfo(history.fileName()).size(), size);
    const ChatHistory::Loaded loaded =
        history.load(QStringLiteral("me"), QStringLiteral("Jack"), QStringLiteral("Unknown"));
    QCOMPARE(loaded.lastId, 1);
    QCOMPARE(loaded.markups, QStringList{QStringLiteral("first")});
    QVERIFY(history.append(2, QStringLiteral("second"), QStringLiteral("You"), false));
    QCOMPARE(history.load(QStringLiteral("me"), QStringLiteral("Jack"), QStringLiteral("Unknown")).markups,
             (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
}

void TestHistory::plainNamesKeepTheirFileName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("simple") << "alice";
    QTest::newRow("dots") << "a.b.c";
    QTest::newRow("hidden") << ".alice";
    QTest::newRow("umlaut") << QString::fromUtf8("jörg");
    QTest::newRow("spaces and signs") << "a b&c%2F";
    QTest::newRow("200 bytes") << QString(200, QLatin1Char('x'));
}

void TestHistory::plainNamesKeepTheirFileName()
{
    QFETCH(QString, name);
    QCOMPARE(ChatHistory(name).fileName(), dataDir() + QLatin1Char('/') + name + QStringLiteral(".ini"));
    QVERIFY(ChatHistory(name).append(1, QStringLiteral("x"), QStringLiteral("You"), true));
    QVERIFY(QFileInfo::exists(dataDir() + QLatin1Char('/') + name + QStringLiteral(".ini")));
}

void TestHistory::unsafeNamesStayInside_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("parent") << "../escaped";
    QTest::newRow("deep parent") << "../../../../../../tmp/escaped";
    QTest::newRow("slash") << "a/b";
    QTest::newRow("absolute") << "/tmp/escaped";
    QTest::newRow("backslash") << "..\\escaped";
    QTest::newRow("dot dot") << "..";
    QTest::newRow("nul") << QStringLiteral("x") + QChar(0) + QStringLiteral("y");
    QTest::newRow("newline") << "x\ny";
    QTest::newRow("delete char") << "x\x7fy";
    QTest::newRow("too long") << QString(201, QLatin1Char('y'));
    QTest::newRow("empty") << "";
}

void TestHistory::unsafeNamesStayInside()
{
    QFETCH(QString, name);
    const QString home = QDir::homePath();
    const ChatHistory history(name);
    const QString file = history.fileName();
    QVERIFY2(QFileInfo(file).absoluteFilePath().startsWith(dataDir() + QStringLiteral("/encoded/")), qPrintable(file));
    QVERIFY(QFileInfo(file).fileName().size() < 100);
    QVERIFY(ChatHistory(name).append(1, QStringLiteral("x"), QStringLiteral("You"), true));
    QCOMPARE(ChatHistory(name).load(QStringLiteral("me"), QStringLiteral("x"), QStringLiteral("Unknown")).markups,
             QStringList{QStringLiteral("x")});

    // Nothing appeared outside the data directory, and different names do not share a file.
    QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString found = it.next();
        if (found.endsWith(QLatin1String(".ini")))
            QVERIFY2(found.startsWith(dataDir() + QLatin1Char('/')), qPrintable(found));
    }
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/escaped.ini")));
    QVERIFY(ChatHistory(name + QLatin1Char('/')).fileName() != file);
}

namespace {

// The permission bits of a path in octal, as the system holds them (not following a link).
QString modeOf(const QString &path)
{
    struct stat info {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    return QString::number(info.st_mode & 07777, 8);
}

} // namespace

void TestHistory::writtenFilesAreOwnerOnly_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::newRow("history") << "history"
                             << "alice";
    QTest::newRow("history under an encoded name") << "history"
                                                   << "a/b";
    QTest::newRow("avatar cache") << "avatar"
                                  << "0a1b2c";
    QTest::newRow("avatar cache under an encoded name") << "avatar"
                                                        << "../x";
}

void TestHistory::writtenFilesAreOwnerOnly()
{
    QFETCH(QString, kind);
    QFETCH(QString, name);
    // What a usual login session gives: files readable by everyone unless made otherwise.
    ::umask(022);
    QDir(dataDir()).removeRecursively();
    QString file;
    if (kind == QLatin1String("history")) {
        ChatHistory history(name);
        QVERIFY(history.append(1, QStringLiteral("<span>private</span>"), QStringLiteral("You"), true));
        QVERIFY(history.append(2, QStringLiteral("<span>more</span>"), QStringLiteral("You"), false));
        file = history.fileName();
    } else {
        file = AvatarCache::filePath(name);
        QVERIFY(AvatarCache::writeFile(file, plainPng(8, 8, Qt::red)));
        // A later write replaces the file and keeps it private.
        QVERIFY(AvatarCache::writeFile(file, plainPng(8, 8, Qt::blue)));
    }
    QCOMPARE(modeOf(file), QStringLiteral("600"));
    QCOMPARE(modeOf(dataDir()), QStringLiteral("700"));
    QCOMPARE(modeOf(QFileInfo(file).absolutePath()), QStringLiteral("700"));
}

void TestHistory::existingContentsMadeOwnerOnly()
{
    ::umask(022);
    QDir(dataDir()).removeRecursively();
    QVERIFY(QDir().mkpath(dataDir() + QStringLiteral("/encoded")));
    QTemporaryDir elsewhere;
    const QString outside = elsewhere.filePath(QStringLiteral("shared.txt"));
    const QStringList files = {dataDir() + QStringLiteral("/alice.ini"), dataDir() + QStringLiteral("/0a1b.zm"),
                               dataDir() + QStringLiteral("/ChatIn.wav"), dataDir() + QStringLiteral("/encoded/x.ini"),
                               outside};
    for (const QString &path : files) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        QVERIFY(QFile::setPermissions(
            path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    }
    QVERIFY(QFile::link(outside, dataDir() + QStringLiteral("/link.ini")));
    QCOMPARE(modeOf(dataDir()), QStringLiteral("755"));

    DataDirectory::protectContents();
    QCOMPARE(modeOf(dataDir()), QStringLiteral("700"));
    QCOMPARE(modeOf(dataDir() + QStringLiteral("/encoded")), QStringLiteral("700"));
    for (const QString &path : files.mid(0, 4))
        QVERIFY2(modeOf(path) == QLatin1String("600"), qPrintable(path + QLatin1Char(' ') + modeOf(path)));
    // What a link points at is left alone.
    QCOMPARE(modeOf(outside), QStringLiteral("644"));
}

void TestHistory::seenRecordLines_data()
{
    using Entries = QList<SeenMessages::Entry>;
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Entries>("entries");
    QTest::newRow("two entries") << QByteArray("7 00000000000000ff\n8 fedcba9876543210\n")
                                 << Entries{{7, 0xff}, {8, 0xfedcba9876543210ull}};
    QTest::newRow("last line without line feed") << QByteArray("7 00000000000000ff") << Entries{{7, 0xff}};
    QTest::newRow("empty") << QByteArray() << Entries{};
    QTest::newRow("id not a number") << QByteArray("x7 00000000000000ff\n9 0000000000000001\n") << Entries{{9, 1}};
    QTest::newRow("id not positive") << QByteArray("0 00000000000000ff\n-3 00000000000000ff\n") << Entries{};
    QTest::newRow("digest too short") << QByteArray("7 ff\n") << Entries{};
    QTest::newRow("digest not hex") << QByteArray("7 00000000000000fg\n") << Entries{};
    QTest::newRow("extra field") << QByteArray("7 00000000000000ff x\n") << Entries{};
    QTest::newRow("cut off") << QByteArray("7 00000000000000ff\n8 00000000") << Entries{{7, 0xff}};
    QTest::newRow("binary") << QByteArray("\x00\xff\n\x01 \x02\n", 8) << Entries{};
}

void TestHistory::seenRecordLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QList<SeenMessages::Entry>, entries);
    QCOMPARE(SeenMessages::parse(content), entries);
    QCOMPARE(SeenMessages::parse(SeenMessages::serialize(entries)), entries);
}

void TestHistory::seenRecordSurvivesReopening()
{
    {
        SeenMessages seen;
        seen.open(QStringLiteral("me"));
        seen.insert(41, QStringLiteral("anna"), QStringLiteral("hello"));
        seen.insert(42, QStringLiteral("anna"), QStringLiteral("again"));
        QVERIFY(seen.save());
        // Switching accounts saves the one before.
        seen.insert(43, QStringLiteral("ben"), QStringLiteral("unsaved"));
        seen.open(QStringLiteral("other"));
        QVERIFY(!seen.contains(41, QStringLiteral("anna"), QStringLiteral("hello")));
    }
    SeenMessages seen;
    seen.open(QStringLiteral("me"));
    QVERIFY(seen.contains(41, QStringLiteral("anna"), QStringLiteral("hello")));
    QVERIFY(seen.contains(43, QStringLiteral("ben"), QStringLiteral("unsaved")));
    // The number alone does not make a message seen: a server that starts over reuses it.
    QVERIFY(!seen.contains(41, QStringLiteral("anna"), QStringLiteral("new text")));
    QVERIFY(!seen.contains(41, QStringLiteral("ben"), QStringLiteral("hello")));
    QVERIFY(!seen.contains(44, QStringLiteral("anna"), QStringLiteral("hello")));

    const QFileInfo file(SeenMessages::fileName(QStringLiteral("me")));
    QCOMPARE(file.absolutePath(), dataDir());
    const QFileDevice::Permissions ownerGroupOther(0x7077);
    QCOMPARE(file.permissions() & ownerGroupOther, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Saved whole by renaming: nothing but the records is left beside them.
    QCOMPARE(QDir(dataDir()).entryList({QStringLiteral("*.seen*")}, QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("me.seen")}));
    QVERIFY(SeenMessages::fileName(QStringLiteral("../../x")).startsWith(dataDir() + QStringLiteral("/encoded/")));
}

void TestHistory::seenRecordIsBounded()
{
    constexpr int Capacity = SeenMessages::Capacity;
    const QString file = SeenMessages::fileName(QStringLiteral("me"));
    {
        SeenMessages seen;
        seen.open(QStringLiteral("me"));
        // Saved in small steps, as a stream of messages is: appended, now and then written anew.
        for (int id = 1; id <= 3 * Capacity + 10; ++id) {
            seen.insert(id, QStringLiteral("anna"), QString::number(id));
            if (id % 100 == 0)
                QVERIFY(seen.save());
            QVERIFY(seen.size() <= Capacity);
        }
        QVERIFY(!seen.contains(2 * Capacity + 10, QStringLiteral("anna"), QString::number(2 * Capacity + 10)));
        QVERIFY(seen.contains(2 * Capacity + 11, QStringLiteral("anna"), QString::number(2 * Capacity + 11)));
    }
    QFile stored(file);
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QVERIFY(stored.readAll().count('\n') <= 2 * Capacity);
    SeenMessages seen;
    seen.open(QStringLiteral("me"));
    QCOMPARE(seen.size(), Capacity);
    QVERIFY(seen.contains(3 * Capacity + 10, QStringLiteral("anna"), QString::number(3 * Capacity + 10)));
    QVERIFY(seen.contains(2 * Capacity + 11, QStringLiteral("anna"), QString::number(2 * Capacity + 11)));
}

// A record whose last line a crash cut off takes new entries all the same.
void TestHistory::seenRecordAfterCutOffLine()
{
    QFile file(SeenMessages::fileName(QStringLiteral("me")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray whole =
        SeenMessages::serialize({SeenMessages::entry(1, QStringLiteral("anna"), QStringLiteral("a"))});
    file.write(whole + "2 0123");
    file.close();
    {
        SeenMessages seen;
        seen.open(QStringLiteral("me"));
        QCOMPARE(seen.size(), 1);
        seen.insert(3, QStringLiteral("anna"), QStringLiteral("c"));
        QVERIFY(seen.save());
    }
    SeenMessages seen;
    seen.open(QStringLiteral("me"));
    QVERIFY(seen.contains(1, QStringLiteral("anna"), QStringLiteral("a")));
    QVERIFY(seen.contains(3, QStringLiteral("anna"), QStringLiteral("c")));
    QCOMPARE(seen.size(), 2);
}

// A pipe in the record's place would block a reader for good: it is not read, and replaced.
void TestHistory::seenRecordPipeIsNotRead()
{
    const QString name = SeenMessages::fileName(QStringLiteral("me"));
    QCOMPARE(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    SeenMessages seen;
    seen.open(QStringLiteral("me"));
    QCOMPARE(seen.size(), 0);
    seen.insert(6, QStringLiteral("anna"), QStringLiteral("y"));
    QVERIFY(seen.save());
    QVERIFY(QFileInfo(name).isFile());
    SeenMessages again;
    again.open(QStringLiteral("me"));
    QVERIFY(again.contains(6, QStringLiteral("anna"), QStringLiteral("y")));
}

void TestHistory::seenRecordTooLargeIsNotRead()
{
    QFile file(SeenMessages::fileName(QStringLiteral("me")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray line =
        SeenMessages::serialize({SeenMessages::entry(5, QStringLiteral("anna"), QStringLiteral("x"))});
    for (qint64 written = 0; written <= SeenMessages::MaxFileSize; written += line.size())
        file.write(line);
    file.close();

    SeenMessages seen;
    seen.open(QStringLiteral("me"));
    QCOMPARE(seen.size(), 0);
    seen.insert(6, QStringLiteral("anna"), QStringLiteral("y"));
    QVERIFY(seen.save());
    QCOMPARE(QFileInfo(file.fileName()).size(), qint64(line.size()));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestHistory)
#include "tst_history.moc"
