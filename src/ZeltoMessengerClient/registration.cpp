#include "registration.h"

#include <QCryptographicHash>

#ifndef ZM_WEB_HOST
#define ZM_WEB_HOST "localhost"
#endif

namespace Registration {

QString webHost()
{
    const QString fromEnvironment = qEnvironmentVariable("ZM_WEB_HOST").trimmed();
    return fromEnvironment.isEmpty() ? QStringLiteral(ZM_WEB_HOST) : fromEnvironment;
}

QUrl registerFormUrl()
{
    return QUrl(QStringLiteral("http://") + webHost() + QStringLiteral("/user-register.php"));
}

QUrl captchaUrl(const QString &code)
{
    // "+" stays literal in the query, as the site expects it.
    return QUrl(QStringLiteral("http://") + webHost() + QStringLiteral("/captcha-gui.php?code=") + code);
}

QString captchaCode(const QDateTime &time)
{
    QString code = QString::fromLatin1(
        QCryptographicHash::hash(time.toString().toUtf8(), QCryptographicHash::Sha1).toHex().left(10));
    for (int position = 9; position >= 1; --position)
        code.insert(position, QLatin1Char('+'));
    return code;
}

QString captchaHtml(const QByteArray &picture)
{
    return QStringLiteral("<img src=\"data:image/png;base64,") + QString::fromLatin1(picture.toBase64())
        + QStringLiteral("\"/>");
}

} // namespace Registration
