#include "frmConfig.h"

#include "AccountLink.h"
#include "AppSettings.h"
#include "DesktopNotifications.h"
#include "DialogSupport.h"
#include "LanguageList.h"
#include "Platform.h"
#include "UpdateCheck.h"
#include "ui_frmConfig.h"

#include <QApplication>
#include <QFontDialog>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>

namespace {} // namespace

frmConfig::frmConfig(const QString &translations, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmConfig)
    , translationDir(translations)
{
    ui->setupUi(this);
    DialogSupport::setupFixedDialog(this, 320, 350);
    const QString forum = QStringLiteral("http://") + UpdateCheck::webHost() + QStringLiteral("/forum/");
    ui->labUpdateWarning->setText(QStringLiteral("<span style=\"color:#aa0000;\">")
                                  + tr("WARNING: THE SETTINGS ONLY IN USE IF THE UPDATE MANAGER BUILT IN!")
                                  + QStringLiteral("</span><br>") + tr("More informations at ")
                                  + QStringLiteral("<a href=\"%1\">").arg(forum.toHtmlEscaped())
                                  + tr("Zelto Messenger Forum") + QStringLiteral("</a>"));

    QSettings settings = AppSettings::open();
    settings.beginGroup(QStringLiteral("Interface"));
    ui->cbClassic->setChecked(!settings.value(QStringLiteral("designedMode"), true).toBool());
    const QString storedFont = settings.value(QStringLiteral("Font"), QString()).toString();
    if (storedFont.isEmpty()) {
        fontIsDefault = true;
        font = QFont();
    } else {
        fontIsDefault = false;
        font.fromString(storedFont);
    }
    ui->labPreviewFont->setFont(font);
    ui->cbSystemNotifications->setChecked(settings.value(QStringLiteral("SystemNotifications"), true).toBool());
    if (!DesktopNotifications::serviceAvailable()) {
        ui->cbSystemNotifications->setEnabled(false);
        ui->cbSystemNotifications->setToolTip(
            tr("This desktop has no notification service; notices appear as popups."));
    }
    loadLanguages();
    const QString language = settings.value(QStringLiteral("Language"), QStringLiteral("System")).toString();
    if (languageTable.contains(language)) {
        const int index =
            ui->cbLanguage->findText(languageTable.value(language), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0)
            ui->cbLanguage->setCurrentIndex(index);
    }
    settings.endGroup();

    loadStyles();
    const QString styleName = QApplication::style()->objectName();
    if (styleName == QLatin1String("windowsxp") || styleName == QLatin1String("windowsvista"))
        setStyleSheet(QStringLiteral("QWidget#sawInterface{background-color: palette(base);}"
                                     "QWidget#sawUpdate{background-color: palette(base);}"));
    ui->cbUpdateNotification->setChecked(settings.value(QStringLiteral("Update/UpdateNotification"), true).toBool());
    showUpdateInformation();
    // Translated texts may need more room than the designed size gives.
    DialogSupport::fitScrollAreaWidth(ui->saInterface);
    DialogSupport::fitScrollAreaWidth(ui->saUpdate);
    DialogSupport::fitFixedSize(this, QSize(320, 350));
}

frmConfig::~frmConfig()
{
    delete ui;
}

void frmConfig::loadLanguages()
{
    languageTable.insert(QStringLiteral("System"), QStringLiteral("System (System)"));
    languageTable.insert(QStringLiteral("System (System)"), QStringLiteral("System"));
    languageTable.insert(QStringLiteral("en"), QStringLiteral("English (English)"));
    languageTable.insert(QStringLiteral("English (English)"), QStringLiteral("en"));
    ui->cbLanguage->addItem(QIcon::fromTheme(QStringLiteral("flag-us"), QIcon(QStringLiteral(":/tr/us.png"))),
                            QStringLiteral("English (English)"));
    for (const LanguageList::Entry &entry : LanguageList::available(translationDir)) {
        const QString display = entry.menuText();
        languageTable.insert(entry.code, display);
        languageTable.insert(display, entry.code);
        const QIcon fallback = entry.flagResource.isEmpty() ? QIcon() : QIcon(entry.flagResource);
        ui->cbLanguage->addItem(QIcon::fromTheme(QStringLiteral("flag-") + entry.code, fallback), display);
    }
}

