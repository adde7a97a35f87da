#include "DialogSupport.h"

#include "MessageFormat.h"
#include "AccountChecks.h"
#include "UiMessage.h"

#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>

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

void limitPasswordField(QLineEdit *field)
{
    static const char WarningPending[] = "passwordLimitWarningPending";
    field->setMaxLength(AccountChecks::MaxPasswordLength);
    QObject::connect(field, &QLineEdit::inputRejected, field, [field] {
        // The box waits until the field has finished its edit, and one box covers a burst
        // of rejected keys.
        if (field->property(WarningPending).toBool())
            return;
        field->setProperty(WarningPending, true);
        QTimer::singleShot(0, field, [field] {
            field->setProperty(WarningPending, false);
            UiMessage::warning(field->window(), QCoreApplication::translate("frmLogin", "Password"),
                               QCoreApplication::translate("frmLogin",
                                                           "A password can have at most %1 characters. Only the "
                                                           "first %1 characters were kept.")
                                   .arg(AccountChecks::MaxPasswordLength));
        });
    });
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
