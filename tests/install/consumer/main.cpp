#include <zmsgfw.h>
#include <zmsgfw10.h>
#include <zmsgfw10q.h>
#include <zmsgfw111q.h>
#include <zmsgfw11q.h>
#include <zmsgfw11session.h>
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
    ZMsgFw11Session &calls = session;
    if (calls.isLoggedIn() || calls.getClassVersion() != QLatin1String("1.1.1-1")) {
        err << "a fresh session claims to be logged in\n";
        return 1;
    }
    // Every protocol class links and reports its generation.
    ZMsgFw11Q olderSession;
    ZMsgFw10Q legacySession;
    ZMsgFw10 legacyPlain;
    const QStringList versions{session.getClassVersion(), olderSession.getClassVersion(),
                               legacySession.getClassVersion(), QString::fromLatin1(legacyPlain.getClassVersion())};
    if (versions != QStringList{"1.1.1-1", "1.1.0-9", "1.0.0-5", "1.0.0-5"}) {
        err << "class versions " << versions.join(QLatin1Char(' ')) << "\n";
        return 1;
    }
    QTextStream(stdout) << "libzmsgfw1 " << version << "\n";
    return 0;
}
