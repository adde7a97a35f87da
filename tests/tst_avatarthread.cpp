#include "AvatarCache.h"
#include "AvatarThread.h"
#include "DataDirectory.h"
#include "hermetic.h"
#include "testpictures.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/stat.h>

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

}

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

private:
    struct Run {
        QMap<QString, QByteArray> emitted;
        bool finished = false;
    };
    Run runThread(const QStringList &pending, const QStringList &known = {});
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
    // A thread that finds only cache files may be done before a wait would start; the spy
    // has recorded it then.
    run.finished = QTest::qWaitFor([&finished] { return !finished.isEmpty(); }, 20000);
    QCoreApplication::processEvents();
    return run;
}

void TestAvatarThread::idsToFetch()
{
    QCOMPARE(AvatarThread::idsToFetch({"a", "b", "a", "c", "b"}, {"c"}), (QStringList{"a", "b"}));
    QCOMPARE(AvatarThread::idsToFetch({}, {"x"}), QStringList());
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

    const Run run = runThread({"v11", "v10", "sum", "magic", "old", "html", "v11"});
    QVERIFY(run.finished);
    QCOMPARE(run.emitted.keys(), (QStringList{"v10", "v11"}));
    QCOMPARE(run.emitted.value("v11"), picture);
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

    const Run run = runThread({"new", "page", "new", "known"}, {"known"});
    QVERIFY(run.finished);
    QCOMPARE(server.requested, (QStringList{"new", "page"}));
    QCOMPARE(run.emitted.keys(), QStringList{"new"});
    QCOMPARE(run.emitted.value("new"), picture);

    QFile cached(AvatarCache::filePath(QStringLiteral("new")));
    QVERIFY(cached.open(QIODevice::ReadOnly));
    // A downloaded picture is the user's own, whatever the process's file mode mask allows.
    QCOMPARE(cached.permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther), QFileDevice::Permissions());
    const AvatarCache::Entry entry = AvatarCache::decode(cached.readAll());
    QCOMPARE(entry.version, 11);
    QCOMPARE(entry.status, AvatarCache::Status::Valid);
    QCOMPARE(entry.picture, picture);
    // A body that is no picture is cached all the same, and refused when read back.
    QFile page(AvatarCache::filePath(QStringLiteral("page")));
    QVERIFY(page.open(QIODevice::ReadOnly));
    QCOMPARE(AvatarCache::decode(page.readAll()).status, AvatarCache::Status::NotImage);
    QVERIFY(QFileInfo::exists(AvatarCache::filePath(QStringLiteral("known"))));

    // The next run takes the picture from the cache.
    server.requested.clear();
    const Run second = runThread({"new"});
    QCOMPARE(second.emitted.value("new"), picture);
    QVERIFY(server.requested.isEmpty());
}

void TestAvatarThread::oversizedDownloadIsRefused()
{
    server.bodies.insert(QStringLiteral("huge"), QByteArray(AvatarCache::MaxPictureBytes + 100, 'x'));
    server.bodies.insert(QStringLiteral("lying"), QByteArray(1000, 'y'));
    server.announcedLengths.insert(QStringLiteral("lying"), qint64(1) << 40);
    const Run run = runThread({"huge", "lying"});
    QVERIFY(run.finished);
    QVERIFY(run.emitted.isEmpty());
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("huge"))));
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("lying"))));
}

void TestAvatarThread::stopEndsAWaitingDownload()
{
    // "silent" is never answered: without a stop the thread would wait 150 s.
    auto *thread = new AvatarThread({"silent", "after"}, {});
    QSignalSpy finished(thread, &QThread::finished);
    thread->start(QThread::LowPriority);
    QTRY_COMPARE(server.requested, QStringList{"silent"});
    QElapsedTimer timer;
    timer.start();
    thread->requestStop();
    QVERIFY(thread->wait(5000));
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(server.requested, QStringList{"silent"});
    QVERIFY(!QFileInfo::exists(AvatarCache::filePath(QStringLiteral("silent"))));
    QVERIFY(QDir(DataDirectory::path()).entryList(QDir::Files).isEmpty());
    delete thread;
}

void TestAvatarThread::unsafeIdsStayInside()
{
    server.bodies.insert(QStringLiteral("../../outside"), pngPicture());
    const Run run = runThread({"../../outside"});
    QVERIFY(run.finished);
    QCOMPARE(run.emitted.keys(), QStringList{"../../outside"});
    QVERIFY(QFileInfo::exists(AvatarCache::filePath(QStringLiteral("../../outside"))));
    QVERIFY(AvatarCache::filePath(QStringLiteral("../../outside")).startsWith(DataDirectory::path() + "/encoded/"));
    QVERIFY(!QFileInfo::exists(QDir::homePath() + QStringLiteral("/../outside.zm")));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestAvatarThread)
#include "tst_avatarthread.moc"
