#ifndef UITRAY_H
#define UITRAY_H

#include <functional>

// Whether the desktop shows tray icons now. Without one, a window that hides itself there
// could not be found again. Tests decide through a hook: the offscreen platform has no tray.
namespace UiTray {

bool available();

using Hook = std::function<bool()>;
void setHook(Hook hook);

} // namespace UiTray

#endif
