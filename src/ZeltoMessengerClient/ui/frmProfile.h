#ifndef FRMPROFILE_H
#define FRMPROFILE_H

#include "ProfilePayload.h"

#include <QDialog>
#include <QImage>
#include <QPointer>
#include <QString>

class AccountLink;
class QAbstractButton;
class ZVRLabel;
class ZVRPushButton;

namespace Ui {
class frmProfile;
}

// Editor of the own account: display name, status message and avatar picture.
class frmProfile : public QDialog
{
    Q_OBJECT
public:
    explicit frmProfile(QWidget *parent = nullptr);
    ~frmProfile() override;

    void setLogin(AccountLink *link);
    // messageState: as the server holds it (entity-encoded).
    void setData(const QString &account, const QString &nick, const QString &messageState, const QString &contacts);
    // droppedClients: records the payload held beyond the listed ones; they count, unlisted.
    void setClients(const ClientList &clientList, int droppedClients = 0);

    // Brings a picture to 128 x 128: scaled along its shorter side, then the top-left part kept.
    static QImage prepareAvatar(const QImage &image);
    // Loads a chosen picture into the avatar sub-dialog; false (with a warning) when it does not load.
    bool takeAvatarFile(const QString &fileName);

private slots:
    void on_cmdShowClients_clicked();
    void on_bbOptions_clicked(QAbstractButton *button);
    void on_cmdAvatar_clicked();
    void selectAvatar();
    void uploadAvatar();

private:
    void applyChanges();
    bool checkName(const QString &name);
    bool checkMessageState(const QString &escaped, const QByteArray &raw);
    void showOwnAvatar();

    Ui::frmProfile *ui;
    ClientList clients;
    AccountLink *login = nullptr;
    QString account;
    QString nick;
    QString messageState;
    QString contacts;
    QImage avatarImage;
    QPointer<QDialog> avatarDialog;
    ZVRLabel *avatarPreview = nullptr;
    ZVRPushButton *changeAvatarButton = nullptr;
    ZVRPushButton *applyAvatarButton = nullptr;
    ZVRPushButton *closeAvatarButton = nullptr;
};

#endif
