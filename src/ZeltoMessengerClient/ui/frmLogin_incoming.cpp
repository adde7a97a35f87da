// Incoming-event dispatch, connection watchdog and popups of the main window.
#include "frmLogin.h"
#include "ui_frmLogin.h"

#include "DesktopNotifications.h"
#include "IncomingObject.h"
#include "LoginAttempt.h"
#include "MessageFormat.h"
#include "MessageReceipts.h"
#include "NotificationWidget.h"
#include "PopupText.h"
#include "UiAlert.h"
#include "frmChat.h"
#include "zmsgfw111q.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QListWidget>
#include <QSettings>
#include <QTimer>

using namespace IncomingObject;

namespace {

// How long one poll may spend handing over buffered objects before the window gets the
// event loop back; what is left is taken at the next tick.
constexpr int DrainBudgetMs = 20;
constexpr int DrainPauseMs = 5;
// Popups alive at once: a new one makes the oldest fade out, and beyond the hard limit the
// oldest closes at once, so a burst of state changes cannot pile up windows and timers.
constexpr int VisiblePopups = 3;
constexpr int MaxPopups = 8;

// A message from a new name opens a chat window, and a server can send from any number of
// names. Beyond this many open chats a minimised one, a stranger's before a contact's, is
// closed before another opens; its conversation stays in its history file.
constexpr int MaxOpenChats = 64;

void makeRoomForChat(const QMap<QString, frmChat *> &windows, const QMap<QString, QListWidgetItem *> &contacts)
{
    if (windows.size() < MaxOpenChats)
        return;
    frmChat *spare = nullptr;
    for (auto it = windows.cbegin(); it != windows.cend(); ++it) {
        frmChat *chat = it.value();
        if (!chat || !chat->isMinimized())
            continue;
        if (!contacts.contains(it.key())) {
            spare = chat;
            break;
        }
        if (!spare)
            spare = chat;
    }
    if (spare)
        spare->close();
}

} // namespace

// ---------------------------------------------------------------------------------------
// Polling

void frmLogin::drainIncoming()
{
    QElapsedTimer budget;
    budget.start();
    holdNotifications();
    bool continues = false;
    while (sessionActive && zmsgfw->isObjectIncoming()) {
        readIncoming(zmsgfw->readObject());
        if (budget.elapsed() >= DrainBudgetMs) {
            // More is buffered: give the event loop a turn, then go on without waiting for
            // the next regular tick, so a burst is not stretched over many seconds.
            continues = zmsgfw->isObjectIncoming();
            if (!drainPending && continues) {
                drainPending = true;
                QTimer::singleShot(DrainPauseMs, this, [this] {
                    drainPending = false;
                    drainIncoming();
                });
            }
            break;
        }
    }
    // Popups of a burst wait for its end, but a stream that never ends still shows some.
    if (!continues || notificationQueue.heldTooLong())
        releaseNotifications();
}

// ---------------------------------------------------------------------------------------
// Dispatch

void frmLogin::readIncoming(QString object)
{
    QStringList parts;
    switch (modeOf(object, &parts)) {
    case Mode::Empty:
        return;
    case Mode::Message:
        qDebug() << "Go to MessageFromUser mode";
        incomingMessage(object, parts);
        return;
    case Mode::Return:
        qDebug() << "Go to ReturnIntialize mode";
        incomingReturn(object, parts);
        return;
    case Mode::Other:
        qDebug().noquote() << object;
        return;
    }
}

