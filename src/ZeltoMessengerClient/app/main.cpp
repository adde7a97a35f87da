#include "AppSettings.h"
#include "SingleInstance.h"
#include "Startup.h"
#include "frmLogin.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QTextStream>

int main(int argc, char *argv[])
{
    const int informationExit = Startup::answerInformationOptions(argc, argv);
    if (informationExit >= 0)
        return informationExit;

    Startup::avoidOpenGlIntegration();
    QApplication app(argc, argv);
    Startup::setApplicationIdentity();

    const QString executableDir = QCoreApplication::applicationDirPath();
    QDir::setCurrent(executableDir);
    QCoreApplication::addLibraryPath(executableDir + QStringLiteral("/plugins"));
    QCoreApplication::addLibraryPath(executableDir + QStringLiteral("/platforms"));
    QCoreApplication::addLibraryPath(executableDir);

    QSettings settings = AppSettings::open();
    const QString language = settings.value(QStringLiteral("Interface/Language"), QStringLiteral("System")).toString();
    const QString translationDir =
        Startup::translationDirectory(executableDir, QDir::currentPath(), QStringLiteral(ZM_INSTALLED_TRANSLATIONS));
    qDebug() << "Translation path" << translationDir;
    Startup::installTranslations(language, QLocale::system().name(), translationDir, &app);

    const Startup::Options options = Startup::parseOptions(QCoreApplication::arguments());
    SingleInstance instance;
    switch (instance.claim(!options.minimized)) {
    case SingleInstance::Outcome::Primary:
        break;
    case SingleInstance::Outcome::HandedOver:
        return 0;
    case SingleInstance::Outcome::NoAnswer:
        QTextStream(stderr) << QCoreApplication::translate("Startup",
                                                           "Zelto Messenger is already running but does not answer.")
                            << '\n';
        return 1;
    }
    // A start during shutdown waits for the lock instead of handing over to this ending run.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &instance, &SingleInstance::release);
    if (options.regUpdate)
        Startup::refreshUninstallEntry();
    Startup::applyStyle(settings, options.resetStyle);

    frmLogin window;
    window.setTranslationDir(translationDir);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window,
                     [&window] { Startup::bringForward(&window); });

    Startup::setUpUpdateCheck(window, settings);

    if (options.minimized)
        window.showMinimized();
    else
        window.show();
    return app.exec();
}
