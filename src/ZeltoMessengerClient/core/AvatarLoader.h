#ifndef AVATARLOADER_H
#define AVATARLOADER_H

#include <QByteArray>
#include <QImage>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class AvatarThread;

// The decoded avatar pictures of a session, the ids still to fetch and the one download thread
// that works through them at a time. Pictures come back on this object's thread.
class AvatarLoader : public QObject
{
    Q_OBJECT
public:
    // How long a stop waits for the thread after aborting its download.
    static constexpr unsigned long StopWaitMs = 5000;

    explicit AvatarLoader(QObject *parent = nullptr);
    // Stops a running thread instead of leaving it to run over freed objects.
    ~AvatarLoader() override;

    QMap<QString, QImage> images;
    QStringList queue;
    // True from a thread's start until its end; at most one runs.
    bool working = false;

    // Queues ids (each once) and starts a thread over the whole queue unless one runs.
    void fetch(const QStringList &ids);
    void start();
    void stop();
    // Stores the decoded picture; one that does not decode is kept as a null image.
    void insert(const QByteArray &picture, const QString &id);
    // A thread ended; one stopped earlier leaves the flag to its successor.
    void finish(AvatarThread *ended);
    // True once the id's picture came, whether it decoded or not.
    bool hasPicture(const QString &id) const { return !id.isEmpty() && images.contains(id); }
    // The id's decoded picture, else fallback.
    QImage picture(const QString &id, const QImage &fallback) const;

signals:
    void pictureLoaded(QString id, QImage image);

private:
    QPointer<AvatarThread> thread;
};

#endif
