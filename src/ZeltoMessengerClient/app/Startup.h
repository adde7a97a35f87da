#ifndef STARTUP_H
#define STARTUP_H

#include <QList>
#include <QString>
#include <QStringList>

class QObject;
class QSettings;
class QTranslator;
class QWidget;
class UpdateThread;
class frmLogin;
class frmUpdate;

// Program start: command-line options, translation choice and the stored widget style.
namespace Startup {

// The program draws widgets only: unless the environment names an OpenGL integration, Qt's xcb
// platform is told to load none, and with it no OpenGL driver. Call before QApplication exists.
void avoidOpenGlIntegration();

struct Options {
    bool regUpdate = false;
    bool minimized = false;
    bool resetStyle = false;
    bool noUpdate = false;
    bool help = false;
    bool version = false;
};

// Application name "Zelto Messenger" and version, set before anything reads them.
void setApplicationIdentity();

// An argument matches an option when it equals it, or begins with the option and "=".
bool matchesOption(const QString &argument, const QString &option);
Options parseOptions(const QStringList &arguments);

// "--help" (also "-h") and "--version" answer on standard output and end the program before
// any window, display connection or instance check. Returns the exit status when one of them
// was given, else -1.
int answerInformationOptions(int argc, char *argv[]);
QString usageText(const QString &programName);
QString versionText();

// "$ED" is the executable's directory, "$WD" the working directory.
QString resolveTranslationDir(const QString &pathTemplate, const QString &executableDir, const QString &workingDir);
// The program's translation directory: "trplugs" beside the executable, or, where that does
// not exist (an installed program), installedRelative seen from the executable's directory.
QString translationDirectory(const QString &executableDir, const QString &workingDir, const QString &installedRelative);

// The language code of a locale or setting name: the part before the first "_".
QString languageCode(const QString &name);

// Creates and installs the six translators (add-on client, Qt base and Qt multimedia
// catalogues, then the built-in ones) for the language setting, the system locale name
// (e.g. "de_DE") and the add-on directory. The translators are children of owner.
QList<QTranslator *> installTranslations(const QString &languageSetting, const QString &systemLocaleName,
                                         const QString &translationDir, QObject *owner);

// Applies "--resetstyle" and then the user-chosen style, if one is stored.
void applyStyle(QSettings &settings, bool resetStyle);

// Keeps the installer's uninstall entry in step with the version. Linux has no such entry.
void refreshUninstallEntry();

// The update worker reports to the update dialog; the dialog's "Disable" stops the worker.
void connectUpdateObjects(UpdateThread *thread, frmUpdate *dialog);

// How long after the main window has been shown the update check starts.
constexpr int UpdateCheckDelayMs = 5000;
// Starts the update worker delayMs after window has been shown (minimised counts), so that
// the network stack it loads does not slow down the first window.
void startUpdateCheckAfterShow(QWidget *window, UpdateThread *thread, int delayMs = UpdateCheckDelayMs);

// Gives the window the update worker and its dialog, and starts the check after the window is
// shown unless the user turned update notifications off.
void setUpUpdateCheck(frmLogin &window, const QSettings &settings);

// Shows the main window in front, also when it was minimised or only in the tray.
void bringForward(QWidget *window);

} // namespace Startup

#endif
