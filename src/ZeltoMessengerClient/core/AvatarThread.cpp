#include "AvatarThread.h"

#include "AvatarCache.h"
#include "DataDirectory.h"
#include "HttpFetch.h"

#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkReply>
#include <QSaveFile>
#include <QTimer>

#include <zmsgfw111q.h>

#include <memory>

AvatarThread::AvatarThread(QStringList pending, QStringList known, QObject *parent)
    : QThread(parent)
    , pendingIds(std::move(pending))
    , knownIds(std::move(known))
{}

AvatarThread::~AvatarThread()
{
    requestStop();
    wait();
}

void AvatarThread::requestStop()
{
    stopRequested = true;
    QMutexLocker locker(&loopMutex);
    if (loop)
        QMetaObject::invokeMethod(loop, "quit", Qt::QueuedConnection);
}

QStringList AvatarThread::idsToFetch(const QStringList &pendingIds, const QStringList &knownIds)
{
    QStringList ids = pendingIds;
    ids.removeDuplicates();
    for (const QString &known : knownIds)
        ids.removeAll(known);
    return ids;
}

void AvatarThread::run()
{
    // Created and destroyed on this thread, so its network managers and replies live here too.
    auto session = std::make_unique<ZMsgFw111Q>();
    const QStringList ids = idsToFetch(pendingIds, knownIds);
    directory = DataDirectory::path();
    DataDirectory::ensure();

    for (const QString &id : ids) {
        if (stopRequested)
            break;
        const QString path = AvatarCache::filePath(directory, id);
        if (QFileInfo::exists(path))
            loadCached(id, path);
        else
            download(*session, id, path);
    }
}

void AvatarThread::loadCached(const QString &id, const QString &path)
{
    const QByteArray picture = AvatarCache::loadFile(path, id);
    if (!picture.isEmpty())
        emit avatarInsert(picture, id);
}

void AvatarThread::waitFor(QNetworkReply *reply)
{
    QEventLoop local;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &local, &QEventLoop::quit);
    connect(reply, &QNetworkReply::finished, &local, &QEventLoop::quit);
    // The body is held in memory: stop reading as soon as it cannot be an avatar.
    HttpFetch::limit(reply, AvatarCache::MaxPictureBytes);

    {
        QMutexLocker locker(&loopMutex);
        loop = &local;
    }
    if (!stopRequested && !reply->isFinished()) {
        timeout.start(DownloadTimeoutMs);
        local.exec();
    }
    QMutexLocker locker(&loopMutex);
    loop = nullptr;
}

void AvatarThread::download(ZMsgFw111Q &session, const QString &id, const QString &path)
{
    DataDirectory::ensureDirectory(QFileInfo(path).absolutePath());
    // Written atomically: a half-made file never exists, and nothing is left behind when the
    // download does not complete.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return;
    DataDirectory::protectFile(file);
    qDebug() << "Downloading Avatar" << id;
    std::unique_ptr<QNetworkReply> reply(session.downloadAvatar(id, false));
    if (!reply) {
        file.cancelWriting();
        return;
    }
    reply->setObjectName(id);
    waitFor(reply.get());

    if (!reply->isFinished() || stopRequested) {
        qDebug() << "Error loading Avatar" << id;
        reply->abort();
        file.cancelWriting();
        return;
    }
    if (HttpFetch::tooLarge(reply.get())) {
        qDebug() << "Error loading Avatar" << id << "(too large)";
        file.cancelWriting();
        return;
    }
    const QByteArray data = reply->read(AvatarCache::MaxPictureBytes + 1);
    if (data.size() > AvatarCache::MaxPictureBytes) {
        qDebug() << "Error loading Avatar" << id << "(too large)";
        file.cancelWriting();
        return;
    }
    // Only a picture is cached: an error page or other bytes are never committed.
    if (AvatarCache::decodePicture(data).isNull()) {
        qDebug() << "Failed to load Avatar" << id;
        file.cancelWriting();
        return;
    }
    AvatarCache::commitFile(file, data);
    qDebug() << "Success loading Avatar" << id;
    emit avatarInsert(data, id);
}
