#ifndef LOOPBACKZMSGD_H
#define LOOPBACKZMSGD_H

#include <zmsgdconfig.h>
#include <zmsgdserverthread.h>

// A quiet zmsgd on loopback ports the system chooses, its database at databasePath.
ZmsgdConfig loopbackZmsgdConfig(const QString &databasePath, bool demo = true);

// Points the protocol library of this process at the server's messaging and avatar listeners.
void exportZmsgdEndpoint(const ZmsgdServerThread &server);

#endif
