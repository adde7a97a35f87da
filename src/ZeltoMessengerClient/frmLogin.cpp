#include "frmLogin.h"

#include <zmsgfw111q.h>

frmLogin::frmLogin(QWidget *parent)
    : QMainWindow(parent)
    , zmsgfw(new ZMsgFw111Q(this))
{
    setWindowTitle(tr("Zelto Messenger"));
    resize(300, 550);
}

frmLogin::~frmLogin() = default;

void frmLogin::setTranslationDir(const QString &dir)
{
    translationDir = dir;
}

void frmLogin::setUpdateObjects(UpdateThread *thread, frmUpdate *dialog)
{
    updateThread = thread;
    updateDialog = dialog;
}
