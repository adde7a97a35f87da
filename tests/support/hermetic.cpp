#include "hermetic.h"

#include <QDir>

HermeticEnvironment::HermeticEnvironment()
    : m_dir(QDir::tempPath() + QStringLiteral("/zmtest-XXXXXX"))
{
    const QString root = m_dir.path();
    for (const char *sub : {"/config", "/data", "/cache", "/runtime"})
        QDir().mkpath(root + QLatin1String(sub));
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_CACHE_HOME", (root + QStringLiteral("/cache")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("/runtime")).toUtf8());
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // The user's desktop must not see the tests' notices nor lend them its keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS",
            (QStringLiteral("unix:path=") + root + QStringLiteral("/no-session-bus")).toUtf8());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}
