#include "NotificationPresenter.h"

#include "AppSettings.h"
#include "DesktopNotifications.h"
#include "NotificationWidget.h"
#include "UiAlert.h"

#include <QIcon>
#include <QPixmap>
#include <QSettings>

namespace {

// Popups alive at once: a new one makes the oldest fade out, and beyond the hard limit the
// oldest closes at once, so a burst of state changes cannot pile up windows and timers.
constexpr int VisiblePopups = 3;
constexpr int MaxPopups = 8;

} // namespace

NotificationPresenter::NotificationPresenter(QObject *parent)
    : QObject(parent)
{}

NotificationPresenter::~NotificationPresenter() = default;

void NotificationPresenter::hold()
{
    queue.hold();
}

void NotificationPresenter::show(const NotificationQueue::Note &note)
{
    if (!queue.add(note))
        raise(note);
}

void NotificationPresenter::flash(QWidget *window)
{
    // A minimised window stays minimised; its task bar entry is marked instead (activating
    // an iconic window does nothing under X11).
    if (!queue.isHolding())
        UiAlert::request(window);
    else if (!heldFlashes.contains(window))
        heldFlashes.append(window);
}

bool NotificationPresenter::release()
{
    const NotificationQueue::Released released = queue.release();
    const QList<QPointer<QWidget>> flashes = std::exchange(heldFlashes, {});
    for (const QPointer<QWidget> &window : flashes) {
        if (window && window->isMinimized())
            UiAlert::request(window);
    }
    for (const NotificationQueue::Note &note : released.notes)
        raise(note);
    return released.chatIn;
}

bool NotificationPresenter::showOnDesktop(const NotificationQueue::Note &note)
{
    if (note.summary.isEmpty())
        return false;
    if (!settings)
        settings.reset(new QSettings(AppSettings::open()));
    if (!settings->value(QStringLiteral("Interface/SystemNotifications"), true).toBool())
        return false;
    if (!desktop) {
        desktop = new DesktopNotifications(this);
        connect(desktop, &DesktopNotifications::activated, this, &NotificationPresenter::pressed);
        connect(desktop, &DesktopNotifications::refused, this, [this](const DesktopNotifications::Notice &notice) {
            showPopup({notice.popupText, notice.popupTitle, notice.data, notice.image, QString(), QString()});
        });
    }
    return desktop->show({note.data, note.data + QLatin1Char('\n') + note.title, note.summary, note.body, note.image,
                          note.title, note.text});
}

void NotificationPresenter::raise(const NotificationQueue::Note &note)
{
    if (!showOnDesktop(note))
        showPopup(note);
}

void NotificationPresenter::showPopup(const NotificationQueue::Note &note)
{
    popups.removeAll(nullptr);
    // A popup of the same contact and kind that is still showing takes the new text, so a
    // stream of messages from one sender does not build a window per message.
    for (NotificationWidget *shown : qAsConst(popups)) {
        if (shown->notificationData() == note.data && shown->windowTitle() == note.title && shown->isVisible()
            && !shown->isFading()) {
            shown->setNotificationText(note.text);
            if (!note.image.isEmpty())
                shown->setNotificationImage(QPixmap(note.image));
            return;
        }
    }
    auto *popup = new NotificationWidget;
    popup->setNotificationData(note.data);
    popup->setNotificationTitle(note.title);
    popup->setNotificationText(note.text);
    if (!note.image.isEmpty())
        popup->setNotificationImage(QPixmap(note.image));
    popup->setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));

    int waiting = 0;
    for (int i = popups.size() - 1; i >= 0; --i) {
        NotificationWidget *older = popups.at(i);
        if (older->isFading() || !older->isVisible())
            continue;
        if (++waiting >= VisiblePopups)
            older->startDisableWindow();
    }
    while (popups.size() >= MaxPopups) {
        if (NotificationWidget *oldest = popups.takeFirst())
            oldest->close();
    }
    popups.append(popup);

    connect(popup, &NotificationWidget::notificationPressed, this, &NotificationPresenter::pressed);
    connect(popup, &QDialog::finished, this, [this, popup] { popupFinished(popup); });
    popup->startNotification();
}

void NotificationPresenter::popupFinished(NotificationWidget *popup)
{
    if (!popup)
        return;
    popups.removeAll(popup);
    popup->deleteLater();
}
