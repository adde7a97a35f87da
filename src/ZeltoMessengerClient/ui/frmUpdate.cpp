#include "frmUpdate.h"

#include "DialogSupport.h"
#include "UiMessage.h"
#include "UpdateCheck.h"
#include "ui_frmUpdate.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMessageBox>
#include <QProcess>

frmUpdate::frmUpdate(const QString &platform)
    : ui(new Ui::frmUpdate)
    , platformTag(platform)
{
    ui->setupUi(this);
    DialogSupport::fitFixedSize(this, QSize(350, 300));
    setWindowFlags(windowFlags() ^ Qt::WindowContextHelpButtonHint ^ Qt::WindowMinimizeButtonHint
                   ^ Qt::WindowMaximizeButtonHint);
    ui->labValYour->setText(QCoreApplication::applicationVersion());
    ui->labValNew->clear();
    // Nothing to install until a check has found a version.
    ui->cmdInstall->setEnabled(false);
}

frmUpdate::~frmUpdate()
{
    delete ui;
}

void frmUpdate::setNotificationButtonVisible(bool visible)
{
    ui->cmdDisableUpdateNotification->setVisible(visible);
}

void frmUpdate::setNewVersion(QString newVersion)
{
    // A later failed check reports an empty version; the last good one stays on offer.
    if (!UpdateCheck::isAcceptableVersion(newVersion))
        return;
    ui->labValNew->setText(newVersion);
    ui->cmdInstall->setEnabled(true);
}

void frmUpdate::on_cmdDisableUpdateNotification_clicked()
{
    emit disableUpdateNotification();
    ui->cmdDisableUpdateNotification->hide();
    ui->cmdInstall->setFocus(Qt::OtherFocusReason);
    close();
}

void frmUpdate::on_cmdNotNow_clicked()
{
    ui->cmdInstall->setFocus(Qt::OtherFocusReason);
    close();
}

void frmUpdate::on_cmdInstall_clicked()
{
    const QString version = ui->labValNew->text();
    const QString title = tr("Zelto Messenger Update");
    if (!UpdateCheck::isAcceptableVersion(version)) {
        UiMessage::warning(this, title, tr("No valid new version is known yet."));
        return;
    }
    const QString updater = UpdateCheck::findUpdater();
    const QStringList arguments =
        UpdateCheck::updaterArguments(platformTag, version, QCoreApplication::applicationVersion());
    if (updater.isEmpty() || !QProcess::startDetached(updater, arguments)) {
        qWarning() << "Update: could not start the updater" << updater << arguments;
        UiMessage::warning(this, title,
                           tr("The updater %1 could not be started. Please install the update by hand.")
                               .arg(QStringLiteral("ZeltoScriptUpdater")));
        return;
    }
    QCoreApplication::exit(0);
}
