#include "frmChangePassword.h"

#include "AccountChecks.h"
#include "AccountLink.h"
#include "ActionResult.h"
#include "DialogSupport.h"
#include "UiMessage.h"
#include "ui_frmChangePassword.h"

#include <QMessageBox>
#include <QPushButton>

using AccountChecks::PasswordProblem;

frmChangePassword::frmChangePassword(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmChangePassword)
{
    ui->setupUi(this);
    DialogSupport::setupFixedDialog(this, 300, 200);
    ui->bbOptions->button(QDialogButtonBox::Apply)->setText(tr("Change"));
    for (QLineEdit *field : {ui->txtOldPassword, ui->txtNewPassword, ui->txtRepeatPassword})
        DialogSupport::limitPasswordField(field);
}

frmChangePassword::~frmChangePassword()
{
    delete ui;
}

void frmChangePassword::on_bbOptions_clicked(QAbstractButton *button)
{
    DialogSupport::dispatchButton(this, ui->bbOptions, button, QDialogButtonBox::ApplyRole, [this] { applyChange(); });
}

bool frmChangePassword::checkNewPassword(const QString &newPassword, const QString &repeated)
{
    QString problem;
    switch (AccountChecks::checkNewPassword(newPassword, repeated)) {
    case PasswordProblem::None:
        return true;
    case PasswordProblem::Mismatch:
        problem = tr("The passwords don't match!");
        break;
    case PasswordProblem::TooShort:
        problem = tr("The new password is shorter than %1 bytes!").arg(AccountChecks::MinPasswordLength);
        break;
    case PasswordProblem::NotTrimmed:
        problem = tr("The new password is not the same in trimmed and not trimmed form!");
        break;
    case PasswordProblem::LineBreak:
        problem = tr("The new password contains CR or LF in binary form!");
        break;
    case PasswordProblem::Encoding:
        problem = tr("The new password is not \"UTF-8 without BOM\" compatible!");
        break;
    }
    UiMessage::warning(this, tr("Change password"), problem);
    return false;
}

void frmChangePassword::applyChange()
{
    if (!login || !login->isOnline()) {
        DialogSupport::showOffline(this);
        return;
    }
    const QString newPassword = ui->txtNewPassword->text();
    const QString oldPassword = ui->txtOldPassword->text();
    if (!checkNewPassword(newPassword, ui->txtRepeatPassword->text()))
        return;
    // The line could not be sent at all; that is no answer of the server's.
    if (AccountChecks::hasLineBreak(oldPassword)) {
        UiMessage::warning(this, tr("Change password"),
                           tr("The old password contains a line break. Please enter it again without one."));
        return;
    }

    const int code = login->setUserPassword(oldPassword.trimmed(), newPassword.trimmed());
    if (code == 200) {
        login->passwordChanged(newPassword.trimmed());
        close();
    } else if (code == 300) {
        UiMessage::warning(this, tr("Change password"), tr("The old password is not correct!"));
    } else if (ActionResult::classify(code) == ActionResult::Kind::NotSent) {
        UiMessage::warning(this, tr("Change password"), ActionResult::explanation(code));
    } else {
        const QString rule = tr("a password has %1 to %2 characters and no line break.")
                                 .arg(AccountChecks::MinPasswordLength)
                                 .arg(AccountChecks::MaxPasswordLength);
        UiMessage::warning(this, tr("Change password"),
                           tr("The server return error code %1!").arg(code) + QLatin1Char('\n')
                               + ActionResult::explanation(code, rule));
    }
}
