#ifndef MAINMENUS_H
#define MAINMENUS_H

#include <QList>
#include <QObject>
#include <QPointer>

class QMenu;
class QMenuBar;
class QSystemTrayIcon;
class QWidget;

// The main window's menus: the tray icon's menu, built once, and the menu bar, built at every
// login and taken down at every logout. The entries only say what the user chose; the window
// acts on it.
class MainMenus : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(MainMenus)

public:
    // owner owns the tray icon and the menus.
    MainMenus(QWidget *owner, QMenuBar *menuBar);

    // The tray icon with its menu, visible and showing the Offline state.
    QSystemTrayIcon *createTrayIcon();
    // The tray's "Online status" menu is disabled until the session is first logged in.
    void enableTrayStatusMenu();
    // Builds and shows the menu bar; returns its "Change Language" menu, still empty.
    QMenu *buildMenuBar();
    // Deletes (deferred) what buildMenuBar made and hides the menu bar.
    void clearMenuBar();

signals:
    void stateChosen(int state);
    void logoutChosen();
    void openChosen();
    void minimiseChosen();
    void quitChosen();
    void addContactChosen();
    void changePasswordChosen();
    void editProfileChosen();
    void preferencesChosen();
    void checkUpdateChosen();
    void aboutZeltoChosen();
    void aboutZMPChosen();

private:
    void addStateEntries(QMenu *menu);
    QMenu *buildMessengerMenu();
    QMenu *buildToolsMenu(QMenu **languages);
    QMenu *buildHelpMenu();

    QWidget *window;
    QMenuBar *bar;
    QMenu *trayStatusMenu = nullptr;
    QList<QPointer<QObject>> menuBarObjects;
};

#endif
