#ifndef ZMSGDAVATARCONNECTION_H
#define ZMSGDAVATARCONNECTION_H

#include "zmsgdconfig.h"
#include "zmsgdhttp.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

class QTcpSocket;
class ZmsgdService;

// One connection to an avatar port: an HTTP(S) download of "/avatar/" or "/avatarmd5/",
// or on the TLS port the "ZM/1.1 avatarupload" exchange, told apart by the first bytes. The
// request or the upload credentials must come within the configured login time, the whole
// exchange within TimeoutMs.
class ZmsgdAvatarConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxCredentialsLength = 4096;
    static constexpr int MaxPictureLength = 4 * 1024 * 1024;
    static constexpr int CredentialsQuietMs = 150;
    static constexpr int TimeoutMs = 30000;

    ZmsgdAvatarConnection(QTcpSocket *socket, bool tls, ZmsgdService *service, const ZmsgdConfig &config,
                          QObject *parent = nullptr);

    // Length of the complete PNG file at the start of data; 0 while incomplete, -1 when it is no PNG.
    static qint64 pngLength(const QByteArray &data, qint64 limit = MaxPictureLength);
    // Splits "--username=U --password=P"; false when the text has not that shape. The password
    // is taken as sent, spaces included; only a line ending after it is not part of it.
    static bool parseCredentials(const QByteArray &data, QString *user, QString *password);
    // The HTTP answer for a request to an avatar port.
    static QByteArray httpAnswer(ZmsgdService *service, const ZmsgdHttp::Request &request);

private:
    enum class Stage { Sniffing, Http, UploadHeader, Credentials, Verifying, Picture, Done };

    void onReadyRead();
    void process();
    void processHttp();
    void processUploadHeader();
    void processCredentials(bool quiet);
    void processPicture();
    void finish(const QByteArray &answer);
    void closeNow();
    QString describe() const;

    QPointer<QTcpSocket> m_socket;
    ZmsgdService *m_service;
    Stage m_stage;
    QByteArray m_buffer;
    QString m_user;
    QTimer m_timeout;
    QTimer m_loginTimeout;
    QTimer m_quiet;
};

#endif
