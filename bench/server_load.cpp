// Load on the development server: N sessions log in over TLS on loopback and each sends
// M messages to the others, all at once. Prints the delivery rate and checks that every
// message arrived exactly once, at the session it was meant for, and left the store. The
// sessions confirm every message they read, as the client does; with --unconfirmed they
// behave like older clients, whose messages count as delivered once written.
//
//   server_load [--sessions N] [--messages M] [--timeout SECONDS] [--unconfirmed]
//
// The sessions speak the wire format through the library's line helpers on plain event-driven
// sockets, so that hundreds of them fit on one thread and the figure measures the server. Each
// comes from a loopback address of its own, as users do, and logs in against hashes of the
// production cost.

#include "benchsupport.h"

#include <zmsgdconfig.h>
#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdservice.h>
#include <zmsgdstore.h>

#include <zmsgfwendpoint.h>
#include <zmsgfwwire.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

#include <ctime>
#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr double ThroughputTarget = 5000;

QString accountName(int index)
{
    return QStringLiteral("load%1").arg(index, 4, 10, QLatin1Char('0'));
}

int recipientOf(int sender, int number, int sessions)
{
    return (sender + 1 + number % (sessions - 1)) % sessions;
}

struct Tally {
    QHash<qint64, int> received; // sender * 1'000'000 + number -> times seen
    int misdelivered = 0;
    int acknowledged = 0;
    int refused = 0;
    int loggedIn = 0;
    int failed = 0;
};

class LoadSession : public QObject
{
public:
    LoadSession(int index, int sessions, quint16 port, bool confirming, Tally *tally)
        : m_index(index)
        , m_sessions(sessions)
        , m_confirming(confirming)
        , m_tally(tally)
    {
        m_socket.ignoreSslErrors(ZMsgFwEndpoint::expectedSslErrors());
        connect(&m_socket, &QSslSocket::encrypted, this, [this] {
            m_socket.write(ZMsgFwWire::LineBuilder(QStringLiteral("login"))
                               .text(QStringLiteral("--username="), accountName(m_index))
                               .text(QStringLiteral("--password="), QStringLiteral("pw"))
                               .text(QStringLiteral("--system="), QStringLiteral("server_load"))
                               .text(QStringLiteral("--version="), QStringLiteral("1.1.1-1"))
                               .toBytes());
        });
        connect(&m_socket, &QSslSocket::readyRead, this, &LoadSession::read);
        connect(&m_socket, &QAbstractSocket::errorOccurred, this, [this] { ++m_tally->failed; });
        m_socket.bind(QHostAddress(QStringLiteral("127.1.%1.%2").arg(index / 250).arg(index % 250 + 1)));
        m_socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    }

    void sendAll(int messages)
    {
        QByteArray burst;
        for (int number = 0; number < messages; ++number)
            burst += ZMsgFwWire::LineBuilder(QStringLiteral("action"))
                         .text(QStringLiteral("--at="), QStringLiteral("sendmessage"))
                         .text(QStringLiteral("--username="), accountName(recipientOf(m_index, number, m_sessions)))
                         .text(QStringLiteral("--message="), QStringLiteral("m %1 %2").arg(m_index).arg(number))
                         .toBytes();
        m_socket.write(burst);
    }

private:
    void read()
    {
        m_buffer += m_socket.readAll();
        int start = 0;
        int newline;
        while ((newline = m_buffer.indexOf('\n', start)) >= 0) {
            handle(m_buffer.mid(start, newline - start));
            start = newline + 1;
        }
        m_buffer.remove(0, start);
        if (!m_confirmations.isEmpty())
            m_socket.write(std::exchange(m_confirmations, {}));
    }

    static QByteArray confirmation(const QString &id)
    {
        return ZMsgFwWire::LineBuilder(QStringLiteral("action"))
            .text(QStringLiteral("--at="), QStringLiteral("ack"))
            .raw(QStringLiteral("--mid="), id)
            .toBytes();
    }

