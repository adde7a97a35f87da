#include "AvatarLoader.h"

#include "AvatarCache.h"
#include "AvatarThread.h"

#include <QDebug>

AvatarLoader::AvatarLoader(QObject *parent)
    : QObject(parent)
{}

AvatarLoader::~AvatarLoader()
{
    if (!thread)
        return;
    thread->requestStop();
    if (thread->wait(StopWaitMs))
        delete thread.data();
    else
        qWarning() << "Avatar thread did not stop in time";
}

void AvatarLoader::fetch(const QStringList &ids)
{
    queue.append(ids);
    queue.removeDuplicates();
    start();
}

void AvatarLoader::start()
{
    if (working)
        return;
    auto *started = new AvatarThread(queue, images.keys());
    connect(started, &AvatarThread::avatarInsert, this, &AvatarLoader::insert);
    connect(started, &QThread::finished, this, [this, started] { finish(started); });
    thread = started;
    working = true;
    started->start(QThread::LowPriority);
}

void AvatarLoader::stop()
{
    if (!thread)
        return;
    AvatarThread *running = thread;
    running->requestStop();
    if (!running->wait(StopWaitMs)) {
        qWarning() << "Avatar thread did not stop in time";
        return;
    }
    // finished() is still queued: clear the flag now so a new session can start a thread.
    thread = nullptr;
    working = false;
    running->deleteLater();
}

void AvatarLoader::insert(const QByteArray &picture, const QString &id)
{
    const QImage image = AvatarCache::decodePicture(picture);
    images.insert(id, image);
    if (!image.isNull())
        emit pictureLoaded(id, image);
}

void AvatarLoader::finish(AvatarThread *ended)
{
    if (ended && ended != thread) {
        ended->deleteLater();
        return;
    }
    working = false;
    if (thread)
        thread->deleteLater();
    thread = nullptr;
}

QImage AvatarLoader::picture(const QString &id, const QImage &fallback) const
{
    const auto it = images.constFind(id);
    if (it != images.constEnd() && !it->isNull())
        return *it;
    return fallback;
}
