#include "frmAboutZelto.h"

#include "DialogSupport.h"
#include "ui_frmAboutZelto.h"

frmAboutZelto::frmAboutZelto(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmAboutZelto)
{
    ui->setupUi(this);
    DialogSupport::setupFixedDialog(this, 300, 200);
    ui->labelAbout->setText(
        tr("<b>Zelto</b><br/>Zelto is a small team that builds communication software for the desktop. "
           "Zelto Messenger is its instant messenger: a light client that lives in the system tray and keeps "
           "you in touch with your contacts."));
}

frmAboutZelto::~frmAboutZelto()
{
    delete ui;
}

void frmAboutZelto::on_bbOK_clicked(QAbstractButton *button)
{
    if (ui->bbOK->buttonRole(button) == QDialogButtonBox::AcceptRole)
        close();
}
