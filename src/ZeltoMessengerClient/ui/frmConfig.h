#ifndef FRMCONFIG_H
#define FRMCONFIG_H

#include <QDialog>
#include <QFont>
#include <QMap>
#include <QString>

class AccountLink;
class QAbstractButton;

namespace Ui {
class frmConfig;
}

// Preferences: style, classic look, desktop notifications, language, chat font and the update
// notification.
class frmConfig : public QDialog
{
    Q_OBJECT
public:
    frmConfig(const QString &translationDir, QWidget *parent = nullptr);
    ~frmConfig() override;

    void setLogin(AccountLink *link) { login = link; }

private slots:
    void on_cmdChangeFont_clicked();
    void on_cmdFontReset_clicked();
    void on_bbOptions_clicked(QAbstractButton *button);

private:
    void loadLanguages();
    void loadStyles();
    void showUpdateInformation();
    void save();

    Ui::frmConfig *ui;
    QMap<QString, QString> languageTable;
    QString translationDir;
    QString updateInformationTemplate;
    QFont font;
    bool fontIsDefault = true;
    AccountLink *login = nullptr;
};

#endif
