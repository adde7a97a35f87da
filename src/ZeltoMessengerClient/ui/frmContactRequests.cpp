#include "frmContactRequests.h"

#include "AccountLink.h"
#include "DialogSupport.h"
#include "UiMessage.h"
#include "ui_frmContactRequests.h"

#include <QIcon>
#include <QMessageBox>

frmContactRequests::frmContactRequests(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::frmContactRequests)
{
    ui->setupUi(this);
    resize(300, 250);
    setMaximumSize(300, 250);
    setWindowModality(Qt::WindowModal);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

frmContactRequests::~frmContactRequests()
{
    delete ui;
}

void frmContactRequests::setRequests(const QStringList &users)
{
    ui->lwRequests->clear();
    requestItems.clear();
    itemRequests.clear();
    requests = users;
    const QIcon icon(QStringLiteral(":/gui/ZeltoMessengerAvatar.png"));
    for (const QString &user : users) {
        auto *item = new QListWidgetItem(icon, user);
        requestItems.insert(user, item);
        itemRequests.insert(item, user);
        ui->lwRequests->addItem(item);
    }
    updateCountLabel();
}

void frmContactRequests::updateCountLabel()
{
    if (requests.size() == 1)
        ui->labFR->setText(tr("You have 1 Friend Request"));
    else
        ui->labFR->setText(tr("You have %1 Friend Requests").arg(requests.size()));
}

void frmContactRequests::answerCurrent(bool accept)
{
    if (!login || !login->isOnline()) {
        DialogSupport::showOffline(this);
        return;
    }
    QListWidgetItem *item = ui->lwRequests->currentItem();
    if (!item || !itemRequests.contains(item))
        return;
    const QString user = itemRequests.value(item);
    const int code = accept ? login->addUserContact(user) : login->delUserContact(user);
    if (code != 200) {
        if (accept)
            UiMessage::warning(this, tr("Accept friend request"), tr("Accept friend request failed!"));
        else
            UiMessage::warning(this, tr("Reject friend request"), tr("Reject friend request failed!"));
        return;
    }
    login->updateFriendRequests(QString(), user);
    if (accept)
        login->insertOfflineContact(user);
    requests.removeAll(user);
    requestItems.remove(user);
    itemRequests.remove(item);
    updateCountLabel();
    delete item;
}

void frmContactRequests::on_cmdAccept_clicked()
{
    answerCurrent(true);
}

void frmContactRequests::on_cmdReject_clicked()
{
    answerCurrent(false);
}

void frmContactRequests::on_bbClose_clicked(QAbstractButton *button)
{
    if (ui->bbClose->buttonRole(button) == QDialogButtonBox::RejectRole)
        close();
}
