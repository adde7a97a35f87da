// Prints the rendering throughput of pushed lines and the round trip of a synchronous call
// against a loopback TLS server.
#include "benchsupport.h"
#include "tlstestserver.h"

#include <zmsgfw111q.h>
#include <zmsgfwwire.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <vector>

namespace {

// Lines per second; the rendered size is summed so the work cannot be optimised away.
double renderRate(const QByteArray &line, int count)
{
    qsizetype total = 0;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < count; ++i)
        total += ZMsgFwWire::renderIncomingObject(line).size();
    const double seconds = timer.nsecsElapsed() / 1e9;
    QTextStream(stderr) << "rendered " << total << " characters in " << seconds << " s\n";
    return count / seconds;
}

QByteArray contactsLine(int entries)
{
    QByteArrayList users;
    for (int i = 0; i < entries; ++i)
        users << "user" + QByteArray::number(i) + "|Nick&nbsp;" + QByteArray::number(i) + "|away&nbsp;for&nbsp;lunch|2";
    return "ZM/1.1 return --rq=contactswithstates --id=200 --users=" + users.join("<>") + "\n";
}

bool roundTrips(int count)
{
    TlsTestServer server;
    server.setLineHandler([](const QByteArray &line) {
        return line.startsWith("ZM/1.1 login ") ? QByteArray("ZM/1.1 return --id=200\n")
                                                : QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=Ann\n");
    });
    if (!server.listenOnLoopback())
        return false;
    server.exportEndpoint();
    ZMsgFw111Q client;
    if (client.loginUser(QStringLiteral("bench"), QStringLiteral("pw")) != 200) {
        QTextStream(stderr) << "round trip: login failed\n";
        return false;
    }
    std::vector<qint64> nanoseconds;
    nanoseconds.reserve(count);
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (client.getUserNick() != QLatin1String("Ann")) {
            QTextStream(stderr) << "round trip: wrong answer\n";
            return false;
        }
        nanoseconds.push_back(timer.nsecsElapsed());
    }
    std::sort(nanoseconds.begin(), nanoseconds.end());
    const auto at = [&](double share) { return nanoseconds.at(size_t(share * (nanoseconds.size() - 1))) / 1e6; };
    Bench::figure(QStringLiteral("Synchronous call round trip, median"), at(0.5), QStringLiteral("ms"),
                  QStringLiteral("< 0.5 ms"), at(0.5) < 0.5);
    Bench::figure(QStringLiteral("Synchronous call round trip, 99th percentile"), at(0.99), QStringLiteral("ms"),
                  QStringLiteral("reported"), true);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const double messages = renderRate(
        "ZM/1.1 message --username=anna --message=Hello&nbsp;there,&nbsp;how&nbsp;are&nbsp;you? --mid=42\n", 500000);
    Bench::figure(QStringLiteral("Rendering of pushed message lines"), messages, QStringLiteral("lines/s"),
                  QStringLiteral(">= 200000 lines/s"), messages >= 200000);
    Bench::figure(QStringLiteral("Rendering of pushed poke lines"), renderRate("ZM/1.1 poke --username=anna\n", 500000),
                  QStringLiteral("lines/s"), QStringLiteral("reported"), true);
    Bench::figure(QStringLiteral("Rendering of 200-entry contacts return lines"), renderRate(contactsLine(200), 2000),
                  QStringLiteral("lines/s"), QStringLiteral("reported"), true);
    if (!roundTrips(2000))
        Bench::figure(QStringLiteral("Synchronous call round trip, median"), 0, QStringLiteral("ms"),
                      QStringLiteral("< 0.5 ms"), false);
    return 0;
}
