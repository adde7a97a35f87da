#ifndef WELCOMELINE_H
#define WELCOMELINE_H

#include <QCoreApplication>
#include <QString>

namespace Ui {
class frmLogin;
}

// The contact pages' greeting: the own nick with the edit-profile link, and the count of
// pending friend requests with the link to them.
class WelcomeLine
{
    Q_DECLARE_TR_FUNCTIONS(frmLogin)

public:
    static void show(Ui::frmLogin *ui, const QString &nick, int friendRequests);
};

#endif
