#include "frmProfile.h"

#include "AccountChecks.h"
#include "AccountLink.h"
#include "ActionResult.h"
#include "AvatarCache.h"
#include "DataDirectory.h"
#include "DialogSupport.h"
#include "MessageFormat.h"
#include "UiMessage.h"
#include "ui_frmProfile.h"

#include <zvrlabel.h>
#include <zvrpushbutton.h>

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QPushButton>

using AccountChecks::MessageStateProblem;
using AccountChecks::NickProblem;

frmProfile::frmProfile(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmProfile)
{
    ui->setupUi(this);
    DialogSupport::setupFixedDialog(this, 280, 330);
    ui->bbOptions->button(QDialogButtonBox::Apply)->setText(tr("Change"));
    ui->bbOptions->button(QDialogButtonBox::Cancel)->setFocus(Qt::OtherFocusReason);
}

frmProfile::~frmProfile()
{
    delete ui;
}

void frmProfile::setLogin(AccountLink *link)
{
    login = link;
    ui->labAvatar->setText(tr("Avatar: %1").arg(QStringLiteral("ID ") + login->ownAvatarId().left(1)));
}

void frmProfile::setData(const QString &newAccount, const QString &newNick, const QString &newMessageState,
                         const QString &newContacts)
{
    account = newAccount;
    nick = newNick;
    messageState = newMessageState;
    contacts = newContacts;
    ui->labName->setText(tr("Account: %1").arg(account));
    ui->txtNick->setText(nick);
    ui->txtMsgState->setText(QString::fromUtf8(MessageFormat::decodeEntities(messageState)));
    ui->labContacts->setText(tr("Contacts: %1").arg(contacts));
}

void frmProfile::setClients(const ClientList &clientList, int droppedClients)
{
    clients = clientList;
    ui->labClients->setText(tr("Clients: %1").arg(clients.size() + droppedClients));
}

void frmProfile::on_cmdShowClients_clicked()
{
    DialogSupport::showPlain(
        this, QMessageBox::Information, tr("Clients"),
        ProfilePayload::clientsText(tr("Clients of %1").arg(nick), clients, tr("System"), tr("Version"), tr("IP")));
}

void frmProfile::on_bbOptions_clicked(QAbstractButton *button)
{
    DialogSupport::dispatchButton(this, ui->bbOptions, button, QDialogButtonBox::ApplyRole, [this] { applyChanges(); });
}

bool frmProfile::checkName(const QString &name)
{
    QString problem;
    switch (AccountChecks::checkNick(name)) {
    case NickProblem::None:
        return true;
    case NickProblem::TooShort:
        problem = tr("The new name is shorter than %1 bytes!").arg(AccountChecks::MinNickLength);
        break;
    case NickProblem::TooLong:
        problem = tr("The new name is longer than %1 characters!").arg(AccountChecks::MaxNickLength);
        break;
    case NickProblem::NotTrimmed:
        problem = tr("The new name is not the same in trimmed and not trimmed form!");
        break;
    case NickProblem::LineBreak:
        problem = tr("The new name contains CR or LF in binary form!");
        break;
    case NickProblem::Encoding:
        problem = tr("The new name is not \"UTF-8 without BOM\" compatible!");
        break;
    }
    UiMessage::warning(this, tr("Change name"), problem);
    return false;
}

bool frmProfile::checkMessageState(const QString &escaped, const QByteArray &raw)
{
    QString problem;
    switch (AccountChecks::checkMessageState(escaped, raw)) {
    case MessageStateProblem::None:
        return true;
    case MessageStateProblem::NotTrimmed:
        problem = tr("The new message state is not the same in trimmed and not trimmed form!");
        break;
    case MessageStateProblem::LineBreak:
        problem = tr("The new message state contains CR or LF in binary form!");
        break;
    case MessageStateProblem::Encoding:
        problem = tr("The new message state is not \"UTF-8 without BOM\" compatible!");
        break;
    case MessageStateProblem::TooLong:
        problem = tr("The new message state is longer than %1 characters! Characters such as ä, € or & count as "
                     "several.")
                      .arg(AccountChecks::MaxMessageStateLength);
        break;
    }
    UiMessage::warning(this, tr("Change message state"), problem);
    return false;
}