void frmConfig::loadStyles()
{
    const QStringList keys = QStyleFactory::keys();
    ui->cbStyle->addItems(keys);
    QSettings settings = AppSettings::open();
    settings.beginGroup(QStringLiteral("Style"));
    if (!settings.value(QStringLiteral("Custom"), false).toBool())
        return;
    const QString name = settings.value(QStringLiteral("Name"), QStringLiteral("System")).toString();
    if (name != QLatin1String("System") && !name.trimmed().isEmpty() && keys.contains(name, Qt::CaseSensitive))
        ui->cbStyle->setCurrentIndex(keys.indexOf(name) + 1);
}

void frmConfig::showUpdateInformation()
{
    updateInformationTemplate = ui->labUpdateInformation->text();
    QString latest = UpdateCheck::fetchLatestVersion(QStringLiteral("32qt5"), UpdateCheck::PreferencesTimeoutMs);
    if (latest.isEmpty())
        latest = tr("Unknown");
    ui->labUpdateInformation->setText(
        updateInformationTemplate.arg(QStringLiteral("32qt5"), latest, QCoreApplication::applicationVersion()));
}

void frmConfig::on_cmdChangeFont_clicked()
{
    bool confirmed = false;
    const QFont chosen = QFontDialog::getFont(&confirmed, font, this, tr("Set Font"));
    if (!confirmed)
        return;
    font = chosen;
    ui->labPreviewFont->setFont(font);
    fontIsDefault = false;
}

void frmConfig::on_cmdFontReset_clicked()
{
    font = QFont();
    ui->labPreviewFont->setFont(font);
    fontIsDefault = true;
}

void frmConfig::on_bbOptions_clicked(QAbstractButton *button)
{
    DialogSupport::dispatchButton(this, ui->bbOptions, button, QDialogButtonBox::AcceptRole, [this] { save(); });
}

void frmConfig::save()
{
    QSettings settings = AppSettings::open();
    settings.setValue(QStringLiteral("Interface/designedMode"), !ui->cbClassic->isChecked());
    if (fontIsDefault)
        settings.remove(QStringLiteral("Interface/Font"));
    else
        settings.setValue(QStringLiteral("Interface/Font"), font.toString());
    if (ui->cbSystemNotifications->isEnabled())
        settings.setValue(QStringLiteral("Interface/SystemNotifications"), ui->cbSystemNotifications->isChecked());

    const QString newLanguage = languageTable.value(ui->cbLanguage->currentText());
    const QString oldLanguage =
        settings.value(QStringLiteral("Interface/Language"), QStringLiteral("System")).toString();
    const bool languageChanged = !newLanguage.isEmpty() && newLanguage != oldLanguage;
    if (languageChanged)
        settings.setValue(QStringLiteral("Interface/Language"), newLanguage);

    if (ui->cbStyle->currentIndex() != 0) {
        settings.setValue(QStringLiteral("Style/Custom"), true);
        settings.setValue(QStringLiteral("Style/showBug"), true);
        settings.setValue(QStringLiteral("Style/Name"), ui->cbStyle->currentText());
        QApplication::setStyle(ui->cbStyle->currentText());
        if (login)
            login->applyDesignedStyles();
    } else {
        settings.setValue(QStringLiteral("Style/Custom"), false);
    }

    const bool notify = ui->cbUpdateNotification->isChecked();
    settings.setValue(QStringLiteral("Update/UpdateNotification"), notify);
    if (login) {
        if (notify)
            login->enableUpdateNotification();
        else
            login->disableUpdateNotification();
    }
    // The new instance reads these settings at its start: they must be on disk before it runs.
    settings.sync();
    if (languageChanged)
        Platform::restartApplication();
    close();
}
