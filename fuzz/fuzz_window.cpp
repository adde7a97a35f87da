// The main window's dispatch of incoming objects into its contact tables, chat windows, avatar
// queue and popups, on a real frmLogin without a display (offscreen platform). Messages are
// given one of four senders, because every new sender opens a chat window by design and
// thousands of them would only measure window creation.
#include "AvatarLoader.h"
#include "frmLogin.h"
#include "fuzzsupport.h"
#include "zmsgfwwire.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

namespace {

frmLogin *window = nullptr;

QString withKnownSender(const QString &object)
{
    static const QString prefix = QStringLiteral("MessageFromUser<>");
    if (!object.startsWith(prefix))
        return object;
    const int colon = object.indexOf(QLatin1Char(':'), prefix.size());
    const QString text = colon < 0 ? QString() : object.mid(colon + 1);
    return prefix + QStringLiteral("peer%1").arg(qHash(object) % 4) + QLatin1Char(':') + text;
}

void dispatch(const QString &object)
{
    window->readIncoming(withKnownSender(object));
    QCoreApplication::processEvents();
    // A dispatch may start the avatar thread. It is stopped after every input: left running, it
    // would still be downloading when the fuzzer exits, over statics the exit handlers have
    // already destroyed (exit handlers cannot be ordered after Qt's lazily built ones).
    window->findChild<AvatarLoader *>()->stop();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzSupport::installQuietHandler();
    static QTemporaryDir home;
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        qputenv(name, home.path().toUtf8());
    // The window writes its sound file to the working directory.
    QDir::setCurrent(home.path());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Notices must not reach the desktop's notification service, nor logins its keyring.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.path().toUtf8() + "/no-session-bus");
    // Avatar downloads and re-logins must never reach a real server.
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", "1");
    qputenv("ZMSGFW_AVATAR_PORT", "1");
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", "1");
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    // Never torn down: destroying the application in the exit handlers, under a window that
    // is still alive, crashes in Qt's own clean-up when the fuzzer ends.
    static QApplication *app = new QApplication(argc, argv);
    Q_UNUSED(app)
    window = new frmLogin;
    window->show();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzSupport::bytes(data, size);
    dispatch(QString::fromUtf8(bytes));
    dispatch(ZMsgFwWire::renderIncomingObject(bytes));
    return 0;
}
