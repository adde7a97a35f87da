// Start-up time to a shown main window, and the cost of a 1,000-contact list: the time of the
// refresh the server sends after login and the resident memory of the logged-in program.
// Run on an X server (QT_QPA_PLATFORM=xcb), the figures are named "under X11" and the memory
// target is the one for a desktop session. The loopback server runs in this process and
// counts towards its memory.
#include "Startup.h"
#include "benchlogin.h"
#include "benchsupport.h"
#include "frmLogin.h"
#include "zmsgfwwire.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWindow>

#include <unistd.h>

namespace {

constexpr int ContactCount = 1000;
constexpr double StartupTargetMs = 1000;
constexpr double RefreshTargetMs = 500;
constexpr double MemoryTargetMiB = 150;
constexpr double X11MemoryTargetMiB = 60;

// Milliseconds since the kernel started this process (field 22 of /proc/self/stat, in clock
// ticks), so dynamic loading and static initialisation count towards start-up.
double processAgeMs()
{
    QFile uptime(QStringLiteral("/proc/uptime"));
    const QList<QByteArray> fields = Bench::processStatFields();
    if (!uptime.open(QIODevice::ReadOnly) || fields.size() < 20)
        return -1;
    const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
    const double startedSeconds = fields.at(19).toDouble() / ticks;
    const double nowSeconds = uptime.readAll().split(' ').value(0).toDouble();
    return (nowSeconds - startedSeconds) * 1000.0;
}
bool waitUntilExposed(QWidget *widget, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (widget->windowHandle() && widget->windowHandle()->isExposed())
            return true;
    }
    return false;
}

void settle()
{
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The object the protocol library renders from the server's "contactswithstates" reply.
QString contactListObject(int count)
{
    QStringList entries;
    for (int i = 1; i <= count; ++i) {
        const QString user = QStringLiteral("user%1").arg(i, 4, 10, QLatin1Char('0'));
        const QString nick = QStringLiteral("Contact %1 \u00c4\u00f6").arg(i);
        const QString status = QStringLiteral("Status message number %1 &amp; a little more text").arg(i);
        entries << QStringList{ZMsgFwWire::escapeListField(user), ZMsgFwWire::escapeListField(nick),
                               ZMsgFwWire::escapeListField(status), QString::number(i % 5 + 1)}
                       .join(QLatin1Char('|'));
    }
    ZMsgFwWire::LineBuilder line(QStringLiteral("return"));
    line.raw(QStringLiteral("--rq="), QStringLiteral("contactswithstates"))
        .number(QStringLiteral("--id="), 200)
        .text(QStringLiteral("--users="), entries.join(QStringLiteral("<>")));
    return ZMsgFwWire::renderIncomingObject(line.toBytes());
}

} // namespace

int main(int argc, char *argv[])
{
    const double ageAtMain = processAgeMs();
    QElapsedTimer sinceMain;
    sinceMain.start();

    // Never read or write the real user's settings and data, and never reach a real server.
    QTemporaryDir home;
    Bench::useHome(home);
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", "1");
    qputenv("ZMSGFW_AVATAR_PORT", "1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", "1");

    // As the program does.
    Startup::avoidOpenGlIntegration();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zelto Messenger"));
    QTextStream err(stderr);
    const bool underX = QGuiApplication::platformName() == QLatin1String("xcb");
    const QString where = underX ? QStringLiteral(" under X11") : QString();
    const double memoryTarget = underX ? X11MemoryTargetMiB : MemoryTargetMiB;

    frmLogin window;
    window.show();
    const bool exposed = waitUntilExposed(&window, 10000);
    const double startupMs = ageAtMain + static_cast<double>(sinceMain.nsecsElapsed()) / 1e6;
    if (!exposed)
        err << "the main window was not exposed within 10 s\n";
    err << "start-up: " << ageAtMain << " ms before main, " << startupMs - ageAtMain
        << " ms from main to the shown window\n";
    Bench::figure(QStringLiteral("Start-up to shown main window") + where, startupMs, QStringLiteral("ms"),
                  QStringLiteral("<= %1 ms").arg(StartupTargetMs), exposed && startupMs <= StartupTargetMs);

    settle();
    const double idleMiB = Bench::residentMiB();
    err << "resident memory with the shown main window: " << idleMiB << " MiB\n";

    // Logged in to a loopback server, as after a real login.
    TlsTestServer server;
    if (!Bench::logInToLoopback(window, server)) {
        err << "the login to the loopback server failed\n";
        return 2;
    }
    settle();

    const QString object = contactListObject(ContactCount);
    QElapsedTimer refresh;
    refresh.start();
    window.readIncoming(object);
    const double refreshMs = static_cast<double>(refresh.nsecsElapsed()) / 1e6;
    settle();

    const int rows = window.contactList() ? window.contactList()->count() : 0;
    const bool filled = rows == ContactCount;
    if (!filled)
        err << "the contact list holds " << rows << " rows instead of " << ContactCount << "\n";
    Bench::figure(QStringLiteral("Contact list refresh with 1,000 contacts") + where, refreshMs, QStringLiteral("ms"),
                  QStringLiteral("<= %1 ms").arg(RefreshTargetMs), filled && refreshMs <= RefreshTargetMs);

    // The refresh repeats every 20 s while logged in; the second one updates rows in place.
    refresh.restart();
    window.readIncoming(object);
    const double repeatMs = static_cast<double>(refresh.nsecsElapsed()) / 1e6;
    settle();
    Bench::figure(QStringLiteral("Repeated contact list refresh with 1,000 contacts") + where, repeatMs,
                  QStringLiteral("ms"), QStringLiteral("<= %1 ms").arg(RefreshTargetMs),
                  filled && repeatMs <= RefreshTargetMs);

    const double loadedMiB = Bench::residentMiB();
    Bench::figure(QStringLiteral("Resident memory after login with 1,000 contacts") + where, loadedMiB,
                  QStringLiteral("MiB"), QStringLiteral("<= %1 MiB").arg(memoryTarget),
                  filled && loadedMiB > 0 && loadedMiB <= memoryTarget);
    return 0;
}
