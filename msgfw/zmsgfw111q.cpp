#include "zmsgfw111q.h"

#include "zmsgfw11protocol.h"
#include "zmsgfwendpoint.h"
#include "zmsgfwlinereader.h"

#include <QBuffer>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslSocket>

namespace {

constexpr int AnswerMilliseconds = 5000;
constexpr int StatusWaitMilliseconds = 30000;
// A silent server may hold an upload for at most this many status waits.
constexpr int StatusWaits = 4;
constexpr int UploadSide = 128;

bool sendUploadCredentials(QSslSocket &socket, const QString &user, const QString &password)
{
    socket.write("ZM/1.1 avatarupload\n");
    socket.write((QStringLiteral("--username=") + user + QStringLiteral(" --password=") + password).toUtf8());
    socket.flush();
    QByteArray answer;
    return ZMsgFwLineReader::waitForLine(socket, QDeadlineTimer(AnswerMilliseconds), &answer)
        && answer.trimmed().contains("allow");
}

bool awaitUploadStatus(QSslSocket &socket)
{
    // Every status line already buffered counts before the next wait: a confirmation that came
    // in one piece with an earlier line must not be left unread.
    const QDeadlineTimer deadline(StatusWaits * StatusWaitMilliseconds);
    for (;;) {
        QByteArray line;
        ZMsgFwLineReader::Result read;
        while ((read = ZMsgFwLineReader::takeLine(socket, &line)) == ZMsgFwLineReader::Result::Line) {
            const ZMsgFw111Q::UploadStatus status = ZMsgFw111Q::uploadStatus(line);
            if (status != ZMsgFw111Q::UploadStatus::Undecided)
                return status == ZMsgFw111Q::UploadStatus::Succeeded;
        }
        if (read == ZMsgFwLineReader::Result::TooLong || deadline.hasExpired())
            return false;
        if (!socket.waitForReadyRead(int(qMin<qint64>(StatusWaitMilliseconds, deadline.remainingTime())))
            && socket.state() != QAbstractSocket::ConnectedState) {
            // Closed or failed: only a last unterminated line can still decide.
            return ZMsgFw111Q::uploadStatus(socket.readAll()) == ZMsgFw111Q::UploadStatus::Succeeded;
        }
    }
}

} // namespace

ZMsgFw111Q::ZMsgFw111Q(QObject *parent)
    : QObject(parent)
    , ZMsgFw11Session(QStringLiteral("1.1.1-1"), QStringLiteral("mail"),
                      [this](const QString &object) { emit objectIncomed(object); })
{}

ZMsgFw111Q::~ZMsgFw111Q() = default;

bool ZMsgFw111Q::adoptSession(ZMsgFw111Q *other)
{
    return other && engine().takeSessionFrom(other->engine());
}

bool ZMsgFw111Q::requestGetUserContactsWithAvatar()
{
    return engine().send(ZMsgFw11Protocol::requestCall(QStringLiteral("contactswithavatar")));
}

bool ZMsgFw111Q::requestGetUserAvatar()
{
    return engine().send(ZMsgFw11Protocol::requestCall(QStringLiteral("avatar")));
}

QString ZMsgFw111Q::getUserAvatar()
{
    return engine().askText(ZMsgFw11Protocol::requestCall(QStringLiteral("avatar")), QStringLiteral("--avatar="));
}

QUrl ZMsgFw111Q::avatarUrl(const QString &path, const QString &user, bool secure)
{
    // "." and ".." cannot stand as one segment: URL normalisation would turn them into a step up.
    if (user == QLatin1String(".") || user == QLatin1String("..")) {
        qWarning() << "ZMsgFw111Q: no avatar address for the user name" << user;
        return QUrl();
    }
    QUrl url;
    url.setScheme(secure ? QStringLiteral("https") : QStringLiteral("http"));
    url.setHost(ZMsgFwEndpoint::host());
    url.setPort(secure ? ZMsgFwEndpoint::avatarTlsPort() : ZMsgFwEndpoint::avatarHttpPort());
    // Characters that may stand in a path segment stay as they are, as in a plain appended name.
    url.setPath(path + QString::fromLatin1(QUrl::toPercentEncoding(user, "!$&'()*+,;=:@")), QUrl::TolerantMode);
    return url;
}

QNetworkReply *ZMsgFw111Q::downloadAvatar(QString user, bool secure)
{
    return download(avatarUrl(QStringLiteral("/avatar/"), user, secure));
}

QNetworkReply *ZMsgFw111Q::downloadAvatarHash(QString user, bool secure)
{
    return download(avatarUrl(QStringLiteral("/avatarmd5/"), user, secure));
}

QNetworkReply *ZMsgFw111Q::download(const QUrl &url)
{
    // One manager per download, living exactly as long as its reply: the caller may delete the
    // reply after this object is gone, and may call from another thread than this object's.
    auto *manager = new QNetworkAccessManager;
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", "Zelto Messenger Framework " + getClassVersion().toUtf8());
    // Without this Qt asks for a compressed body and inflates it before the caller can bound it.
    request.setRawHeader("Accept-Encoding", "identity");
    QNetworkReply *reply = manager->get(request);
    reply->ignoreSslErrors(engine().expectedErrors());
    reply->setParent(nullptr);
    connect(reply, &QObject::destroyed, manager, &QObject::deleteLater);
    return reply;
}

QImage ZMsgFw111Q::uploadImage(const QImage &image)
{
    const QRect square(0, 0, UploadSide, UploadSide);
    if (image.height() > image.width())
        return image.scaledToWidth(UploadSide, Qt::FastTransformation).copy(square);
    if (image.width() > image.height())
        return image.scaledToHeight(UploadSide, Qt::FastTransformation).copy(square);
    return image.scaled(UploadSide, UploadSide, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

ZMsgFw111Q::UploadStatus ZMsgFw111Q::uploadStatus(const QByteArray &line)
{
    const QString text = ZMsgFwWire::decodeLine(line);
    if (text.contains(QLatin1String("psuccess")))
        return UploadStatus::Succeeded;
    if (text.contains(QLatin1String("error")))
        return UploadStatus::Failed;
    return UploadStatus::Undecided;
}

bool ZMsgFw111Q::uploadAvatar(QString user, QString password, QImage image)
{
    if (!ZMsgFwWire::isWritableValue(user) || !ZMsgFwWire::isWritableValue(password)) {
        qWarning() << "uploadAvatar: refused, the user name or password contains a line break";
        return false;
    }
    if (image.isNull()) {
        qWarning() << "uploadAvatar: refused, there is no picture to upload";
        return false;
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!uploadImage(image).save(&buffer, "PNG"))
        return false;

    QSslSocket socket;
    if (!ZMsgFwConnection::connectEncrypted(socket, engine().expectedErrors(), ZMsgFwEndpoint::avatarTlsPort()))
        return false;
    bool confirmed = false;
    if (sendUploadCredentials(socket, user, password)) {
        socket.write(png);
        socket.flush();
        confirmed = awaitUploadStatus(socket);
    }
    socket.disconnectFromHost();
    return confirmed;
}
