#ifndef FRMLOGIN_H
#define FRMLOGIN_H

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>

#include "AccountDialogs.h"
#include "AvatarLoader.h"
#include "ChatRegistry.h"
#include "ContactActions.h"
#include "ContactBook.h"
#include "ContactListView.h"
#include "IncomingDispatcher.h"
#include "IncomingObject.h"
#include "IncomingView.h"
#include "LoginPage.h"
#include "NotificationPresenter.h"
#include "RegistrationPage.h"
#include "SessionControl.h"

#include <zguifw.h>
#include <zmsgfw111q.h>

#include <functional>
#include <memory>
#include <optional>

class QCloseEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QMouseEvent;
class QTimer;
class UpdateThread;
class frmUpdate;
class frmChat;
class LoginAttempt;
class SecretStore;

namespace Ui {
class frmLogin;
}
class HoverHighlight;
class LanguageMenu;
class MainMenus;

// The main window: login pages, contact pages and registration page on one stacked widget,
// the tray icon, the menus and the one protocol session object of the program run. Its work
// is done by the classes it holds; its own files are split by subject: the contact list and
// the chat windows (frmLogin_contacts.cpp), the polls, the incoming objects and the watchdog
// (frmLogin_incoming.cpp), the account dialogs (frmLogin_dialogs.cpp).
class frmLogin : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmLogin(QWidget *parent = nullptr);
    ~frmLogin() override;

    // Hand-over from start-up.
    void setTranslationDir(const QString &dir) { translationDir = dir; }
    QString translationDirectory() const { return translationDir; }
    void setUpdateObjects(UpdateThread *thread, frmUpdate *dialog);

    ZMsgFw111Q *session() const { return zmsgfw; }
    // Pause between two runs of the connection watchdog: ten seconds unless a test shortens it.
    void setWatchdogInterval(int milliseconds);
    bool isSessionLoggedIn() { return sessionActive && zmsgfw->isLoggedIn(); }
    bool isSessionActive() const { return sessionActive; }
    std::optional<int> contactState(const QString &user) const { return contactBook.stateOf(user); }
    // True once the contact's current avatar picture has been downloaded and decoded.
    bool isContactAvatarLoaded(const QString &user) const { return avatars.hasPicture(contactAvatars.value(user)); }
    int addUserContact(QString user) { return zmsgfw->addUserContact(user); }
    int delUserContact(QString user) { return zmsgfw->delUserContact(user); }
    int sendMessageToUser(QString user, QString message) { return zmsgfw->sendMessageToUser(user, message); }
    int setUserPassword(QString oldPassword, QString newPassword)
    {
        return zmsgfw->setUserPassword(oldPassword, newPassword);
    }
    int setUserNick(QString nick) { return zmsgfw->setUserNick(nick); }
    int setUserMessageState(QString message) { return zmsgfw->setUserMessageState(message); }
    QString getClassVersion() { return zmsgfw->getClassVersion(); }
    QString getLibraryVersion() { return ZGuiFw().getLibraryVersion(); }

    QString ownNickName() const { return ownNick; }
    QString ownUserName() const { return loginPage->name(); }
    QString localHostName() const { return hostName; }
    bool isDesignedMode() const { return designedMode; }
    QSystemTrayIcon *trayIcon() const { return tray; }
    QLabel *statusPicture() const;
    QListWidget *contactList() const { return contactListInUse; }
    // Read at the first contact row or chat, not before the first window.
    QImage defaultAvatarImage() const
    {
        if (defaultAvatar.isNull())
            defaultAvatar.load(QStringLiteral(":/gui/0-default.png"));
        return defaultAvatar;
    }
    void updateWelcomeLine(const QString &nick);
    void buildMenuBar();
    void applyDesignedStyles();
    void showLoginPage();
    void showContactPage();
    // Tray icon, tool tip and status picture for an own state code.
    void showOwnState(int state);
    bool isLoginInProgress() const;
    // True while a login runs on a connection of its own (automatic login, re-login).
    bool isLoginAttemptRunning() const { return control.isAttemptRunning(); }
    QString registrationCaptchaCode() const { return registration->captchaCode(); }

signals:
    // Every tray balloon the window shows, also where no tray can show it.
    void balloonShown(QString title, QString text);

public slots:
    void playChatIn();
    void avatarInsert(QByteArray avatarPixmap, QString avatarImage) { avatars.insert(avatarPixmap, avatarImage); }

private slots:
    void aboutZelto() { AccountDialogs::aboutZelto(this); }
    void aboutZMP() { AccountDialogs::aboutZmp(this); }
    void on_doAutologin();
    void on_cmdLogin_clicked() { loginPage->login(true, false); }
    void on_timerFR_tick();
    void on_timerSS_tick();
    void on_timerOA_tick();
    void on_timerLC_tick();
    void on_timerLB_tick();
    void on_lwContacts_itemDoubleClicked(QListWidgetItem *item) { openChatForItem(item); }
    void setStateOnline() { setOwnState(1); }
    void setStateAway() { setOwnState(2); }
    void setStateBusy() { setOwnState(3); }
    void setStateNotjust() { setOwnState(4); }
    void setStateShowoffline() { setOwnState(5); }
