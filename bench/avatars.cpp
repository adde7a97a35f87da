// Loading 1,000 cached avatars: the avatar thread reading and validating the ".zm" files, and
// the main window decoding the pictures it hands over.
#include "AvatarCache.h"
#include "AvatarThread.h"
#include "DataDirectory.h"
#include "benchsupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>

namespace {}

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    Bench::useHome(home);
    // Downloads must never be tried: every id has its cache file.
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", "1");
    QGuiApplication app(argc, argv);

    constexpr int Count = 1000;
    QStringList ids;
    QDir().mkpath(DataDirectory::path());
    for (int i = 0; i < Count; ++i) {
        QImage image(128, 128, QImage::Format_ARGB32);
        image.fill(QColor::fromHsv(i % 360, 200, 200));
        for (int y = 0; y < 128; y += 8)
            for (int x = 0; x < 128; ++x)
                image.setPixelColor(x, y, QColor::fromHsv((x + y + i) % 360, 255, 255));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        const QString id = QStringLiteral("%1").arg(i, 32, 16, QLatin1Char('0'));
        AvatarCache::writeFile(AvatarCache::filePath(id), png);
        ids << id;
    }

    QList<QByteArray> pictures;
    AvatarThread thread(ids, {});
    QObject::connect(&thread, &AvatarThread::avatarInsert, &app,
                     [&pictures](QByteArray data, QString) { pictures << data; });
    QSignalSpy finished(&thread, &QThread::finished);
    QElapsedTimer clock;
    clock.start();
    thread.start(QThread::LowPriority);
    finished.wait(120000);
    QCoreApplication::processEvents();
    const double threadMs = double(clock.nsecsElapsed()) / 1e6;

    clock.restart();
    int decoded = 0;
    for (const QByteArray &data : qAsConst(pictures))
        decoded += AvatarCache::decodePicture(data).isNull() ? 0 : 1;
    const double decodeMs = double(clock.nsecsElapsed()) / 1e6;

    const bool complete = pictures.size() == Count && decoded == Count;
    if (!complete)
        QTextStream(stderr) << "only " << pictures.size() << " of " << Count << " avatars loaded, " << decoded
                            << " decoded" << Qt::endl;
    Bench::figure(QStringLiteral("Load one cached avatar in the avatar thread (1000 files)"), threadMs / Count,
                  QStringLiteral("ms"), QStringLiteral("informative"), complete);
    Bench::figure(QStringLiteral("Decode one avatar in the main window (1000 pictures)"), decodeMs / Count,
                  QStringLiteral("ms"), QStringLiteral("informative"), complete);
    Bench::figure(QStringLiteral("Load and decode 1000 cached avatars"), threadMs + decodeMs, QStringLiteral("ms"),
                  QStringLiteral("informative"), complete);
    return 0;
}
