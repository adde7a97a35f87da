#ifndef UPDATETHREAD_H
#define UPDATETHREAD_H

#include <QString>
#include <QThread>

// Background check for a newer version of the program.
class UpdateThread : public QThread
{
    Q_OBJECT
public:
    UpdateThread(const QString &platformTag, const QString &runningVersion);

signals:
    void updateIsNowAvailable();
    void setNewVersion(QString newVersion);

public slots:
    void disableUpdateNotification();

protected:
    void run() override;

private:
    QString platformTag;
    QString runningVersion;
};

#endif