public slots:
    void logoutUserWithRemoveAutologin();
    void logoutUser();
private slots:
    void openLoginWindowNormal();
    void openLoginWindow(QSystemTrayIcon::ActivationReason reason);
public slots:
    void endZM();
private slots:
    void changePassword() { AccountDialogs::changePassword(this); }
    void editProfile() { on_labWelcomeNick_linkActivated(QStringLiteral("zmp://editprofile")); }
    void on_cmdClose_clicked() { close(); }
    void on_labWelcomeNick_linkActivated(QString link);
    void on_lwContacts_customContextMenuRequested(QPoint pos);
    void openChat();
    void openConfig() { AccountDialogs::preferences(this); }
    void addContact() { contactActions.add(); }
    void showProfile();
    void setLanguage();
    void removeContact() { contactActions.remove(currentContact()); }
    void serverGroupChat();
    void triggerRemoveCustomNick() { contactActions.resetName(currentContact()); }
    void triggerSetCustomNick() { contactActions.rename(currentContact()); }
    void on_cbStayLoggedIn_stateChanged(int) { loginPage->followStayLoggedIn(); }
    void on_labRegister_linkActivated(QString link);
    void on_cmdStop_clicked() { close(); }
    void on_cmdBack_clicked();
    void on_cmdRegister_clicked() { registration->submit(); }
    void on_cmdRegisterCaptchaGenerateNew_clicked() { registration->newCaptcha(); }
    void setAvatarWorkFalse();
public slots:
    void readIncoming(QString object) { dispatcher->dispatch(object); }
    void noteBack(QString data);
    void endNotification();
private slots:
    void on_labDesignedLogin_mousePress(QMouseEvent *) {}
    void on_labDesignedLogin_mouseRelease(QMouseEvent *ev);
    void checkUpdate() { AccountDialogs::checkUpdate(this, updateThread); }
    void on_lwContactsDesigned_customContextMenuRequested(QPoint pos);
    void on_lwContactsDesigned_itemDoubleClicked(QListWidgetItem *item) { openChatForItem(item); }
    void on_txtContactsSearch_textEdited(QString text) { contactRows.filter(text); }
    void on_labContactsSearchReset_mouseRelease(QMouseEvent *ev);
    void on_labUserNameDesigned_mouseRelease(QMouseEvent *) {}
    void on_labUserStatusDesigned_mouseRelease(QMouseEvent *) {}
    void on_frStatus_mouseRelease(QMouseEvent *ev);

protected:
    void closeEvent(QCloseEvent *event) override;

    // Contact list, chat windows and incoming objects.
public:
    static QString stateName(int state) { return QLatin1String(IncomingObject::stateName(state)); }
    static QString stateIconPath(int state) { return IncomingObject::stateIconPath(state); }
    static QString ownStateIconPath(int state) { return IncomingObject::ownStateIconPath(state); }
    static QString stateNotificationImage(int state) { return IncomingObject::stateNotificationImage(state); }
    QString displayName(QString user) { return contactBook.displayName(user); }
    const ContactBook &contacts() const { return contactBook; }
    const QStringList &pendingFriendRequests() const { return friendRequests; }
    void updateFriendRequests(QString added, QString removed);
    void insertOfflineContact(QString user);
    void addContactByName(QString user, QWidget *parent) { contactActions.addByName(user, parent); }
    bool hasCustomNick(QString user) { return contactBook.hasCustomNick(user); }
    void setCustomNick(QString user, QString nick) { contactBook.setCustomNick(user, nick); }
    QIcon makeContactIcon(QImage avatar, QImage stateIcon)
    {
        return ContactListView::makeIcon(avatar, stateIcon, isDesignedMode());
    }
    QString ownAvatarId() { return contactAvatars.value(ownUserName()); }
    // Raises a popup; noteTag "ocw\n" + user makes a click open that contact's chat. With a
    // summary, the desktop's notification service shows summary and plain-text body instead
    // when it is there and the preferences allow it.
    void showNotification(QString text, QString title, QString noteTag, QString image,
                          const QString &summary = QString(), const QString &body = QString())
    {
        notifications.show({text, title, noteTag, image, summary, body});
    }
    // Brings an open chat forward, or creates, fills and shows a new one.
    void openChatWindow(QString user, QString displayName, QString statusMessage, QString stateIconPath, int state,
                        QString avatarId, bool startMinimised)
    {
        chats.open(user, displayName, statusMessage, stateIconPath, state, avatarId, startMinimised);
    }
    QImage contactAvatarImage(QString avatarId) { return avatars.picture(avatarId, defaultAvatarImage()); }
    // A closing chat window: dropped from chatWindows when it is the one kept for user.
    void forgetChatWindow(const QString &user, frmChat *chat) { chats.forget(user, chat); }

