#include "DesktopNotifications.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDebug>
#include <QImage>

namespace {

const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
constexpr int CallTimeoutMs = 5000;
// Notices that arrive before the service told what it can do; older ones give way.
constexpr int MaxWaiting = 8;
constexpr int MaxImageSide = 128;
// Notices remembered for replacing and for their action; a server that never reports closed
// ones, or senders without end, must not grow them for ever.
constexpr int MaxRemembered = 256;

// The "image-data" hint: raw RGBA pixels in the layout notification services read.
struct NotificationImage {
    int width = 0;
    int height = 0;
    int rowStride = 0;
    bool hasAlpha = true;
    int bitsPerSample = 8;
    int channels = 4;
    QByteArray pixels;
};

QDBusArgument &operator<<(QDBusArgument &argument, const NotificationImage &image)
{
    argument.beginStructure();
    argument << image.width << image.height << image.rowStride << image.hasAlpha << image.bitsPerSample
             << image.channels << image.pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, NotificationImage &image)
{
    argument.beginStructure();
    argument >> image.width >> image.height >> image.rowStride >> image.hasAlpha >> image.bitsPerSample
        >> image.channels >> image.pixels;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(NotificationImage)

namespace {

bool imageData(const QString &path, NotificationImage *out)
{
    QImage image(path);
    if (image.isNull())
        return false;
    if (image.width() > MaxImageSide || image.height() > MaxImageSide)
        image = image.scaled(MaxImageSide, MaxImageSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = image.convertToFormat(QImage::Format_RGBA8888);
    out->width = image.width();
    out->height = image.height();
    out->rowStride = image.bytesPerLine();
    out->pixels = QByteArray(reinterpret_cast<const char *>(image.constBits()), int(image.sizeInBytes()));
    return true;
}

} // namespace

DesktopNotifications::DesktopNotifications(QObject *parent)
    : QObject(parent)
{
    qDBusRegisterMetaType<NotificationImage>();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    available = serviceAvailable();
    auto *watcher = new QDBusServiceWatcher(Service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &DesktopNotifications::onServiceOwnerChanged);
    bus.connect(Service, Path, Interface, QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    bus.connect(Service, Path, Interface, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint, uint)));
}

bool DesktopNotifications::serviceAvailable()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface *daemon = bus.isConnected() ? bus.interface() : nullptr;
    return daemon
        && (daemon->isServiceRegistered(Service).value()
            || daemon->activatableServiceNames().value().contains(Service));
}

QString DesktopNotifications::bodyText(const QString &text, bool markup)
{
    return markup ? text.toHtmlEscaped() : text;
}

bool DesktopNotifications::show(const Notice &notice)
{
    if (!available)
        return false;
    if (capabilitiesKnown) {
        send(notice);
        return true;
    }
    // Whether the body is read as markup decides how it is written: wait for the answer.
    waiting.append(notice);
    if (waiting.size() > MaxWaiting)
        waiting.removeFirst();
    askCapabilities();
    return true;
}

void DesktopNotifications::askCapabilities()
{
    if (capabilitiesAsked)
        return;
    capabilitiesAsked = true;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *answered) {
        answered->deleteLater();
        capabilitiesAsked = false;
        const QDBusPendingReply<QStringList> reply = *answered;
        const QVector<Notice> notices = std::exchange(waiting, {});
        if (reply.isError()) {
            qInfo().noquote() << "Desktop notifications unavailable:" << reply.error().message();
            available = false;
            for (const Notice &notice : notices)
                emit refused(notice);
            return;
        }
        capabilities = reply.value();
        capabilitiesKnown = true;
        for (const Notice &notice : notices)
            send(notice);
    });
}

void DesktopNotifications::send(const Notice &notice)
{
    QStringList actions;
    if (!notice.data.isEmpty())
        actions << QStringLiteral("default") << tr("Open chat");
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), desktopEntry());
    NotificationImage image;
    if (!notice.image.isEmpty() && imageData(notice.image, &image))
        hints.insert(QStringLiteral("image-data"), QVariant::fromValue(image));

    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, QStringLiteral("Notify"));
    const bool markup = capabilities.contains(QStringLiteral("body-markup"));
    call.setArguments({applicationName(), idOfTag.value(notice.tag, 0u), desktopEntry(), notice.summary,
                       bodyText(notice.body, markup), actions, hints, -1});
    auto *watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, CallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, notice](QDBusPendingCallWatcher *answered) { sent(answered, notice); });
}

void DesktopNotifications::sent(QDBusPendingCallWatcher *call, const Notice &notice)
{
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    if (reply.isError()) {
        qInfo().noquote() << "Desktop notification refused:" << reply.error().message();
        emit refused(notice);
        return;
    }
    const uint id = reply.value();
    if (dataOfId.size() >= MaxRemembered || idOfTag.size() >= MaxRemembered) {
        dataOfId.clear();
        idOfTag.clear();
    }
    const uint previous = idOfTag.value(notice.tag, 0u);
    if (previous != 0 && previous != id)
        dataOfId.remove(previous);
    if (!notice.tag.isEmpty())
        idOfTag.insert(notice.tag, id);
    dataOfId.insert(id, notice.data);
}

void DesktopNotifications::onActionInvoked(uint id, const QString &action)
{
    if (action == QLatin1String("default") && dataOfId.contains(id))
        emit activated(dataOfId.value(id));
}

void DesktopNotifications::onNotificationClosed(uint id, uint)
{
    forget(id);
}

void DesktopNotifications::forget(uint id)
{
    dataOfId.remove(id);
    for (auto it = idOfTag.begin(); it != idOfTag.end();) {
        if (it.value() == id)
            it = idOfTag.erase(it);
        else
            ++it;
    }
}

void DesktopNotifications::onServiceOwnerChanged(const QString &, const QString &, const QString &newOwner)
{
    // A new service knows none of the old notices and may read other things.
    capabilitiesKnown = false;
    capabilities.clear();
    dataOfId.clear();
    idOfTag.clear();
    if (!newOwner.isEmpty()) {
        available = true;
        return;
    }
    QDBusConnectionInterface *daemon = QDBusConnection::sessionBus().interface();
    available = daemon && daemon->activatableServiceNames().value().contains(Service);
}
