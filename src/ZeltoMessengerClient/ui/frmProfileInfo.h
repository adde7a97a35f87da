#ifndef FRMPROFILEINFO_H
#define FRMPROFILEINFO_H

#include "ProfilePayload.h"

#include <QDialog>
#include <QString>

class QAbstractButton;

namespace Ui {
class frmProfileInfo;
}

// Read-only view of another user's profile.
class frmProfileInfo : public QDialog
{
    Q_OBJECT
public:
    explicit frmProfileInfo(QWidget *parent = nullptr);
    ~frmProfileInfo() override;

    void setAccount(const QString &account);
    void setName(const QString &name);
    void setContacts(const QString &contacts);
    void setSignature(const QString &signature);
    // status: the status message as the server holds it (entity-encoded).
    void setStatus(const QString &status);
    // droppedClients: records the payload held beyond the listed ones; they count, unlisted.
    void setClients(const ClientList &clients, int droppedClients = 0);

    // "%1 profile" with the name, "'s" appended unless it already ends in a lower-case "s".
    static QString titleName(const QString &displayName);

private slots:
    void on_cmdShowClients_clicked();
    void on_bbOK_clicked(QAbstractButton *button);

private:
    Ui::frmProfileInfo *ui;
    QString name;
    ClientList clients;
};

#endif
