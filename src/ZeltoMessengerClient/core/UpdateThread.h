#ifndef UPDATETHREAD_H
#define UPDATETHREAD_H

#include <QString>
#include <QThread>

#include <atomic>

// Background check for a newer version: asks once at start and then every hour. The signals
// are emitted on the thread that owns this object (the GUI thread), and never after stop().
class UpdateThread : public QThread
{
    Q_OBJECT
public:
    UpdateThread(const QString &platformTag, const QString &runningVersion);
    ~UpdateThread() override;

    // The same check on the calling thread, blocking for at most checkTimeout() ms; emits
    // setNewVersion and returns whether a newer version exists.
    bool checkForUpdate();
    static bool isNewerVersion(const QString &current, const QString &latest);

    // Ends the thread at once, also in the middle of a check or of the hourly wait.
    void stop();
    // Pause between two checks of the worker; tests shorten it.
    void setCheckPeriod(int milliseconds) { checkPeriodMs = milliseconds; }
    // How long one check waits for the site; five seconds unless a test shortens it.
    void setCheckTimeout(int milliseconds) { checkTimeoutMs = milliseconds; }
    int checkTimeout() const { return checkTimeoutMs; }

signals:
    void updateIsNowAvailable();
    void setNewVersion(QString newVersion);

public slots:
    void disableUpdateNotification();

protected:
    void run() override;

private:
    // Hands a finding of the worker to the owning thread; dropped if stop() came first.
    void report(const QString &latest, bool newer, int generation);
    bool stopRequested() const;

    QString platformTag;
    QString runningVersion;
    int checkPeriodMs;
    int checkTimeoutMs;
    // Bumped by stop(); a report from an older run is stale and dropped.
    std::atomic<int> generation{0};
};

#endif
