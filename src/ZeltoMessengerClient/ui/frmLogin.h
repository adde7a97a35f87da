#ifndef FRMLOGIN_H
#define FRMLOGIN_H

#include <QByteArray>
#include <QHash>
#include <QIcon>
#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QSystemTrayIcon>

#include "AvatarLoader.h"
#include "ChatRegistry.h"
#include "ContactActions.h"
#include "ContactBook.h"
#include "ContactListView.h"
#include "IncomingDispatcher.h"
#include "IncomingObject.h"
#include "IncomingView.h"
#include "NotificationPresenter.h"

#include <zmsgfw111q.h>

#include <functional>
#include <memory>
#include <optional>

class QAction;
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
class QSettings;

namespace Ui {
class frmLogin;
}
namespace LoginStore {
struct Remembered;
}
class HoverHighlight;
class LanguageMenu;
class LoginPage;
class MainMenus;
class RegistrationPage;

// The main window: login pages, contact pages and registration page on one stacked widget,
// the tray icon, the menus and the one protocol session object of the program run.
// Its members are grouped by subject; the contact list, the chat windows and the account
// dialogs live in frmLogin_contacts.cpp / frmLogin_incoming.cpp, frmLogin_chat.cpp and
// frmLogin_dialogs.cpp.
class frmLogin : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmLogin(QWidget *parent = nullptr);
    ~frmLogin() override;

    // Hand-over from start-up.
    void setTranslationDir(const QString &dir);
    QString translationDirectory() const { return translationDir; }
    void setUpdateObjects(UpdateThread *thread, frmUpdate *dialog);

    // --- session, offered to the dialogs and chat windows ---
    ZMsgFw111Q *session() const { return zmsgfw; }
    // Pause between two runs of the connection watchdog: ten seconds unless a test shortens it.
    void setWatchdogInterval(int milliseconds);
    // True when the session flag is set and the session object is logged in.
    bool isSessionLoggedIn() { return sessionActive && zmsgfw->isLoggedIn(); }
    bool isSessionActive() const { return sessionActive; }
    // The last state the server gave for a contact, if any.
    std::optional<int> contactState(const QString &user) const;
    // True once the contact's current avatar picture has been downloaded and decoded.
    bool isContactAvatarLoaded(const QString &user) const;
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
    QString getLibraryVersion();

    // --- frame, offered to the other parts of the window ---
    QString ownNickName() const { return ownNick; }
    QString ownUserName() const;
    QString localHostName() const { return hostName; }
    bool isDesignedMode() const { return designedMode; }
    QSystemTrayIcon *trayIcon() const { return tray; }
    QLabel *statusPicture() const;
    QListWidget *contactList() const { return contactListInUse; }
    QImage defaultAvatarImage() const { return defaultAvatar; }
    void updateWelcomeLine(const QString &nick);
    void buildMenuBar();
    void applyDesignedStyles();
    void showLoginPage();
    void showContactPage();
    // Tray icon, tool tip and status picture for an own state code.
    void showOwnState(int state);
    bool isLoginInProgress() const;
    // True while a login runs on a connection of its own (automatic login, re-login).
    bool isLoginAttemptRunning() const { return !loginAttempt.isNull(); }
    // The code of the captcha the registration page shows.
    QString registrationCaptchaCode() const;

signals:
    // Every tray balloon the window shows, also where no tray can show it.
    void balloonShown(QString title, QString text);

public slots:
    void playChatIn();
    void avatarInsert(QByteArray avatarPixmap, QString avatarImage); // chat windows and avatars

private slots:
    void aboutZelto(); // account dialogs
    void aboutZMP(); // account dialogs
    void on_doAutologin();
    void on_cmdLogin_clicked();
    void on_timerFR_tick();
    void on_timerSS_tick();
    void on_timerOA_tick();
    void on_timerLC_tick(); // contact list and incoming events: connection watchdog
    void on_timerLB_tick();
    void on_lwContacts_itemDoubleClicked(QListWidgetItem *item); // contact list
    void setStateOnline();
    void setStateAway();
    void setStateBusy();
    void setStateNotjust();
    void setStateShowoffline();
