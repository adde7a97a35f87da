// The main window's side of the incoming objects: the polls, the popups' clicks, the welcome
// line's links and the connection watchdog.
#include "frmLogin.h"

#include "LoginIncomingView.h"
#include "MainMenus.h"
#include "MessageFormat.h"
#include "NotificationWidget.h"
#include "zmsgfw111q.h"

#include <QDebug>
#include <QTimer>

void frmLogin::createDispatcher()
{
    incomingView = std::make_unique<LoginIncomingView>(this, contactBook, contactRows, chats, notifications);
    IncomingDispatcher::Session hooks{[this](const QString &object) { return zmsgfw->messageId(object); },
                                      [this](qint64 id) { zmsgfw->acknowledgeMessage(id); },
                                      [this] { return ownUserName(); }};
    dispatcher = std::make_unique<IncomingDispatcher>(contactBook, avatars, *incomingView, std::move(hooks));
    connect(&notifications, &NotificationPresenter::pressed, this, &frmLogin::noteBack);
    connect(&avatars, &AvatarLoader::pictureLoaded, this,
            [this](const QString &id, const QImage &image) { chats.showPicture(id, image); });
    // Popups of a burst wait for its end, but a stream that never ends still shows some.
    const auto drainEnds = [this](bool more) {
        if ((!more || notifications.heldTooLong()) && notifications.release())
            playChatIn();
    };
    control.setSession(zmsgfw,
                       {[this] { return sessionActive; }, [this](const QString &object) { readIncoming(object); },
                        [this] { notifications.hold(); }, drainEnds});
}

void frmLogin::endNotification()
{
    notifications.popupFinished(qobject_cast<NotificationWidget *>(sender()));
}

void frmLogin::noteBack(QString noteTag)
{
    const QStringList parts = noteTag.split(QLatin1Char('\n'));
    if (parts.size() >= 2 && parts.at(0) == QLatin1String("ocw"))
        chats.openToWrite(parts.at(1));
}

void frmLogin::on_labWelcomeNick_linkActivated(QString link)
{
    if (link == QLatin1String("zmp://editprofile"))
        AccountDialogs::ownProfile(this);
    else if (link == QLatin1String("zmp://friendrequests"))
        AccountDialogs::friendRequests(this);
}

void frmLogin::setWatchdogInterval(int milliseconds)
{
    watchdogMs = milliseconds;
    if (timerLC->isActive())
        timerLC->start(watchdogMs);
}

void frmLogin::on_timerSS_tick()
{
    if (isSessionLoggedIn())
        menus->enableTrayStatusMenu();
    // Lines that arrived before the server closed the connection are handled all the same.
    if (sessionActive)
        control.drain();
    timerSS->start(100);
}

void frmLogin::on_timerOA_tick()
{
    if (isSessionLoggedIn())
        control.refreshContacts();
    timerOA->start(20000);
}

void frmLogin::on_timerFR_tick()
{
    if (isSessionLoggedIn())
        control.refreshRequests();
    timerFR->start(207500);
}

void frmLogin::on_timerLC_tick()
{
    // One attempt at a time: a running one reports when it ends. Against a server that does
    // not answer an attempt takes up to ten seconds; it runs on a connection of its own, and the
    // windows stay usable meanwhile.
    if (sessionActive && !zmsgfw->isLoggedIn() && !isLoginAttemptRunning())
        startLoginAttempt(false, [this](LoginAttempt &attempt) { reloginEnded(attempt); });
    timerLC->start(watchdogMs);
}

void frmLogin::reloginEnded(LoginAttempt &attempt)
{
    if (!sessionActive)
        return;
    const int result = takeOverAttempt(attempt);
    if (result == 200) {
        control.requestAfterRelogin();
        updateWelcomeLine(ownNick);
        if (disconnected) {
            showBalloon(tr("Reconnected"), tr("%1 has relogged in your account").arg(QStringLiteral("Zelto Messenger")),
                        QSystemTrayIcon::Information);
            disconnected = false;
        }
    } else if (result == 404) {
        sessionActive = false;
        logoutUser();
        showBalloon(tr("Logged out"), tr("Your Account data has been expired!"), QSystemTrayIcon::Warning);
    } else if (result == 500) {
        showOwnState(8);
        if (!disconnected) {
            disconnected = true;
            contactRows.showAllOffline();
            for (const QString &user : contactItems.keys())
                chats.updateInfo(user);
            showBalloon(tr("Disconnected"), tr("Please check your Internet connection!"), QSystemTrayIcon::Warning);
        }
    }
}

void frmLogin::showBalloon(const QString &title, const QString &text, QSystemTrayIcon::MessageIcon icon)
{
    qInfo().noquote() << "Tray balloon:" << title << "-" << text;
    if (tray && tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()) {
        tray->showMessage(title, text, icon, 10000);
    } else {
        // Without a tray the balloon would go unseen; a popup tells the user instead.
        const int state = icon == QSystemTrayIcon::Information ? 1 : 8;
        showNotification(MessageFormat::escapeHtml(text), title, QString(), stateNotificationImage(state), title, text);
    }
    emit balloonShown(title, text);
}
