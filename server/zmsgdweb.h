#ifndef ZMSGDWEB_H
#define ZMSGDWEB_H

#include "zmsgdhttp.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QTcpSocket;
class ZmsgdService;

// The plain HTTP web site: the registration form, its captcha pictures and the latest
// version text for the update check.
namespace ZmsgdWeb {

QByteArray answer(ZmsgdService *service, const QString &latestVersion, const ZmsgdHttp::Request &request);
QByteArray captchaSecret(ZmsgdService *service);
QString registrationPage(const QString &captchaCode, const QString &message,
                         const QHash<QString, QString> &values = {});

} // namespace ZmsgdWeb

// One connection to the web port: one request, one answer, closed.
class ZmsgdWebConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr int TimeoutMs = 15000;

    ZmsgdWebConnection(QTcpSocket *socket, ZmsgdService *service, const QString &latestVersion,
                       QObject *parent = nullptr);

private:
    void onReadyRead();
    void finish(const QByteArray &answer);
    void closeNow();

    QPointer<QTcpSocket> m_socket;
    ZmsgdService *m_service;
    QString m_latestVersion;
    QByteArray m_buffer;
    bool m_done = false;
    QTimer m_timeout;
};

#endif
