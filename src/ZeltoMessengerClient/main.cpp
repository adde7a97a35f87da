#include "frmLogin.h"
#include "frmUpdate.h"
#include "startup.h"
#include "TestControl.h"
#include "UpdateThread.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QLocale>
#include <QSettings>

int main(int argc, char *argv[])
{
    Startup::avoidOpenGlIntegration();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelto Messenger"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.0-33"));

    const QString executableDir = QCoreApplication::applicationDirPath();
    QDir::setCurrent(executableDir);
    QCoreApplication::addLibraryPath(executableDir + QStringLiteral("/plugins"));
    QCoreApplication::addLibraryPath(executableDir + QStringLiteral("/platforms"));
    QCoreApplication::addLibraryPath(executableDir);

    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    const QString language = settings.value(QStringLiteral("Interface/Language"), QStringLiteral("System")).toString();
    const QString translationDir = Startup::translationDirectory(executableDir, QDir::currentPath(),
                                                                 QStringLiteral(ZM_INSTALLED_TRANSLATIONS));
    qDebug() << "Translation path" << translationDir;
    Startup::installTranslations(language, QLocale::system().name(), translationDir, &app);

    const Startup::Options options = Startup::parseOptions(QCoreApplication::arguments());
    if (options.regUpdate)
        Startup::refreshUninstallEntry();
    Startup::applyStyle(settings, options.resetStyle);

    frmLogin window;
    window.setTranslationDir(translationDir);

    const bool updateNotification = settings.value(QStringLiteral("Update/UpdateNotification"), true).toBool();
    auto *updateDialog = new frmUpdate(QStringLiteral("32qt5"));
    auto *updateThread = new UpdateThread(QStringLiteral("32qt5"), QCoreApplication::applicationVersion());
    window.setUpdateObjects(updateThread, updateDialog);
    Startup::connectUpdateObjects(updateThread, updateDialog);
    // The worker must be gone before the objects it reports to are torn down.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, updateThread, &UpdateThread::stop);
    if (updateNotification)
        updateThread->start(QThread::InheritPriority);
    else
        updateDialog->setNotificationButtonVisible(false);

    if (options.minimized)
        window.showMinimized();
    else
        window.show();
    TestControl::startFromEnvironment();
    return app.exec();
}
