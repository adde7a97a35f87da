#include "zmsgdconfig.h"
#include "zmsgdformat.h"
#include "zmsgdserver.h"
#include "zmsgdstore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool parsePort(const QCommandLineParser &parser, const QCommandLineOption &option, quint16 *port, QString *error)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const uint value = parser.value(option).toUInt(&ok);
    if (!ok || value > 65535) {
        *error = QStringLiteral("--%1 wants a port number from 0 to 65535").arg(option.names().first());
        return false;
    }
    *port = static_cast<quint16>(value);
    return true;
}

int addUser(const ZmsgdConfig &config, const QString &name, const QString &password)
{
    QTextStream err(stderr);
    if (!ZmsgdFormat::isValidAccountName(name)) {
        err << "zmsgd: the user name must be 2 to 32 letters, digits, dots, dashes or underscores\n";
        return 1;
    }
    if (!ZmsgdFormat::isValidPassword(password)) {
        err << "zmsgd: the password must not be empty\n";
        return 1;
    }
    ZmsgdStore store;
    QString error;
    const QString path = config.databasePath.isEmpty() ? ZmsgdServer::defaultDatabasePath() : config.databasePath;
    if (!store.open(path, &error)) {
        err << "zmsgd: " << error << '\n';
        return 1;
    }
    if (store.createAccount(name, password, name, &error) != ZmsgdStore::CreateResult::Created) {
        err << "zmsgd: " << error << '\n';
        return 1;
    }
    QTextStream(stdout) << "added user " << name << '\n';
    return 0;
}

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: the event loop reads the byte and quits.
void forwardSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

void quitOnSignals(QCoreApplication *app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [notifier] {
        notifier->setEnabled(false);
        char byte;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Zelto"));
    QCoreApplication::setApplicationName(QStringLiteral("zmsgd"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Local development messaging server for Zelto Messenger."));
    parser.addHelpOption();
    const QCommandLineOption addressOption(
        QStringLiteral("address"), QStringLiteral("Address to listen on (default 127.0.0.1)."), QStringLiteral("A"));
    const QCommandLineOption portOption(
        QStringLiteral("port"), QStringLiteral("Messaging TLS port (default 9506, 0: any)."), QStringLiteral("N"));
    const QCommandLineOption avatarTlsOption(QStringLiteral("avatar-tls-port"),
                                             QStringLiteral("Avatar HTTPS and upload port (default 9507)."),
                                             QStringLiteral("N"));
    const QCommandLineOption avatarHttpOption(QStringLiteral("avatar-http-port"),
                                              QStringLiteral("Avatar HTTP port (default 9508)."), QStringLiteral("N"));
    const QCommandLineOption webOption(QStringLiteral("web-port"), QStringLiteral("Web site HTTP port (default 9580)."),
                                       QStringLiteral("N"));
    const QCommandLineOption databaseOption(QStringLiteral("database"), QStringLiteral("SQLite database file."),
                                            QStringLiteral("PATH"));
    const QCommandLineOption certOption(QStringLiteral("cert"), QStringLiteral("PEM certificate of the TLS ports."),
                                        QStringLiteral("PEM"));
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("PEM private key of the certificate."),
                                       QStringLiteral("KEY"));
    const QCommandLineOption versionOption(
        QStringLiteral("latest-version"), QStringLiteral("Version text served to the update check (default 1.0.0-33)."),
        QStringLiteral("TEXT"));
    const QCommandLineOption demoOption(
        QStringLiteral("demo"),
        QStringLiteral("Seed the demo accounts alice, bob, carol and the demo contact zeltobot."));
    const QCommandLineOption addUserOption(
        QStringLiteral("add-user"),
        QStringLiteral("Create the account NAME with the password given as the next argument, then exit."),
        QStringLiteral("NAME"));
    parser.addOptions({addressOption, portOption, avatarTlsOption, avatarHttpOption, webOption, databaseOption,
                       certOption, keyOption, versionOption, demoOption, addUserOption});
    parser.addPositionalArgument(QStringLiteral("PASSWORD"), QStringLiteral("The password for --add-user."),
                                 QStringLiteral("[PASSWORD]"));
    parser.process(app);

    QTextStream err(stderr);
    ZmsgdConfig config;
    config.databasePath = parser.value(databaseOption);
    config.demo = parser.isSet(demoOption);
    if (parser.isSet(certOption))
        config.certificatePath = parser.value(certOption);
    if (parser.isSet(keyOption))
        config.keyPath = parser.value(keyOption);
    if (parser.isSet(versionOption))
        config.latestVersion = parser.value(versionOption);
#ifdef ZM_TEST_HOOKS
    // Tests that create and log in many accounts may ask the test build for the cheapest hashes;
    // the production cost is checked on its own.
    if (qEnvironmentVariableIsSet("ZMSGD_TEST_MINIMUM_COST"))
        config.passwordCost = ZmsgdPassword::minimumCost();
#endif
    if (parser.isSet(addressOption) && !config.address.setAddress(parser.value(addressOption))) {
        err << "zmsgd: --address wants an IP address\n";
        return 2;
    }
    QString error;
    if (!parsePort(parser, portOption, &config.messagingPort, &error)
        || !parsePort(parser, avatarTlsOption, &config.avatarTlsPort, &error)
        || !parsePort(parser, avatarHttpOption, &config.avatarHttpPort, &error)
        || !parsePort(parser, webOption, &config.webPort, &error)) {
        err << "zmsgd: " << error << '\n';
        return 2;
    }

    if (parser.isSet(addUserOption)) {
        const QStringList rest = parser.positionalArguments();
        if (rest.size() != 1) {
            err << "zmsgd: --add-user NAME PASSWORD\n";
            return 2;
        }
        return addUser(config, parser.value(addUserOption), rest.first());
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << "zmsgd: unexpected argument " << parser.positionalArguments().first() << '\n';
        return 2;
    }

    ZmsgdServer server(config);
    if (!server.start(&error)) {
        err << "zmsgd: " << error << '\n';
        return 1;
    }
    QTextStream out(stdout);
    const QString address = config.address.toString();
    out << "listening messaging " << address << ' ' << server.messagingPort() << '\n';
    out << "listening avatar-tls " << address << ' ' << server.avatarTlsPort() << '\n';
    out << "listening avatar-http " << address << ' ' << server.avatarHttpPort() << '\n';
    out << "listening web " << address << ' ' << server.webPort() << '\n';
    out.flush();

    quitOnSignals(&app);
    const int result = app.exec();
    server.stop();
    return result;
}
