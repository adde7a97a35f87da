#include "AppSettings.h"

namespace AppSettings {

QSettings open()
{
    return QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
}

} // namespace AppSettings
