#ifndef ZMSGDCONFIG_H
#define ZMSGDCONFIG_H

#include <QHostAddress>
#include <QString>

// Everything the server is started with. Ports of 0 let the operating system choose.
struct ZmsgdConfig
{
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 messagingPort = 9506;
    quint16 avatarTlsPort = 9507;
    quint16 avatarHttpPort = 9508;
    quint16 webPort = 9580;
    QString databasePath;
    QString certificatePath = QStringLiteral(ZMSGD_DEFAULT_CERT);
    QString keyPath = QStringLiteral(ZMSGD_DEFAULT_KEY);
    QString latestVersion = QStringLiteral("1.0.0-33");
    bool demo = false;
    // One line per connection event on standard error.
    bool logEvents = true;
};

#endif