public slots:
    void logoutUserWithRemoveAutologin();
    void logoutUser();
private slots:
    void openLoginWindowNormal();
    void openLoginWindow(QSystemTrayIcon::ActivationReason reason);
public slots:
    void endZM();
private slots:
    void changePassword(); // account dialogs
    void editProfile(); // contact list and incoming events
    void on_cmdClose_clicked();
    void on_labWelcomeNick_linkActivated(QString link); // contact list and incoming events
    void on_lwContacts_customContextMenuRequested(QPoint pos); // contact list
    void openChat(); // contact list
    void openConfig(); // account dialogs
    void addContact(); // contact list
    void showProfile(); // account dialogs
    void setLanguage();
    void removeContact(); // contact list
    void serverGroupChat();
    void triggerRemoveCustomNick(); // contact list
    void triggerSetCustomNick(); // contact list
    void on_cbStayLoggedIn_stateChanged(int arg1);
    void on_labRegister_linkActivated(QString link);
    void on_cmdStop_clicked();
    void on_cmdBack_clicked();
    void on_cmdRegister_clicked();
    void on_cmdRegisterCaptchaGenerateNew_clicked();
    void setAvatarWorkFalse(); // chat windows and avatars
public slots:
    void readIncoming(QString object); // contact list and incoming events
    void noteBack(QString data); // contact list and incoming events
    void endNotification(); // contact list and incoming events
private slots:
    void on_labDesignedLogin_mousePress(QMouseEvent *ev);
    void on_labDesignedLogin_mouseRelease(QMouseEvent *ev);
    void checkUpdate(); // account dialogs
    void on_lwContactsDesigned_customContextMenuRequested(QPoint pos); // contact list
    void on_lwContactsDesigned_itemDoubleClicked(QListWidgetItem *item); // contact list
    void on_txtContactsSearch_textEdited(QString arg1); // contact list
    void on_labContactsSearchReset_mouseRelease(QMouseEvent *ev); // contact list
    void on_labUserNameDesigned_mouseRelease(QMouseEvent *ev);
    void on_labUserStatusDesigned_mouseRelease(QMouseEvent *ev);
    void on_frStatus_mouseRelease(QMouseEvent *ev);

protected:
    void closeEvent(QCloseEvent *event) override;

    // ------------------------------------------------------------------------------------
    // --- contact list and incoming events ---
    // (frmLogin_contacts.cpp, frmLogin_incoming.cpp; the rows in ContactListView, the
    // dispatch in IncomingDispatcher, the notices in NotificationPresenter)
public:
    static QString stateName(int state) { return QLatin1String(IncomingObject::stateName(state)); }
    static QString stateIconPath(int state) { return IncomingObject::stateIconPath(state); }
    static QString ownStateIconPath(int state) { return IncomingObject::ownStateIconPath(state); }
    static QString stateNotificationImage(int state) { return IncomingObject::stateNotificationImage(state); }
    QString displayName(QString user) { return contactBook.displayName(user); }
    // The contact tables of the session.
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
    QString ownAvatarId();
    // Raises a popup; data "ocw\n" + user makes a click open that contact's chat. With a
    // summary, the desktop's notification service shows summary and plain-text body instead
    // when it is there and the preferences allow it.
    void showNotification(QString text, QString title, QString data, QString image, const QString &summary = QString(),
                          const QString &body = QString());

private:
    // Called by the constructor, once the session object exists.
    void createDispatcher();
    // Called by logoutUser: empties both list widgets and every per-contact table.
    void clearContactTables();
    // Called by the poll: hands every complete buffered object to readIncoming, in order,
    // until the buffer is empty or the tick's time budget is spent.
    void drainIncoming();
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
    bool drainPending = false;
    // The contact tables, kept by the book and the rows.
    QMap<QString, QListWidgetItem *> &contactItems = contactRows.items;
    QMap<QListWidgetItem *, QString> &itemContacts = contactRows.users;
    QMap<QString, QString> &nicks = contactBook.nicks;
    QMap<QString, int> &states = contactBook.states;
    QMap<QString, QString> &stateIcons = contactBook.stateIcons;
    QMap<QString, QString> &statusMessages = contactBook.statusMessages;
    QMap<QString, QString> &contactAvatars = contactBook.contactAvatars;
    QMap<QString, bool> &avatarShown = contactBook.avatarShown;
    QStringList &friendRequests = contactBook.friendRequests;
    // --- end of contact list and incoming events ---

    // ------------------------------------------------------------------------------------
    // --- chat windows and avatars ---
    // (frmLogin_chat.cpp; the windows in ChatRegistry, the pictures in AvatarLoader)
