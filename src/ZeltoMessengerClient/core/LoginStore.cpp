#include "LoginStore.h"

#include "Keyring.h"
#include "Platform.h"

#include <QByteArray>
#include <QDebug>
#include <QPointer>
#include <QSettings>
#include <QTimer>

#include <memory>

namespace LoginStore {

namespace {

const QString AutologinKey = QStringLiteral("Login/Autologin");
const QString NameKey = QStringLiteral("Login/Name");
const QString PasswordKey = QStringLiteral("Login/Password");
const QString InKeyringKey = QStringLiteral("Login/PasswordInKeyring");

// Answers arrive later; they reopen the same store, the caller's object may be gone.
struct StoreLocation {
    explicit StoreLocation(const QSettings &settings)
        : file(settings.fileName())
        , format(settings.format())
    {}
    QString file;
    QSettings::Format format;
};

QString rememberedName(const QSettings &settings)
{
    return decodeCredential(settings.value(NameKey).toString());
}

void removeFromKeyring(SecretStore *keyring, const QString &name)
{
    if (keyring && !name.isEmpty())
        keyring->remove(name, nullptr);
}

} // namespace

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
    remembered.passwordInKeyring = !settings.contains(QStringLiteral("Password"))
        && settings.value(QStringLiteral("PasswordInKeyring"), false).toBool();
    settings.endGroup();
    return remembered;
}

bool storeChoices(QSettings &settings, bool stayLoggedIn, bool startWithSystem, const QString &name,
                  const QString &password, const QString &programPath, bool previousUserBootUp, SecretStore *keyring)
{
    Platform::protectSettingsFile();
    const QString previousName = rememberedName(settings);
    bool userBootUp = previousUserBootUp;
    if (stayLoggedIn) {
        if (previousName != name) {
            removeFromKeyring(keyring, previousName);
            settings.remove(InKeyringKey);
        }
        settings.setValue(AutologinKey, true);
        settings.setValue(NameKey, encodeCredential(name));
        rememberPassword(settings, keyring, name, password);
        if (startWithSystem)
            Platform::writeAutostartEntry(programPath);
        else
            Platform::removeAutostartEntry();
        userBootUp = startWithSystem;
        settings.setValue(QStringLiteral("Login/userBootUp"), userBootUp);
    } else {
        removeFromKeyring(keyring, previousName);
        settings.setValue(AutologinKey, false);
        settings.remove(NameKey);
        settings.remove(PasswordKey);
        settings.remove(InKeyringKey);
    }
    settings.sync();
    return userBootUp;
}

void forget(QSettings &settings, SecretStore *keyring)
{
    removeFromKeyring(keyring, rememberedName(settings));
    settings.beginGroup(QStringLiteral("Login"));
    settings.setValue(QStringLiteral("Autologin"), false);
    settings.remove(QStringLiteral("Name"));
    settings.remove(QStringLiteral("Password"));
    settings.remove(QStringLiteral("PasswordInKeyring"));
    Platform::removeAutostartEntry();
    settings.setValue(QStringLiteral("userBootUp"), false);
    settings.endGroup();
    settings.sync();
}

void rememberPassword(QSettings &settings, SecretStore *keyring, const QString &name, const QString &password)
{
    if (!keyring || !settings.value(InKeyringKey, false).toBool()) {
        settings.setValue(PasswordKey, encodeCredential(password));
        settings.sync();
        moveToKeyring(settings, keyring);
        return;
    }
    settings.remove(PasswordKey);
    settings.sync();
    const StoreLocation location(settings);
    keyring->write(name, password, [location, name, password](SecretStore::Result result, const QString &) {
        if (result == SecretStore::Result::Done)
            return;
        // The keyring is gone or says no: the settings file keeps the password again, unless
        // the login was forgotten or changed meanwhile.
        QSettings store(location.file, location.format);
        if (!store.value(AutologinKey, false).toBool() || rememberedName(store) != name)
            return;
        Platform::protectSettingsFile();
        store.setValue(PasswordKey, encodeCredential(password));
        store.remove(InKeyringKey);
    });
}

void moveToKeyring(QSettings &settings, SecretStore *keyring)
{
    if (!keyring || !settings.value(AutologinKey, false).toBool() || !settings.contains(PasswordKey))
        return;
    const QString name = rememberedName(settings);
    const QString stored = settings.value(PasswordKey).toString();
    const StoreLocation location(settings);
    keyring->write(name, decodeCredential(stored),
                   [location, name, stored](SecretStore::Result result, const QString &) {
                       if (result != SecretStore::Result::Done)
                           return;
                       // Only what was moved leaves the file; a login stored meanwhile stays as it is.
                       QSettings store(location.file, location.format);
                       if (store.value(PasswordKey).toString() != stored || rememberedName(store) != name)
                           return;
                       store.remove(PasswordKey);
                       store.setValue(InKeyringKey, true);
                       store.sync();
                       qInfo() << "The remembered password is now kept in the keyring";
                   });
}

void fetchPassword(SecretStore *keyring, const QString &name, int timeoutMs, QObject *context,
                   std::function<void(bool found, const QString &password)> done)
{
    auto answered = std::make_shared<bool>(false);
    auto finish = [answered, done](bool found, const QString &password) {
        if (!std::exchange(*answered, true))
            done(found, password);
    };
    QTimer::singleShot(keyring ? timeoutMs : 0, context, [finish] { finish(false, QString()); });
    if (!keyring)
        return;
    keyring->read(name,
                  [context = QPointer<QObject>(context), finish](SecretStore::Result result, const QString &secret) {
                      if (context)
                          finish(result == SecretStore::Result::Done, secret);
                  });
}

} // namespace LoginStore
