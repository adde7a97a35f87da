#include "UiAlert.h"

#include <QApplication>

namespace UiAlert {

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

void request(QWidget *window)
{
    if (currentHook())
        currentHook()(window);
    else
        QApplication::alert(window);
}

} // namespace UiAlert
