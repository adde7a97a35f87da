#include <zmsgfw.h>
#include <zmsgfw111q.h>
#include <zmsgfwwire.h>

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);

    ZMsgFw library;
    const QString version = library.getLibraryVersion();
    if (version.isEmpty()) {
        err << "empty library version\n";
        return 1;
    }
    const QString escaped = ZMsgFwWire::escapeValue(QStringLiteral("a b&c"));
    if (escaped != QLatin1String("a&nbsp;b&amp;c") || ZMsgFwWire::unescapeValue(escaped) != QLatin1String("a b&c")) {
        err << "wire escaping gave " << escaped << "\n";
        return 1;
    }
    ZMsgFw111Q session;
    if (session.isLoggedIn()) {
        err << "a fresh session claims to be logged in\n";
        return 1;
    }
    QTextStream(stdout) << "libzmsgfw1 " << version << "\n";
    return 0;
}