void frmProfile::applyChanges()
{
    if (!login || !login->isOnline()) {
        DialogSupport::showOffline(this);
        return;
    }
    const QString newNick = ui->txtNick->text();
    const QByteArray raw = ui->txtMsgState->text().toUtf8();
    const QString escaped = MessageFormat::escapeHtml(QString::fromUtf8(raw));
    // The name rules are for a new name: a name the server already holds (one set before
    // these rules, or elsewhere) must not block a change of the status message.
    if ((newNick != nick && !checkName(newNick)) || !checkMessageState(escaped, raw))
        return;

    int code = login->setUserNick(newNick);
    if (code != 200) {
        const QString rule = tr("a name has %1 to %2 characters and no line break.")
                                 .arg(AccountChecks::MinNickLength)
                                 .arg(AccountChecks::MaxNickLength);
        UiMessage::warning(this, tr("Change name"),
                           tr("Name could not be changed with Error %1!").arg(code) + QLatin1Char('\n')
                               + ActionResult::explanation(code, rule));
        return;
    }
    const bool nameChanged = newNick != nick;
    nick = newNick;
    login->updateWelcomeLine(newNick);
    code = login->setUserMessageState(escaped);
    if (code != 200) {
        const QString rule = tr("a status message has at most %1 characters and no line break.")
                                 .arg(AccountChecks::MaxMessageStateLength);
        QString text = tr("Status could not be changed with Error %1!").arg(code) + QLatin1Char('\n')
            + ActionResult::explanation(code, rule);
        // The name went through: the user must not think the whole change failed.
        if (nameChanged)
            text = tr("Your new name %1 was saved, but your status message was not changed.").arg(newNick)
                + QStringLiteral("\n\n") + text;
        UiMessage::warning(this, tr("Change message state"), text);
        return;
    }
    close();
}

QImage frmProfile::prepareAvatar(const QImage &image)
{
    if (image.isNull())
        return image;
    if (image.width() < image.height())
        return image.scaledToWidth(128, Qt::SmoothTransformation).copy(0, 0, 128, 128);
    if (image.width() > image.height())
        return image.scaledToHeight(128, Qt::SmoothTransformation).copy(0, 0, 128, 128);
    return image.scaled(128, 128, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void frmProfile::on_cmdAvatar_clicked()
{
    auto *dialog = new QDialog(this);
    avatarDialog = dialog;
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    dialog->setWindowTitle(tr("Avatar"));
    dialog->setFixedSize(200, 188);

    avatarPreview = new ZVRLabel(dialog);
    avatarPreview->setGeometry(33, 0, 128, 128);
    showOwnAvatar();

    changeAvatarButton = new ZVRPushButton(dialog);
    changeAvatarButton->setText(tr("Change Avatar"));
    changeAvatarButton->setGeometry(0, 128, 200, 30);
    changeAvatarButton->setDefault(false);
    changeAvatarButton->setAutoDefault(false);
    applyAvatarButton = new ZVRPushButton(dialog);
    applyAvatarButton->setText(tr("Apply Avatar"));
    applyAvatarButton->setGeometry(0, 128, 200, 30);
    applyAvatarButton->hide();
    closeAvatarButton = new ZVRPushButton(dialog);
    closeAvatarButton->setText(tr("Close"));
    closeAvatarButton->setGeometry(0, 158, 200, 30);
    closeAvatarButton->setDefault(true);
    closeAvatarButton->setAutoDefault(true);

    connect(changeAvatarButton, &QPushButton::clicked, this, &frmProfile::selectAvatar);
    connect(applyAvatarButton, &QPushButton::clicked, this, &frmProfile::uploadAvatar);
    connect(closeAvatarButton, &QPushButton::clicked, dialog, &QDialog::close);

    // Modality is taken when the dialog is shown: exec shows it, so nothing may show it before.
    dialog->setWindowModality(Qt::WindowModal);
    dialog->exec();
    dialog->deleteLater();
}

void frmProfile::showOwnAvatar()
{
    const QString id = login ? login->ownAvatarId() : QString();
    DataDirectory::ensure();
    if (id.isEmpty())
        return;
    const QImage picture = AvatarCache::decodePicture(AvatarCache::loadFile(AvatarCache::filePath(id), id));
    if (picture.isNull())
        return;
    avatarPreview->setPixmap(QPixmap::fromImage(picture));
}

void frmProfile::selectAvatar()
{
    QStringList patterns;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    const QString filter = tr("Images (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(")")
        + tr(";;Portable Network Graphics (*.png);;All files (**)");
    const QString fileName = QFileDialog::getOpenFileName(avatarDialog, tr("Select Avatar"), QDir::homePath(), filter);
    ui->bbOptions->button(QDialogButtonBox::Apply)->setText(tr("Change"));
    if (fileName.isEmpty())
        return;
    takeAvatarFile(fileName);
}

bool frmProfile::takeAvatarFile(const QString &fileName)
{
    if (!avatarImage.load(fileName)) {
        UiMessage::warning(avatarDialog, tr("Change Avatar"), tr("Can't load Avatar"));
        return false;
    }
    qDebug() << "Avatar Image loaded";
    if (!avatarImage.isNull()) {
        qDebug() << "Avatar Image loaded without problems";
        avatarImage = prepareAvatar(avatarImage);
    }
    if (!avatarDialog)
        return true;
    avatarPreview->setPixmap(QPixmap::fromImage(avatarImage));
    changeAvatarButton->hide();
    applyAvatarButton->show();
    closeAvatarButton->setDefault(false);
    closeAvatarButton->setAutoDefault(false);
    applyAvatarButton->setDefault(true);
    applyAvatarButton->setAutoDefault(true);
    return true;
}

void frmProfile::uploadAvatar()
{
    if (login && login->uploadAvatar(avatarImage)) {
        if (avatarDialog)
            avatarDialog->close();
        return;
    }
    UiMessage::warning(avatarDialog, tr("Change Avatar"), tr("Error uploading Avatar"));
}
