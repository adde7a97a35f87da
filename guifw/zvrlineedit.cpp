#include "zvrlineedit.h"

ZVRLineEdit::ZVRLineEdit(QWidget *parent)
    : QLineEdit(parent)
{}

void ZVRLineEdit::setPlaceholderText(const QString &text)
{
    QLineEdit::setPlaceholderText(text);
}
