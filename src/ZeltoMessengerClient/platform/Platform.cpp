#include "Platform.h"

#include "AppSettings.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace Platform {

namespace {

const QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool copySound(const QString &target)
{
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    if (!QFile::copy(QStringLiteral(":/sound/ChatIn.wav"), target))
        return false;
    // Resource files are copied read-only for everyone; the copy is the user's own, who may
    // want to replace it later.
    QFile::setPermissions(target, OwnerOnly);
    return true;
}

std::function<bool()> &restartHook()
{
    static std::function<bool()> hook;
    return hook;
}

std::function<void()> &quitHook()
{
    static std::function<void()> hook;
    return hook;
}

} // namespace

void quitApplication()
{
    if (quitHook())
        quitHook()();
    else
        QCoreApplication::exit(0);
}

void setQuitHook(std::function<void()> hook)
{
    quitHook() = std::move(hook);
}

bool restartProgram()
{
    // The new instance must run on its own, not hand over to this ending one.
    if (SingleInstance *instance = SingleInstance::current())
        instance->release();
    if (restartHook())
        return restartHook()();
    return QProcess::startDetached(QCoreApplication::applicationFilePath(), QStringList());
}

void setRestartHook(std::function<bool()> hook)
{
    restartHook() = std::move(hook);
}

void restartApplication()
{
    restartProgram();
    quitApplication();
}

QString autostartFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/zelto-messenger.desktop");
}

QString desktopExecArgument(const QString &argument)
{
    QString escaped;
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    // Field codes begin with "%"; a literal one is written twice.
    escaped.replace(QLatin1Char('%'), QStringLiteral("%%"));
    // The key's value is a string first: readers undo "\\" before they split the command line.
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString autostartEntry(const QString &programPath)
{
    QString exec = desktopExecArgument(programPath) + QStringLiteral(" --minimized");
    exec.remove(QLatin1Char('\n')).remove(QLatin1Char('\r'));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Zelto Messenger\n"
                          "Comment=Instant messenger\n"
                          "Exec=%1\n"
                          "Icon=zmessenger\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec);
}

bool writeAutostartEntry(const QString &programPath)
{
    const QString path = autostartFilePath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(autostartEntry(programPath).toUtf8());
    return file.commit();
}

bool removeAutostartEntry()
{
    const QString path = autostartFilePath();
    return !QFile::exists(path) || QFile::remove(path);
}

bool hasAutostartEntry()
{
    return QFile::exists(autostartFilePath());
}

QString settingsFilePath()
{
    return AppSettings::open().fileName();
}

bool protectSettingsFile()
{
    const QString path = settingsFilePath();
    if (!QFile::exists(path)) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            return false;
        file.setPermissions(OwnerOnly);
        return true;
    }
    if ((QFile::permissions(path) & ~(OwnerOnly | QFileDevice::ReadUser | QFileDevice::WriteUser)) == 0)
        return true;
    return QFile::setPermissions(path, OwnerOnly);
}

QString chatInSoundFile(const QString &programDir, const QString &userDataDir)
{
    const QString inProgramDir = QDir(programDir).filePath(QStringLiteral("ChatIn.wav"));
    if (QFile::exists(inProgramDir))
        return inProgramDir;
    if (userDataDir.isEmpty())
        return QString();
    const QString inDataDir = QDir(userDataDir).filePath(QStringLiteral("ChatIn.wav"));
    if (QFile::exists(inDataDir) || copySound(inDataDir))
        return inDataDir;
    return QString();
}

} // namespace Platform
