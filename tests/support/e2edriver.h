#ifndef E2EDRIVER_H
#define E2EDRIVER_H

#include <QJsonArray>
#include <QJsonObject>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// A real zmsgd process on loopback ports chosen by the OS. A restart reuses the same ports
// and database, as a restarted production server would. A test build of zmsgd hashes
// passwords at the cheapest cost here.
class ServerProcess
{
public:
    explicit ServerProcess(const QString &databasePath);
    ~ServerProcess();
    bool start(bool demo = false);
    void stop();
    // Ends the server with SIGKILL, as a crash would, and waits until it is gone.
    void kill();
    quint16 messagingPort = 0, avatarTlsPort = 0, avatarHttpPort = 0, webPort = 0;
    QString databasePath() const { return m_database; }
    QByteArray log() const { return m_log; }

private:
    QProcess m_process;
    QString m_database;
    QByteArray m_log;
};

// The environment of a zmessenger process: a HOME and XDG directories of its own under home,
// the offscreen platform, no session bus (a test that wants one sets DBUS_SESSION_BUS_ADDRESS),
// and the endpoints of server when one is given.
QProcessEnvironment clientEnvironment(const QString &home, const ServerProcess *server);

// One real zmessenger process with a HOME of its own, driven through its test control channel.
class ClientProcess
{
public:
    ClientProcess(const QString &label, const ServerProcess &server);
    // A client whose endpoints come only from setEnvironment(), for scripted servers.
    explicit ClientProcess(const QString &label);
    ~ClientProcess();
    // Extra variables for the next start(), set after the server's endpoints so they win.
    void setEnvironment(const QString &name, const QString &value);
    // Gives the program this temporary directory (TMPDIR); the control channel lives there too.
    void setTemporaryDirectory(const QString &path);
    bool start(const QStringList &arguments = {});
    // Ends the program the way a user does ("Stop ZM") and waits for it.
    bool stop();
    // Ends the program as a crash would: no clean-up of any kind.
    void kill();
    // Talks to a new instance that took over the control channel (after a restart).
    bool reconnect();
    // What a further start of the program for the same user is given (no control channel).
    QProcessEnvironment environment() const;
    // The per-user runtime directory (XDG_RUNTIME_DIR) of this client.
    QString runtimeDirectory() const { return m_runtime.path(); }
    QProcess &process() { return m_process; }
    QString home() const { return m_home.path(); }
    qint64 processId() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    QJsonObject call(const QJsonObject &request);
    QJsonValue get(const QString &path, const QString &property);
    bool click(const QString &path);
    bool type(const QString &path, const QString &text, bool enter = false);
    bool invoke(const QString &path, const QString &method, const QString &argument = QString());
    bool button(const QString &path, const QString &text);
    QJsonArray windows();
    QJsonArray popups();

private:
    QString m_label;
    const ServerProcess *m_server = nullptr;
    QProcessEnvironment m_extraEnvironment;
    QString m_temporaryDirectory;
    QTemporaryDir m_home;
    // The user's runtime directory, where the one-instance lock lives: one per client, so
    // that clients of different test users run side by side.
    QTemporaryDir m_runtime;
    QProcess m_process;
    QLocalSocket m_control;
    QString m_controlName;
};

// Creates an account through the web site's registration form, answering its captcha the way
// a person reading the picture would (the answer is derived from the server's secret).
bool registerThroughWebSite(const ServerProcess &server, const QString &name, const QString &password,
                            const QString &nick, QString *page);

#endif
