#include "LoginPage.h"
#include "ui_frmLogin.h"

#include "AccountChecks.h"
#include "LabelButton.h"
#include "LoginAttempt.h"
#include "LoginResult.h"
#include "LoginStore.h"
#include "UiMessage.h"

#include <zmsgfw111q.h>

#include <QApplication>
#include <QDebug>
#include <QTimer>

namespace {

// A keyring may first ask the user to unlock it; the automatic login waits that long at most.
constexpr int KeyringWaitMs = 30000;

} // namespace

LoginPage::LoginPage(Ui::frmLogin *form, QWidget *owner, bool designedMode)
    : ui(form)
    , window(owner)
    , designed(designedMode)
{}

void LoginPage::useDesignedFont()
{
    QFont font = ui->txtNameDesigned->font();
    font.setPixelSize(15);
    for (QWidget *widget :
         {static_cast<QWidget *>(ui->txtNameDesigned), static_cast<QWidget *>(ui->txtPasswordDesigned),
          static_cast<QWidget *>(ui->labDesignedLogin), static_cast<QWidget *>(ui->labDesignedLoginDes),
          static_cast<QWidget *>(ui->cbStayLoggedInDesigned), static_cast<QWidget *>(ui->cbStartWithWindowsDesigned)})
        widget->setFont(font);
}

void LoginPage::setSession(Session session)
{
    link = std::move(session);
}

void LoginPage::login(bool showErrors, bool fallBackOffline)
{
    // A click that arrives while a login waits for the server must not start another one.
    if (busy || !checkInput(showErrors))
        return;
    // The automatic login runs off this thread, so the window is painted and usable while a
    // server that does not answer is waited for. A login the user started shows it is busy.
    if (!showErrors) {
        loginElsewhere(fallBackOffline);
        return;
    }
    setBusy(true, true);
    const int result = link.session->loginUser(name(), password());
    setBusy(false, true);
    if (result == 200)
        link.enter([this] { return link.session->getUserNick(); });
    else
        failed(result, showErrors, fallBackOffline);
}

void LoginPage::loginElsewhere(bool fallBackOffline)
{
    setBusy(true, false);
    link.startAttempt([this, fallBackOffline](LoginAttempt &attempt) {
        setBusy(false, false);
        const int result = link.takeOverAttempt(attempt);
        if (result == 200)
            link.enter([&attempt] { return attempt.nick(); });
        else
            failed(result, false, fallBackOffline);
    });
}

void LoginPage::failed(int result, bool showErrors, bool fallBackOffline)
{
    if (showErrors)
        warnRefused(result);
    if (fallBackOffline && LoginResult::meaning(result) == LoginResult::Meaning::NoServer)
        link.enterOffline();
}

void LoginPage::loginFromDesignedPage()
{
    // A running login reads the fields; they are not changed under it.
    if (busy)
        return;
    copyDesignedPage();
    login(true, false);
}

void LoginPage::setupKeyboard()
{
    for (QLineEdit *field : {ui->txtName, ui->txtPassword})
        QObject::connect(field, &QLineEdit::returnPressed, ui->cmdLogin, &QPushButton::click);
    for (QLineEdit *field : {ui->txtNameDesigned, ui->txtPasswordDesigned})
        QObject::connect(field, &QLineEdit::returnPressed, window, [this] { loginFromDesignedPage(); });
    LabelButton::attach(ui->labDesignedLogin, [this] { loginFromDesignedPage(); });
}

QString LoginPage::name() const
{
    return ui->txtName->text();
}

QString LoginPage::password() const
{
    return ui->txtPassword->text();
}

bool LoginPage::stayLoggedIn() const
{
    return ui->cbStayLoggedIn->isChecked();
}

bool LoginPage::startWithSystem() const
{
    return ui->cbStartWithWindows->isChecked();
}

void LoginPage::startRemembered(const LoginStore::Remembered &remembered, SecretStore *keyring,
                                const std::function<void()> &autologin)
{
    fillRemembered(remembered.name, remembered.password);
    if (!remembered.passwordInKeyring) {
        QTimer::singleShot(50, window, autologin);
        return;
    }
    LoginStore::fetchPassword(keyring, remembered.name, KeyringWaitMs, window,
                              [this, autologin](bool found, const QString &password) {
                                  if (found) {
                                      setPassword(password);
                                      autologin();
                                      return;
                                  }
                                  qInfo() << "The keyring did not give the remembered password";
                                  unlockForTyping();
                              });
}

void LoginPage::fillRemembered(const QString &name, const QString &password)
{
    setName(name);
    setPassword(password);
    ui->cbStayLoggedIn->setChecked(true);
    ui->cbStayLoggedInDesigned->setChecked(true);
    ui->cbStayLoggedIn->setEnabled(false);
    ui->cbStayLoggedInDesigned->setEnabled(false);
    ui->txtName->setEnabled(false);
    ui->txtPassword->setEnabled(false);
    ui->cmdLogin->setEnabled(false);
}

