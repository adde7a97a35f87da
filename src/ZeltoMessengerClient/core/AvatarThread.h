#ifndef AVATARTHREAD_H
#define AVATARTHREAD_H

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>

class QEventLoop;
class QNetworkReply;
class ZMsgFw111Q;

// Works through a copy of the avatar queue on its own thread: each picture comes from its
// ".zm" cache file when a valid one is there, otherwise it is downloaded and cached. Pictures
// reach the main window only through the queued signal avatarInsert.
class AvatarThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int DownloadTimeoutMs = 150000;

    AvatarThread(QStringList pendingIds, QStringList knownIds, QObject *parent = nullptr);
    ~AvatarThread() override;

    // Ends a running run() soon: the download in progress is aborted and no further id is
    // started. Safe to call from any thread.
    void requestStop();

    // Pending ids without duplicates and without the known ones, in queue order.
    static QStringList idsToFetch(const QStringList &pendingIds, const QStringList &knownIds);

signals:
    void avatarInsert(QByteArray avatarPixmap, QString avatarImage);

protected:
    void run() override;

private:
    void loadCached(const QString &id, const QString &path);
    void download(ZMsgFw111Q &session, const QString &id, const QString &path);
    // Runs the local loop until the reply finished, the time is up or a stop was asked for.
    void waitFor(QNetworkReply *reply);

    QStringList pendingIds;
    QStringList knownIds;
    QString directory;
    std::atomic_bool stopRequested{false};
    QMutex loopMutex;
    QEventLoop *loop = nullptr;
};

#endif
