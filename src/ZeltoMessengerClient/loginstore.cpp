#include "loginstore.h"

#include "platform.h"

#include <QByteArray>
#include <QSettings>

namespace LoginStore {

QString encodeCredential(const QString &value)
{
    return QString::fromLatin1(value.toUtf8().toHex().toBase64());
}

QString decodeCredential(const QString &stored)
{
    return QString::fromUtf8(QByteArray::fromHex(QByteArray::fromBase64(stored.toUtf8())));
}

Remembered read(QSettings &settings)
{
    Remembered remembered;
    settings.beginGroup(QStringLiteral("Login"));
    remembered.autologin = settings.value(QStringLiteral("Autologin"), false).toBool();
    remembered.name = decodeCredential(settings.value(QStringLiteral("Name"), QString()).toString());
    remembered.password = decodeCredential(settings.value(QStringLiteral("Password"), QString()).toString());
    remembered.userBootUp = settings.value(QStringLiteral("userBootUp"), true).toBool();
    settings.endGroup();
    return remembered;
}

bool storeChoices(QSettings &settings, bool stayLoggedIn, bool startWithSystem, const QString &name,
                  const QString &password, const QString &programPath, bool previousUserBootUp)
{
    Platform::protectSettingsFile();
    bool userBootUp = previousUserBootUp;
    settings.beginGroup(QStringLiteral("Login"));
    if (stayLoggedIn) {
        settings.setValue(QStringLiteral("Autologin"), true);
        settings.setValue(QStringLiteral("Name"), encodeCredential(name));
        settings.setValue(QStringLiteral("Password"), encodeCredential(password));
        if (startWithSystem)
            Platform::writeAutostartEntry(programPath);
        else
            Platform::removeAutostartEntry();
        userBootUp = startWithSystem;
        settings.setValue(QStringLiteral("userBootUp"), userBootUp);
    } else {
        settings.setValue(QStringLiteral("Autologin"), false);
        settings.remove(QStringLiteral("Name"));
        settings.remove(QStringLiteral("Password"));
    }
    settings.endGroup();
    settings.sync();
    return userBootUp;
}

void forget(QSettings &settings)
{
    settings.beginGroup(QStringLiteral("Login"));
    settings.setValue(QStringLiteral("Autologin"), false);
    settings.remove(QStringLiteral("Name"));
    settings.remove(QStringLiteral("Password"));
    Platform::removeAutostartEntry();
    settings.setValue(QStringLiteral("userBootUp"), false);
    settings.endGroup();
    settings.sync();
}

} // namespace LoginStore
