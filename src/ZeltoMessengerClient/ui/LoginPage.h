#ifndef LOGINPAGE_H
#define LOGINPAGE_H

#include <QCoreApplication>
#include <QString>

#include <functional>

class LoginAttempt;
class QSettings;
class QWidget;
class SecretStore;
class ZMsgFw111Q;

namespace Ui {
class frmLogin;
}
namespace LoginStore {
struct Remembered;
}

// The two login pages and their login: the fields, the remembered choices behind the check
// boxes, the boxes that say why a login did not happen. A login reads the classic page's
// fields; the designed page copies its own into them first.
class LoginPage
{
    Q_DECLARE_TR_FUNCTIONS(frmLogin)

public:
    // What a login leads to in the main window.
    struct Session {
        ZMsgFw111Q *session = nullptr;
        // A login on a connection of its own, off the window's thread, asking for the nick;
        // done runs on the window's thread unless the session it was meant for ended.
        std::function<void(std::function<void(LoginAttempt &)> done)> startAttempt;
        // Makes an ended attempt's connection the session's; returns the login's result.
        std::function<int(LoginAttempt &)> takeOverAttempt;
        // A successful login; askNick gives the own nick.
        std::function<void(const std::function<QString()> &askNick)> enter;
        // An automatic login that found no server.
        std::function<void()> enterOffline;
    };

    LoginPage(Ui::frmLogin *form, QWidget *owner, bool designedMode);
    void setSession(Session session);

    // The user's login blocks (showErrors); the automatic one runs off this thread and, with
    // fallBackOffline, enters the offline session when no server answers.
    void login(bool showErrors, bool fallBackOffline);
    void loginFromDesignedPage();
    bool isBusy() const { return busy; }

    // The designed page's larger font.
    void useDesignedFont();
    // Return in a field logs in, and the designed page's "Login" label acts as a button.
    void setupKeyboard();

    QString name() const;
    QString password() const;
    bool stayLoggedIn() const;
    bool startWithSystem() const;

    // Fills in the remembered login, locked until autologin runs: shortly, or once the
    // keyring gave the password; without it the user types the password.
    void startRemembered(const LoginStore::Remembered &remembered, SecretStore *keyring,
                         const std::function<void()> &autologin);
    void unlock();
    void setName(const QString &name);
    void setPassword(const QString &password);
    // A blocking login shows the wait cursor; one running elsewhere leaves the fields as it
    // read them.
    void setBusy(bool busyNow, bool blocking);
    // The start-up choice remembered in the settings; the boxes follow it.
    void setStartUpChoice(bool startWithSystem);
    // "Start with Windows" is offered only with "Stay logged in"; unticking remembers it.
    void followStayLoggedIn();
    // What the check boxes ask for after a login: the credentials and the start-up entry.
    void storeChoices(QSettings &settings, SecretStore *keyring);
    // "Logout": the credentials, the start-up entry and the start-up choice are forgotten.
    void forgetChoices(QSettings &settings, SecretStore *keyring);
    // After a logout: empty fields, ticked boxes, the name field focused.
    void reset();

private:
    void fillRemembered(const QString &name, const QString &password);
    void copyDesignedPage();
    // The keyring gave no password: the user types it, the name is already there.
    void unlockForTyping();
    // False, with a warning when showErrors, for input no login can send.
    bool checkInput(bool showErrors) const;
    void loginElsewhere(bool fallBackOffline);
    void failed(int result, bool showErrors, bool fallBackOffline);
    // The warning for a refused login; none for results without one.
    void warnRefused(int result) const;

    Ui::frmLogin *ui;
    QWidget *window;
    const bool designed;
    // What "Start with Windows" gets back when "Stay logged in" is ticked again.
    bool userBootUp = true;
    bool busy = false;
    Session link;
};

#endif
