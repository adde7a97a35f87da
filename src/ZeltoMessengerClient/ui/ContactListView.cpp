#include "ContactListView.h"

#include "AvatarLoader.h"
#include "IncomingObject.h"
#include "frmLogin.h"

#include <QDebug>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>

namespace {

// Item data role holding the key of the icon a row shows.
constexpr int IconKeyRole = Qt::UserRole + 7;
// Icons are shared; beyond this many kinds the cache starts again.
constexpr int MaxCachedIcons = 4096;

} // namespace

ContactListView::ContactListView(ContactBook &contacts, AvatarLoader &loader, frmLogin *owner)
    : book(contacts)
    , avatars(loader)
    , window(owner)
{}

QIcon ContactListView::makeIcon(const QImage &avatar, const QImage &badge, bool designed)
{
    const QSize canvas = designed ? QSize(68, 54) : QSize(52, 38);
    const int avatarSide = designed ? 48 : 32;
    const QPoint badgeAt = designed ? QPoint(52, 19) : QPoint(36, 11);

    QPixmap pixmap(canvas);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 3), QSize(avatarSide, avatarSide)), avatar);
    painter.drawImage(QRect(badgeAt, QSize(16, 16)), badge);
    painter.end();
    return QIcon(pixmap);
}

QString ContactListView::userOf(QListWidgetItem *item) const
{
    return item ? users.value(item) : QString();
}

QString ContactListView::iconKey(const QString &user, int state) const
{
    const QString avatarId = book.contactAvatars.value(user);
    const bool haveImage = avatars.images.contains(avatarId);
    const int badge = (state >= 1 && state <= 5) ? state : 8;
    return QString::number(badge) + QLatin1Char(window->isDesignedMode() ? 'd' : 'c')
        + QLatin1Char(haveImage ? '+' : '-') + avatarId;
}

QIcon ContactListView::icon(const QString &user, int state)
{
    // Icons are shared between every contact with the same picture and state, so a refresh
    // in which many states change does not paint thousands of identical pixmaps.
    const QString key = iconKey(user, state);
    const auto cached = iconCache.constFind(key);
    if (cached != iconCache.constEnd())
        return cached.value();
    if (iconCache.size() > MaxCachedIcons)
        iconCache.clear();
    const QIcon made = makeIcon(window->contactAvatarImage(book.contactAvatars.value(user)),
                                QImage(IncomingObject::stateIconPath(state)), window->isDesignedMode());
    iconCache.insert(key, made);
    return made;
}

void ContactListView::setIcon(QListWidgetItem *item, const QString &user, int state)
{
    // Setting an icon makes the sorted list look at the row again; skip it when the row
    // already shows exactly this picture and badge.
    const QString key = iconKey(user, state);
    if (item->data(IconKeyRole).toString() == key)
        return;
    item->setIcon(icon(user, state));
    item->setData(IconKeyRole, key);
}

void ContactListView::rebuildIcon(const QString &user, int state)
{
    if (QListWidgetItem *item = items.value(user))
        setIcon(item, user, state);
}

QStringList ContactListView::refresh(const QVector<ContactBook::Change> &changes)
{
    QStringList changed;
    for (const ContactBook::Change &change : changes) {
        const QString &user = change.user;
        QListWidgetItem *item = items.value(user);
        // A custom nick changes only through Rename and Reset name, which set the row text
        // themselves; with nick and status as before the row text is unchanged too.
        const bool textChanged = !item || change.textChanged;
        const QString text =
            textChanged ? ContactBook::rowText(book.displayNameFrom(user, change.nick), change.status) : QString();
        if (item) {
            if (textChanged && item->text() != text)
                item->setText(text);
            // Without its picture at hand, a row's icon changes only with the state.
            if (change.stateChanged
                || (!book.avatarShown.value(user, false) && avatars.images.contains(book.contactAvatars.value(user))))
                setIcon(item, user, change.state);
        } else {
            item = new QListWidgetItem(text);
            setIcon(item, user, change.state);
            items.insert(user, item);
            users.insert(item, user);
            window->contactList()->addItem(item);
        }
        if (textChanged || change.stateChanged)
            changed.append(user);
    }
    return changed;
}

bool ContactListView::insertOffline(const QString &user)
{
    if (items.contains(user))
        return false;
    auto *item = new QListWidgetItem(user + QLatin1Char('\n'));
    item->setIcon(makeIcon(window->contactAvatarImage(QString()), QImage(IncomingObject::stateIconPath(8)),
                           window->isDesignedMode()));
    items.insert(user, item);
    book.insertOffline(user);
    users.insert(item, user);
    window->contactList()->addItem(item);
    return true;
}

void ContactListView::showAllOffline()
{
    for (auto it = items.constBegin(); it != items.constEnd(); ++it) {
        book.recordState(it.key(), 8);
        setIcon(it.value(), it.key(), 8);
    }
}

void ContactListView::setName(const QString &user, const QString &name)
{
    if (QListWidgetItem *item = items.value(user))
        item->setText(ContactBook::rowText(name, book.statusMessages.value(user)));
}

void ContactListView::filter(const QString &text)
{
    for (auto it = items.constBegin(); it != items.constEnd(); ++it)
        it.value()->setHidden(!book.matchesSearch(it.key(), text));
}

void ContactListView::remove(const QString &user)
{
    QListWidgetItem *item = items.take(user);
    if (!item)
        return;
    users.remove(item);
    book.remove(user);
    delete item;
}

void ContactListView::clear()
{
    items.clear();
    users.clear();
    book.clear();
    iconCache.clear();
}
