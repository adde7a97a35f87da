#ifndef UIALERT_H
#define UIALERT_H

#include <functional>

class QWidget;

// Asks the desktop to mark a window that wants attention (its task bar entry), without
// raising or restoring it. Tests observe the requests through a hook: the offscreen
// platform has no task bar to show them.
namespace UiAlert {

void request(QWidget *window);

using Hook = std::function<void(QWidget *window)>;
void setHook(Hook hook);

} // namespace UiAlert

#endif
