#ifndef APPSETTINGS_H
#define APPSETTINGS_H

#include <QSettings>

// The program's one settings store: organisation "Zelto", application "Zelto Messenger", in
// the platform's native format. Every reader and writer opens it here.
namespace AppSettings {

QSettings open();

} // namespace AppSettings

#endif
