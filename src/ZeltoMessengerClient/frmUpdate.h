#ifndef FRMUPDATE_H
#define FRMUPDATE_H

#include <QDialog>
#include <QString>

// Offers a newer version of the program.
class frmUpdate : public QDialog
{
    Q_OBJECT
public:
    explicit frmUpdate(const QString &platformTag);
    void setNotificationButtonVisible(bool visible);

signals:
    void disableUpdateNotification();

public slots:
    void setNewVersion(QString newVersion);

private:
    QString platformTag;
    QString newVersion;
};

#endif
