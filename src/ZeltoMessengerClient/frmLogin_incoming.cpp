// Incoming-event dispatch and connection watchdog of the main window.
// Minimal placeholder bodies so the window builds; the incoming-events work replaces this file.
#include "frmLogin.h"

#include <QDebug>
#include <QTimer>

void frmLogin::readIncoming(QString object)
{
    qDebug() << object;
}

void frmLogin::on_timerLC_tick()
{
    QTimer::singleShot(10000, this, &frmLogin::on_timerLC_tick);
}

void frmLogin::noteBack(QString) {}
void frmLogin::endNotification() {}
void frmLogin::on_labWelcomeNick_linkActivated(QString) {}
void frmLogin::editProfile()
{
    on_labWelcomeNick_linkActivated(QStringLiteral("zmp://editprofile"));
}
