#ifndef ZMSGFW111Q_H
#define ZMSGFW111Q_H

#include "zmsgfw11session.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;

// Protocol generation 1.1 client with avatar download and upload.
class ZMSGFW_EXPORT ZMsgFw111Q : public QObject, public ZMsgFw11Session
{
    Q_OBJECT
public:
    explicit ZMsgFw111Q(QObject *parent = nullptr);
    ~ZMsgFw111Q() override;

    // Takes over the logged-in connection of other, which other's moveSessionToThread gave to
    // this object's thread, and closes this object's own: no second login. Lines other had not
    // read yet are read here; other is left logged out. False, with nothing changed, when other
    // has not logged in or its connection lives on another thread.
    bool adoptSession(ZMsgFw111Q *other);

    bool requestGetUserContactsWithAvatar();
    bool requestGetUserAvatar();
    QString getUserAvatar();

    // Starts a GET of the user's avatar picture (or of its digest) over HTTP, or HTTPS when
    // secure, and returns the reply at once; the caller waits for it and deletes it.
    QNetworkReply *downloadAvatar(QString user, bool secure);
    QNetworkReply *downloadAvatarHash(QString user, bool secure);
    // Uploads the picture, cut to 128 x 128, over a connection of its own; blocks until the
    // server confirms or refuses (bounded), true only on confirmation.
    bool uploadAvatar(QString user, QString password, QImage image);

    // The picture as it is uploaded: 128 x 128, scaled without smoothing and cut from the top
    // left after scaling the shorter side to 128.
    static QImage uploadImage(const QImage &image);
    // The download address; the user name is one percent-encoded path segment.
    static QUrl avatarUrl(const QString &path, const QString &user, bool secure);
    enum class UploadStatus { Undecided, Succeeded, Failed };
    // Meaning of one status line of the upload connection.
    static UploadStatus uploadStatus(const QByteArray &line);

signals:
    // A pushed line read while a blocking call waited for its reply.
    void objectIncomed(QString object);

private:
    QNetworkReply *download(const QUrl &url);
};

#endif
