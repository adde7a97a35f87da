#include "dialogsupport.h"

#include "MessageFormat.h"
#include "uimessage.h"

#include <QCoreApplication>
#include <QDialog>

namespace DialogSupport {

void setupFixedDialog(QDialog *dialog, int width, int height)
{
    dialog->setFixedSize(width, height);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

void showOffline(QWidget *parent)
{
    UiMessage::information(parent, QCoreApplication::translate("frmLogin", "Offline"),
                             QCoreApplication::translate("frmLogin", "You are offline, please wait until you're online!"));
}

void showPlain(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

QString richTextFromEncoded(const QString &encoded)
{
    return QString::fromUtf8(MessageFormat::decodeEntities(encoded)).toHtmlEscaped();
}

void dispatchButton(QDialog *dialog, QDialogButtonBox *box, QAbstractButton *button,
                    QDialogButtonBox::ButtonRole actionRole, const std::function<void()> &action)
{
    const QDialogButtonBox::ButtonRole role = box->buttonRole(button);
    if (role == actionRole)
        action();
    else if (role == QDialogButtonBox::RejectRole)
        dialog->close();
}

} // namespace DialogSupport
