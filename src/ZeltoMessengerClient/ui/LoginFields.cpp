#include "LoginFields.h"
#include "ui_frmLogin.h"

#include "AccountChecks.h"
#include "LoginResult.h"
#include "UiMessage.h"

#include <QApplication>

LoginFields::LoginFields(Ui::frmLogin *form, QWidget *owner, bool designedMode)
    : ui(form)
    , window(owner)
    , designed(designedMode)
{}

void LoginFields::useDesignedFont()
{
    QFont font = ui->txtNameDesigned->font();
    font.setPixelSize(15);
    for (QWidget *widget :
         {static_cast<QWidget *>(ui->txtNameDesigned), static_cast<QWidget *>(ui->txtPasswordDesigned),
          static_cast<QWidget *>(ui->labDesignedLogin), static_cast<QWidget *>(ui->labDesignedLoginDes),
          static_cast<QWidget *>(ui->cbStayLoggedInDesigned), static_cast<QWidget *>(ui->cbStartWithWindowsDesigned)})
        widget->setFont(font);
}

QString LoginFields::name() const
{
    return ui->txtName->text();
}

QString LoginFields::password() const
{
    return ui->txtPassword->text();
}

bool LoginFields::stayLoggedIn() const
{
    return ui->cbStayLoggedIn->isChecked();
}

bool LoginFields::startWithSystem() const
{
    return ui->cbStartWithWindows->isChecked();
}

void LoginFields::fillRemembered(const QString &name, const QString &password)
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

void LoginFields::unlock()
{
    for (QWidget *widget : {static_cast<QWidget *>(ui->cbStayLoggedIn),
                            static_cast<QWidget *>(ui->cbStayLoggedInDesigned), static_cast<QWidget *>(ui->txtName),
                            static_cast<QWidget *>(ui->txtPassword), static_cast<QWidget *>(ui->cmdLogin)})
        widget->setEnabled(true);
}

void LoginFields::unlockForTyping()
{
    unlock();
    (designed ? ui->txtPasswordDesigned : ui->txtPassword)->setFocus(Qt::OtherFocusReason);
}

void LoginFields::setName(const QString &name)
{
    ui->txtName->setText(name);
    ui->txtNameDesigned->setText(name);
}

void LoginFields::setPassword(const QString &password)
{
    ui->txtPassword->setText(password);
    ui->txtPasswordDesigned->setText(password);
}

void LoginFields::copyDesignedPage()
{
    ui->txtName->setText(ui->txtNameDesigned->text());
    ui->txtPassword->setText(ui->txtPasswordDesigned->text());
    ui->cbStayLoggedIn->setChecked(ui->cbStayLoggedInDesigned->isChecked());
    ui->cbStartWithWindows->setChecked(ui->cbStartWithWindowsDesigned->isChecked());
}

void LoginFields::setBusy(bool busy, bool blocking)
{
    ui->cmdLogin->setEnabled(!busy);
    ui->cmdLogin->setText(busy ? tr("Logging in...") : tr("Login"));
    ui->labDesignedLogin->setEnabled(!busy);
    ui->labDesignedLogin->setText(busy ? tr("Logging in...") : tr("Login"));
    if (!blocking) {
        for (QWidget *field :
             {static_cast<QWidget *>(ui->txtName), static_cast<QWidget *>(ui->txtPassword),
              static_cast<QWidget *>(ui->txtNameDesigned), static_cast<QWidget *>(ui->txtPasswordDesigned)})
            field->setEnabled(!busy);
        return;
    }
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The login blocks this thread; paint the busy state before it starts.
        window->repaint();
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void LoginFields::untickStartWithSystem()
{
    ui->cbStartWithWindows->setChecked(false);
    ui->cbStartWithWindowsDesigned->setChecked(false);
}

bool LoginFields::followStayLoggedIn(bool userBootUp)
{
    if (ui->cbStayLoggedIn->isChecked()) {
        ui->cbStartWithWindows->setChecked(userBootUp);
        ui->cbStartWithWindows->setEnabled(true);
        return userBootUp;
    }
    const bool remembered = ui->cbStartWithWindows->isChecked();
    ui->cbStartWithWindows->setChecked(false);
    ui->cbStartWithWindows->setEnabled(false);
    return remembered;
}

void LoginFields::reset(bool userBootUp)
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

bool LoginFields::checkInput(bool showErrors) const
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

void LoginFields::warnRefused(int result) const
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
