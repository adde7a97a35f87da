// Processor use of the real program while it sits minimised with a session: started with
// "--minimized" and a remembered login against a local zmsgd with demo accounts, it logs in,
// loads its contacts and avatars, and is then left alone. The figure is the share of one core
// it used while idle, read from the kernel's accounting of the child process.
#include "LoginStore.h"
#include "benchsupport.h"
#include "e2edriver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

#include <unistd.h>

namespace {

constexpr double TargetPercent = 0.5;
// Long enough to hold several runs of every refresh timer (20 s contacts, 10 s watchdog).
constexpr int MeasureMs = 60000;
// After login the first contact refresh and the avatar downloads run; the idle figure starts
// once they are done.
constexpr int SettleMs = 30000;

// User plus system processor time of a process in seconds, or -1.
double cpuSeconds(qint64 pid)
{
    const QList<QByteArray> fields = Bench::processStatFields(QString::number(pid));
    if (fields.size() < 13)
        return -1;
    return (fields.at(11).toDouble() + fields.at(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

void rememberLogin(const QString &configHome, const QString &name, const QString &password)
{
    QSettings settings(configHome + QStringLiteral("/Zelto/Zelto Messenger.conf"), QSettings::IniFormat);
    settings.setValue(QStringLiteral("Login/Autologin"), true);
    settings.setValue(QStringLiteral("Login/Name"), LoginStore::encodeCredential(name));
    settings.setValue(QStringLiteral("Login/Password"), LoginStore::encodeCredential(password));
    settings.sync();
}

// Runs the event loop (the server's log arrives through it) until the log holds text.
bool waitForLog(const ServerProcess &server, const QByteArray &text, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!server.log().contains(text) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return server.log().contains(text);
}

void idle(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 200);
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    Bench::useHome(home);
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    if (qEnvironmentVariableIsEmpty("ZM_ZMSGD"))
        qputenv("ZM_ZMSGD", ZM_ZMSGD_PATH);

    ServerProcess server(home.filePath(QStringLiteral("zmsgd.sqlite")));
    if (!server.start(true)) {
        err << "zmsgd did not start\n";
        return 1;
    }
    QTemporaryDir clientHome;
    rememberLogin(clientHome.path() + QStringLiteral("/config"), QStringLiteral("alice"), QStringLiteral("alice123"));
    QProcess client;
    client.setProcessEnvironment(clientEnvironment(clientHome.path(), &server));
    client.setWorkingDirectory(clientHome.path());
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.setStandardOutputFile(QProcess::nullDevice());
    client.start(QStringLiteral(ZM_ZMESSENGER_PATH), {QStringLiteral("--minimized")});
    if (!client.waitForStarted(10000) || !waitForLog(server, "(alice) logged in", 30000)) {
        err << "the client did not log in\n" << server.log();
        return 1;
    }
    idle(SettleMs);
    const double before = cpuSeconds(client.processId());
    QElapsedTimer clock;
    clock.start();
    idle(MeasureMs);
    const double used = cpuSeconds(client.processId()) - before;
    const double percent = 100.0 * used / (double(clock.elapsed()) / 1000.0);
    const bool stillLoggedIn = !server.log().contains("(alice) disconnected") && client.state() == QProcess::Running;
    err << "processor time while idle: " << used << " s in " << clock.elapsed() << " ms\n";
    Bench::figure(QStringLiteral("Processor use minimised with a session, idle"), percent,
                  QStringLiteral("% of one core"), QStringLiteral("< %1 % of one core").arg(TargetPercent),
                  before >= 0 && stillLoggedIn && percent < TargetPercent);
    client.terminate();
    if (!client.waitForFinished(10000))
        client.kill(), client.waitForFinished();
    server.stop();
    return 0;
}