private:
    // The dispatcher and the session's control, once the session object exists.
    void createDispatcher();
    void clearContactTables();
    // Closes every chat window and stops the avatar thread, whose results would belong to the
    // ended session.
    void closeAllChatWindows();
    void startAvatarThread() { avatars.start(); }
    void resetContactSearch();
    QString currentContact() const;
    void showContactMenu(QListWidget *list);
    void openChatForItem(QListWidgetItem *item);
    void reloginEnded(LoginAttempt &attempt);
    void showBalloon(const QString &title, const QString &text, QSystemTrayIcon::MessageIcon icon);

    ContactBook contactBook;
    AvatarLoader avatars{this};
    ContactListView contactRows{contactBook, avatars, this};
    ChatRegistry chats{contactBook, this};
    ContactActions contactActions{this, contactRows, chats};
    NotificationPresenter notifications{this};
    std::unique_ptr<IncomingView> incomingView;
    std::unique_ptr<IncomingDispatcher> dispatcher;
    SessionControl control;
    // The contact tables, kept by the book and the rows, and what the chats and avatars keep.
    QMap<QString, QListWidgetItem *> &contactItems = contactRows.items;
    QMap<QListWidgetItem *, QString> &itemContacts = contactRows.users;
    QMap<QString, QString> &nicks = contactBook.nicks;
    QMap<QString, int> &states = contactBook.states;
    QMap<QString, QString> &stateIcons = contactBook.stateIcons;
    QMap<QString, QString> &statusMessages = contactBook.statusMessages;
    QMap<QString, QString> &contactAvatars = contactBook.contactAvatars;
    QMap<QString, bool> &avatarShown = contactBook.avatarShown;
    QStringList &friendRequests = contactBook.friendRequests;
    QMap<QString, frmChat *> &chatWindows = chats.windows;
    QMap<QString, QImage> &avatarImages = avatars.images;
    QStringList &avatarQueue = avatars.queue;
    bool &avatarWork = avatars.working;

    // Account dialogs.
public:
    // Uploads the own avatar with the login page's credentials; false when offline or refused.
    bool uploadAvatar(QImage image);
    void enableUpdateNotification();
    void disableUpdateNotification();
    // After a confirmed password change: the login fields, and the stored password when
    // automatic login is on, take the new one so the next re-login uses it.
    void takeChangedPassword(const QString &newPassword);

    // Login, session, frame, language menu and registration.
private:
    // The designed or the classic pages, as the preferences chose.
    void showInterfaceMode();
    // What follows a successful login; askNick gives the own nick.
    void enterSession(const std::function<QString()> &askNick);
    // An automatic login that found no server: offline, with the nick last stored.
    void enterOfflineWithLastNick();
    void enterOfflineSession(int state, QString nick);
    void storeLoginChoices();
    // Logs in with the login page's credentials; SessionControl::startAttempt.
    void startLoginAttempt(bool askNick, std::function<void(LoginAttempt &)> done);
    int takeOverAttempt(LoginAttempt &attempt);
    void createMenus();
    // Once, after the window is up: the tray asks the desktop over D-Bus and reads icon
    // themes, which the first window does not need.
    void buildTrayIcon();
    // Gone for good: closing or restarting must not bring it back.
    void removeTrayIcon();
    // Return in the login fields logs in; the designed page's "Login" label and the links
    // are reachable with the keyboard.
    void setupKeyboard();
    void createTimers();
    void armTimers();
    void restoreWindowGeometry();
    // Fills the menu bar's "Change Language" menu; its entries call setLanguage.
    void setupLanguages(QMenu *menu);
    void setOwnState(int state);
    // The form's texts, pictures and limits, and the registration page.
    void setupForm();
    // The one session object of the program run.
    void createSession();
    void registrationCreated(const QString &userName);
    bool hoverPageVisible() const;

    Ui::frmLogin *ui;
    ZMsgFw111Q *zmsgfw;
    SecretStore *keyring = nullptr;
    bool sessionActive = false;
    bool disconnected = false;
    QString ownNick;
    bool designedMode = true;

    QString translationDir;
    QString hostName;
    QListWidget *contactListInUse = nullptr;
    mutable QImage defaultAvatar;
    QSystemTrayIcon *tray = nullptr;
    bool trayDone = false;
    // What the tray is to show once it is there.
    std::optional<int> ownStateShown;
    UpdateThread *updateThread = nullptr;
    frmUpdate *updateDialog = nullptr;

    std::unique_ptr<LoginPage> loginPage;
    std::unique_ptr<RegistrationPage> registration;
    std::unique_ptr<LanguageMenu> languages;
    MainMenus *menus = nullptr;
    HoverHighlight *hover = nullptr;

    // All single shots: four restart themselves at the end of their slot; timerLB runs once
    // whenever the cursor enters or leaves a highlighted widget.
    QTimer *timerSS = nullptr;
    QTimer *timerOA = nullptr;
    QTimer *timerFR = nullptr;
    QTimer *timerLB = nullptr;
    QTimer *timerLC = nullptr;
    int watchdogMs = 10000;
};

#endif
