#include "zmsgdserverthread.h"

#include "zmsgdserver.h"

#include <QMetaObject>

ZmsgdServerThread::ZmsgdServerThread()
{
    m_thread.setObjectName(QStringLiteral("zmsgd"));
}

ZmsgdServerThread::~ZmsgdServerThread()
{
    stop();
}

bool ZmsgdServerThread::start(const ZmsgdConfig &config, QString *error)
{
    stop();
    m_thread.start();
    // A plain QObject living on the thread is the context the calls run in.
    QObject context;
    context.moveToThread(&m_thread);
    bool started = false;
    QString failure;
    QMetaObject::invokeMethod(
        &context,
        [&] {
            auto *server = new ZmsgdServer(config);
            started = server->start(&failure);
            if (!started) {
                delete server;
                return;
            }
            m_server = server;
            m_ports[0] = server->messagingPort();
            m_ports[1] = server->avatarTlsPort();
            m_ports[2] = server->avatarHttpPort();
            m_ports[3] = server->webPort();
        },
        Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(
        &context, [&context] { context.moveToThread(nullptr); }, Qt::BlockingQueuedConnection);
    if (!started) {
        m_thread.quit();
        m_thread.wait();
        if (error)
            *error = failure;
    }
    return started;
}

void ZmsgdServerThread::runOnServer(const std::function<void(ZmsgdServer *)> &job)
{
    if (!m_server)
        return;
    QMetaObject::invokeMethod(
        m_server, [this, &job] { job(m_server); }, Qt::BlockingQueuedConnection);
}

void ZmsgdServerThread::stop()
{
    if (m_server) {
        ZmsgdServer *server = m_server;
        QMetaObject::invokeMethod(
            server, [server] { delete server; }, Qt::BlockingQueuedConnection);
        m_server = nullptr;
    }
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    }
    for (quint16 &port : m_ports)
        port = 0;
}
