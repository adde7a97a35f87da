#ifndef SESSIONLINK_H
#define SESSIONLINK_H

#include "AccountLink.h"

#include <zmsgfw111q.h>

#include <QImage>
#include <QStringList>

// The main window as the account dialogs see it, answered by a real session the test logs into
// a loopback or in-process server. Calls that would change main-window state are recorded in
// calls.
class SessionLink : public AccountLink
{
public:
    ZMsgFw111Q session;
    bool online = true;
    bool uploadResult = true;
    QString account = QStringLiteral("anna");
    QString host = QStringLiteral("testhost");
    QString avatarId;
    QStringList calls;
    QWidget *addContactParent = nullptr;

    bool isOnline() override { return online && session.isLoggedIn(); }
    QString accountName() override { return account; }
    QString ownAvatarId() override { return avatarId; }
    QString hostName() override { return host; }
    QString getClassVersion() override { return session.getClassVersion(); }
    int setUserNick(const QString &nick) override { return session.setUserNick(nick); }
    int setUserMessageState(const QString &message) override { return session.setUserMessageState(message); }
    int setUserPassword(const QString &oldPassword, const QString &newPassword) override
    {
        return session.setUserPassword(oldPassword, newPassword);
    }
    int addUserContact(const QString &user) override { return session.addUserContact(user); }
    int delUserContact(const QString &user) override { return session.delUserContact(user); }
    bool uploadAvatar(const QImage &image) override
    {
        calls << QStringLiteral("upload %1x%2").arg(image.width()).arg(image.height());
        return uploadResult;
    }
    void updateWelcomeLine(const QString &nick) override { calls << QStringLiteral("welcome ") + nick; }
    void passwordChanged(const QString &newPassword) override { calls << QStringLiteral("password ") + newPassword; }
    void updateFriendRequests(const QString &added, const QString &removed) override
    {
        calls << QStringLiteral("requests +") + added + QStringLiteral(" -") + removed;
    }
    void insertOfflineContact(const QString &user) override { calls << QStringLiteral("contact ") + user; }
    void addContactByName(const QString &user, QWidget *parent) override
    {
        calls << QStringLiteral("add ") + user;
        addContactParent = parent;
    }
    void applyDesignedStyles() override { calls << QStringLiteral("styles"); }
    void enableUpdateNotification() override { calls << QStringLiteral("notify on"); }
    void disableUpdateNotification() override { calls << QStringLiteral("notify off"); }
};

#endif
