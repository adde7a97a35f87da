#ifndef ACCOUNTDIALOGS_H
#define ACCOUNTDIALOGS_H

#include <QString>

class QWidget;
class UpdateThread;
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
// Asks for a newer version now: the update dialog when there is one, else a box saying so.
void checkUpdate(QWidget *parent, UpdateThread *thread);

} // namespace AccountDialogs

#endif
