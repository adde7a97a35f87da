#include "WindowGeometry.h"

#include "AppSettings.h"
#include "Platform.h"

namespace WindowGeometry {

namespace {

const QString GeometryKey = QStringLiteral("Windows/loginGeometry");
const QString StateKey = QStringLiteral("Windows/loginState");

} // namespace

std::optional<Saved> readMain()
{
    const QSettings settings = AppSettings::open();
    if (!settings.contains(GeometryKey) || !settings.contains(StateKey))
        return std::nullopt;
    return Saved{settings.value(GeometryKey).toByteArray(), settings.value(StateKey).toByteArray()};
}

void storeMain(const Saved &saved)
{
    Platform::protectSettingsFile();
    QSettings settings = AppSettings::open();
    settings.setValue(GeometryKey, saved.geometry);
    settings.setValue(StateKey, saved.state);
    settings.sync();
}

} // namespace WindowGeometry
