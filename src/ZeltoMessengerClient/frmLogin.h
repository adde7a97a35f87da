#ifndef FRMLOGIN_H
#define FRMLOGIN_H

#include <QMainWindow>
#include <QString>

class ZMsgFw111Q;
class UpdateThread;
class frmUpdate;

// The main window: owns the one protocol session object of the program run.
class frmLogin : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmLogin(QWidget *parent = nullptr);
    ~frmLogin() override;

    void setTranslationDir(const QString &dir);
    void setUpdateObjects(UpdateThread *thread, frmUpdate *dialog);
    ZMsgFw111Q *session() const { return zmsgfw; }

private:
    ZMsgFw111Q *zmsgfw;
    QString translationDir;
    UpdateThread *updateThread = nullptr;
    frmUpdate *updateDialog = nullptr;
};

#endif
