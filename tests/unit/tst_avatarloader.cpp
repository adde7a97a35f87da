#include "AvatarLoader.h"
#include "hermetic.h"
#include "silentserver.h"
#include "testpictures.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>

// The avatar pictures of a session and the one download thread over their queue.
class TestAvatarLoader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pictures_data();
    void pictures();
    void oneThreadAtATime();
    void stopEndsTheDownloadAndAllowsANewThread();
    void destructionStopsTheThread();

private:
    SilentServer server;
};

void TestAvatarLoader::initTestCase()
{
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(server.serverPort()));
}

void TestAvatarLoader::pictures_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("decoded");
    QTest::newRow("picture") << plainPng(32, 32, Qt::red) << true;
    QTest::newRow("no picture") << QByteArray("not a picture") << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("too large for an avatar") << plainPng(4000, 4000, Qt::green) << false;
}

void TestAvatarLoader::pictures()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, decoded);
    AvatarLoader loader;
    QSignalSpy loaded(&loader, &AvatarLoader::pictureLoaded);
    loader.insert(data, QStringLiteral("id"));
    // A picture that does not decode is known all the same, so it is not fetched again.
    QVERIFY(loader.images.contains(QStringLiteral("id")));
    QCOMPARE(!loader.images.value(QStringLiteral("id")).isNull(), decoded);
    QCOMPARE(loaded.size(), decoded ? 1 : 0);
}

void TestAvatarLoader::oneThreadAtATime()
{
    AvatarLoader loader;
    const int before = server.connections;
    loader.fetch({QStringLiteral("a"), QStringLiteral("a")});
    QVERIFY(loader.working);
    loader.fetch({QStringLiteral("b")});
    QCOMPARE(loader.queue, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    QTRY_COMPARE(server.connections, before + 1);
    loader.stop();
    QVERIFY(!loader.working);
}

void TestAvatarLoader::stopEndsTheDownloadAndAllowsANewThread()
{
    AvatarLoader loader;
    const int before = server.connections;
    const int closedBefore = server.closed;
    loader.fetch({QStringLiteral("slow")});
    QTRY_COMPARE(server.connections, before + 1);
    QElapsedTimer clock;
    clock.start();
    loader.stop();
    QVERIFY(clock.elapsed() < qint64(AvatarLoader::StopWaitMs));
    QVERIFY(!loader.working);
    QTRY_COMPARE(server.closed, closedBefore + 1);
    // The stopped thread's end, arriving late, leaves the new thread's flag alone.
    loader.start();
    QVERIFY(loader.working);
    QTRY_COMPARE(server.connections, before + 2);
    QCoreApplication::processEvents();
    QVERIFY(loader.working);
    loader.stop();
}

void TestAvatarLoader::destructionStopsTheThread()
{
    const int before = server.connections;
    const int closedBefore = server.closed;
    auto loader = std::make_unique<AvatarLoader>();
    loader->fetch({QStringLiteral("slow")});
    QTRY_COMPARE(server.connections, before + 1);
    QElapsedTimer clock;
    clock.start();
    loader.reset();
    QVERIFY(clock.elapsed() < qint64(AvatarLoader::StopWaitMs));
    QTRY_COMPARE(server.closed, closedBefore + 1);
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestAvatarLoader)
#include "tst_avatarloader.moc"
