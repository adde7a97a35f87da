#ifndef LOGINSTORE_H
#define LOGINSTORE_H

#include <QString>

class QSettings;

// The remembered login: credential encoding and the "Login" settings group.
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
};
Remembered read(QSettings &settings);

// Stores what the two check boxes of the login page ask for; the start-with-system entry is
// written or removed alongside. Returns the new value of "userBootUp" (unchanged when
// "Stay logged in" is not ticked).
bool storeChoices(QSettings &settings, bool stayLoggedIn, bool startWithSystem, const QString &name,
                  const QString &password, const QString &programPath, bool previousUserBootUp);
// "Logout": forget the credentials and the start-with-system entry.
void forget(QSettings &settings);

} // namespace LoginStore

#endif
