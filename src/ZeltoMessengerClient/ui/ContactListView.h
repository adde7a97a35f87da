#ifndef CONTACTLISTVIEW_H
#define CONTACTLISTVIEW_H

#include "ContactBook.h"

#include <QHash>
#include <QIcon>
#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

class AvatarLoader;
class QListWidgetItem;
class frmLogin;

// The rows of the main window's contact list: one per contact of the book, with its text, its
// composed icon (avatar and state badge) and its place in the search filter.
class ContactListView
{
    Q_DISABLE_COPY(ContactListView)

public:
    ContactListView(ContactBook &book, AvatarLoader &avatars, frmLogin *window);

    QMap<QString, QListWidgetItem *> items;
    QMap<QListWidgetItem *, QString> users;

    // The avatar with the state badge, in the designed or the classic size.
    static QIcon makeIcon(const QImage &avatar, const QImage &badge, bool designed);

    QString userOf(QListWidgetItem *item) const;
    // Takes a refresh into the rows; returns the contacts whose name, status or state changed.
    QStringList refresh(const QVector<ContactBook::Change> &changes);
    // A contact just added, Offline, at the end of the list; false when it has a row already.
    bool insertOffline(const QString &user);
    void setIcon(QListWidgetItem *item, const QString &user, int state);
    void rebuildIcon(const QString &user, int state);
    // The connection is lost: every contact is shown Offline.
    void showAllOffline();
    void setName(const QString &user, const QString &name);
    void filter(const QString &text);
    // The row goes; the avatar entries and the settings stay.
    void remove(const QString &user);
    // The list widgets are emptied by their owner.
    void clear();

private:
    QIcon icon(const QString &user, int state);
    QString iconKey(const QString &user, int state) const;

    ContactBook &book;
    AvatarLoader &avatars;
    frmLogin *window;
    QHash<QString, QIcon> iconCache;
};

#endif
