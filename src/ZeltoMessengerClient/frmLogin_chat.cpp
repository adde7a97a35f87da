// Chat windows and avatars of the main window.
// Minimal placeholder bodies so the window builds; the chat-window work replaces this file.
#include "frmLogin.h"

void frmLogin::avatarInsert(QByteArray, QString) {}
void frmLogin::setAvatarWorkFalse() {}
void frmLogin::closeAllChatWindows() {}
void frmLogin::refreshChatStyles() {}
