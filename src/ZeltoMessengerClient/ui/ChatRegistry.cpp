#include "ChatRegistry.h"

#include "ContactBook.h"
#include "IncomingObject.h"
#include "LoginChatLink.h"
#include "frmChat.h"
#include "frmLogin.h"

#include <QDebug>
#include <QIcon>

namespace {

// A message from a new name opens a chat window, and a server can send from any number of
// names: this many open chats at most.
constexpr int MaxOpenChats = 64;

} // namespace

ChatRegistry::ChatRegistry(ContactBook &contacts, frmLogin *owner)
    : book(contacts)
    , window(owner)
{}

frmChat *ChatRegistry::open(const QString &user, const QString &displayName, const QString &statusMessage,
                            const QString &stateIconPath, int state, const QString &avatarId, bool startMinimised)
{
    if (!IncomingObject::isAccountName(user)) {
        qWarning() << "Refused a chat without an account name";
        return nullptr;
    }
    if (frmChat *shown = windows.value(user)) {
        if (shown->isMaximized())
            shown->showMaximized();
        else
            shown->showNormal();
        shown->activateWindow();
        return shown;
    }
    if (!link)
        link = new LoginChatLink(window);
    auto *chat = new frmChat();
    windows.insert(user, chat);
    link->adopt(chat);
    chat->setInfo(user, displayName, statusMessage, window->ownNickName(), stateIconPath, state, avatarId, true);
    chat->setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    if (startMinimised) {
        chat->showMinimized();
    } else {
        chat->show();
        chat->activateWindow();
    }
    return chat;
}

void ChatRegistry::openToWrite(const QString &user)
{
    frmChat *chat = open(user, book.displayName(user), book.statusMessages.value(user), book.stateIcons.value(user),
                         book.states.value(user), book.contactAvatars.value(user), false);
    if (!chat)
        return;
    chat->activateWindow();
    if (QWidget *field = chat->findChild<QWidget *>(QStringLiteral("txtMessageBox")))
        field->setFocus(Qt::OtherFocusReason);
}

void ChatRegistry::forget(const QString &user, frmChat *chat)
{
    if (windows.value(user) == chat)
        windows.remove(user);
}

void ChatRegistry::close(const QString &user)
{
    if (frmChat *chat = windows.take(user))
        chat->close();
}

void ChatRegistry::closeAll()
{
    // Each close removes its window from the table, so the walk goes over a copy.
    const QMap<QString, frmChat *> open = std::exchange(windows, {});
    for (frmChat *chat : open) {
        if (chat)
            chat->close();
    }
}

void ChatRegistry::refreshStyles()
{
    for (frmChat *chat : qAsConst(windows))
        chat->refreshStyles();
}

void ChatRegistry::updateInfo(const QString &user)
{
    frmChat *chat = windows.value(user);
    if (!chat)
        return;
    const int state = book.states.value(user, 8);
    chat->setInfo(user, book.displayName(user), book.statusMessages.value(user), window->ownNickName(),
                  book.stateIcons.value(user, IncomingObject::stateIconPath(state)), state,
                  book.contactAvatars.value(user), false);
}

void ChatRegistry::showAdded(const QString &user)
{
    if (frmChat *chat = windows.value(user))
        chat->setInfo(user, user, QString(), window->ownNickName(), IncomingObject::stateIconPath(8), 8, QString(),
                      false);
}

void ChatRegistry::showPicture(const QString &avatarId, const QImage &image)
{
    for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
        if (it.value()->avatarId() == avatarId || book.contactAvatars.value(it.key()) == avatarId)
            it.value()->setAvatarImage(image);
    }
}

void ChatRegistry::makeRoom(const QMap<QString, QListWidgetItem *> &contactRows)
{
    if (windows.size() < MaxOpenChats)
        return;
    frmChat *spare = nullptr;
    for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
        frmChat *chat = it.value();
        if (!chat || !chat->isMinimized())
            continue;
        if (!contactRows.contains(it.key())) {
            spare = chat;
            break;
        }
        if (!spare)
            spare = chat;
    }
    if (spare)
        spare->close();
}
