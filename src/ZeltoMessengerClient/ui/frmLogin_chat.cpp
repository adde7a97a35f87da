// Chat windows and avatars of the main window, kept by ChatRegistry and AvatarLoader.
#include "frmLogin.h"

#include "AvatarThread.h"

void frmLogin::openChatWindow(QString user, QString displayName, QString statusMessage, QString stateIconPath,
                              int state, QString avatarId, bool startMinimised)
{
    chats.open(user, displayName, statusMessage, stateIconPath, state, avatarId, startMinimised);
}

QImage frmLogin::contactAvatarImage(QString avatarId)
{
    const auto it = avatarImages.constFind(avatarId);
    if (it != avatarImages.constEnd() && !it->isNull())
        return *it;
    return defaultAvatar;
}

void frmLogin::closeAllChatWindows()
{
    chats.closeAll();
    avatars.stop();
}

void frmLogin::avatarInsert(QByteArray avatarPixmap, QString avatarImage)
{
    avatars.insert(avatarPixmap, avatarImage);
}

void frmLogin::setAvatarWorkFalse()
{
    avatars.finish(qobject_cast<AvatarThread *>(sender()));
}
