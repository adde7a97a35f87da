#ifndef SINGLEINSTANCE_H
#define SINGLEINSTANCE_H

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

// One running program per user: the first start holds a lock file in the user's runtime
// directory and listens on a local socket beside it; a later start asks that one to come
// forward and ends. A lock left by a crashed run does not count.
class SingleInstance : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(SingleInstance)
public:
    enum class Outcome {
        Primary, // this process runs the program
        HandedOver, // the running one took the request; this process ends with 0
        NoAnswer, // another one holds the lock but does not answer
    };

    // directory: where the lock and the socket live; empty means runtimeDirectory().
    explicit SingleInstance(const QString &directory = QString(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock, or hands over to its holder. raise: whether the running window should
    // come forward (a start with "--minimized" only needs the program to run). Waits at most
    // timeoutMs for a holder that is starting, ending, or busy in a blocking login.
    Outcome claim(bool raise, int timeoutMs = 20000);

    // Stops answering and frees the lock, so that a new instance started by this one (a
    // restart) runs on its own instead of handing over to this ending one.
    void release();
    // The instance of this process that holds the lock, if any.
    static SingleInstance *current();

    // $XDG_RUNTIME_DIR, or a private folder in the temporary directory named by the uid.
    static QString runtimeDirectory();
    QString lockFilePath() const;
    QString socketPath() const;

signals:
    // A second start asked for the window.
    void raiseRequested();

private:
    bool listen();
    bool tryLock();
    Outcome askRunning(bool raise, int timeoutMs);
    void serve();

    QString m_directory;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

#endif
