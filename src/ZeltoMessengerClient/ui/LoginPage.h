#ifndef LOGINPAGE_H
#define LOGINPAGE_H

#include <QCoreApplication>
#include <QString>

#include <functional>

class QSettings;
class QWidget;
class SecretStore;

namespace Ui {
class frmLogin;
}

// The two login pages: their fields, the remembered choices behind their check boxes, and
// the boxes that say why a login did not happen. A login reads the classic page's fields;
// the designed page copies its own into them first.
class LoginPage
{
    Q_DECLARE_TR_FUNCTIONS(frmLogin)

public:
    LoginPage(Ui::frmLogin *form, QWidget *owner, bool designedMode);

    // The designed page's larger font.
    void useDesignedFont();
    // Return in a field logs in, and the designed page's "Login" label acts as a button;
    // loginDesigned logs in from the designed page.
    void setupKeyboard(const std::function<void()> &loginDesigned);

    QString name() const;
    QString password() const;
    bool stayLoggedIn() const;
    bool startWithSystem() const;

    // The remembered login, ticked and locked until the automatic login runs.
    void fillRemembered(const QString &name, const QString &password);
    void unlock();
    // The keyring gave no password: the user types it, the name is already there.
    void unlockForTyping();
    void setName(const QString &name);
    void setPassword(const QString &password);
    void copyDesignedPage();
    // A blocking login shows the wait cursor; one running elsewhere leaves the fields as it
    // read them.
    void setBusy(bool busy, bool blocking);
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

    // False, with a warning when showErrors, for input no login can send.
    bool checkInput(bool showErrors) const;
    // The warning for a refused login; none for results without one.
    void warnRefused(int result) const;

private:
    Ui::frmLogin *ui;
    QWidget *window;
    const bool designed;
    // What "Start with Windows" gets back when "Stay logged in" is ticked again.
    bool userBootUp = true;
};

#endif
