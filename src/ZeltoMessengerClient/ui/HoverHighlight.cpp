#include "HoverHighlight.h"

#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace {

const char LoginHoverStyle[] =
    "background-color: rgb(255, 255, 255); border-color: rgb(215, 120, 50); color: rgb(215, 70, 25);";
const char LoginNormalStyle[] = "background-color: rgb(215, 70, 25); border-color: rgb(215, 120, 50);";
const char StatusHoverStyle[] = "background-color: rgb(191, 191, 191); color: rgb(255, 255, 255);";
const char StatusNormalStyle[] = "background-color: rgb(255, 255, 255); color: rgb(128, 128, 128);";

} // namespace

HoverHighlight::HoverHighlight(QWidget *login, QWidget *status, QTimer *hoverCheck)
    : QObject(hoverCheck)
    , loginButton(login)
    , statusFrame(status)
    , check(hoverCheck)
{
    loginButton->installEventFilter(this);
    statusFrame->installEventFilter(this);
}

bool HoverHighlight::isCursorInside(const QWidget *widget)
{
    return widget->rect().contains(widget->mapFromGlobal(QCursor::pos()));
}

void HoverHighlight::update(bool pageShown)
{
    // The focused login "button" looks as it does under the cursor.
    const bool overLogin = pageShown && (isCursorInside(loginButton) || loginButton->hasFocus());
    if (overLogin != loginHover) {
        loginButton->setStyleSheet(QLatin1String(overLogin ? LoginHoverStyle : LoginNormalStyle));
        loginHover = overLogin;
    }
    const bool overStatus = pageShown && isCursorInside(statusFrame);
    if (overStatus != statusHover) {
        statusFrame->setStyleSheet(QLatin1String(overStatus ? StatusHoverStyle : StatusNormalStyle));
        statusHover = overStatus;
    }
}

bool HoverHighlight::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((watched == loginButton || watched == statusFrame)
        && (type == QEvent::Enter || type == QEvent::Leave || type == QEvent::FocusIn || type == QEvent::FocusOut))
        check->start(CheckDelayMs);
    return QObject::eventFilter(watched, event);
}
