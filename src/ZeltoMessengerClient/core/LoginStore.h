#ifndef LOGINSTORE_H
#define LOGINSTORE_H

#include <QString>

#include <functional>

class QObject;
class QSettings;
class SecretStore;

// The remembered login: credential encoding and the "Login" settings group. The password for
// the automatic login lives in the desktop's keyring when one takes it ("PasswordInKeyring"),
// else in the settings file, which only its owner can read.
namespace LoginStore {

// Base64 of the lower-case hexadecimal text of the UTF-8 bytes. This only keeps the value
// out of plain sight; the settings file itself is what protects it (owner-only mode).
QString encodeCredential(const QString &value);
QString decodeCredential(const QString &stored);

struct Remembered {
    bool autologin = false;
    QString name;
    QString password;
    bool userBootUp = true;
    // The password is not in the settings: fetchPassword() asks the keyring for it.
    bool passwordInKeyring = false;
};
Remembered read(QSettings &settings);

// Stores what the two check boxes of the login page ask for; the start-with-system entry is
// written or removed alongside. Returns the new value of "userBootUp" (unchanged when
// "Stay logged in" is not ticked).
bool storeChoices(QSettings &settings, bool stayLoggedIn, bool startWithSystem, const QString &name,
                  const QString &password, const QString &programPath, bool previousUserBootUp,
                  SecretStore *keyring = nullptr);
// "Logout": forget the credentials, also in the keyring, and the start-with-system entry.
void forget(QSettings &settings, SecretStore *keyring = nullptr);

// Keeps the password of the remembered login: in the keyring when it was there and still
// takes it, else in the settings file, from where moveToKeyring() tries to move it.
void rememberPassword(QSettings &settings, SecretStore *keyring, const QString &name, const QString &password);
// A password in the settings file (written by an older version, or while no keyring was
// reachable) goes into the keyring and leaves the file once the keyring has it.
void moveToKeyring(QSettings &settings, SecretStore *keyring);
// Asks the keyring for the remembered password; done(found, password) runs exactly once,
// at the latest after timeoutMs, and not at all when context is gone.
void fetchPassword(SecretStore *keyring, const QString &name, int timeoutMs, QObject *context,
                   std::function<void(bool found, const QString &password)> done);

} // namespace LoginStore

#endif