void frmLogin::incomingMessage(const QString &object, const QStringList &parts)
{
    // Taken first: showing the message may run an event loop in which the next one is read.
    const qint64 id = zmsgfw->messageId(object);
    Message message;
    if (!parseMessage(object, parts, &message)) {
        receipts->confirm(id);
        return;
    }
    const QString sender = message.sender;
    if (receipts->shownBefore(ownUserName(), id, sender, message.text)) {
        // Delivered again because its confirmation was lost: it is in the chat already.
        qDebug() << "Message" << id << "from" << sender << "shown before";
        receipts->confirm(id);
        return;
    }
    const QString name = displayName(sender);

    if (!chatWindows.contains(sender)) {
        makeRoomForChat(chatWindows, contactItems);
        if (nicks.contains(sender) && statusMessages.contains(sender)) {
            const int state = states.value(sender, 8);
            openChatWindow(sender, name, statusMessages.value(sender), stateIcons.value(sender, stateIconPath(state)),
                           state, contactAvatars.value(sender), true);
        } else {
            const QString stranger = tr("<span style=\"color: blue;\">%1</span><span> is not in your contacts!</span>")
                                         .arg(MessageFormat::escapeName(name));
            openChatWindow(sender, name, QString(), stateIconPath(8), 8, QString(), true);
            chatWindows.value(sender)->setStatusMarkup(stranger);
        }
        playChatIn();
    }

    frmChat *chat = chatWindows.value(sender);
    if (!chat)
        return;
    if (!chat->isActiveWindow() || chat->isMinimized()) {
        // The popup shows the start only: a long message is not decoded whole for it.
        const QByteArray decoded = MessageFormat::decodeEntitiesStart(message.text, 64);
        const QString text = chat->formatMessage(PopupText::line(decoded));
        showNotification(PopupText::header(name) + text, tr("Incoming Message"), QStringLiteral("ocw\n") + sender,
                         QStringLiteral(":/img/notification-mail.png"), name, PopupText::plainLine(decoded));
        playChatIn();
    }
    // The popup or the sound may have run an event loop in which the window went away.
    chat = chatWindows.value(sender);
    if (!chat)
        return;
    chat->receiveMessage(message.text);
    receipts->markShown(id, sender, message.text);
    receipts->confirm(id);
    if (chat->isMinimized())
        flashChatWindow(chat);
}

void frmLogin::incomingReturn(const QString &object, const QStringList &parts)
{
    const ReturnFields fields = parseReturn(parts);
    switch (branchOf(fields)) {
    case Branch::OwnAvatar:
        qDebug() << "Avatar sended";
        contactAvatars.insert(ownUserName(), fields.avatar);
        avatarQueue.append(fields.avatar);
        avatarQueue.removeDuplicates();
        if (!avatarWork)
            startAvatarThread();
        break;
    case Branch::ContactsWithStates:
        qDebug() << "Contacts with states list sended";
        refreshContacts(fields.users);
        break;
    case Branch::ContactsWithAvatar:
        qDebug() << "Contacts with avatar list sended";
        refreshAvatarIds(fields.users);
        break;
    case Branch::OwnState:
        qDebug() << "Online state has changed to" << fields.state << "with Icon" << ownStateIconPath(fields.state);
        showOwnState(fields.state);
        break;
    case Branch::FriendRequests: {
        qDebug() << "Contacts request list sended";
        contactBook.setFriendRequests(fields.users);
        updateWelcomeLine(ownNick);
        break;
    }
    case Branch::MaybeFailedMessage:
        qDebug() << "Maybe failed message";
        break;
    case Branch::StateNotification:
        qDebug() << "Online state notification with the id" << fields.state;
        contactStateChanged(fields.username, fields.state);
        break;
    case Branch::Unhandled:
        qDebug().noquote() << object;
        break;
    }
}

void frmLogin::refreshContacts(const QString &users)
{
    for (const ContactBook::Change &change : contactBook.refresh(users)) {
        const QString &user = change.user;
        QListWidgetItem *item = contactItems.value(user);
        // A custom nick changes only through Rename and Reset name, which set the row text
        // themselves; with nick and status as before the row text is unchanged too.
        const bool textChanged = !item || change.textChanged;
        const QString text = textChanged
            ? ContactBook::rowText(contactBook.displayNameFrom(user, change.nick), change.status)
            : QString();
        if (item) {
            if (textChanged && item->text() != text)
                item->setText(text);
            // Without its picture at hand, a row's icon changes only with the state.
            if (change.stateChanged
                || (!avatarShown.value(user, false) && avatarImages.contains(contactAvatars.value(user))))
                setContactIcon(item, user, change.state);
        } else {
            item = new QListWidgetItem(text);
            setContactIcon(item, user, change.state);
            contactItems.insert(user, item);
            itemContacts.insert(item, user);
            contactListInUse->addItem(item);
        }
        if (textChanged || change.stateChanged)
            updateChatInfo(user);
    }
}

