#include "frmProfileInfo.h"

#include "DialogSupport.h"
#include "ui_frmProfileInfo.h"

#include <QPixmap>

frmProfileInfo::frmProfileInfo(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmProfileInfo)
{
    ui->setupUi(this);
    DialogSupport::setupFixedDialog(this, 280, 330);
    ui->cmdShowClients->setEnabled(false);
}

frmProfileInfo::~frmProfileInfo()
{
    delete ui;
}

QString frmProfileInfo::titleName(const QString &displayName)
{
    return displayName.endsWith(QLatin1Char('s')) ? displayName : displayName + QStringLiteral("'s");
}

void frmProfileInfo::setAccount(const QString &account)
{
    ui->labAccount->setText(tr("Account: %1").arg(account));
}

void frmProfileInfo::setName(const QString &newName)
{
    name = newName;
    ui->labName->setText(tr("Name: %1").arg(newName));
}

void frmProfileInfo::setContacts(const QString &contacts)
{
    ui->labContacts->setText(tr("Contacts: %1").arg(contacts));
}

void frmProfileInfo::setSignature(const QString &signature)
{
    QString level = tr("Regular");
    QString picture = QStringLiteral(":/gui/ZeltoMessengerAvatar.png");
    if (signature == QLatin1String("Gold")) {
        level = tr("Gold");
        picture = QStringLiteral(":/gui/ZeltoMessengerAvatarGold.png");
    } else if (signature == QLatin1String("Silver")) {
        level = tr("Silver");
        picture = QStringLiteral(":/gui/ZeltoMessengerAvatarSilver.png");
    } else if (signature == QLatin1String("Bronze")) {
        level = tr("Bronze");
        picture = QStringLiteral(":/gui/ZeltoMessengerAvatarBronze.png");
    }
    ui->labSignature->setText(tr("Signature: %1").arg(level));
    ui->imgSignature->setFixedSize(128, 128);
    ui->imgSignature->setScaledContents(true);
    ui->imgSignature->setPixmap(QPixmap(picture));
}

void frmProfileInfo::setStatus(const QString &status)
{
    // The label renders rich text so entities show decoded; markup from the sender does not.
    ui->labMsgState->setText(
        tr("Status: %1")
            .arg(QStringLiteral("<span>") + DialogSupport::richTextFromEncoded(status) + QStringLiteral("</span>")));
}

void frmProfileInfo::setClients(const ClientList &newClients, int droppedClients)
{
    clients = newClients;
    ui->labClients->setText(tr("Clients: %1").arg(clients.size() + droppedClients));
    ui->cmdShowClients->setEnabled(!clients.isEmpty());
}

void frmProfileInfo::on_cmdShowClients_clicked()
{
    DialogSupport::showPlain(
        this, QMessageBox::Information, tr("Clients"),
        ProfilePayload::clientsText(tr("Clients of %1").arg(name), clients, tr("System"), tr("Version"), tr("IP")));
}

void frmProfileInfo::on_bbOK_clicked(QAbstractButton *button)
{
    if (ui->bbOK->buttonRole(button) == QDialogButtonBox::AcceptRole)
        close();
}
