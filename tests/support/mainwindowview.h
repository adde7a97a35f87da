#ifndef MAINWINDOWVIEW_H
#define MAINWINDOWVIEW_H

#include "frmChat.h"
#include "frmLogin.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QKeySequence>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>

// The main window as a person sees it: the rows of its contact list, found by the name they
// show, and the chat windows on the desktop. For tests that link the client.
namespace MainWindowView {

inline QListWidgetItem *contactRow(frmLogin &window, const QString &user)
{
    const QString name = window.displayName(user);
    QListWidget *list = window.contactList();
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text().section(QLatin1Char('\n'), 0, 0) == name)
            return list->item(i);
    }
    return nullptr;
}

// The chat window with user: a visible top-level window.
inline frmChat *chatWith(const QString &user)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *chat = qobject_cast<frmChat *>(widget);
        if (chat && chat->isVisible() && chat->contactUser() == user)
            return chat;
    }
    return nullptr;
}

// Return on a row, as a person opens its chat from the keyboard.
inline void pressReturnOn(frmLogin &window, QListWidgetItem *item)
{
    QListWidget *list = window.contactList();
    list->setCurrentItem(item);
    for (QAction *action : list->actions()) {
        if (action->shortcuts().contains(QKeySequence(Qt::Key_Return)))
            action->trigger();
    }
}

// An entry of a menu of the menu bar, by the texts the user sees.
inline QAction *menuEntry(QMainWindow *window, const QString &menu, const QString &entry)
{
    for (QAction *top : window->menuBar()->actions()) {
        if (top->text() != menu || !top->menu())
            continue;
        for (QAction *action : top->menu()->actions()) {
            if (action->text() == entry)
                return action;
        }
    }
    qWarning() << "no menu entry" << menu << entry;
    return nullptr;
}

} // namespace MainWindowView

#endif
