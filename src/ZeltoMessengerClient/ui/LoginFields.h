#ifndef LOGINFIELDS_H
#define LOGINFIELDS_H

#include <QCoreApplication>
#include <QString>

class QWidget;

namespace Ui {
class frmLogin;
}

// The fields of both login pages. A login reads the classic page's fields; the designed page
// copies its own into them first. Also the boxes that say why a login did not happen.
class LoginFields
{
    Q_DECLARE_TR_FUNCTIONS(frmLogin)

public:
    LoginFields(Ui::frmLogin *form, QWidget *owner, bool designedMode);

    // The designed page's larger font.
    void useDesignedFont();

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
    void untickStartWithSystem();
    // "Start with Windows" is offered only with "Stay logged in"; returns the remembered
    // start-up choice.
    bool followStayLoggedIn(bool userBootUp);
    // After a logout: empty fields, ticked boxes, the name field focused.
    void reset(bool userBootUp);

    // False, with a warning when showErrors, for input no login can send.
    bool checkInput(bool showErrors) const;
    // The warning for a refused login; none for results without one.
    void warnRefused(int result) const;

private:
    Ui::frmLogin *ui;
    QWidget *window;
    const bool designed;
};

#endif