public:
    // Brings an open chat forward, or creates, fills and shows a new one.
    void openChatWindow(QString user, QString displayName, QString statusMessage, QString stateIconPath, int state,
                        QString avatarId, bool startMinimised);
    // The downloaded picture of an avatar id, else the default avatar.
    QImage contactAvatarImage(QString avatarId);
    // A closing chat window: dropped from chatWindows when it is the one kept for user.
    void forgetChatWindow(const QString &user, frmChat *chat) { chats.forget(user, chat); }

private:
    // Called by logoutUser: closes and forgets every open chat window, and stops the avatar
    // thread (its results would belong to the ended session).
    void closeAllChatWindows();
    // Called by applyDesignedStyles: every open chat window refreshes its own styles.
    void refreshChatStyles() { chats.refreshStyles(); }
    // Starts a thread over the queue unless one runs.
    void startAvatarThread() { avatars.start(); }

    QMap<QString, frmChat *> &chatWindows = chats.windows;
    QMap<QString, QImage> &avatarImages = avatars.images;
    QStringList &avatarQueue = avatars.queue;
    bool &avatarWork = avatars.working;
    // --- end of chat windows and avatars ---

    // ------------------------------------------------------------------------------------
    // --- account dialogs ---
    // (frmLogin_dialogs.cpp; the dialogs are opened by AccountDialogs)
public:
    // Uploads the own avatar with the login page's credentials; false when offline or refused.
    bool uploadAvatar(QImage image);
    void enableUpdateNotification();
    void disableUpdateNotification();
    // After a confirmed password change: the login fields, and the stored password when
    // automatic login is on, take the new one so the next re-login uses it.
    void takeChangedPassword(const QString &newPassword);

    // --- end of account dialogs ---

    // ------------------------------------------------------------------------------------
    // Login, session, frame, language menu and registration (frmLogin.cpp).
private:
    // The designed or the classic pages, as the preferences chose.
    void showInterfaceMode();
    // What follows a successful login; askNick gives the own nick.
    void enterSession(const std::function<QString()> &askNick);
    // An automatic login that found no server: offline, with the nick last stored.
    void enterOfflineWithLastNick();
    void enterOfflineSession(int state, QString nick);
    void storeLoginChoices();
    // Logs in with the login page's credentials on a connection of its own, off this thread;
    // done runs here when the attempt ended, unless the session it was meant for ended first.
    void startLoginAttempt(bool askNick, std::function<void(LoginAttempt &)> done);
    // Handles what an ended attempt read on the way and, when it logged in, makes its
    // connection the session's; returns its result (500 when the connection could not be taken).
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
    void saveWindowGeometry();
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
    QPointer<LoginAttempt> loginAttempt;
    // Counts logouts: an attempt started before the last one belongs to an ended session.
    quint64 sessionGeneration = 0;

    QString translationDir;
    QString hostName;
    QListWidget *contactListInUse = nullptr;
    QImage defaultAvatar;
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

    // The five timers, all single shots. Four restart themselves at the end of their slot (the
    // watchdog with timerLC->start(watchdogMs)); timerLB runs once whenever the cursor enters or
    // leaves a highlighted widget.
    QTimer *timerSS = nullptr;
    QTimer *timerOA = nullptr;
    QTimer *timerFR = nullptr;
    QTimer *timerLB = nullptr;
    QTimer *timerLC = nullptr;
    int watchdogMs = 10000;
};

#endif
