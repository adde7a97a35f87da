#include "AvatarCache.h"
#include "DataDirectory.h"
#include "hermetic.h"
#include "testpictures.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QRandomGenerator>

#include <csignal>
#include <sys/resource.h>

using AvatarCache::Status;
Q_DECLARE_METATYPE(AvatarCache::Status)

namespace {

QByteArray pngPicture(int width = 16, int height = 16)
{
    return plainPng(width, height, Qt::red);
}

QByteArray version10(const QByteArray &picture)
{
    return QByteArray("ZM\x10", 3) + qCompress(picture, 9);
}

// A qCompress header claiming `claimed` bytes in front of a real zlib stream of `actual`.
QByteArray withClaimedLength(const QByteArray &actual, quint32 claimed)
{
    QByteArray compressed = qCompress(actual, 9);
    compressed[0] = char(claimed >> 24);
    compressed[1] = char(claimed >> 16);
    compressed[2] = char(claimed >> 8);
    compressed[3] = char(claimed);
    return compressed;
}

} // namespace

class TestAvatarCache : public QObject
{
    Q_OBJECT

private slots:
    void readVersion_data();
    void readVersion();
    void packChecksum_data();
    void packChecksum();
    void encodeLayout();
    void decode_data();
    void decode();
    void boundedUncompress_data();
    void boundedUncompress();
    void pictureLimits();
    void onlyPngJpegAndGifAreDecoded_data();
    void onlyPngJpegAndGifAreDecoded();
    void writeFileRoundTrip();
    void failedWriteKeepsPreviousFile();
    void plainIdKeepsFileName();
    void unsafeIdsStayInside_data();
    void unsafeIdsStayInside();
};

void TestAvatarCache::readVersion_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("version");
    QTest::newRow("11") << 0x11 << 11;
    QTest::newRow("10") << 0x10 << 10;
    QTest::newRow("9") << 0x09 << 9;
    QTest::newRow("0A reads as 0") << 0x0A << 0;
    QTest::newRow("1A reads as 0") << 0x1A << 0;
    QTest::newRow("FF reads as 0") << 0xFF << 0;
    QTest::newRow("99") << 0x99 << 99;
}

void TestAvatarCache::readVersion()
{
    QFETCH(int, byte);
    QFETCH(int, version);
    QCOMPARE(AvatarCache::readVersion(quint8(byte)), version);
}

void TestAvatarCache::packChecksum_data()
{
    QTest::addColumn<int>("checksum");
    QTest::addColumn<QByteArray>("packed");
    QTest::newRow("7") << 7 << QByteArray("\x00\x00\x07", 3);
    QTest::newRow("65535") << 65535 << QByteArray("\x06\x55\x35", 3);
    QTest::newRow("0") << 0 << QByteArray("\x00\x00\x00", 3);
    QTest::newRow("12345") << 12345 << QByteArray("\x01\x23\x45", 3);
}

void TestAvatarCache::packChecksum()
{
    QFETCH(int, checksum);
    QFETCH(QByteArray, packed);
    QCOMPARE(AvatarCache::packChecksum(quint16(checksum)), packed);
}

void TestAvatarCache::encodeLayout()
{
    const QByteArray picture = pngPicture();
    const QByteArray file = AvatarCache::encode(picture);
    QCOMPARE(file.left(4), QByteArray("ZM\x11\xFF"));
    QCOMPARE(file.mid(4, 3), AvatarCache::packChecksum(qChecksum(picture.constData(), uint(picture.size()))));
    QCOMPARE(quint8(file.at(7)), quint8(0xFF));
    QCOMPARE(qUncompress(file.mid(8)), picture);
}

