#ifndef DIALOGSUPPORT_H
#define DIALOGSUPPORT_H

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QString>

#include <functional>

class QAbstractButton;
class QDialog;
class QLineEdit;

// Small pieces every account dialog shares.
namespace DialogSupport {

// Fixed size, window-modal, without the context-help title button.
void setupFixedDialog(QDialog *dialog, int width, int height);

// Button-box dispatch of the option dialogs: the button with actionRole runs action,
// the RejectRole button (Cancel) closes the dialog, any other role does nothing.
void dispatchButton(QDialog *dialog, QDialogButtonBox *box, QAbstractButton *button,
                    QDialogButtonBox::ButtonRole actionRole, const std::function<void()> &action);

// The information box shown when an action needs the server while no session is logged in.
void showOffline(QWidget *parent);

// A message box whose text is never read as rich text (it may hold text from the server).
void showPlain(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text);

// Gives a password field the one length rule of every password field; input beyond it (a
// long paste) is cut by the field and the user is told so.
void limitPasswordField(QLineEdit *field);

// Text safe to put into rich text: entity-encoded status text decoded, then HTML-escaped.
QString richTextFromEncoded(const QString &encoded);

} // namespace DialogSupport

#endif
