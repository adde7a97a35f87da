#ifndef NOTIFICATIONPRESENTER_H
#define NOTIFICATIONPRESENTER_H

#include "NotificationQueue.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

class DesktopNotifications;
class NotificationWidget;
class QSettings;
class QWidget;

// The main window's notices: popups (few at once, a contact's newest replacing its older one),
// the desktop's notification service where the preferences allow it, and while a burst is
// handed over, the popups and task bar flashes held back until its end.
class NotificationPresenter : public QObject
{
    Q_OBJECT
public:
    explicit NotificationPresenter(QObject *parent = nullptr);
    ~NotificationPresenter() override;

    void hold();
    bool heldTooLong() const { return queue.heldTooLong(); }
    // Shows the note now, or at the end of the hold.
    void show(const NotificationQueue::Note &note);
    // True when the message sound waits for the end of the hold.
    bool holdChatIn() { return queue.addChatIn(); }
    // Marks a minimised window in the task bar, once per burst.
    void flash(QWidget *window);
    // Ends the hold and shows what waited; true when the message sound is due.
    bool release();
    // A popup has finished: it is deleted.
    void popupFinished(NotificationWidget *popup);

signals:
    // A notice was clicked; data as given in the note.
    void pressed(QString data);

private:
    void raise(const NotificationQueue::Note &note);
    void showPopup(const NotificationQueue::Note &note);
    // False when the popup is to be shown instead.
    bool showOnDesktop(const NotificationQueue::Note &note);

    NotificationQueue queue;
    QList<QPointer<NotificationWidget>> popups;
    QList<QPointer<QWidget>> heldFlashes;
    DesktopNotifications *desktop = nullptr;
    // Opened once: a burst asks for every note whether the desktop may show it.
    std::unique_ptr<QSettings> settings;
};

#endif
