#ifndef FRMABOUTZMPQ_H
#define FRMABOUTZMPQ_H

#include <QDialog>
#include <QString>
#include <QUrl>

class AccountLink;
class QAbstractButton;

namespace Ui {
class frmAboutZMPQ;
}

// The product with its version, the versions of its libraries, build information and credits.
class frmAboutZMPQ : public QDialog
{
    Q_OBJECT
public:
    explicit frmAboutZMPQ(QWidget *parent = nullptr);
    ~frmAboutZMPQ() override;

    void setLogin(AccountLink *link) { login = link; }
    // Replaces the first text with the version, build, credits and product information.
    void setBuildText();

    // The complete page; credits is HTML (may be empty).
    static QString buildText(const QString &classVersion, const QString &libraryVersion, const QString &credits,
                             const QString &hostName);

private slots:
    void on_bbOK_clicked(QAbstractButton *button);
    void on_txtAbout_sourceChanged(QUrl url);

private:
    Ui::frmAboutZMPQ *ui;
    QString credits;
    AccountLink *login = nullptr;
};

#endif
