#include "zmsgdavatarconnection.h"

#include "zmsgdlog.h"
#include "zmsgdservice.h"
#include "zmsgdstore.h"

#include <zmsgfwwire.h>

#include <QCryptographicHash>
#include <QHostAddress>
#include <QSslSocket>
#include <QtEndian>

namespace {
const QByteArray PngSignature("\x89PNG\r\n\x1a\n", 8);
const QByteArray UploadLine("ZM/1.1 avatarupload");

QByteArray uploadAnswer(int code, const char *result)
{
    return "ZM/1.1 return --at=avatarupload --id=" + QByteArray::number(code) + " --result=" + result + '\n';
}
} // namespace

ZmsgdAvatarConnection::ZmsgdAvatarConnection(QTcpSocket *socket, bool tls, ZmsgdService *service,
                                             const ZmsgdConfig &config, QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_service(service)
    , m_stage(tls ? Stage::Sniffing : Stage::Http)
{
    socket->setParent(this);
    socket->setReadBufferSize(64 * 1024);
    connect(socket, &QTcpSocket::readyRead, this, &ZmsgdAvatarConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &ZmsgdAvatarConnection::closeNow);
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (m_stage != Stage::Done)
            closeNow();
    });
    if (auto *tlsSocket = qobject_cast<QSslSocket *>(socket))
        connect(tlsSocket, &QSslSocket::encrypted, this, &ZmsgdAvatarConnection::onReadyRead);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        ZmsgdLog::event(describe() + QStringLiteral(" timed out"));
        closeNow();
    });
    m_timeout.start(TimeoutMs);
    m_loginTimeout.setSingleShot(true);
    connect(&m_loginTimeout, &QTimer::timeout, this, [this] {
        ZmsgdLog::event(describe() + QStringLiteral(" sent no request in time"));
        closeNow();
    });
    m_loginTimeout.start(config.loginTimeoutMs + (tls ? config.handshakeTimeoutMs : 0));
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] { processCredentials(true); });
    ZmsgdLog::event(describe() + QStringLiteral(" connected"));
}

QString ZmsgdAvatarConnection::describe() const
{
    QString text = QStringLiteral("avatar ");
    if (m_socket)
        text += m_socket->peerAddress().toString() + QLatin1Char(':') + QString::number(m_socket->peerPort());
    if (!m_user.isEmpty())
        text += QStringLiteral(" (") + m_user + QLatin1Char(')');
    return text;
}

qint64 ZmsgdAvatarConnection::pngLength(const QByteArray &data, qint64 limit)
{
    const int known = qMin(data.size(), PngSignature.size());
    if (data.left(known) != PngSignature.left(known))
        return -1;
    qint64 offset = PngSignature.size();
    while (offset + 8 <= data.size()) {
        const quint32 length = qFromBigEndian<quint32>(data.constData() + offset);
        const QByteArray type = data.mid(static_cast<int>(offset + 4), 4);
        const qint64 end = offset + 12 + static_cast<qint64>(length);
        if (end > limit)
            return -1;
        if (type == "IEND")
            return end <= data.size() ? end : 0;
        offset = end;
    }
    return data.size() > limit ? -1 : 0;
}

bool ZmsgdAvatarConnection::parseCredentials(const QByteArray &data, QString *user, QString *password)
{
    QByteArray bytes = data;
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    const QString text = ZMsgFwWire::decodeUtf8(bytes);
    const QString userKey = QStringLiteral("--username=");
    const QString passwordKey = QStringLiteral(" --password=");
    if (!text.startsWith(userKey))
        return false;
    const int split = text.indexOf(passwordKey);
    if (split < 0)
        return false;
    *user = text.mid(userKey.size(), split - userKey.size());
    *password = text.mid(split + passwordKey.size());
    return !user->isEmpty();
}

QByteArray ZmsgdAvatarConnection::httpAnswer(ZmsgdService *service, const ZmsgdHttp::Request &request)
{
    const bool head = request.method == "HEAD";
    if (request.method != "GET" && !head)
        return ZmsgdHttp::response(405, "text/plain; charset=utf-8", "method not allowed\n");
    const QString path = ZmsgdHttp::decodePath(request.path);
    const QString avatarPrefix = QStringLiteral("/avatar/");
    const QString digestPrefix = QStringLiteral("/avatarmd5/");
    const bool digest = path.startsWith(digestPrefix);
    if (!digest && !path.startsWith(avatarPrefix))
        return ZmsgdHttp::response(404, "text/plain; charset=utf-8", "not found\n", head);
    const QString key = path.mid(digest ? digestPrefix.size() : avatarPrefix.size());
    if (key.isEmpty() || key.contains(QLatin1Char('/')))
        return ZmsgdHttp::response(404, "text/plain; charset=utf-8", "not found\n", head);
    const std::optional<ZmsgdAvatar> avatar = service->store()->avatar(key);
    if (!avatar)
        return ZmsgdHttp::response(404, "text/plain; charset=utf-8", "no such avatar\n", head);
    if (digest)
        return ZmsgdHttp::response(200, "text/plain; charset=utf-8",
                                   QCryptographicHash::hash(avatar->png, QCryptographicHash::Md5).toHex(), head);
    return ZmsgdHttp::response(200, "image/png", avatar->png, head);
}

