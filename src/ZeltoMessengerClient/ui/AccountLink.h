#ifndef ACCOUNTLINK_H
#define ACCOUNTLINK_H

#include <QString>

class QImage;
class QWidget;

// What the account dialogs need from the main window: its session calls and the few pieces
// of main-window state they read or change. The main window answers through its session
// object (frmLogin_dialogs.cpp); the server calls return the session's result codes.
class AccountLink
{
public:
    virtual ~AccountLink() = default;

    // Session flag set and the session object logged in.
    virtual bool isOnline() = 0;
    // The account name in the login page's user name field.
    virtual QString accountName() = 0;
    virtual QString ownAvatarId() = 0;
    virtual QString hostName() = 0;
    virtual QString getClassVersion() = 0;

    virtual int setUserNick(const QString &nick) = 0;
    virtual int setUserMessageState(const QString &message) = 0;
    virtual int setUserPassword(const QString &oldPassword, const QString &newPassword) = 0;
    virtual int addUserContact(const QString &user) = 0;
    virtual int delUserContact(const QString &user) = 0;
    virtual bool uploadAvatar(const QImage &image) = 0;

    virtual void updateWelcomeLine(const QString &nick) = 0;
    // After a confirmed password change: the login fields and a stored automatic-login
    // password follow, so a later re-login does not use the old one.
    virtual void passwordChanged(const QString &newPassword) = 0;
    virtual void updateFriendRequests(const QString &added, const QString &removed) = 0;
    virtual void insertOfflineContact(const QString &user) = 0;
    virtual void addContactByName(const QString &user, QWidget *parent) = 0;

    virtual void applyDesignedStyles() = 0;
    virtual void enableUpdateNotification() = 0;
    virtual void disableUpdateNotification() = 0;
};

#endif
