#include "MainMenus.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSystemTrayIcon>

namespace {

void setShortcut(QAction *action, const char *keys)
{
    action->setShortcut(QKeySequence::fromString(QString::fromLatin1(keys), QKeySequence::PortableText));
}

} // namespace

// The entries are translated in the main window's context, where their texts have always been.
MainMenus::MainMenus(QWidget *owner, QMenuBar *menuBar)
    : QObject(owner)
    , window(owner)
    , bar(menuBar)
{}

void MainMenus::addStateEntries(QMenu *menu)
{
    menu->addAction(QIcon(QStringLiteral(":/img/online-t2x64.png")), QCoreApplication::translate("frmLogin", "Online"),
                    this, [this] { emit stateChosen(1); });
    menu->addAction(QIcon(QStringLiteral(":/img/away-t2x64.png")), QCoreApplication::translate("frmLogin", "Away"),
                    this, [this] { emit stateChosen(2); });
    menu->addAction(QIcon(QStringLiteral(":/img/busy-t2x64.png")), QCoreApplication::translate("frmLogin", "Busy"),
                    this, [this] { emit stateChosen(3); });
    menu->addAction(QIcon(QStringLiteral(":/img/notjust-t1x64.png")),
                    QCoreApplication::translate("frmLogin", "Not just"), this, [this] { emit stateChosen(4); });
    menu->addAction(QIcon(QStringLiteral(":/img/offline-t1x64.png")),
                    QCoreApplication::translate("frmLogin", "Show offline"), this, [this] { emit stateChosen(5); });
}

QSystemTrayIcon *MainMenus::createTrayIcon()
{
    trayStatusMenu = new QMenu(QCoreApplication::translate("frmLogin", "Online status"), window);
    trayStatusMenu->setEnabled(false);
    addStateEntries(trayStatusMenu);
    trayStatusMenu->addSeparator();
    trayStatusMenu->addAction(QCoreApplication::translate("frmLogin", "Logout"), this, &MainMenus::logoutChosen);

    auto *trayMenu = new QMenu(window);
    trayMenu->addMenu(trayStatusMenu);
    trayMenu->addSeparator();
    trayMenu->addAction(QIcon(QStringLiteral(":/gui/zm48.png")), QCoreApplication::translate("frmLogin", "Open ZM"),
                        this, &MainMenus::openChosen);
    trayMenu->addAction(QIcon::fromTheme(QStringLiteral("application-exit"), QIcon(QStringLiteral(":/gui/close.png"))),
                        QCoreApplication::translate("frmLogin", "Stop ZM"), this, &MainMenus::quitChosen);

    auto *tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/img/offline-t1x64.png")), window);
    tray->setToolTip(QStringLiteral("Zelto Messenger (") + QCoreApplication::translate("frmLogin", "Offline")
                     + QLatin1Char(')'));
    tray->setContextMenu(trayMenu);
    tray->setVisible(true);
    return tray;
}

void MainMenus::enableTrayStatusMenu()
{
    if (!trayStatusMenu->isEnabled())
        trayStatusMenu->setEnabled(true);
}

QMenu *MainMenus::buildMenuBar()
{
    QMenu *languages = nullptr;
    for (QMenu *menu : {buildMessengerMenu(), buildToolsMenu(&languages), buildHelpMenu()})
        bar->addMenu(menu);
    bar->show();
    return languages;
}

QMenu *MainMenus::buildMessengerMenu()
{
    auto *messenger = new QMenu(QCoreApplication::translate("frmLogin", "Messenger"), bar);
    menuBarObjects << messenger;
    QMenu *status = messenger->addMenu(QCoreApplication::translate("frmLogin", "Online status"));
    menuBarObjects << status;
    addStateEntries(status);
    messenger->addSeparator();
    messenger->addAction(QCoreApplication::translate("frmLogin", "Add contact"), this, &MainMenus::addContactChosen);
    messenger->addAction(QCoreApplication::translate("frmLogin", "Change password"), this,
                         &MainMenus::changePasswordChosen);
    messenger->addAction(QCoreApplication::translate("frmLogin", "Edit profile"), this, &MainMenus::editProfileChosen);
    messenger->addSeparator();
    setShortcut(messenger->addAction(QCoreApplication::translate("frmLogin", "Logout"), this, &MainMenus::logoutChosen),
                "CTRL+L");
    setShortcut(
        messenger->addAction(QCoreApplication::translate("frmLogin", "Close"), this, &MainMenus::minimiseChosen),
        "ALT+F4");
    // Ends the program like the tray's "Stop ZM": the remembered login stays, unlike Logout.
    setShortcut(messenger->addAction(QIcon::fromTheme(QStringLiteral("application-exit")),
                                     QCoreApplication::translate("frmLogin", "Quit"), this, &MainMenus::quitChosen),
                "CTRL+Q");
    return messenger;
}

QMenu *MainMenus::buildToolsMenu(QMenu **languages)
{
    auto *tools = new QMenu(QCoreApplication::translate("frmLogin", "Tools"), bar);
    menuBarObjects << tools;
    *languages = tools->addMenu(QCoreApplication::translate("frmLogin", "Change Language"));
    menuBarObjects << *languages;
    tools->addSeparator();
    QAction *preferences =
        tools->addAction(QCoreApplication::translate("frmLogin", "Preferences"), this, &MainMenus::preferencesChosen);
    preferences->setShortcuts({QKeySequence::fromString(QStringLiteral("CTRL+S"), QKeySequence::PortableText),
                               QKeySequence::fromString(QStringLiteral("CTRL+,"), QKeySequence::PortableText)});
    return tools;
}

QMenu *MainMenus::buildHelpMenu()
{
    auto *help = new QMenu(QCoreApplication::translate("frmLogin", "Help"), bar);
    menuBarObjects << help;
    setShortcut(help->addAction(QCoreApplication::translate("frmLogin", "Check for Update"), this,
                                &MainMenus::checkUpdateChosen),
                "CTRL+U");
    help->addSeparator();
    setShortcut(help->addAction(QIcon(QStringLiteral(":/gui/zelto48.png")),
                                QCoreApplication::translate("frmLogin", "About %1").arg(QStringLiteral("Zelto")), this,
                                &MainMenus::aboutZeltoChosen),
                "SHIFT+F1");
    setShortcut(help->addAction(QIcon(QStringLiteral(":/gui/zm48.png")),
                                QCoreApplication::translate("frmLogin", "About %1").arg(QStringLiteral("ZMP")), this,
                                &MainMenus::aboutZMPChosen),
                "F1");
    return help;
}

void MainMenus::clearMenuBar()
{
    for (const QPointer<QObject> &object : qAsConst(menuBarObjects)) {
        if (object)
            object->deleteLater();
    }
    menuBarObjects.clear();
    bar->clear();
    bar->hide();
}
