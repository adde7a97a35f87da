#ifndef UIMESSAGE_H
#define UIMESSAGE_H

#include <QMessageBox>
#include <QString>

#include <functional>

class QWidget;

// The client's message boxes. Every box goes through here, so that tests can observe the
// messages (and answer the questions) without a modal box blocking them.
namespace UiMessage {

// Returns the button that answers the box; installed only by tests.
using Hook =
    std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString &title, const QString &text)>;
void setHook(Hook hook);

void information(QWidget *parent, const QString &title, const QString &text);
void warning(QWidget *parent, const QString &title, const QString &text);
QMessageBox::StandardButton question(QWidget *parent, const QString &title, const QString &text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No);

} // namespace UiMessage

#endif
