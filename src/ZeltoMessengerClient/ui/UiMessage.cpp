#include "UiMessage.h"

namespace UiMessage {

namespace {

Hook &currentHook()
{
    static Hook hook;
    return hook;
}

} // namespace

void setHook(Hook hook)
{
    currentHook() = std::move(hook);
}

void information(QWidget *parent, const QString &title, const QString &text)
{
    if (currentHook())
        currentHook()(QMessageBox::Information, title, text);
    else
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
}

void warning(QWidget *parent, const QString &title, const QString &text)
{
    if (currentHook())
        currentHook()(QMessageBox::Warning, title, text);
    else
        QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}

QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons)
{
    if (currentHook())
        return currentHook()(QMessageBox::Question, title, text);
    return QMessageBox::question(parent, title, text, buttons);
}

} // namespace UiMessage
