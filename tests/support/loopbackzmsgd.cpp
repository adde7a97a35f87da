#include "loopbackzmsgd.h"

ZmsgdConfig loopbackZmsgdConfig(const QString &databasePath, bool demo)
{
    ZmsgdConfig config;
    config.address = QHostAddress(QHostAddress::LocalHost);
    config.messagingPort = config.avatarTlsPort = config.avatarHttpPort = config.webPort = 0;
    config.databasePath = databasePath;
    config.demo = demo;
    config.logEvents = false;
    // Tests create many accounts; the production cost is checked on its own.
    config.passwordCost = ZmsgdPassword::minimumCost();
    return config;
}

void exportZmsgdEndpoint(const ZmsgdServerThread &server)
{
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", QByteArray::number(server.messagingPort()));
    qputenv("ZMSGFW_AVATAR_PORT", QByteArray::number(server.avatarTlsPort()));
    qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(server.avatarHttpPort()));
}
