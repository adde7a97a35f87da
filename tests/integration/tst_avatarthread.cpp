#include "AvatarCache.h"
#include "AvatarThread.h"
#include "DataDirectory.h"
#include "hermetic.h"
#include "hostilehttpserver.h"
#include "testpictures.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray pngPicture(int side = 16)
{
    return plainPng(side, side, Qt::blue);
}

// A plain HTTP server on a loopback port: answers GET /avatar/<id> from a table, and leaves
// requests for ids it does not know unanswered.
class AvatarWebServer : public QTcpServer
{
public:
    QMap<QString, QByteArray> bodies;
    QMap<QString, qint64> announcedLengths;
    QStringList requested;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(descriptor);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket]() {
            const QByteArray request = socket->peek(8192);
            if (!request.contains("\r\n\r\n"))
                return;
            socket->readAll();
            const QByteArray path = request.split(' ').value(1);
            const QString id = QString::fromUtf8(QByteArray::fromPercentEncoding(path.mid(int(strlen("/avatar/")))));
            requested << id;
            if (!bodies.contains(id))
                return;
            const QByteArray body = bodies.value(id);
            const qint64 length = announcedLengths.value(id, body.size());
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: "
                          + QByteArray::number(length) + "\r\n\r\n" + body);
            if (length == body.size())
                socket->disconnectFromHost();
        });
    }
};

} // namespace

class TestAvatarThread : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void idsToFetch();
    void cachedFilesAreUsedOrDeleted();
    void undecompressibleCacheIsFetchedAgain_data();
    void undecompressibleCacheIsFetchedAgain();
    void missingFilesAreDownloadedAndCached();
    void oversizedDownloadIsRefused();
    void stopEndsAWaitingDownload();
    void unsafeIdsStayInside();
    void hostileDownloadsAreRefused_data();
    void hostileDownloadsAreRefused();
    void svgAvatarsAreNotDecoded_data();
    void svgAvatarsAreNotDecoded();

private:
    struct Run {
        QMap<QString, QByteArray> emitted;
        bool finished = false;
    };
    Run runThread(const QStringList &pending, const QStringList &known = {});
    static bool finishes(QSignalSpy &finished);
    static void writeRaw(const QString &id, const QByteArray &content);

    AvatarWebServer server;
};

void TestAvatarThread::initTestCase()
{
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(server.serverPort()));
}

void TestAvatarThread::init()
{
    QDir(DataDirectory::path()).removeRecursively();
    server.bodies.clear();
    server.announcedLengths.clear();
    server.requested.clear();
}

