#ifndef ZMSGDWEB_H
#define ZMSGDWEB_H

#include "zmsgdconfig.h"
#include "zmsgdhttp.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QTcpSocket;
class ZmsgdService;

// The plain HTTP web site: the registration form, its captcha pictures and the latest
// version text for the update check.
namespace ZmsgdWeb {

using Reply = std::function<void(const QByteArray &answer)>;

// Answers a request from address (a ZmsgdLoginThrottle::addressKey). reply runs at once, or
// later for a registration, which hashes its password first; not at all once context is gone.
void answer(ZmsgdService *service, const QString &latestVersion, const ZmsgdHttp::Request &request,
            const QString &address, QObject *context, const Reply &reply);
QByteArray captchaSecret(ZmsgdService *service);
QString registrationPage(const QString &captchaCode, const QString &message,
                         const QHash<QString, QString> &values = {});

} // namespace ZmsgdWeb

// One connection to the web port: one request, one answer, closed.
class ZmsgdWebConnection : public QObject
{
    Q_OBJECT
public:
    ZmsgdWebConnection(QTcpSocket *socket, ZmsgdService *service, const ZmsgdConfig &config, QObject *parent = nullptr);

private:
    void onReadyRead();
    void finish(const QByteArray &answer);
    void closeNow();

    QPointer<QTcpSocket> m_socket;
    ZmsgdService *m_service;
    QString m_latestVersion;
    QString m_address;
    QByteArray m_buffer;
    bool m_done = false;
    QTimer m_timeout;
};

#endif