    void handle(const QByteArray &line)
    {
        const QStringList words = ZMsgFwWire::splitWords(ZMsgFwWire::decodeLine(line));
        if (words.size() < 2)
            return;
        if (words.at(1) == QLatin1String("message")) {
            const QStringList text =
                ZMsgFwWire::unescapeValue(ZMsgFwWire::argumentValue(words, QStringLiteral("--message=")))
                    .split(QLatin1Char(' '));
            const int sender = text.value(1).toInt();
            const int number = text.value(2).toInt();
            if (recipientOf(sender, number, m_sessions) != m_index)
                ++m_tally->misdelivered;
            ++m_tally->received[qint64(sender) * 1000000 + number];
            if (m_confirming)
                m_confirmations += confirmation(ZMsgFwWire::argumentValue(words, QStringLiteral("--mid=")));
        } else if (ZMsgFwWire::isReturnLine(words)) {
            const int code = ZMsgFwWire::integerArgument(words, QStringLiteral("--id="), 500);
            const QString action = ZMsgFwWire::argumentValue(words, QStringLiteral("--at="));
            if (action == QLatin1String("sendmessage")) {
                ++(code == 200 ? m_tally->acknowledged : m_tally->refused);
            } else if (ZMsgFwWire::argumentValue(words, QStringLiteral("--rq=")).isEmpty() && action.isEmpty()) {
                ++(code == 200 ? m_tally->loggedIn : m_tally->failed);
                // A confirming client says so first thing after a login that offers it.
                m_confirming =
                    m_confirming && ZMsgFwWire::argumentValue(words, QStringLiteral("--ack=")) == QLatin1String("1");
                if (m_confirming)
                    m_confirmations += confirmation(QStringLiteral("0"));
            }
        }
    }

    int m_index;
    int m_sessions;
    bool m_confirming;
    Tally *m_tally;
    QSslSocket m_socket;
    QByteArray m_buffer;
    QByteArray m_confirmations;
};

bool createAccounts(ZmsgdServerThread *server, int sessions)
{
    bool ok = true;
    // One hash for all: creating each at full cost would only make the start slow.
    const ZmsgdPassword::Record password = ZmsgdPassword::hash(QStringLiteral("pw"), ZmsgdPassword::productionCost());
    server->runOnServer([&](ZmsgdServer *running) {
        ZmsgdStore *store = running->store();
        for (int i = 0; i < sessions && ok; ++i)
            ok = store->createAccountWithHash(accountName(i), password, QString()) == ZmsgdStore::CreateResult::Created;
        ok = ok && store->transaction();
        for (int i = 0; i < sessions && ok; ++i) {
            for (int j = 0; j < sessions && ok; ++j) {
                if (i != j)
                    ok = store->addContact(accountName(i), accountName(j));
            }
        }
        ok = ok && store->commit();
    });
    return ok;
}

double serverCpuSeconds(ZmsgdServerThread *server)
{
    timespec spent = {};
    server->runOnServer([&](ZmsgdServer *) { clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent); });
    return spent.tv_sec + spent.tv_nsec / 1e9;
}