void TestAvatarCache::decode_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<Status>("status");
    QTest::addColumn<int>("version");
    const QByteArray picture = pngPicture();
    const QByteArray good = AvatarCache::encode(picture);
    QByteArray badChecksum = good;
    badChecksum[6] = char(badChecksum.at(6) ^ 0x01);
    QByteArray badMagic = good;
    badMagic[1] = 'X';
    QByteArray version0A = version10(picture);
    version0A[2] = char(0x0A);
    QByteArray version9 = version10(picture);
    version9[2] = char(0x09);
    QByteArray reservedIgnored = good;
    reservedIgnored[3] = 'a';
    reservedIgnored[7] = 'b';
    QByteArray corrupt = good;
    corrupt[20] = char(corrupt.at(20) ^ 0x5A);

    QTest::newRow("version 11") << good << Status::Valid << 11;
    QTest::newRow("reserved bytes are skipped") << reservedIgnored << Status::Valid << 11;
    QTest::newRow("version 10 without checksum") << version10(picture) << Status::Valid << 10;
    QTest::newRow("bad checksum") << badChecksum << Status::BadChecksum << 11;
    QTest::newRow("second byte not M") << badMagic << Status::NotZm << 0;
    QTest::newRow("empty file") << QByteArray() << Status::NotZm << 0;
    QTest::newRow("magic only") << QByteArray("ZM") << Status::TooOld << 0;
    QTest::newRow("0x0A reads as too old") << version0A << Status::TooOld << 0;
    QTest::newRow("version 9") << version9 << Status::TooOld << 9;
    QTest::newRow("header only") << good.left(8) << Status::BadData << 11;
    QTest::newRow("truncated data") << good.left(good.size() - 5) << Status::BadData << 11;
    QTest::newRow("corrupt stream") << corrupt << Status::BadData << 11;
    QTest::newRow("oversized length header")
        << QByteArray("ZM\x11\xFF\x00\x00\x00\xFF", 8) + withClaimedLength(picture, 0x7FFFFFFF) << Status::BadData
        << 11;
    QTest::newRow("not a picture") << AvatarCache::encode("<html>404</html>") << Status::NotImage << 11;
    QTest::newRow("empty picture") << AvatarCache::encode(QByteArray()) << Status::NotImage << 11;
    QTest::newRow("version 10 not a picture") << version10("nope") << Status::NotImage << 10;
}

void TestAvatarCache::decode()
{
    QFETCH(QByteArray, file);
    QFETCH(Status, status);
    QFETCH(int, version);
    const AvatarCache::Entry entry = AvatarCache::decode(file);
    QCOMPARE(entry.status, status);
    QCOMPARE(entry.version, version);
    if (status == Status::Valid)
        QCOMPARE(entry.picture, pngPicture());
}

void TestAvatarCache::boundedUncompress_data()
{
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("size");
    const QByteArray big(AvatarCache::MaxPictureBytes + 1, 'a');
    QTest::newRow("small") << qCompress(QByteArray("hello"), 9) << true << 5;
    QTest::newRow("exactly the limit") << qCompress(QByteArray(AvatarCache::MaxPictureBytes, 'a'), 9) << true
                                       << AvatarCache::MaxPictureBytes;
    QTest::newRow("over the limit") << qCompress(big, 9) << false << 0;
    QTest::newRow("header lies low (zip bomb)") << withClaimedLength(big, 100) << false << 0;
    QTest::newRow("header lies high") << withClaimedLength("abc", 1000) << true << 3;
    QTest::newRow("too short") << QByteArray("\x00\x00", 2) << false << 0;
    QTest::newRow("garbage") << QByteArray("\x00\x00\x00\x05garbage", 11) << false << 0;
    QTest::newRow("empty payload") << qCompress(QByteArray(), 9) << true << 0;
}

void TestAvatarCache::boundedUncompress()
{
    QFETCH(QByteArray, compressed);
    QFETCH(bool, ok);
    QFETCH(int, size);
    bool result = !ok;
    const QByteArray out = AvatarCache::boundedUncompress(compressed, AvatarCache::MaxPictureBytes, &result);
    QCOMPARE(result, ok);
    QCOMPARE(out.size(), size);
}

void TestAvatarCache::pictureLimits()
{
    QVERIFY(!AvatarCache::decodePicture(pngPicture(128, 128)).isNull());
    QVERIFY(AvatarCache::decodePicture(pngPicture(AvatarCache::MaxPictureSide + 1, 4)).isNull());
    QVERIFY(AvatarCache::decodePicture(QByteArray("GIF89a")).isNull());
    QByteArray padded = pngPicture();
    padded.append(QByteArray(AvatarCache::MaxPictureBytes, '\0'));
    QVERIFY(AvatarCache::decodePicture(padded).isNull());
}