void frmLogin::refreshAvatarIds(const QString &users)
{
    const QStringList entries = userListEntries(users);
    for (const QString &entry : entries) {
        AvatarEntry avatar;
        if (!parseAvatarEntry(entry, &avatar))
            continue;
        const QString &user = avatar.user;
        const QString &id = avatar.avatarId;
        if (contactAvatars.contains(user) && contactAvatars.value(user) == id) {
            if (avatarImages.contains(id)) {
                if (!avatarShown.value(user, false)) {
                    avatarShown.insert(user, true);
                    rebuildContactIcon(user, states.value(user, 8));
                }
            } else {
                avatarShown.insert(user, false);
                avatarQueue.append(id);
            }
        } else {
            contactAvatars.insert(user, id);
            avatarShown.insert(user, false);
            if (!avatarImages.contains(id))
                avatarQueue.append(id);
        }
    }
    avatarQueue.removeDuplicates();
    if (!avatarWork)
        startAvatarThread();
}

void frmLogin::contactStateChanged(const QString &user, int state)
{
    if (!isAccountName(user)) {
        qWarning() << "Refused a state notification without an account name";
        return;
    }
    const int oldState = states.value(user, 8);
    contactBook.recordState(user, state);
    if (contactItems.contains(user) && contactAvatars.contains(user) && state != oldState)
        rebuildContactIcon(user, state);
    updateChatInfo(user);

    const QString name = displayName(user);
    const QByteArray utf8 = (name + QLatin1Char(' ') + tr("changed status")).toUtf8();
    showNotification(PopupText::header(name) + PopupText::line(utf8), tr("Status changed"),
                     QStringLiteral("ocw\n") + user, stateNotificationImage(state), tr("Status changed"),
                     PopupText::plainLine(utf8));
}

// ---------------------------------------------------------------------------------------
// Popups

void frmLogin::holdNotifications()
{
    notificationQueue.hold();
}

void frmLogin::flashChatWindow(frmChat *chat)
{
    // A minimised window stays minimised; its task bar entry is marked instead (activating
    // an iconic window does nothing under X11). Once per burst is enough.
    if (!notificationQueue.isHolding()) {
        UiAlert::request(chat);
    } else if (!heldFlashes.contains(chat)) {
        heldFlashes.append(chat);
    }
}

void frmLogin::releaseNotifications()
{
    const NotificationQueue::Released released = notificationQueue.release();
    const QList<QPointer<frmChat>> flashes = std::exchange(heldFlashes, {});
    for (const QPointer<frmChat> &chat : flashes) {
        if (chat && chat->isMinimized())
            UiAlert::request(chat);
    }
    for (const NotificationQueue::Note &note : released.notes)
        raiseNotification(note);
    if (released.chatIn)
        playChatIn();
}

void frmLogin::showNotification(QString text, QString title, QString noteTag, QString image, const QString &summary,
                                const QString &body)
{
    const NotificationQueue::Note note{text, title, noteTag, image, summary, body};
    if (!notificationQueue.add(note))
        raiseNotification(note);
}

bool frmLogin::showDesktopNotice(const NotificationQueue::Note &note)
{
    if (note.summary.isEmpty()
        || !contactBook.settings().value(QStringLiteral("Interface/SystemNotifications"), true).toBool())
        return false;
    if (!desktopNotices) {
        desktopNotices = new DesktopNotifications(this);
        connect(desktopNotices, &DesktopNotifications::activated, this, &frmLogin::noteBack);
        connect(desktopNotices, &DesktopNotifications::refused, this,
                [this](const DesktopNotifications::Notice &notice) {
                    raiseNotification(
                        {notice.popupText, notice.popupTitle, notice.data, notice.image, QString(), QString()});
                });
    }
    return desktopNotices->show({note.data, note.data + QLatin1Char('\n') + note.title, note.summary, note.body,
                                 note.image, note.title, note.text});
}

