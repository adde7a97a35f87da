#ifndef TLSTESTSERVER_H
#define TLSTESTSERVER_H

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QThread>
#include <QWaitCondition>

#include <functional>

class TlsTestServerCore;

// A scripted messaging server on a loopback port chosen by the OS, running on a thread of its
// own (the library's calls block the test's thread). It presents the build's pinned
// certificate (or an unrelated one), records every line it receives and answers each complete
// line through a handler the test installs.
class TlsTestServer : public QObject
{
    Q_OBJECT
public:
    enum class Certificate { Pinned, Foreign };
    using LineHandler = std::function<QByteArray(const QByteArray &line)>;
    // Sees every byte the newest connection sent so far, for exchanges that are not made of lines.
    using RawHandler = std::function<QByteArray(const QByteArray &received)>;

    explicit TlsTestServer(Certificate certificate = Certificate::Pinned);
    ~TlsTestServer() override;

    // Must be set before the client connects; runs on the server thread.
    void setLineHandler(LineHandler handler);
    // Replaces the line handler when set; must be set before the client connects.
    void setRawHandler(RawHandler handler);
    bool listenOnLoopback();
    quint16 serverPort() const { return m_port; }
    // Points the protocol library (ZMSGFW_HOST / ZMSGFW_PORT) at this server.
    void exportEndpoint() const;
    // Points the avatar upload and HTTPS download (ZMSGFW_HOST / ZMSGFW_AVATAR_PORT) here.
    void exportAvatarEndpoint() const;

    QList<QByteArray> receivedLines() const;
    int connectionCount() const;
    int openConnectionCount() const;
    bool waitForLines(int count, int timeoutMs = 5000);
    bool waitForConnections(int count, int timeoutMs = 5000);
    bool waitForOpenConnections(int count, int timeoutMs = 5000);
    // Sends raw bytes to, or closes, the newest client connection.
    void sendToClient(const QByteArray &bytes);
    void closeClient();
    // While paused, nothing more is taken from the newest connection: what the client writes
    // piles up on its side, as with a server that does not read.
    void setReading(bool reading);
    // Sends later without blocking; usable from a handler to split an answer in time.
    void sendToClientLater(const QByteArray &bytes, int delayMs);

    // Keeps the newest connection fed with what the producer returns, as fast as the client
    // takes it and never more than a small window ahead, until the producer returns nothing,
    // stopStream() is called or the connection ends. The producer runs on the server thread;
    // startStream may be called from a handler.
    using Producer = std::function<QByteArray()>;
    void startStream(Producer producer);
    void stopStream();

private:
    friend class TlsTestServerCore;
    void recordLine(const QByteArray &line);
    void recordConnection(int delta, bool isNew);
    template <typename Condition> bool waitFor(Condition condition, int timeoutMs);

    QThread m_thread;
    TlsTestServerCore *m_core = nullptr;
    quint16 m_port = 0;
    LineHandler m_handler;
    RawHandler m_rawHandler;
    mutable QMutex m_mutex;
    QWaitCondition m_changed;
    QList<QByteArray> m_lines;
    int m_connections = 0;
    int m_openConnections = 0;
};

#endif
