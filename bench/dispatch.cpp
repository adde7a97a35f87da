// Incoming-event dispatch under a burst: 10,000 message lines for 50 senders buffered on the
// socket at once; the time until every one has reached its chat window, and how many did.
// Then the longest GUI block while the main window takes the largest messages, as the
// library hands them over, into a new chat window with its popup.
#include "Platform.h"
#include "benchlogin.h"
#include "benchsupport.h"
#include "frmChat.h"
#include "frmLogin.h"
#include "tlstestserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

int handled = 0;

void countMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtDebugMsg && message == QLatin1String("Go to MessageFromUser mode"))
        ++handled;
}

// The chat windows of the main window, seen from outside: every top-level frmChat.
int chatWindowCount()
{
    int n = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        n += qobject_cast<frmChat *>(w) ? 1 : 0;
    return n;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    Bench::useHome(home);
    QApplication app(argc, argv);
    // The program finds its sound module beside itself; this program finds it here.
    QCoreApplication::addLibraryPath(QStringLiteral(ZM_SOUND_MODULE_DIR));
    Platform::setQuitHook([] {});
    qInstallMessageHandler(countMessages);

    TlsTestServer server;
    frmLogin window;
    if (!Bench::logInToLoopback(window, server))
        return 2;

    constexpr int Count = 10000;
    constexpr int Senders = 50;
    QByteArray burst;
    for (int i = 0; i < Count; ++i) {
        burst += "ZM/1.1 message --username=sender" + QByteArray::number(i % Senders)
            + " --message=message&nbsp;number&nbsp;" + QByteArray::number(i) + " --mid=" + QByteArray::number(i) + '\n';
    }
    handled = 0;
    QElapsedTimer clock;
    clock.start();
    server.sendToClient(burst);
    while (handled < Count && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    const double seconds = double(clock.elapsed()) / 1000.0;
    Bench::figure(
        QStringLiteral("%1 buffered messages from %2 senders into their chat windows").arg(Count).arg(Senders), seconds,
        QStringLiteral("s"), QStringLiteral("< 3 s"), seconds < 3 && handled == Count);
    Bench::figure(QStringLiteral("Messages delivered"), handled, QStringLiteral("messages"), QString::number(Count),
                  handled == Count);
    Bench::figure(QStringLiteral("Chat windows opened"), chatWindowCount(), QStringLiteral("windows"),
                  QString::number(Senders), chatWindowCount() == Senders);

    // The object text the library makes of a message line; its reading and rendering are
    // not part of this figure.
    const struct {
        const char *name;
        int size;
    } largest[] = {{"32 KiB message (the most the server takes)", 32 * 1024},
                   {"16 MiB message line from a hostile server", 16 << 20}};
    for (const auto &message : largest) {
        const QString object = QStringLiteral("MessageFromUser<>stranger%1: ").arg(message.size)
            + QStringLiteral("word&nbsp;:)&nbsp;").repeated(message.size / 16) + QLatin1Char('\n');
        const double blocked = Bench::longestBlockMs([&] { window.readIncoming(object); });
        Bench::figure(
            QStringLiteral("Longest GUI block dispatching a %1 into a new chat").arg(QLatin1String(message.name)),
            blocked, QStringLiteral("ms"), QStringLiteral("<= 100 ms"), blocked <= 100);
    }
    return 0;
}
