#ifndef ZMSGFW11PROTOCOL_H
#define ZMSGFW11PROTOCOL_H

#include "zmsgfw_export.h"
#include "zmsgfwwire.h"

#include <QList>
#include <QSslError>
#include <QString>
#include <QStringList>

#include <functional>

class QSslSocket;

// The session engine of protocol generation 1.1, shared by ZMsgFw11Q and ZMsgFw111Q: the TLS
// connection with the pinned certificate, login and logout, polling for pushed lines, and the
// blocking request/reply exchange. The two QObject classes add the signal and their own details.
class ZMSGFW_EXPORT ZMsgFw11Protocol
{
public:
    virtual ~ZMsgFw11Protocol();
    ZMsgFw11Protocol(const ZMsgFw11Protocol &) = delete;
    ZMsgFw11Protocol &operator=(const ZMsgFw11Protocol &) = delete;

    // Opens a new TLS session (any earlier one is closed first) and logs in.
    // Returns the server's code, 200 meaning logged in; 500 when no usable reply came.
    int loginUser(QString username, QString password);
    int logoutUser();
    bool isLoggedIn();
    QString getClassVersion();

    // True when a complete pushed line waits in the receive buffer.
    bool isObjectIncoming();
    // Reads one waiting line and returns its incoming object, or "" when none is complete.
    QString readObject();

protected:
    ZMsgFw11Protocol(const QString &classVersion, const QString &mailRequestWord);

    // Emits objectIncomed(object) on the QObject side.
    virtual void deliverIncomingObject(const QString &object) = 0;

    // Outcome of one blocking exchange.
    struct Exchange {
        enum Status { NotSent, NoReply, Foreign, Accepted };
        Status status = NotSent;
        QStringList words; // the accepted reply
        int code = 500;    // "--id=" of the accepted reply, 500 when it had none
    };
    using ReplyMatcher = std::function<bool(const QStringList &replyWords)>;

    bool canWrite();
    // Writes one line, refusing lines that would break the framing; false when nothing was written.
    bool writeLine(const ZMsgFwWire::LineBuilder &line);
    // Writes the line and waits up to 5000 ms for the reply the matcher accepts. Every other
    // complete line, whether already buffered before the call or arriving meanwhile, is handed
    // on as an incoming object, so nothing pushed is lost while a call is waiting.
    Exchange exchange(const ZMsgFwWire::LineBuilder &line, const ReplyMatcher &isReply);
    static ReplyMatcher requestReply(const QString &replyWord);
    static ReplyMatcher actionReply(const QString &actionWord);

    QString mailRequestWord() const { return m_mailRequestWord; }
    const QList<QSslError> &expectedErrors() const { return m_expectedErrors; }
    QSslSocket *currentSocket() const { return m_socket; }

    QString workWithObject(QByteArray line);
    QString workWithObjectWithEmit(QByteArray line);

private:
    enum class LineRead { Line, None, Broken };
    LineRead readBoundedLine(QByteArray *line);
    void replaceSocket();
    void handOnBufferedLines();

    QList<QSslError> m_expectedErrors;
    QSslSocket *m_socket = nullptr;
    QString m_systemName;
    bool m_loggedIn = false;
    QString m_classVersion;
    QString m_mailRequestWord;
};

#endif
