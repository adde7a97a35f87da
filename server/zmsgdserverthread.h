#ifndef ZMSGDSERVERTHREAD_H
#define ZMSGDSERVERTHREAD_H

#include "zmsgdconfig.h"

#include <QThread>

class ZmsgdServer;

// Runs a ZmsgdServer on a thread of its own, so that blocking clients on the calling thread
// (the protocol library waits without an event loop) can talk to it in the same process.
class ZmsgdServerThread
{
public:
    ZmsgdServerThread();
    ~ZmsgdServerThread();
    ZmsgdServerThread(const ZmsgdServerThread &) = delete;
    ZmsgdServerThread &operator=(const ZmsgdServerThread &) = delete;

    // Starts the thread and the server on it; blocks until the server listens or failed.
    bool start(const ZmsgdConfig &config, QString *error = nullptr);
    // Stops the server (closing every connection) and the thread.
    void stop();
    bool isRunning() const { return m_server != nullptr; }

    quint16 messagingPort() const { return m_ports[0]; }
    quint16 avatarTlsPort() const { return m_ports[1]; }
    quint16 avatarHttpPort() const { return m_ports[2]; }
    quint16 webPort() const { return m_ports[3]; }

    // Runs job on the server thread with the server and waits for it.
    void runOnServer(const std::function<void(ZmsgdServer *)> &job);

private:
    QThread m_thread;
    ZmsgdServer *m_server = nullptr;
    quint16 m_ports[4] = {0, 0, 0, 0};
};

#endif