void TestAvatarThread::writeRaw(const QString &id, const QByteArray &content)
{
    QDir().mkpath(DataDirectory::path());
    QFile file(AvatarCache::filePath(id));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

TestAvatarThread::Run TestAvatarThread::runThread(const QStringList &pending, const QStringList &known)
{
    Run run;
    AvatarThread thread(pending, known);
    connect(&thread, &AvatarThread::avatarInsert, this,
            [&run](QByteArray data, QString id) { run.emitted.insert(id, data); });
    QSignalSpy finished(&thread, &QThread::finished);
    thread.start(QThread::LowPriority);
    run.finished = finishes(finished);
    QCoreApplication::processEvents();
    return run;
}

bool TestAvatarThread::finishes(QSignalSpy &finished)
{
    // The thread may finish before a wait for the signal could begin, so the count is watched.
    QElapsedTimer clock;
    clock.start();
    while (finished.isEmpty() && clock.elapsed() < 20000)
        QTest::qWait(5);
    return !finished.isEmpty();
}

void TestAvatarThread::idsToFetch()
{
    QCOMPARE(AvatarThread::idsToFetch({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a"),
                                       QStringLiteral("c"), QStringLiteral("b")},
                                      {QStringLiteral("c")}),
             (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QCOMPARE(AvatarThread::idsToFetch({}, {QStringLiteral("x")}), QStringList());
}

void TestAvatarThread::cachedFilesAreUsedOrDeleted()
{
    const QByteArray picture = pngPicture();
    writeRaw(QStringLiteral("v11"), AvatarCache::encode(picture));
    writeRaw(QStringLiteral("v10"), QByteArray("ZM\x10", 3) + qCompress(picture, 9));
    QByteArray badChecksum = AvatarCache::encode(picture);
    badChecksum[5] = char(badChecksum.at(5) ^ 0x10);
    writeRaw(QStringLiteral("sum"), badChecksum);
    writeRaw(QStringLiteral("magic"), "ZX\x11");
    writeRaw(QStringLiteral("old"), QByteArray("ZM\x0A", 3) + qCompress(picture));
    writeRaw(QStringLiteral("html"), AvatarCache::encode("<html>not found</html>"));
    server.bodies.insert(QStringLiteral("magic"), picture);

    const Run run =
        runThread({QStringLiteral("v11"), QStringLiteral("v10"), QStringLiteral("sum"), QStringLiteral("magic"),
                   QStringLiteral("old"), QStringLiteral("html"), QStringLiteral("v11")});
    QVERIFY(run.finished);
    QCOMPARE(run.emitted.keys(), (QStringList{QStringLiteral("v10"), QStringLiteral("v11")}));
    QCOMPARE(run.emitted.value(QStringLiteral("v11")), picture);
    // Bad files are deleted and fetched again only by the next run.
    QVERIFY(server.requested.isEmpty());
    for (const char *id : {"sum", "magic", "old", "html"})
        QVERIFY2(!QFileInfo::exists(AvatarCache::filePath(QLatin1String(id))), id);
    QVERIFY(QFileInfo::exists(AvatarCache::filePath(QStringLiteral("v11"))));
}

void TestAvatarThread::undecompressibleCacheIsFetchedAgain_data()
{
    // Every file carries the header of the right picture, so only the payload is at fault.
    const QByteArray picture = pngPicture(20);
    const QByteArray compressed = qCompress(picture, 9);
    const QByteArray header = AvatarCache::encode(picture).left(8);
    const quint32 tooLarge = quint32(AvatarCache::MaxPictureBytes) + 1;
    const char claim[4] = {char(tooLarge >> 24), char(tooLarge >> 16), char(tooLarge >> 8), char(tooLarge)};

    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not a zlib stream") << header + compressed.left(4) + QByteArray(64, 'Z');
    QTest::newRow("stream cut short") << header + compressed.left(compressed.size() / 2);
    QTest::newRow("length beyond the limit") << header + QByteArray(claim, 4) + compressed.mid(4);
    QTest::newRow("version 10, not a zlib stream") << QByteArray("ZM\x10", 3) + compressed.left(4) + "garbage";
}

void TestAvatarThread::undecompressibleCacheIsFetchedAgain()
{
    QFETCH(QByteArray, content);
    const QByteArray picture = pngPicture(20);
    const QString id = QStringLiteral("broken");
    const QString path = AvatarCache::filePath(id);
    writeRaw(id, content);
    server.bodies.insert(id, picture);

    // The run that finds the file deletes it and fetches nothing.
    const Run first = runThread({id});
    QVERIFY(first.finished);
    QVERIFY(first.emitted.isEmpty());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(server.requested.isEmpty());

    // The next run downloads the picture and caches it afresh.
    const Run second = runThread({id});
    QVERIFY(second.finished);
    QCOMPARE(server.requested, QStringList{id});
    QCOMPARE(second.emitted.value(id), picture);
    QFile cached(path);
    QVERIFY(cached.open(QIODevice::ReadOnly));
    const AvatarCache::Entry entry = AvatarCache::decode(cached.readAll());
    QCOMPARE(entry.status, AvatarCache::Status::Valid);
    QCOMPARE(entry.picture, picture);
}

void TestAvatarThread::missingFilesAreDownloadedAndCached()
{
    ::umask(022);
    const QByteArray picture = pngPicture(24);
    server.bodies.insert(QStringLiteral("new"), picture);
    server.bodies.insert(QStringLiteral("page"), "<html>error</html>");
    writeRaw(QStringLiteral("known"), "garbage that must stay");

    const Run run =
        runThread({QStringLiteral("new"), QStringLiteral("page"), QStringLiteral("new"), QStringLiteral("known")},
                  {QStringLiteral("known")});
    QVERIFY(run.finished);
    QCOMPARE(server.requested, (QStringList{QStringLiteral("new"), QStringLiteral("page")}));
    QCOMPARE(run.emitted.keys(), QStringList{QStringLiteral("new")});
    QCOMPARE(run.emitted.value(QStringLiteral("new")), picture);

    QFile cached(AvatarCache::filePath(QStringLiteral("new")));
    QVERIFY(cached.open(QIODevice::ReadOnly));
    // A downloaded picture is the user's own, whatever the process's file mode mask allows.
    QCOMPARE(cached.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    const AvatarCache::Entry entry = AvatarCache::decode(cached.readAll());
    QCOMPARE(entry.version, 11);
    QCOMPARE(entry.status, AvatarCache::Status::Valid);
    QCOMPARE(entry.picture, picture);
    // A body that is no picture is never cached.
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("page"))));
    QVERIFY(QFileInfo::exists(AvatarCache::filePath(QStringLiteral("known"))));

    // The next run takes the picture from the cache.
    server.requested.clear();
    const Run second = runThread({QStringLiteral("new")});
    QCOMPARE(second.emitted.value(QStringLiteral("new")), picture);
    QVERIFY(server.requested.isEmpty());
}

void TestAvatarThread::oversizedDownloadIsRefused()
{
    server.bodies.insert(QStringLiteral("huge"), QByteArray(AvatarCache::MaxPictureBytes + 100, 'x'));
    server.bodies.insert(QStringLiteral("lying"), QByteArray(1000, 'y'));
    server.announcedLengths.insert(QStringLiteral("lying"), qint64(1) << 40);
    const Run run = runThread({QStringLiteral("huge"), QStringLiteral("lying")});
    QVERIFY(run.finished);
    QVERIFY(run.emitted.isEmpty());
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("huge"))));
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("lying"))));
}

