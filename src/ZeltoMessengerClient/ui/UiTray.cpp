#include "UiTray.h"

#include <QSystemTrayIcon>

namespace UiTray {

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

bool available()
{
    if (currentHook())
        return currentHook()();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

} // namespace UiTray