void frmLogin::raiseNotification(const NotificationQueue::Note &note)
{
    if (showDesktopNotice(note))
        return;
    const QString &text = note.text;
    const QString &title = note.title;
    const QString &noteTag = note.data;
    const QString &image = note.image;
    popups.removeAll(nullptr);
    // A popup of the same contact and kind that is still showing takes the new text, so a
    // stream of messages from one sender does not build a window per message.
    for (NotificationWidget *shown : qAsConst(popups)) {
        if (shown->notificationData() == noteTag && shown->windowTitle() == title && shown->isVisible()
            && !shown->isFading()) {
            shown->setNotificationText(text);
            if (!image.isEmpty())
                shown->setNotificationImage(QPixmap(image));
            return;
        }
    }
    auto *popup = new NotificationWidget;
    popup->setNotificationData(noteTag);
    popup->setNotificationTitle(title);
    popup->setNotificationText(text);
    if (!image.isEmpty())
        popup->setNotificationImage(QPixmap(image));
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

    connect(popup, &NotificationWidget::notificationPressed, this, &frmLogin::noteBack);
    connect(popup, &QDialog::finished, this, &frmLogin::endNotification);
    popup->startNotification();
}

void frmLogin::endNotification()
{
    if (auto *popup = qobject_cast<NotificationWidget *>(sender())) {
        popups.removeAll(popup);
        popup->deleteLater();
    }
}

void frmLogin::noteBack(QString noteTag)
{
    const QStringList parts = noteTag.split(QLatin1Char('\n'));
    if (parts.size() < 2 || parts.at(0) != QLatin1String("ocw"))
        return;
    const QString &user = parts.at(1);
    openChatWindow(user, displayName(user), statusMessages.value(user), stateIcons.value(user), states.value(user),
                   contactAvatars.value(user), false);
    if (frmChat *chat = chatWindows.value(user)) {
        chat->activateWindow();
        if (QWidget *field = chat->findChild<QWidget *>(QStringLiteral("txtMessageBox")))
            field->setFocus(Qt::OtherFocusReason);
    }
}

// ---------------------------------------------------------------------------------------
// Welcome line

void frmLogin::on_labWelcomeNick_linkActivated(QString link)
{
    if (link == QLatin1String("zmp://editprofile"))
        openOwnProfile();
    else if (link == QLatin1String("zmp://friendrequests"))
        openFriendRequests();
}

void frmLogin::editProfile()
{
    on_labWelcomeNick_linkActivated(QStringLiteral("zmp://editprofile"));
}

// ---------------------------------------------------------------------------------------
// Watchdog

void frmLogin::on_timerLC_tick()
{
    // One attempt at a time: a running one reports when it ends.
    if (sessionActive && !zmsgfw->isLoggedIn() && !loginAttempt)
        relogin();
    timerLC->start(watchdogMs);
}

void frmLogin::relogin()
{
    // Against a server that does not answer an attempt takes up to ten seconds; it runs on a
    // connection of its own, and the windows stay usable meanwhile.
    startLoginAttempt(false, [this](LoginAttempt &attempt) { reloginEnded(attempt); });
}

void frmLogin::reloginEnded(LoginAttempt &attempt)
{
    if (!sessionActive)
        return;
    const int result = takeOverAttempt(attempt);
    if (result == 200) {
        zmsgfw->requestGetUserOnlineState();
        zmsgfw->requestGetUserAvatar();
        // Everyone was shown offline since the loss: the lists come now, not at the next refresh.
        zmsgfw->requestGetUserContactsWithAvatar();
        zmsgfw->requestGetUserContactsWithStates();
        zmsgfw->requestGetUserContactsRequests();
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
            for (auto it = contactItems.constBegin(); it != contactItems.constEnd(); ++it) {
                contactBook.recordState(it.key(), 8);
                setContactIcon(it.value(), it.key(), 8);
                updateChatInfo(it.key());
            }
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
