#ifndef CHATREGISTRY_H
#define CHATREGISTRY_H

#include <QImage>
#include <QMap>
#include <QString>

class ContactBook;
class LoginChatLink;
class QListWidgetItem;
class frmChat;
class frmLogin;

// The open chat windows of the main window, one per contact, and what they show of the
// contact book.
class ChatRegistry
{
    Q_DISABLE_COPY(ChatRegistry)

public:
    ChatRegistry(ContactBook &book, frmLogin *window);

    QMap<QString, frmChat *> windows;

    // Brings an open chat forward, or creates, fills and shows a new one; null when the user is
    // no account name.
    frmChat *open(const QString &user, const QString &displayName, const QString &statusMessage,
                  const QString &stateIconPath, int state, const QString &avatarId, bool startMinimised);
    // Opens the chat with user as the book has it, brought forward with the keyboard focus in
    // its message field.
    void openToWrite(const QString &user);
    // A closing chat window: dropped when it is the one kept for user.
    void forget(const QString &user, frmChat *chat);
    void close(const QString &user);
    void closeAll();
    void refreshStyles();
    // The chat with user, if open, shows the contact's entries of the book.
    void updateInfo(const QString &user);
    // The chat with a contact just added, if open, shows it as the server has not yet told.
    void showAdded(const QString &user);
    // Open chats whose contact uses this picture show it at once.
    void showPicture(const QString &avatarId, const QImage &image);
    // Before another window opens: beyond the limit a minimised chat, a stranger's before a
    // contact's, is closed (its conversation stays in its history file).
    void makeRoom(const QMap<QString, QListWidgetItem *> &contactRows);

private:
    ContactBook &book;
    frmLogin *window;
    // The chat windows' view of the main window, a child of it.
    LoginChatLink *link = nullptr;
};

#endif
