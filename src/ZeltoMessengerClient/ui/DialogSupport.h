#ifndef DIALOGSUPPORT_H
#define DIALOGSUPPORT_H

#include <QDialogButtonBox>
#include <QMessageBox>
#include <QString>

#include <functional>

class QAbstractButton;
class QDialog;
class QLineEdit;
class QScrollArea;
class QSize;

// Small pieces every account dialog shares.
namespace DialogSupport {

// Fixed size, window-modal, without the context-help title button.
void setupFixedDialog(QDialog *dialog, int width, int height);

// Fixes the window at its designed size, or larger where its translated texts need more; its
// check boxes keep their whole text.
void fitFixedSize(QWidget *window, const QSize &designed);
// Gives the labels of a form column the width of the widest, so the fields beside them align.
void alignLabelColumn(const QList<QWidget *> &labels);
// A scroll area as wide as its contents need, so only vertical scrolling is ever needed; its
// check boxes keep their whole text.
void fitScrollAreaWidth(QScrollArea *area);
// The width a line edit needs to show the text whole.
int lineEditWidthFor(const QLineEdit *field, const QString &text);

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
