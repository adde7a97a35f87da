#ifndef INCOMINGVIEW_H
#define INCOMINGVIEW_H

#include "ContactBook.h"
#include "NotificationQueue.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What the dispatch of incoming objects needs from the windows: it decides what changed, the
// windows show it. The main window answers (LoginIncomingView).
class IncomingView
{
public:
    virtual ~IncomingView() = default;

    // The message goes to the sender's chat window, opened when needed; false when no window
    // is left to take it (it is then not confirmed).
    virtual bool showMessage(const QString &sender, const QString &text) = 0;
    // A contact-list refresh changed these contacts in the book.
    virtual void contactsRefreshed(const QVector<ContactBook::Change> &changes) = 0;
    // The row of user, if there is one, is drawn again with its picture and this state.
    virtual void contactIconChanged(const QString &user, int state) = 0;
    // An open chat window with user shows what the book now holds.
    virtual void contactChanged(const QString &user) = 0;
    virtual void ownStateChanged(int state) = 0;
    virtual void friendRequestsChanged() = 0;
    virtual void notify(const NotificationQueue::Note &note) = 0;
};

#endif
