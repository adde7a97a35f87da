// Chat windows and avatars of the main window.
#include "frmLogin.h"

#include "AvatarCache.h"
#include "AvatarThread.h"
#include "IncomingObject.h"
#include "LoginChatLink.h"
#include "frmChat.h"

#include <QDebug>
#include <QIcon>
#include <QPointer>

#include <functional>

namespace {

// How long logging out or closing waits for the avatar thread after aborting its download.
constexpr unsigned long AvatarStopWaitMs = 5000;

} // namespace

void frmLogin::forgetChatWindow(const QString &user, frmChat *chat)
{
    // Only the window registered for that name is dropped.
    if (chatWindows.value(user) == chat)
        chatWindows.remove(user);
}

void frmLogin::openChatWindow(QString user, QString displayName, QString statusMessage, QString stateIconPath,
                              int state, QString avatarId, bool startMinimised)
{
    if (!IncomingObject::isAccountName(user)) {
        qWarning() << "Refused a chat without an account name";
        return;
    }
    if (frmChat *open = chatWindows.value(user)) {
        if (open->isMaximized())
            open->showMaximized();
        else
            open->showNormal();
        open->activateWindow();
        return;
    }
    if (!chatLink)
        chatLink = new LoginChatLink(this);
    auto *chat = new frmChat();
    chatWindows.insert(user, chat);
    chatLink->adopt(chat);
    chat->setInfo(user, displayName, statusMessage, ownNick, stateIconPath, state, avatarId, true);
    chat->setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    if (startMinimised) {
        chat->showMinimized();
    } else {
        chat->show();
        chat->activateWindow();
    }
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
    // Each close removes its window from chatWindows, so the walk goes over a copy.
    const QMap<QString, frmChat *> windows = chatWindows;
    chatWindows.clear();
    for (frmChat *window : windows) {
        if (window)
            window->close();
    }
    stopAvatarThread();
}

void frmLogin::refreshChatStyles()
{
    for (frmChat *window : qAsConst(chatWindows))
        window->refreshStyles();
}

void frmLogin::startAvatarThread()
{
    if (avatarWork)
        return;
    auto *thread = new AvatarThread(avatarQueue, avatarImages.keys());
    connect(thread, &AvatarThread::avatarInsert, this, &frmLogin::avatarInsert);
    connect(thread, &QThread::finished, this, &frmLogin::setAvatarWorkFalse);
    // The thread has no parent: when the main window goes away first, the thread is stopped
    // and waited for instead of being left running over freed objects.
    connect(this, &QObject::destroyed, thread, [thread]() {
        thread->requestStop();
        if (thread->wait(AvatarStopWaitMs))
            delete thread;
        else
            qWarning() << "Avatar thread did not stop in time";
    });
    avatarThread = thread;
    avatarWork = true;
    thread->start(QThread::LowPriority);
}

void frmLogin::stopAvatarThread()
{
    if (!avatarThread)
        return;
    AvatarThread *thread = avatarThread;
    thread->requestStop();
    if (!thread->wait(AvatarStopWaitMs)) {
        qWarning() << "Avatar thread did not stop in time";
        return;
    }
    // finished() is still queued: clear the flag now so a new session can start a thread.
    avatarThread = nullptr;
    avatarWork = false;
    thread->deleteLater();
}

void frmLogin::avatarInsert(QByteArray avatarPixmap, QString avatarImage)
{
    const QImage image = AvatarCache::decodePicture(avatarPixmap);
    avatarImages.insert(avatarImage, image);
    if (image.isNull())
        return;
    // Open chats whose contact uses this picture show it at once.
    for (auto it = chatWindows.cbegin(); it != chatWindows.cend(); ++it) {
        if (it.value()->avatarId() == avatarImage || contactAvatars.value(it.key()) == avatarImage)
            it.value()->setAvatarImage(image);
    }
}

void frmLogin::setAvatarWorkFalse()
{
    auto *thread = qobject_cast<AvatarThread *>(sender());
    if (thread && thread != avatarThread) {
        // A thread stopped at logout; its successor (if any) keeps the flag.
        thread->deleteLater();
        return;
    }
    avatarWork = false;
    if (avatarThread)
        avatarThread->deleteLater();
    avatarThread = nullptr;
}