void ZmsgdAvatarConnection::onReadyRead()
{
    // While the password is checked the picture waits in the socket, not in memory here.
    if (!m_socket || m_stage == Stage::Done || m_stage == Stage::Verifying)
        return;
    m_buffer += m_socket->readAll();
    process();
}

void ZmsgdAvatarConnection::process()
{
    if (m_stage == Stage::Sniffing) {
        // Anything starting with the protocol tag is an upload; everything else is HTTP.
        static const QByteArray tag("ZM/");
        const int known = qMin(m_buffer.size(), tag.size());
        if (known == 0)
            return;
        if (m_buffer.left(known) != tag.left(known))
            m_stage = Stage::Http;
        else if (known == tag.size())
            m_stage = Stage::UploadHeader;
        else
            return;
    }
    switch (m_stage) {
    case Stage::Http:
        processHttp();
        break;
    case Stage::UploadHeader:
        processUploadHeader();
        break;
    case Stage::Credentials:
        processCredentials(false);
        break;
    case Stage::Picture:
        processPicture();
        break;
    case Stage::Sniffing:
    case Stage::Verifying:
    case Stage::Done:
        break;
    }
}

void ZmsgdAvatarConnection::processHttp()
{
    ZmsgdHttp::Request request;
    const ZmsgdHttp::ParseStatus status = ZmsgdHttp::parse(m_buffer, &request);
    if (status == ZmsgdHttp::ParseStatus::Incomplete)
        return;
    if (status != ZmsgdHttp::ParseStatus::Complete) {
        finish(ZmsgdHttp::refusal(status));
        return;
    }
    m_loginTimeout.stop();
    ZmsgdLog::event(describe() + QStringLiteral(" ") + ZMsgFwWire::decodeUtf8(request.method) + QLatin1Char(' ')
                    + ZmsgdHttp::decodePath(request.path));
    finish(httpAnswer(m_service, request));
}

void ZmsgdAvatarConnection::processUploadHeader()
{
    const int newline = m_buffer.indexOf('\n');
    if (newline < 0) {
        if (m_buffer.size() > UploadLine.size() + 64)
            finish(uploadAnswer(ZmsgdCode::TooLong, "error"));
        return;
    }
    if (m_buffer.left(newline).trimmed() != UploadLine) {
        finish(uploadAnswer(ZmsgdCode::BadRequest, "error"));
        return;
    }
    m_buffer.remove(0, newline + 1);
    m_stage = Stage::Credentials;
    processCredentials(false);
}

void ZmsgdAvatarConnection::processCredentials(bool quiet)
{
    if (m_stage != Stage::Credentials)
        return;
    // The credentials end without a line feed: they are complete when the picture starts
    // or when the client has gone quiet waiting for the answer.
    const int pictureStart = m_buffer.indexOf(PngSignature);
    if (pictureStart < 0 && !quiet) {
        if (m_buffer.size() > MaxCredentialsLength) {
            finish(uploadAnswer(ZmsgdCode::TooLong, "error"));
            return;
        }
        if (!m_buffer.isEmpty())
            m_quiet.start(CredentialsQuietMs);
        return;
    }
    m_quiet.stop();
    m_loginTimeout.stop();
    const QByteArray credentials = pictureStart < 0 ? m_buffer : m_buffer.left(pictureStart);
    QString password;
    if (!parseCredentials(credentials, &m_user, &password)) {
        ZmsgdLog::event(describe() + QStringLiteral(" avatar upload refused"));
        finish(uploadAnswer(ZmsgdCode::NotFound, "refused"));
        return;
    }
    m_buffer = pictureStart < 0 ? QByteArray() : m_buffer.mid(pictureStart);
    m_stage = Stage::Verifying;
    const QString address = m_socket ? ZmsgdLoginThrottle::addressKey(m_socket->peerAddress()) : QString();
    m_service->checkLogin(m_user, password, address, this, [this](int code) {
        if (code != ZmsgdCode::Ok) {
            ZmsgdLog::event(describe() + QStringLiteral(" avatar upload refused"));
            finish(uploadAnswer(code, "refused"));
            return;
        }
        m_stage = Stage::Picture;
        if (m_socket)
            m_socket->write(uploadAnswer(ZmsgdCode::Ok, "allow"));
        processPicture();
        onReadyRead();
    });
}

void ZmsgdAvatarConnection::processPicture()
{
    if (m_buffer.isEmpty())
        return;
    const qint64 length = pngLength(m_buffer);
    if (length < 0) {
        finish(uploadAnswer(ZmsgdCode::BadRequest, "error"));
        return;
    }
    if (length == 0)
        return;
    const int code = m_service->setAvatar(m_user, m_buffer.left(static_cast<int>(length)));
    ZmsgdLog::event(describe() + QStringLiteral(" avatar upload answered %1").arg(code));
    finish(code == ZmsgdCode::Ok ? uploadAnswer(code, "psuccess") : uploadAnswer(code, "error"));
}

void ZmsgdAvatarConnection::finish(const QByteArray &answer)
{
    m_stage = Stage::Done;
    m_buffer.clear();
    m_quiet.stop();
    if (m_socket) {
        m_socket->write(answer);
        m_socket->disconnectFromHost();
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            closeNow();
    }
}

void ZmsgdAvatarConnection::closeNow()
{
    m_timeout.stop();
    m_quiet.stop();
    m_stage = Stage::Done;
    if (m_socket)
        m_socket->disconnect(this);
    deleteLater();
}
