#ifndef LOGININCOMINGVIEW_H
#define LOGININCOMINGVIEW_H

#include "IncomingView.h"

class ChatRegistry;
class ContactListView;
class NotificationPresenter;
class frmLogin;

// The incoming dispatch's view of the main window: its contact rows, chat windows and notices.
class LoginIncomingView : public IncomingView
{
    Q_DISABLE_COPY(LoginIncomingView)

public:
    LoginIncomingView(frmLogin *window, ContactBook &book, ContactListView &rows, ChatRegistry &chats,
                      NotificationPresenter &notices);

    bool showMessage(const QString &sender, const QString &text) override;
    void contactsRefreshed(const QVector<ContactBook::Change> &changes) override;
    void contactIconChanged(const QString &user, int state) override;
    void contactChanged(const QString &user) override;
    void ownStateChanged(int state) override;
    void friendRequestsChanged() override;
    void notify(const NotificationQueue::Note &note) override;

private:
    void openFor(const QString &sender, const QString &name);

    frmLogin *window;
    ContactBook &book;
    ContactListView &rows;
    ChatRegistry &chats;
    NotificationPresenter &notices;
};

#endif
