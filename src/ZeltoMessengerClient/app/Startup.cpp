#include "Startup.h"

#include "AppSettings.h"
#include "UpdateThread.h"
#include "frmLogin.h"
#include "frmUpdate.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>
#include <QWidget>

#include <functional>
#include <utility>

namespace Startup {

namespace {

// Runs an action once, delayMs after the watched widget was first shown.
class AfterFirstShow : public QObject
{
public:
    AfterFirstShow(QWidget *widget, int delayMs, std::function<void()> action)
        : QObject(widget)
        , m_delayMs(delayMs)
        , m_action(std::move(action))
    {
        if (widget->isVisible())
            arm();
        else
            widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            arm();
        }
        return false;
    }

private:
    void arm()
    {
        QTimer::singleShot(m_delayMs, this, [this] {
            m_action();
            deleteLater();
        });
    }

    int m_delayMs;
    std::function<void()> m_action;
};

QString optionLine(const char *option, const QString &description)
{
    return QStringLiteral("  %1 %2\n").arg(QLatin1String(option), -16).arg(description);
}

} // namespace

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Zelto Messenger"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0-33"));
}

void avoidOpenGlIntegration()
{
    // Empty counts as unset, as it does for Qt.
    if (qEnvironmentVariableIsEmpty("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}

bool matchesOption(const QString &argument, const QString &option)
{
    return argument == option || argument.startsWith(option + QLatin1Char('='));
}

Options parseOptions(const QStringList &arguments)
{
    Options options;
    for (const QString &argument : arguments) {
        options.regUpdate |= matchesOption(argument, QStringLiteral("--regupdate"));
        options.minimized |= matchesOption(argument, QStringLiteral("--minimized"));
        options.resetStyle |= matchesOption(argument, QStringLiteral("--resetstyle"));
        options.noUpdate |= matchesOption(argument, QStringLiteral("--noupdate"));
        options.help |= matchesOption(argument, QStringLiteral("--help")) || argument == QLatin1String("-h");
        options.version |= matchesOption(argument, QStringLiteral("--version"));
    }
    return options;
}

QString usageText(const QString &programName)
{
    return QCoreApplication::translate("Startup", "Usage: %1 [options]").arg(programName) + QStringLiteral("\n")
        + QCoreApplication::translate("Startup", "Instant messenger for Zelto Messenger accounts.")
        + QStringLiteral("\n\n") + QCoreApplication::translate("Startup", "Options:") + QStringLiteral("\n")
        + optionLine("--minimized", QCoreApplication::translate("Startup", "Start with the main window minimised"))
        + optionLine("--resetstyle", QCoreApplication::translate("Startup", "Go back to the system's widget style"))
        + optionLine("--noupdate",
                     QCoreApplication::translate("Startup", "Accepted for older start entries; has no effect"))
        + optionLine("--regupdate",
                     QCoreApplication::translate("Startup", "Accepted for older start entries; has no effect"))
        + optionLine("-h, --help", QCoreApplication::translate("Startup", "Show this help and exit"))
        + optionLine("--version", QCoreApplication::translate("Startup", "Show the version and exit"))
        + QStringLiteral("\n")
        + QCoreApplication::translate("Startup",
                                      "Starting the program again while it runs brings its window to the front.")
        + QStringLiteral("\n");
}

QString versionText()
{
    return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion()
        + QLatin1Char('\n');
}

int answerInformationOptions(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = parseOptions(arguments);
    if (!options.help && !options.version)
        return -1;
    // No QApplication: a terminal without a display must get its answer too.
    QCoreApplication app(argc, argv);
    setApplicationIdentity();
    const QString executableDir = QCoreApplication::applicationDirPath();
    const QSettings settings = AppSettings::open();
    const QString language = settings.value(QStringLiteral("Interface/Language"), QStringLiteral("System")).toString();
    installTranslations(language, QLocale::system().name(),
                        translationDirectory(executableDir, executableDir, QStringLiteral(ZM_INSTALLED_TRANSLATIONS)),
                        &app);
    QTextStream out(stdout);
    if (options.help)
        out << usageText(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    else
        out << versionText();
    out.flush();
    return 0;
}

QString resolveTranslationDir(const QString &pathTemplate, const QString &executableDir, const QString &workingDir)
{
    QString path = pathTemplate;
    path.replace(QLatin1String("$ED"), executableDir);
    path.replace(QLatin1String("$WD"), workingDir);
    return path;
}

QString translationDirectory(const QString &executableDir, const QString &workingDir, const QString &installedRelative)
{
    const QString beside = resolveTranslationDir(QStringLiteral("$ED/trplugs"), executableDir, workingDir);
    if (QFileInfo(beside).isDir() || installedRelative.isEmpty())
        return beside;
    const QString installed = QDir::cleanPath(executableDir + QLatin1Char('/') + installedRelative);
    return QFileInfo(installed).isDir() ? installed : beside;
}

QString languageCode(const QString &name)
{
    return name.section(QLatin1Char('_'), 0, 0);
}

QList<QTranslator *> installTranslations(const QString &languageSetting, const QString &systemLocaleName,
                                         const QString &translationDir, QObject *owner)
{
    const bool systemMode = languageSetting == QLatin1String("System") || languageSetting.trimmed().isEmpty();
    const QString systemCode = languageCode(systemLocaleName);
    const QString configuredCode = languageCode(languageSetting);
    const QString firstCode = systemMode ? systemCode : configuredCode;

    const QStringList catalogues = {
        translationDir + QStringLiteral("/zm_%1.qm"),
        translationDir + QStringLiteral("/qtbase_%1.qm"),
        translationDir + QStringLiteral("/qtmultimedia_%1.qm"),
        QStringLiteral(":/tr/zm_%1.qm"),
        QStringLiteral(":/tr/qtbase_%1.qm"),
        QStringLiteral(":/tr/qtmultimedia_%1.qm"),
    };

    bool fallback = false;
    if (!systemMode && configuredCode != QLatin1String("en")) {
        // A language without its add-on client catalogue falls back to the system language
        // wherever that one is available.
        const QString addOnClientFile = catalogues.first().arg(configuredCode);
        QTranslator probe;
        fallback = !QFile::exists(addOnClientFile) || !probe.load(addOnClientFile);
    }

    QList<QTranslator *> translators;
    for (const QString &catalogue : catalogues) {
        auto *translator = new QTranslator(owner);
        const QString firstFile = catalogue.arg(firstCode);
        if (QFile::exists(firstFile))
            translator->load(firstFile);
        const QString systemFile = catalogue.arg(systemCode);
        if (fallback && QFile::exists(systemFile))
            translator->load(systemFile);
        QCoreApplication::installTranslator(translator);
        translators.append(translator);
    }
    return translators;
}

void applyStyle(QSettings &settings, bool resetStyle)
{
    if (resetStyle) {
        settings.setValue(QStringLiteral("Style/Custom"), false);
        settings.setValue(QStringLiteral("Style/showBug"), true);
    }
    if (!settings.value(QStringLiteral("Style/Custom"), false).toBool())
        return;
    const QString name = settings.value(QStringLiteral("Style/Name"), QStringLiteral("System")).toString();
    if (name != QLatin1String("System") && !name.trimmed().isEmpty())
        QApplication::setStyle(name);
}

void refreshUninstallEntry()
{
    qDebug() << "--regupdate: there is no uninstall entry to refresh on this platform";
}

void connectUpdateObjects(UpdateThread *thread, frmUpdate *dialog)
{
    QObject::connect(thread, &UpdateThread::setNewVersion, dialog, &frmUpdate::setNewVersion);
    QObject::connect(thread, &UpdateThread::updateIsNowAvailable, dialog, &frmUpdate::show);
    QObject::connect(dialog, &frmUpdate::disableUpdateNotification, thread, &UpdateThread::disableUpdateNotification);
}

void setUpUpdateCheck(frmLogin &window, const QSettings &settings)
{
    const bool notify = settings.value(QStringLiteral("Update/UpdateNotification"), true).toBool();
    // Made once the window is up: the dialog is a window of its own that the first one does
    // not need.
    new AfterFirstShow(&window, 0, [&window, notify] {
        auto *dialog = new frmUpdate(QStringLiteral("32qt5"));
        auto *thread = new UpdateThread(QStringLiteral("32qt5"), QCoreApplication::applicationVersion());
        window.setUpdateObjects(thread, dialog);
        connectUpdateObjects(thread, dialog);
        // The worker must be gone before the objects it reports to are torn down.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, thread, &UpdateThread::stop);
        if (notify)
            startUpdateCheckAfterShow(&window, thread);
        else
            dialog->setNotificationButtonVisible(false);
    });
}

void startUpdateCheckAfterShow(QWidget *window, UpdateThread *thread, int delayMs)
{
    new AfterFirstShow(window, delayMs, [thread] { thread->start(QThread::InheritPriority); });
}

void bringForward(QWidget *window)
{
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace Startup