void TestAvatarCache::onlyPngJpegAndGifAreDecoded_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("decoded");
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::green);
    auto encoded = [&image](const char *format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format);
        return bytes;
    };
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\"><rect width=\"16\" "
                           "height=\"16\"/></svg>";
    QTest::newRow("png") << encoded("PNG") << true;
    QTest::newRow("jpeg") << encoded("JPEG") << true;
    // Qt writes no GIF: one pixel, written out.
    const QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!\xf9\x04\x01\x00\x00\x00\x00"
                         ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;",
                         43);
    QTest::newRow("gif") << gif << true;
    QTest::newRow("svg") << svg << false;
    QTest::newRow("svg with xml declaration") << "<?xml version=\"1.0\"?>" + svg << false;
    QTest::newRow("compressed svg") << qCompress(svg).mid(4) << false;
    QTest::newRow("bmp") << encoded("BMP") << false;
    QTest::newRow("ico") << encoded("ICO") << false;
    QTest::newRow("ppm") << encoded("PPM") << false;
    QTest::newRow("xpm") << encoded("XPM") << false;
    QTest::newRow("svg behind a png signature") << QByteArray("\x89PNG\r\n\x1a\n", 8) + svg << false;
    QTest::newRow("png behind a byte") << " " + encoded("PNG") << false;
    QTest::newRow("png header of 20000 x 15000") << pngHeader(20000, 15000) << false;
}

void TestAvatarCache::onlyPngJpegAndGifAreDecoded()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, decoded);
    QCOMPARE(!AvatarCache::decodePicture(bytes).isNull(), decoded);
    // A cache file holding the bytes is refused the same way.
    QCOMPARE(AvatarCache::decode(AvatarCache::encode(bytes)).status, decoded ? Status::Valid : Status::NotImage);
}

void TestAvatarCache::writeFileRoundTrip()
{
    const QString path = AvatarCache::filePath(QStringLiteral("abc123"));
    const QByteArray picture = pngPicture();
    QVERIFY(AvatarCache::writeFile(path, picture));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const AvatarCache::Entry entry = AvatarCache::decode(file.readAll());
    QCOMPARE(entry.status, Status::Valid);
    QCOMPARE(entry.picture, picture);
    // No temporary file is left next to it.
    QCOMPARE(QDir(DataDirectory::path()).entryList(QDir::Files).filter(QStringLiteral("abc123")),
             QStringList{QStringLiteral("abc123.zm")});
}

void TestAvatarCache::failedWriteKeepsPreviousFile()
{
    const QString path = AvatarCache::filePath(QStringLiteral("keep"));
    const QByteArray picture = pngPicture();
    QVERIFY(AvatarCache::writeFile(path, picture));
    const qint64 size = QFileInfo(path).size();

    // A full disk, simulated by a file size limit: the bigger new file cannot be written.
    struct rlimit old;
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit limited = old;
    limited.rlim_cur = rlim_t(size + 16);
    signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);
    QByteArray noise(64 * 1024, '\0');
    QRandomGenerator random(7);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char(random.bounded(256));
    const bool written = AvatarCache::writeFile(path, noise);
    setrlimit(RLIMIT_FSIZE, &old);

    QVERIFY(!written);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const AvatarCache::Entry entry = AvatarCache::decode(file.readAll());
    QCOMPARE(entry.status, Status::Valid);
    QCOMPARE(entry.picture, picture);
}

void TestAvatarCache::plainIdKeepsFileName()
{
    QCOMPARE(AvatarCache::filePath(QStringLiteral("5f3a")), QDir::homePath() + QStringLiteral("/.zmsg/5f3a.zm"));
}

void TestAvatarCache::unsafeIdsStayInside_data()
{
    QTest::addColumn<QString>("id");
    QTest::newRow("parent") << "../../avatar";
    QTest::newRow("absolute") << "/tmp/avatar";
    QTest::newRow("backslash") << "..\\x";
    QTest::newRow("control") << "a\rb";
    QTest::newRow("long") << QString(300, QLatin1Char('z'));
}

void TestAvatarCache::unsafeIdsStayInside()
{
    QFETCH(QString, id);
    const QString path = AvatarCache::filePath(id);
    QVERIFY2(path.startsWith(DataDirectory::path() + QStringLiteral("/encoded/")), qPrintable(path));
    QVERIFY(AvatarCache::writeFile(path, pngPicture()));
    QDirIterator it(QDir::homePath(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString found = it.next();
        if (found.endsWith(QLatin1String(".zm")))
            QVERIFY2(found.startsWith(DataDirectory::path() + QLatin1Char('/')), qPrintable(found));
    }
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/avatar.zm")));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestAvatarCache)
#include "tst_avatarcache.moc"