void TestAvatarThread::stopEndsAWaitingDownload()
{
    // "silent" is never answered: without a stop the thread would wait 150 s.
    auto *thread = new AvatarThread({QStringLiteral("silent"), QStringLiteral("after")}, {});
    QSignalSpy finished(thread, &QThread::finished);
    thread->start(QThread::LowPriority);
    QTRY_COMPARE(server.requested, QStringList{QStringLiteral("silent")});
    QElapsedTimer timer;
    timer.start();
    thread->requestStop();
    QVERIFY(thread->wait(5000));
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(server.requested, QStringList{QStringLiteral("silent")});
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("silent"))));
    QVERIFY(QDir(DataDirectory::path()).entryList(QDir::Files).isEmpty());
    delete thread;
}

void TestAvatarThread::unsafeIdsStayInside()
{
    server.bodies.insert(QStringLiteral("../../outside"), pngPicture());
    const Run run = runThread({QStringLiteral("../../outside")});
    QVERIFY(run.finished);
    QCOMPARE(run.emitted.keys(), QStringList{QStringLiteral("../../outside")});
    QVERIFY(QFileInfo::exists(AvatarCache::filePath(QStringLiteral("../../outside"))));
    QVERIFY(AvatarCache::filePath(QStringLiteral("../../outside"))
                .startsWith(DataDirectory::path() + QStringLiteral("/encoded/")));
    QVERIFY(!QFileInfo::exists(QDir::homePath() + QStringLiteral("/../outside.zm")));
}

void TestAvatarThread::hostileDownloadsAreRefused_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("endless");
    const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: image/png\r\n";
    // 256 MiB of zeros in about 250 KiB, sent compressed whatever the client asked for.
    QTest::newRow("gzip bomb") << ok + "Content-Encoding: gzip\r\n" << gzipOfZeros(qint64(256) << 20) << false;
    QTest::newRow("endless body") << ok << QByteArray(64 * 1024, 'x') << true;
    QTest::newRow("endless gzip bomb") << ok + "Content-Encoding: gzip\r\n" << gzipOfZeros(qint64(64) << 20) << true;
    QTest::newRow("error page") << ok << QByteArray("<html><body>Not found</body></html>") << false;
    QTest::newRow("svg picture") << ok
                                 << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\">"
                                               "<rect width=\"8\" height=\"8\"/></svg>")
                                 << false;
    QTest::newRow("png of 20000 x 15000") << ok << pngHeader(20000, 15000) << false;
}

void TestAvatarThread::hostileDownloadsAreRefused()
{
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, body);
    QFETCH(bool, endless);
    HostileHttpServer web;
    QVERIFY(web.listenOnLoopback());
    web.setAnswer("/avatar/", {head, body, endless});
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(web.serverPort()));

    QVERIFY(PeakMemory::reset());
    const double before = PeakMemory::residentMiB();
    const Run run = runThread({QStringLiteral("hostile")});
    const double growth = PeakMemory::peakMiB() - before;
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(server.serverPort()));

    QVERIFY(run.finished);
    qInfo("peak memory growth %.1f MiB", growth);
    QVERIFY2(growth < 32, qPrintable(QStringLiteral("grew by %1 MiB").arg(growth)));
    QVERIFY(run.emitted.isEmpty());
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("hostile"))));
    QVERIFY(QDir(DataDirectory::path()).entryList(QDir::Files).isEmpty());
    QVERIFY(web.requests().value(0).contains("\r\nAccept-Encoding: identity\r\n"));
}

void TestAvatarThread::svgAvatarsAreNotDecoded_data()
{
    QTest::addColumn<bool>("cached");
    QTest::newRow("downloaded") << false;
    QTest::newRow("from the cache") << true;
}

void TestAvatarThread::svgAvatarsAreNotDecoded()
{
    QFETCH(bool, cached);
    // The picture names a FIFO nobody writes to: opening it would block for good.
    const QString fifo = QDir::homePath() + QStringLiteral("/avatar.fifo");
    QFile::remove(fifo);
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                           "width=\"16\" height=\"16\"><image width=\"16\" height=\"16\" xlink:href=\""
        + QFile::encodeName(fifo) + "\"/></svg>";
    const QString id = QStringLiteral("svg");
    if (cached)
        writeRaw(id, AvatarCache::encode(svg));
    else
        server.bodies.insert(id, svg);

    auto *thread = new AvatarThread({id, QStringLiteral("after")}, {});
    QStringList emitted;
    connect(thread, &AvatarThread::avatarInsert, this,
            [&emitted](QByteArray, QString emittedId) { emitted << emittedId; });
    server.bodies.insert(QStringLiteral("after"), pngPicture());
    QSignalSpy finished(thread, &QThread::finished);
    thread->start(QThread::LowPriority);
    const bool done = finishes(finished);
    // Lets a reader stuck on the FIFO go, so that a failure ends.
    while (!thread->wait(100)) {
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    delete thread;
    QCoreApplication::processEvents();
    QVERIFY(done);
    // The picture after it still comes.
    QCOMPARE(emitted, QStringList{QStringLiteral("after")});
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(id)));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestAvatarThread)
#include "tst_avatarthread.moc"
