#include "WelcomeLine.h"
#include "ui_frmLogin.h"

#include "MessageFormat.h"

void WelcomeLine::show(Ui::frmLogin *ui, const QString &nick, int requests)
{
    ui->labUserNameDesigned->setText(nick);
    // The label is rich text; the nick is whatever the server holds.
    const QString shownNick = MessageFormat::escapeName(nick);
    if (requests == 1) {
        ui->labWelcomeNick->setText(tr("Welcome %1 (<a href=\"zmp://editprofile\">Edit Profile</a>)<br>You have 1 "
                                       "(<a href=\"zmp://friendrequests\">Friend Request</a>)")
                                        .arg(shownNick));
    } else if (requests >= 2) {
        ui->labWelcomeNick->setText(tr("Welcome %1 (<a href=\"zmp://editprofile\">Edit Profile</a>)<br>You have %2 "
                                       "(<a href=\"zmp://friendrequests\">Friend Requests</a>)")
                                        .arg(shownNick, QString::number(requests)));
    } else {
        ui->labWelcomeNick->setText(tr("Welcome %1 (<a href=\"zmp://editprofile\">Edit Profile</a>)").arg(shownNick));
    }
    if (requests == 1)
        ui->labFriendRequestsDesigned->setText(tr("You have 1 (<a href=\"zmp://friendrequests\">Friend Request</a>)"));
    else if (requests >= 2)
        ui->labFriendRequestsDesigned->setText(
            tr("You have %1 (<a href=\"zmp://friendrequests\">Friend Requests</a>)").arg(requests));
    ui->labFriendRequestsDesigned->setVisible(requests > 0);
}
