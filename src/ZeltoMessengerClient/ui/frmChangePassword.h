#ifndef FRMCHANGEPASSWORD_H
#define FRMCHANGEPASSWORD_H

#include <QDialog>

class AccountLink;
class QAbstractButton;

namespace Ui {
class frmChangePassword;
}

// Sets a new account password after checking it locally.
class frmChangePassword : public QDialog
{
    Q_OBJECT
public:
    explicit frmChangePassword(QWidget *parent = nullptr);
    ~frmChangePassword() override;

    void setLogin(AccountLink *link) { login = link; }

private slots:
    void on_bbOptions_clicked(QAbstractButton *button);

private:
    void applyChange();
    bool checkNewPassword(const QString &newPassword, const QString &repeated);

    Ui::frmChangePassword *ui;
    AccountLink *login = nullptr;
};

#endif