void LoginPage::unlock()
{
    for (QWidget *widget : {static_cast<QWidget *>(ui->cbStayLoggedIn),
                            static_cast<QWidget *>(ui->cbStayLoggedInDesigned), static_cast<QWidget *>(ui->txtName),
                            static_cast<QWidget *>(ui->txtPassword), static_cast<QWidget *>(ui->cmdLogin)})
        widget->setEnabled(true);
}

void LoginPage::unlockForTyping()
{
    unlock();
    (designed ? ui->txtPasswordDesigned : ui->txtPassword)->setFocus(Qt::OtherFocusReason);
}

void LoginPage::setName(const QString &name)
{
    ui->txtName->setText(name);
    ui->txtNameDesigned->setText(name);
}

void LoginPage::setPassword(const QString &password)
{
    ui->txtPassword->setText(password);
    ui->txtPasswordDesigned->setText(password);
}

void LoginPage::copyDesignedPage()
{
    ui->txtName->setText(ui->txtNameDesigned->text());
    ui->txtPassword->setText(ui->txtPasswordDesigned->text());
    ui->cbStayLoggedIn->setChecked(ui->cbStayLoggedInDesigned->isChecked());
    ui->cbStartWithWindows->setChecked(ui->cbStartWithWindowsDesigned->isChecked());
}

void LoginPage::setBusy(bool busyNow, bool blocking)
{
    busy = busyNow;
    ui->cmdLogin->setEnabled(!busyNow);
    ui->cmdLogin->setText(busyNow ? tr("Logging in...") : tr("Login"));
    ui->labDesignedLogin->setEnabled(!busyNow);
    ui->labDesignedLogin->setText(busyNow ? tr("Logging in...") : tr("Login"));
    if (!blocking) {
        for (QWidget *field :
             {static_cast<QWidget *>(ui->txtName), static_cast<QWidget *>(ui->txtPassword),
              static_cast<QWidget *>(ui->txtNameDesigned), static_cast<QWidget *>(ui->txtPasswordDesigned)})
            field->setEnabled(!busyNow);
        return;
    }
    if (busyNow) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The login blocks this thread; paint the busy state before it starts.
        window->repaint();
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void LoginPage::setStartUpChoice(bool startWithSystem)
{
    userBootUp = startWithSystem;
    if (!userBootUp) {
        ui->cbStartWithWindows->setChecked(false);
        ui->cbStartWithWindowsDesigned->setChecked(false);
    }
}

void LoginPage::followStayLoggedIn()
{
    if (ui->cbStayLoggedIn->isChecked()) {
        ui->cbStartWithWindows->setChecked(userBootUp);
        ui->cbStartWithWindows->setEnabled(true);
        return;
    }
    userBootUp = ui->cbStartWithWindows->isChecked();
    ui->cbStartWithWindows->setChecked(false);
    ui->cbStartWithWindows->setEnabled(false);
}

void LoginPage::storeChoices(QSettings &settings, SecretStore *keyring)
{
    userBootUp = LoginStore::storeChoices(settings, stayLoggedIn(), startWithSystem(), name(), password(),
                                          QCoreApplication::applicationFilePath(), userBootUp, keyring);
}

void LoginPage::forgetChoices(QSettings &settings, SecretStore *keyring)
{
    LoginStore::forget(settings, keyring);
    userBootUp = false;
}

void LoginPage::reset()
{
    ui->txtName->clear();
    ui->txtNameDesigned->clear();
    (designed ? ui->txtNameDesigned : ui->txtName)->setFocus(Qt::OtherFocusReason);
    ui->txtPassword->clear();
    ui->txtPasswordDesigned->clear();
    ui->cbStayLoggedIn->setChecked(true);
    ui->cbStayLoggedInDesigned->setChecked(true);
    ui->cbStartWithWindows->setChecked(userBootUp);
    ui->cbStartWithWindowsDesigned->setChecked(userBootUp);
}

bool LoginPage::checkInput(bool showErrors) const
{
    QString problem;
    switch (AccountChecks::checkLogin(name(), password())) {
    case AccountChecks::LoginProblem::None:
        return true;
    case AccountChecks::LoginProblem::NameLineBreak:
        problem = tr("The user name contains a line break. Please enter it again without one.");
        break;
    case AccountChecks::LoginProblem::PasswordLineBreak:
        problem = tr("The password contains a line break. Please enter it again without one.");
        break;
    }
    if (showErrors)
        UiMessage::warning(window, tr("Login"), problem);
    return false;
}

void LoginPage::warnRefused(int result) const
{
    switch (LoginResult::meaning(result)) {
    case LoginResult::Meaning::UnknownAccount:
        UiMessage::warning(window, tr("Login"), tr("You have type invalid account data!"));
        break;
    case LoginResult::Meaning::Throttled:
        // The server holds back further guesses for a while; without a word the Login button
        // would seem to do nothing.
        UiMessage::warning(window, tr("Login"),
                           tr("Too many failed logins for this account or from this computer. Please wait a few "
                              "minutes before you try again."));
        break;
    case LoginResult::Meaning::NoServer:
        UiMessage::warning(window, tr("Login"),
                           tr("Can't connect to %1 Server").arg(QStringLiteral("Zelto Messenger")));
        break;
    case LoginResult::Meaning::LoggedIn:
    case LoginResult::Meaning::Other:
        break;
    }
}
