#include "zmsgfw11protocol.h"

#include "zmsgfwendpoint.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QSslCertificate>
#include <QSslSocket>
#include <QSysInfo>

namespace {

constexpr int WaitMilliseconds = 5000;

QList<QSslError> expectedErrorsFor(const QList<QSslCertificate> &certificates)
{
    QList<QSslError> errors;
    if (certificates.isEmpty())
        return errors;
    const QSslCertificate &pinned = certificates.first();
    for (QSslError::SslError kind : {QSslError::HostNameMismatch, QSslError::SelfSignedCertificate,
                                     QSslError::UnableToGetLocalIssuerCertificate,
                                     QSslError::CertificateUntrusted, QSslError::UnableToVerifyFirstCertificate,
                                     QSslError::CertificateExpired})
        errors.append(QSslError(kind, pinned));
    return errors;
}

} // namespace

ZMsgFw11Protocol::ZMsgFw11Protocol(const QString &classVersion, const QString &mailRequestWord)
    : m_socket(new QSslSocket)
    , m_classVersion(classVersion)
    , m_mailRequestWord(mailRequestWord)
{
    m_expectedErrors = expectedErrorsFor(QSslCertificate::fromPath(
        ZMsgFwEndpoint::certificateResource(), QSsl::Pem, QSslCertificate::PatternSyntax::FixedString));
    m_systemName = QSysInfo::prettyProductName();
}

ZMsgFw11Protocol::~ZMsgFw11Protocol()
{
    delete m_socket;
}

void ZMsgFw11Protocol::replaceSocket()
{
    if (m_socket)
        m_socket->abort();
    delete m_socket;
    m_socket = new QSslSocket;
}

int ZMsgFw11Protocol::loginUser(QString username, QString password)
{
    m_loggedIn = false;
    replaceSocket();

    ZMsgFwWire::LineBuilder line(QStringLiteral("login"));
    line.text(QStringLiteral("--username="), username)
        .text(QStringLiteral("--password="), password)
        .text(QStringLiteral("--system="), m_systemName)
        .text(QStringLiteral("--version="), m_classVersion);
    if (!line.isValid()) {
        qWarning() << "loginUser: refused, the user name or password contains a line break";
        return 500;
    }

    m_socket->ignoreSslErrors(m_expectedErrors);
    m_socket->connectToHostEncrypted(ZMsgFwEndpoint::host(), ZMsgFwEndpoint::messagingPort(),
                                     QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    if (!m_socket->waitForEncrypted(WaitMilliseconds))
        return 500;

    const Exchange reply = exchange(line, [](const QStringList &) { return true; });
    if (reply.status != Exchange::Accepted)
        return 500;
    if (reply.code == 200)
        m_loggedIn = true;
    return reply.code;
}

int ZMsgFw11Protocol::logoutUser()
{
    m_socket->disconnectFromHost();
    m_loggedIn = false;
    return 0;
}

bool ZMsgFw11Protocol::isLoggedIn()
{
    return m_loggedIn && m_socket->state() == QAbstractSocket::ConnectedState;
}

QString ZMsgFw11Protocol::getClassVersion()
{
    return m_classVersion;
}

bool ZMsgFw11Protocol::canWrite()
{
    return isLoggedIn();
}

bool ZMsgFw11Protocol::writeLine(const ZMsgFwWire::LineBuilder &line)
{
    if (!line.isValid()) {
        qWarning() << "ZMsgFw11Protocol: refused to write a value containing a line break";
        return false;
    }
    m_socket->write(line.toBytes());
    m_socket->flush();
    return true;
}

ZMsgFw11Protocol::LineRead ZMsgFw11Protocol::readBoundedLine(QByteArray *line)
{
    if (m_socket->canReadLine()) {
        *line = m_socket->readLine(ZMsgFwWire::MaxLineLength);
        if (line->endsWith('\n'))
            return LineRead::Line;
    } else if (m_socket->bytesAvailable() <= ZMsgFwWire::MaxLineLength) {
        return LineRead::None;
    }
    qWarning() << "ZMsgFw11Protocol: the server sent a line longer than" << ZMsgFwWire::MaxLineLength
               << "bytes; closing the connection";
    line->clear();
    m_socket->abort();
    return LineRead::Broken;
}

void ZMsgFw11Protocol::handOnBufferedLines()
{
    QByteArray line;
    while (readBoundedLine(&line) == LineRead::Line)
        workWithObjectWithEmit(line);
}

ZMsgFw11Protocol::Exchange ZMsgFw11Protocol::exchange(const ZMsgFwWire::LineBuilder &line,
                                                      const ReplyMatcher &isReply)
{
    Exchange result;
    handOnBufferedLines();
    if (!writeLine(line))
        return result;

    const QDeadlineTimer deadline(WaitMilliseconds);
    bool foreignLineSeen = false;
    for (;;) {
        QByteArray raw;
        const LineRead read = readBoundedLine(&raw);
        if (read == LineRead::Broken)
            break;
        if (read == LineRead::Line) {
            const QStringList words = ZMsgFwWire::splitWords(ZMsgFwWire::decodeLine(raw));
            if (ZMsgFwWire::isReturnLine(words) && isReply(words)) {
                result.status = Exchange::Accepted;
                result.words = words;
                result.code = ZMsgFwWire::integerArgument(words, QStringLiteral("--id="), 500);
                return result;
            }
            foreignLineSeen = true;
            workWithObjectWithEmit(raw);
            continue;
        }
        if (deadline.hasExpired() || !m_socket->waitForReadyRead(int(deadline.remainingTime())))
            break;
    }
    result.status = foreignLineSeen ? Exchange::Foreign : Exchange::NoReply;
    return result;
}

ZMsgFw11Protocol::ReplyMatcher ZMsgFw11Protocol::requestReply(const QString &replyWord)
{
    return [replyWord](const QStringList &words) {
        return ZMsgFwWire::unescapeValue(ZMsgFwWire::argumentValue(words, QStringLiteral("--rq="))) == replyWord;
    };
}

ZMsgFw11Protocol::ReplyMatcher ZMsgFw11Protocol::actionReply(const QString &actionWord)
{
    return [actionWord](const QStringList &words) {
        return ZMsgFwWire::unescapeValue(ZMsgFwWire::argumentValue(words, QStringLiteral("--at="))) == actionWord;
    };
}

bool ZMsgFw11Protocol::isObjectIncoming()
{
    if (m_socket->canReadLine())
        return true;
    if (m_socket->bytesAvailable() > ZMsgFwWire::MaxLineLength) {
        QByteArray discarded;
        readBoundedLine(&discarded);
    }
    return false;
}

QString ZMsgFw11Protocol::readObject()
{
    QByteArray line;
    if (readBoundedLine(&line) != LineRead::Line)
        return QString();
    return workWithObject(line);
}

QString ZMsgFw11Protocol::workWithObject(QByteArray line)
{
    return ZMsgFwWire::renderIncomingObject(line);
}

QString ZMsgFw11Protocol::workWithObjectWithEmit(QByteArray line)
{
    const QString object = workWithObject(line);
    deliverIncomingObject(object);
    return object;
}