// Runs the event loop until the condition holds or the deadline passes.
bool runUntil(const std::function<bool()> &done, qint64 deadlineMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(20);
    while (!done()) {
        if (clock.elapsed() > deadlineMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Message throughput of zmsgd with many concurrent sessions."));
    parser.addHelpOption();
    const QCommandLineOption sessionsOption(QStringLiteral("sessions"), QStringLiteral("Concurrent sessions (200)."),
                                            QStringLiteral("N"), QStringLiteral("200"));
    const QCommandLineOption messagesOption(QStringLiteral("messages"), QStringLiteral("Messages per session (50)."),
                                            QStringLiteral("M"), QStringLiteral("50"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
                                           QStringLiteral("Give up after this many seconds (120)."),
                                           QStringLiteral("SECONDS"), QStringLiteral("120"));
    const QCommandLineOption unconfirmedOption(QStringLiteral("unconfirmed"),
                                               QStringLiteral("Sessions do not confirm what they read."));
    parser.addOptions({sessionsOption, messagesOption, timeoutOption, unconfirmedOption});
    parser.process(app);
    const bool confirming = !parser.isSet(unconfirmedOption);
    const int sessions = parser.value(sessionsOption).toInt();
    const int messages = parser.value(messagesOption).toInt();
    const qint64 timeoutMs = parser.value(timeoutOption).toLongLong() * 1000;
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (sessions < 2 || sessions > 1000 || messages < 1 || messages > 100000 || timeoutMs < 1000) {
        err << "server_load: 2 to 1000 sessions, 1 to 100000 messages, at least 1 second\n";
        return 2;
    }

    QTemporaryDir dir;
    ZmsgdConfig config;
    config.messagingPort = config.avatarTlsPort = config.avatarHttpPort = config.webPort = 0;
    config.databasePath = dir.filePath(QStringLiteral("load.sqlite"));
    config.logEvents = false;
    ZmsgdServerThread server;
    QString error;
    if (!server.start(config, &error)) {
        err << "server_load: " << error << '\n';
        return 1;
    }
    if (!createAccounts(&server, sessions)) {
        err << "server_load: cannot create the accounts\n";
        return 1;
    }

    Tally tally;
    std::vector<std::unique_ptr<LoadSession>> clients;
    const double loginCpuBefore = serverCpuSeconds(&server);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < sessions; ++i)
        clients.emplace_back(new LoadSession(i, sessions, server.messagingPort(), confirming, &tally));
    if (!runUntil([&] { return tally.loggedIn + tally.failed >= sessions; }, timeoutMs) || tally.failed > 0) {
        err << "server_load: only " << tally.loggedIn << " of " << sessions << " sessions logged in\n";
        return 1;
    }
    out << "logged in " << sessions << " sessions in " << clock.elapsed() << " ms, server thread cpu seconds "
        << QString::number(serverCpuSeconds(&server) - loginCpuBefore, 'f', 3) << '\n';
    out.flush();

    const int total = sessions * messages;
    const double serverCpuBefore = serverCpuSeconds(&server);
    clock.restart();
    for (auto &client : clients)
        client->sendAll(messages);
    runUntil([&] { return tally.received.size() >= total && tally.acknowledged + tally.refused >= total; }, timeoutMs);
    const double seconds = clock.nsecsElapsed() / 1e9;
    auto stillStored = [&] {
        int waiting = 0;
        server.runOnServer([&](ZmsgdServer *running) {
            running->service()->flushConfirmed();
            for (int i = 0; i < sessions; ++i)
                waiting += running->store()->pendingCount(accountName(i));
        });
        return waiting;
    };
    // Confirmations still on their way empty the store soon after the last message arrived.
    runUntil([&] { return stillStored() == 0; }, timeoutMs);
    const double storeEmptySeconds = clock.nsecsElapsed() / 1e9;
    const double serverCpu = serverCpuSeconds(&server) - serverCpuBefore;
    // Anything arriving late would be a duplicate: give it a moment to show.
    runUntil([] { return false; }, 300);

    int duplicates = 0;
    for (int times : qAsConst(tally.received))
        duplicates += times - 1;
    const int lost = total - tally.received.size();
    clients.clear();
    const int waiting = stillStored();
    server.stop();

    out << "sessions " << sessions << ", messages " << total << ", "
        << (confirming ? "confirmed by the sessions" : "not confirmed (older clients)") << '\n';
    out << "delivered " << tally.received.size() << ", lost " << lost << ", duplicates " << duplicates
        << ", misdelivered " << tally.misdelivered << ", acknowledged " << tally.acknowledged << ", refused "
        << tally.refused << ", left in store " << waiting << '\n';
    out << "seconds " << QString::number(seconds, 'f', 3) << ", messages per second "
        << QString::number(total / seconds, 'f', 0) << ", store empty after "
        << QString::number(storeEmptySeconds, 'f', 3) << " seconds\n";
    // On a machine shared with other work the wall clock says little; the server thread's own
    // processor time gives the rate it sustains when it has a core to itself.
    out << "server thread cpu seconds " << QString::number(serverCpu, 'f', 3) << ", messages per cpu second "
        << QString::number(serverCpu > 0 ? total / serverCpu : 0, 'f', 0) << '\n';
    const bool exact = lost == 0 && duplicates == 0 && tally.misdelivered == 0 && tally.refused == 0 && waiting == 0;
    out << (exact ? "every message delivered exactly once\n" : "DELIVERY CHECK FAILED\n");
    out.flush();
    const double rate = total / seconds;
    Bench::figure(QStringLiteral("zmsgd throughput, %1 sessions x %2 messages").arg(sessions).arg(messages), rate,
                  QStringLiteral("msg/s"), QStringLiteral(">= %1 msg/s").arg(ThroughputTarget),
                  rate >= ThroughputTarget);
    Bench::figure(QStringLiteral("zmsgd messages lost, duplicated or misdelivered"),
                  double(lost + duplicates + tally.misdelivered + tally.refused + waiting), QStringLiteral("messages"),
                  QStringLiteral("0"), exact);
    return exact ? 0 : 1;
}
