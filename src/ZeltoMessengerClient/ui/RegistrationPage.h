#ifndef REGISTRATIONPAGE_H
#define REGISTRATIONPAGE_H

#include <QCoreApplication>
#include <QString>

#include <functional>

class QWidget;

namespace Ui {
class frmLogin;
}

// The main window's registration page: its captcha and the posting of its form to the web
// site (core/Registration does the exchange).
class RegistrationPage
{
    Q_DECLARE_TR_FUNCTIONS(frmLogin)

public:
    // onCreated runs after the site confirmed an account while the page is still shown.
    RegistrationPage(Ui::frmLogin *form, QWidget *owner, std::function<void(const QString &)> onCreated);

    void show();
    void newCaptcha();
    // The page is left: the next visit loads a new captcha.
    void forgetCaptchaPicture();
    void submit();
    // The code of the captcha the page shows.
    QString captchaCode() const { return code; }

private:
    // Room for texts longer in translation than in the designed form.
    void fitTranslatedTexts();
    void loadCaptcha();
    void setBusy(bool busy);
    bool isShown() const;
    void created(const QString &userName);
    void reloadCaptcha();

    Ui::frmLogin *ui;
    QWidget *window;
    std::function<void(const QString &)> accountCreated;
    QString code;
    // The code last posted to the site, which will not take it again.
    QString spentCode;
};

#endif
