#ifndef FRMCONTACTREQUESTS_H
#define FRMCONTACTREQUESTS_H

#include <QDialog>
#include <QMap>
#include <QStringList>

class AccountLink;
class QAbstractButton;
class QListWidgetItem;

namespace Ui {
class frmContactRequests;
}

// The pending friend requests, each to accept or reject.
class frmContactRequests : public QDialog
{
    Q_OBJECT
public:
    explicit frmContactRequests(QWidget *parent = nullptr);
    ~frmContactRequests() override;

    void setLogin(AccountLink *link) { login = link; }
    void setRequests(const QStringList &users);

private slots:
    void on_cmdAccept_clicked();
    void on_cmdReject_clicked();
    void on_bbClose_clicked(QAbstractButton *button);

private:
    void answerCurrent(bool accept);
    void updateCountLabel();

    Ui::frmContactRequests *ui;
    AccountLink *login = nullptr;
    QStringList requests;
    QMap<QString, QListWidgetItem *> requestItems;
    QMap<QListWidgetItem *, QString> itemRequests;
};

#endif
