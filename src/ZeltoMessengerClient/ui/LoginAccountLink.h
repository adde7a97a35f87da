#ifndef LOGINACCOUNTLINK_H
#define LOGINACCOUNTLINK_H

#include "AccountLink.h"

class frmLogin;

// The account dialogs' view of the main window: forwards to its public calls.
class LoginAccountLink : public AccountLink
{
public:
    explicit LoginAccountLink(frmLogin *window);

    bool isOnline() override;
    QString accountName() override;
    QString ownAvatarId() override;
    QString hostName() override;
    QString getClassVersion() override;
    int setUserNick(const QString &nick) override;
    int setUserMessageState(const QString &message) override;
    int setUserPassword(const QString &oldPassword, const QString &newPassword) override;
    int addUserContact(const QString &user) override;
    int delUserContact(const QString &user) override;
    bool uploadAvatar(const QImage &image) override;
    void updateWelcomeLine(const QString &nick) override;
    void passwordChanged(const QString &newPassword) override;
    void updateFriendRequests(const QString &added, const QString &removed) override;
    void insertOfflineContact(const QString &user) override;
    void addContactByName(const QString &user, QWidget *parent) override;
    void applyDesignedStyles() override;
    void enableUpdateNotification() override;
    void disableUpdateNotification() override;

private:
    frmLogin *window;
};

#endif
