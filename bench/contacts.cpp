// Contact list costs in a real main window: the first fill from "contactswithavatar" and
// "contactswithstates" objects, a refresh in which nothing changed (it runs every 20 seconds),
// a refresh in which every state changed, and the resident memory, for growing lists.
#include "IncomingObject.h"
#include "Platform.h"
#include "benchsupport.h"
#include "frmLogin.h"
#include "zmsgfwwire.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QVector>

#include <algorithm>

namespace {

QString listObject(const QString &request, const QStringList &entries)
{
    return ZMsgFwWire::renderIncomingObject(ZMsgFwWire::LineBuilder(QStringLiteral("return"))
                                                .text(QStringLiteral("--rq="), request)
                                                .number(QStringLiteral("--id="), 200)
                                                .text(QStringLiteral("--users="), entries.join(QStringLiteral("<>")))
                                                .toBytes());
}

QString statesObject(int count, int stateShift)
{
    QStringList entries;
    for (int i = 0; i < count; ++i) {
        entries
            << QStringLiteral("user%1|Nick %1|status message of %1 &amp; more|%2").arg(i).arg(1 + (i + stateShift) % 5);
    }
    return listObject(QStringLiteral("contactswithstates"), entries);
}

QString avatarsObject(int count)
{
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries
            << QStringLiteral("user%1|%2").arg(i).arg(i % 7 == 0 ? QString() : QStringLiteral("avatar%1").arg(i % 50));
    return listObject(QStringLiteral("contactswithavatar"), entries);
}

double timed(frmLogin *window, const QString &object)
{
    QElapsedTimer clock;
    clock.start();
    window->readIncoming(object);
    QCoreApplication::processEvents();
    return double(clock.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    Bench::useHome(home);
    // Avatar downloads go nowhere: nothing listens on the discard port of this host.
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", "9");
    qSetMessagePattern(QStringLiteral("%{if-debug}%{endif}"));
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(argc, argv);
    Platform::setQuitHook([] {});

    double firstResident = 0;
    int firstCount = 0;
    for (const int count : {1000, 5000, 20000}) {
        const double before = Bench::residentMiB();
        auto *window = new frmLogin;
        const QString avatars = avatarsObject(count);
        const QString states = statesObject(count, 0);
        const QString changed = statesObject(count, 1);

        QElapsedTimer clock;
        clock.start();
        window->readIncoming(avatars);
        window->readIncoming(states);
        QCoreApplication::processEvents();
        const double fill = double(clock.nsecsElapsed()) / 1e6;
        Bench::figure(QStringLiteral("First fill of %1 contacts").arg(count), fill, QStringLiteral("ms"),
                      QStringLiteral("informative"), true);

        {
            QElapsedTimer parse;
            parse.start();
            QStringList parts;
            IncomingObject::modeOf(states, &parts);
            int valid = 0;
            for (const QString &entry : IncomingObject::userListEntries(IncomingObject::parseReturn(parts).users)) {
                IncomingObject::ContactEntry contact;
                valid += IncomingObject::parseContactEntry(entry, &contact) ? 1 : 0;
            }
            Bench::figure(QStringLiteral("Parsing alone of %1 contact entries").arg(valid),
                          double(parse.nsecsElapsed()) / 1e6, QStringLiteral("ms"), QStringLiteral("informative"),
                          valid == count);
        }
        // The median of several runs, so that one scheduling hiccup does not make the figure.
        QVector<double> sameRuns;
        for (int run = 0; run < 5; ++run)
            sameRuns << timed(window, states);
        std::sort(sameRuns.begin(), sameRuns.end());
        const double same = sameRuns.at(sameRuns.size() / 2);
        Bench::figure(QStringLiteral("Refresh of %1 contacts, nothing changed (median of 5)").arg(count), same,
                      QStringLiteral("ms"), count == 5000 ? QStringLiteral("< 30 ms") : QStringLiteral("informative"),
                      count != 5000 || same < 30);
        const double all = timed(window, changed);
        Bench::figure(QStringLiteral("Refresh of %1 contacts, every state changed").arg(count), all,
                      QStringLiteral("ms"), count == 5000 ? QStringLiteral("< 200 ms") : QStringLiteral("informative"),
                      count != 5000 || all < 200);
        const double avatarAgain = timed(window, avatars);
        Bench::figure(QStringLiteral("Avatar id refresh of %1 contacts, nothing changed").arg(count), avatarAgain,
                      QStringLiteral("ms"), QStringLiteral("informative"), true);

        const double resident = Bench::residentMiB() - before;
        const bool linear = firstCount == 0 || resident <= firstResident * count / firstCount * 1.5 + 5;
        Bench::figure(QStringLiteral("Resident memory growth with %1 contacts").arg(count), resident,
                      QStringLiteral("MiB"), QStringLiteral("close to linear"), linear);
        if (firstCount == 0) {
            firstCount = count;
            firstResident = qMax(resident, 0.5);
        }
        delete window;
        QCoreApplication::processEvents();
    }
    return 0;
}
