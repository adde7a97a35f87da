#ifndef HOSTILEHTTPSERVER_H
#define HOSTILEHTTPSERVER_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QTcpServer>

class QTcpSocket;

// A plain HTTP/1.1 server on a loopback port chosen by the OS that answers as a hostile site
// would: for each path prefix the status line, header lines and body the test gives, or a
// body that never ends. Requests for other paths are left unanswered. It serves on the
// thread that created it.
class HostileHttpServer : public QTcpServer
{
    Q_OBJECT
public:
    struct Answer {
        QByteArray head = "HTTP/1.1 200 OK\r\nConnection: close\r\n"; // status and header lines
        QByteArray body;
        bool endless = false; // the body is sent again and again, with no length announced
    };

    explicit HostileHttpServer(QObject *parent = nullptr);

    bool listenOnLoopback();
    void setAnswer(const QByteArray &pathPrefix, const Answer &answer);
    // Request heads in arrival order.
    QList<QByteArray> requests() const { return m_requests; }
    // Bytes written to all clients so far.
    qint64 bytesSent() const { return m_bytesSent; }

private:
    void readRequest(QTcpSocket *socket);
    void keepSending(QTcpSocket *socket, const QByteArray &chunk);

    QMap<QByteArray, Answer> m_answers;
    QList<QByteArray> m_requests;
    qint64 m_bytesSent = 0;
};

// Bytes of a gzip stream that inflates to `inflated` zero bytes.
QByteArray gzipOfZeros(qint64 inflated);

// The process's peak resident memory (VmHWM) can be reset to its current size, so a test can
// tell how much an action made it grow at most. -1 where /proc cannot tell.
namespace PeakMemory {
bool reset();
double peakMiB();
double residentMiB();
} // namespace PeakMemory

#endif
