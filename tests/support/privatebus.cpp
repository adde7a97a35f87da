#include "privatebus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>
#include <QtTest>

namespace {

const char SessionConfig[] = R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=%1</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)";

} // namespace

PrivateBus::PrivateBus()
    : m_dir(QDir::tempPath() + QStringLiteral("/zmbus-XXXXXX"))
{}

PrivateBus::~PrivateBus()
{
    stop();
}

bool PrivateBus::start(QString *error)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        *error = QStringLiteral("dbus-daemon is not installed (scripts/deps.sh installs it)");
        return false;
    }
    QFile config(m_dir.filePath(QStringLiteral("session.conf")));
    if (!config.open(QIODevice::WriteOnly)) {
        *error = config.errorString();
        return false;
    }
    config.write(QString::fromLatin1(SessionConfig).arg(m_dir.path()).toUtf8());
    config.close();
    m_daemon.setProcessChannelMode(QProcess::SeparateChannels);
    m_daemon.start(daemon,
                   {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--print-address=1"),
                    QStringLiteral("--nofork"), QStringLiteral("--nopidfile")});
    QDeadlineTimer deadline(20000);
    QByteArray output;
    while (!output.contains('\n') && !deadline.hasExpired() && m_daemon.state() != QProcess::NotRunning) {
        m_daemon.waitForReadyRead(int(deadline.remainingTime()));
        output += m_daemon.readAllStandardOutput();
    }
    m_address = QString::fromUtf8(output.left(output.indexOf('\n'))).trimmed();
    if (m_address.isEmpty())
        *error = QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(m_daemon.readAllStandardError());
    return !m_address.isEmpty();
}

void PrivateBus::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(10000)) {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
}

KeyringDaemon::~KeyringDaemon()
{
    stop();
}

bool KeyringDaemon::start(const PrivateBus &bus, const QString &dataHome, const QString &runtimeDirectory,
                          QString *error)
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
    if (daemon.isEmpty()) {
        *error = QStringLiteral("gnome-keyring-daemon is not installed (scripts/deps.sh installs it)");
        return false;
    }
    m_environment = QProcessEnvironment::systemEnvironment();
    m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    m_environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDirectory);
    m_daemon.setProcessEnvironment(m_environment);
    m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_daemon.start(
        daemon, {QStringLiteral("--foreground"), QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
    if (!m_daemon.waitForStarted(10000)) {
        *error = m_daemon.errorString();
        return false;
    }
    // The password of the login keyring, read until the end of input.
    m_daemon.write("keyring-test-password");
    m_daemon.closeWriteChannel();

    QDBusConnection connection = QDBusConnection::connectToBus(bus.address(), QStringLiteral("keyring-probe"));
    const bool registered = QTest::qWaitFor(
        [&] {
            return connection.interface()
                && connection.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
        },
        20000);
    QDBusConnection::disconnectFromBus(QStringLiteral("keyring-probe"));
    if (!registered)
        *error = QStringLiteral("the keyring did not appear on the bus");
    return registered;
}

void KeyringDaemon::stop()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(10000)) {
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
}

QString KeyringDaemon::lookup(const QStringList &attributes) const
{
    QProcess tool;
    tool.setProcessEnvironment(m_environment);
    tool.start(QStringLiteral("secret-tool"), QStringList{QStringLiteral("lookup")} + attributes);
    if (!tool.waitForFinished(20000) || tool.exitCode() != 0)
        return QString();
    return QString::fromUtf8(tool.readAllStandardOutput());
}
