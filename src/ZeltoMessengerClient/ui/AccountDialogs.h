#ifndef ACCOUNTDIALOGS_H
#define ACCOUNTDIALOGS_H

#include <QString>

class QWidget;
class frmLogin;

// The main window's dialogs: each is made with the main window as parent, run modally and
// destroyed when it returns. Those that need the server show the Offline box instead while
// the session is not logged in.
namespace AccountDialogs {

void aboutZelto(QWidget *parent);
void aboutZmp(frmLogin *window);
void changePassword(frmLogin *window);
void preferences(frmLogin *window);
// A contact's read-only profile; silent while offline, a warning when the server gives none.
void profileInfo(frmLogin *window, const QString &user);
void ownProfile(frmLogin *window);
void friendRequests(frmLogin *window);

} // namespace AccountDialogs

#endif
