#include "DialogSupport.h"

#include "AccountChecks.h"
#include "MessageFormat.h"
#include "UiMessage.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>

namespace DialogSupport {

namespace {

// Layouts cache their items' sizes and learn of a changed minimum only from posted events;
// before anything was shown, the measures are taken afresh.
void forgetLayoutMeasures(QLayout *layout)
{
    layout->invalidate();
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        item->invalidate();
        if (QLayout *inner = item->layout())
            forgetLayoutMeasures(inner);
    }
}

void forgetMeasures(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *widget : qAsConst(widgets)) {
        widget->updateGeometry();
        if (widget->layout())
            forgetLayoutMeasures(widget->layout());
    }
}

// Layouts may squeeze a check box below its text; translated texts are to be seen whole.
void keepCheckBoxTextsWhole(QWidget *root)
{
    for (QAbstractButton *box : root->findChildren<QAbstractButton *>()) {
        if (!qobject_cast<QCheckBox *>(box) && !qobject_cast<QRadioButton *>(box))
            continue;
        QSizePolicy policy = box->sizePolicy();
        if (policy.horizontalPolicy() == QSizePolicy::Preferred) {
            policy.setHorizontalPolicy(QSizePolicy::Minimum);
            box->setSizePolicy(policy);
        }
    }
}

} // namespace

void setupFixedDialog(QDialog *dialog, int width, int height)
{
    fitFixedSize(dialog, QSize(width, height));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

void fitFixedSize(QWidget *window, const QSize &designed)
{
    QSize size = designed;
    window->ensurePolished();
    keepCheckBoxTextsWhole(window);
    if (QLayout *layout = window->layout()) {
        forgetMeasures(window);
        layout->activate();
        size = size.expandedTo(layout->totalMinimumSize());
        // Wrapped labels need their lines' height at the width they get.
        if (layout->hasHeightForWidth())
            size.setHeight(qMax(size.height(), layout->totalHeightForWidth(size.width())));
    }
    window->setFixedSize(size);
}

void alignLabelColumn(const QList<QWidget *> &labels)
{
    int width = 0;
    for (QWidget *label : labels) {
        label->ensurePolished();
        width = qMax(width, qMax(label->minimumWidth(), label->sizeHint().width()));
    }
    for (QWidget *label : labels)
        label->setMinimumWidth(width);
}

void fitScrollAreaWidth(QScrollArea *area)
{
    QWidget *contents = area->widget();
    if (!contents)
        return;
    // Measured as shown: polished, with what changed since the layout last ran.
    contents->ensurePolished();
    keepCheckBoxTextsWhole(contents);
    forgetMeasures(contents);
    const int scrollBar = area->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area->verticalScrollBar());
    area->setMinimumWidth(contents->minimumSizeHint().width() + 2 * area->frameWidth() + scrollBar);
}

int lineEditWidthFor(const QLineEdit *field, const QString &text)
{
    // As QLineEdit::sizeHint measures, with the text in place of its seventeen "x".
    const int horizontalMargin = 2;
    const QMargins textMargins = field->textMargins();
    const QMargins contentsMargins = field->contentsMargins();
    const int width = field->fontMetrics().horizontalAdvance(text) + 2 * horizontalMargin + textMargins.left()
        + textMargins.right() + contentsMargins.left() + contentsMargins.right();
    QStyleOptionFrame option;
    option.initFrom(field);
    option.rect = field->rect();
    option.lineWidth =
        field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    option.midLineWidth = 0;
    option.state |= QStyle::State_Sunken;
    return field->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(width, field->height()), field).width();
}

void showOffline(QWidget *parent)
{
    UiMessage::information(
        parent, QCoreApplication::translate("frmLogin", "Offline"),
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
