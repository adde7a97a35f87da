#ifndef ZMSGDCONFIG_H
#define ZMSGDCONFIG_H

#include "zmsgdpassword.h"
#include "zmsgdthrottle.h"

#include <zmsgfwwire.h>

#include <QDateTime>
#include <QHostAddress>
#include <QString>

#include <functional>

// Everything the server is started with. Ports of 0 let the operating system choose.
struct ZmsgdConfig {
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

    // Connections held at once on all four ports together, in all and from one address (an
    // IPv6 /64 network counts as one address).
    int maxConnections = 1024;
    int maxConnectionsPerAddress = 32;
    // What a connection may take for its TLS handshake, and then for its login, its upload
    // credentials or its whole HTTP request.
    int handshakeTimeoutMs = 5000;
    int loginTimeoutMs = 10000;
    ZmsgdPassword::Cost passwordCost = ZmsgdPassword::productionCost();
    ZmsgdLoginThrottle::Limits loginLimits;
    // Accounts the web site creates for one address within an hour.
    int registrationsPerAddressPerHour = 5;
    // Longest reply line built: the protocol library refuses longer ones.
    qint64 maxReplyLength = ZMsgFwWire::MaxLineLength;
    // Milliseconds since the epoch; tests move it on instead of waiting.
    std::function<qint64()> clock = [] { return QDateTime::currentMSecsSinceEpoch(); };
};

#endif
