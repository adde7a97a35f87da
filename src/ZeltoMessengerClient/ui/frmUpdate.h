#ifndef FRMUPDATE_H
#define FRMUPDATE_H

#include <QDialog>
#include <QString>

namespace Ui {
class frmUpdate;
}

// Offers a newer version of the program: install it with the external updater, postpone,
// or switch the notification off. Lives for the whole program run and is shown non-modally.
class frmUpdate : public QDialog
{
    Q_OBJECT
public:
    explicit frmUpdate(const QString &platformTag);
    ~frmUpdate() override;

    void setNotificationButtonVisible(bool visible);

signals:
    void disableUpdateNotification();

public slots:
    void setNewVersion(QString newVersion);

private slots:
    void on_cmdDisableUpdateNotification_clicked();
    void on_cmdNotNow_clicked();
    void on_cmdInstall_clicked();

private:
    Ui::frmUpdate *ui;
    QString platformTag;
};

#endif
