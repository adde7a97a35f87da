#include "RegistrationPage.h"
#include "ui_frmLogin.h"

#include "DialogSupport.h"
#include "Registration.h"
#include "UiMessage.h"

namespace {

constexpr int RegisterPage = 2;
constexpr int CaptchaTimeoutMs = 5000;
constexpr int SubmitTimeoutMs = 10000;

} // namespace

RegistrationPage::RegistrationPage(Ui::frmLogin *form, QWidget *owner, std::function<void(const QString &)> onCreated)
    : ui(form)
    , window(owner)
    , accountCreated(std::move(onCreated))
{
    fitTranslatedTexts();
}

void RegistrationPage::fitTranslatedTexts()
{
    DialogSupport::alignLabelColumn({ui->labRegisterUserName, ui->labRegisterShowName, ui->labRegisterRealName,
                                     ui->labRegisterUserMail, ui->labRegisterPassword, ui->labRegisterRepeatPw,
                                     ui->labDesRegisterCaptcha});
    ui->txtRegisterCaptcha->setMinimumWidth(
        DialogSupport::lineEditWidthFor(ui->txtRegisterCaptcha, QStringLiteral("888888")));
    DialogSupport::fitScrollAreaWidth(ui->saRegister);
}

void RegistrationPage::show()
{
    ui->swTabs->setCurrentIndex(RegisterPage);
    ui->txtRegisterUserName->setFocus(Qt::OtherFocusReason);
    ui->txtRegisterCaptcha->clear();
    loadCaptcha();
}

void RegistrationPage::newCaptcha()
{
    ui->txtRegisterCaptcha->clear();
    // The focus moves before the picture loads, so a field the user turns to meanwhile keeps it.
    ui->txtRegisterCaptcha->setFocus(Qt::OtherFocusReason);
    loadCaptcha();
}

void RegistrationPage::forgetCaptchaPicture()
{
    ui->labRegisterCaptcha->setText(tr("Captcha: Not loaded"));
}

bool RegistrationPage::isShown() const
{
    return ui->swTabs->currentIndex() == RegisterPage;
}

void RegistrationPage::submit()
{
    // The page sends what the site's own registration form sends.
    if (ui->txtRegisterPassword->text() != ui->txtRegisterRepeatPassword->text()) {
        UiMessage::warning(window, tr("Register"), tr("The passwords do not match."));
        return;
    }
    Registration::Form form;
    form.userName = ui->txtRegisterUserName->text().trimmed();
    form.nickName = ui->txtRegisterShowName->text().trimmed();
    form.realName = ui->txtRegisterRealName->text().trimmed();
    form.mail = ui->txtRegisterUserMail->text().trimmed();
    form.password = ui->txtRegisterPassword->text();
    form.repeatedPassword = ui->txtRegisterRepeatPassword->text();
    form.captchaCode = code;
    form.captchaAnswer = ui->txtRegisterCaptcha->text().trimmed();

    setBusy(true);
    const Registration::Answer answer = Registration::submit(form, SubmitTimeoutMs);
    setBusy(false);
    spentCode = code;

    switch (answer.outcome) {
    case Registration::Outcome::Created:
        created(form.userName);
        return;
    case Registration::Outcome::Refused:
        UiMessage::warning(window, tr("Register"), answer.message);
        break;
    case Registration::Outcome::Unconfirmed:
        UiMessage::warning(window, tr("Register"),
                           tr("The registration site %1 did not confirm the account (HTTP %2). Try to log in with "
                              "it before you register again.")
                               .arg(Registration::webHost())
                               .arg(answer.status));
        break;
    case Registration::Outcome::Unreachable:
        UiMessage::warning(window, tr("Register"),
                           tr("The registration site %1 cannot be reached. Check the network connection and try "
                              "again.")
                               .arg(Registration::webHost()));
        // The site never saw this captcha: it stays good for the next try.
        spentCode.clear();
        return;
    }
    reloadCaptcha();
}

void RegistrationPage::reloadCaptcha()
{
    // A captcha is good for one try only.
    if (!isShown())
        return;
    ui->txtRegisterCaptcha->clear();
    ui->txtRegisterCaptcha->setFocus(Qt::OtherFocusReason);
    loadCaptcha();
}

void RegistrationPage::created(const QString &userName)
{
    UiMessage::information(window, tr("Register"),
                           tr("The account %1 has been created. You can log in now.").arg(userName));
    for (QLineEdit *field :
         {static_cast<QLineEdit *>(ui->txtRegisterPassword), static_cast<QLineEdit *>(ui->txtRegisterRepeatPassword),
          static_cast<QLineEdit *>(ui->txtRegisterCaptcha)})
        field->clear();
    if (isShown())
        accountCreated(userName);
}

void RegistrationPage::setBusy(bool busy)
{
    // While the form is posted, neither the page nor a login may change what its answer
    // lands on. Widgets disabled on their own stay disabled afterwards.
    for (QWidget *page : {ui->pRegister, ui->pLogin, ui->pLoginDesigned})
        page->setEnabled(!busy);
}

void RegistrationPage::loadCaptcha()
{
    code = Registration::freshCaptchaCode(QDateTime::currentDateTime(), spentCode);
    ui->cmdRegisterCaptchaGenerateNew->setEnabled(false);
    const QByteArray picture = Registration::fetchCaptcha(code, CaptchaTimeoutMs);
    ui->cmdRegisterCaptchaGenerateNew->setEnabled(true);
    ui->labRegisterCaptcha->setText(Registration::captchaHtml(picture));
}
