#ifndef DESKTOPNOTIFICATIONS_H
#define DESKTOPNOTIFICATIONS_H

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

class QDBusPendingCallWatcher;

// Notices through the desktop's notification service (org.freedesktop.Notifications on the
// session bus), so that they appear in the notification centre of GNOME, KDE and others.
class DesktopNotifications : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(DesktopNotifications)
public:
    struct Notice {
        // Handed back by activated() when the user opens the notice; empty: no action.
        QString data;
        // Notices with the same tag replace each other instead of piling up.
        QString tag;
        QString summary;
        // Plain text; escaped here when the service reads markup.
        QString body;
        // A picture (file or resource path) shown with the notice.
        QString image;
        // Kept for the caller's own popup and given back with refused().
        QString popupTitle;
        QString popupText;
    };

    explicit DesktopNotifications(QObject *parent = nullptr);

    // True when the session bus has the service running or can start it.
    bool isAvailable() const { return available; }
    static bool serviceAvailable();
    // False when the service cannot take the notice; the caller then shows its own popup.
    // A notice that the service refuses later comes back through refused().
    bool show(const Notice &notice);

    static QString applicationName() { return QStringLiteral("Zelto Messenger"); }
    // Name of the installed icon and desktop entry.
    static QString desktopEntry() { return QStringLiteral("zmessenger"); }
    // The service reads a small HTML subset in the body; everything else is shown as text.
    static QString bodyText(const QString &text, bool markup);

signals:
    void activated(const QString &data);
    void refused(const DesktopNotifications::Notice &notice);

private slots:
    void onActionInvoked(uint id, const QString &action);
    void onNotificationClosed(uint id, uint reason);
    void onServiceOwnerChanged(const QString &service, const QString &oldOwner, const QString &newOwner);

private:
    void askCapabilities();
    void send(const Notice &notice);
    void sent(QDBusPendingCallWatcher *call, const Notice &notice);
    void forget(uint id);

    bool available = false;
    bool capabilitiesKnown = false;
    bool capabilitiesAsked = false;
    QStringList capabilities;
    QVector<Notice> waiting;
    QHash<uint, QString> dataOfId;
    QHash<QString, uint> idOfTag;
};

#endif
