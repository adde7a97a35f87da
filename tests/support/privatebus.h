#ifndef PRIVATEBUS_H
#define PRIVATEBUS_H

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A session bus of the test's own (dbus-daemon with a minimal session configuration and no
// service files), so that nothing of the user's desktop answers on it.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    bool start(QString *error);
    void stop();
    // The value for DBUS_SESSION_BUS_ADDRESS.
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
    QString m_address;
};

// gnome-keyring-daemon's Secret Service on a private bus, its keyrings under dataHome,
// unlocked with password.
class KeyringDaemon
{
public:
    KeyringDaemon() = default;
    ~KeyringDaemon();
    KeyringDaemon(const KeyringDaemon &) = delete;
    KeyringDaemon &operator=(const KeyringDaemon &) = delete;

    bool start(const PrivateBus &bus, const QString &dataHome, const QString &runtimeDirectory, QString *error);
    void stop();
    // What the Secret Service holds for the attributes (through secret-tool, not QtKeychain).
    QString lookup(const QStringList &attributes) const;

private:
    QProcessEnvironment m_environment;
    QProcess m_daemon;
};

#endif
