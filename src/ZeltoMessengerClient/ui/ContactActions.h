#ifndef CONTACTACTIONS_H
#define CONTACTACTIONS_H

#include <QString>

class ChatRegistry;
class ContactListView;
class QWidget;
class frmLogin;

// The contact actions of the context menu and the Messenger menu: each asks what it needs,
// calls the server through the main window and changes the rows only after its 200.
class ContactActions
{
    Q_DISABLE_COPY(ContactActions)

public:
    ContactActions(frmLogin *window, ContactListView &rows, ChatRegistry &chats);

    void rename(const QString &user);
    void resetName(const QString &user);
    void remove(const QString &user);
    // Asks for account names until one is added, the dialog is cancelled or a refusal ends it.
    void add();
    void addByName(const QString &name, QWidget *parent);

private:
    // False when the server knows no such account: the name is asked for again.
    bool addOnce(const QString &name, QWidget *parent);
    bool online(QWidget *parent);

    frmLogin *window;
    ContactListView &rows;
    ChatRegistry &chats;
};

#endif
