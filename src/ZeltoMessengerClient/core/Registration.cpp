#include "Registration.h"

#include "HttpFetch.h"
#include "PictureFormat.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTextDocumentFragment>

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

QString freshCaptchaCode(const QDateTime &now, const QString &spentCode)
{
    const QString code = captchaCode(now);
    return code == spentCode ? captchaCode(now.addSecs(1)) : code;
}

QByteArray captchaPicture(const QByteArray &body)
{
    const QImage image = PictureFormat::decode(body, MaxCaptchaSide, MaxCaptchaBytes);
    if (image.isNull()) {
        if (!body.isEmpty())
            qWarning() << "Captcha refused:" << body.size() << "bytes that are no picture of at most" << MaxCaptchaSide
                       << "pixels a side";
        return QByteArray();
    }
    return body;
}

QByteArray fetchCaptcha(const QString &code, int timeoutMs)
{
    return captchaPicture(HttpFetch::get(QNetworkRequest(captchaUrl(code)), MaxCaptchaBytes, timeoutMs).body);
}

QString captchaHtml(const QByteArray &picture)
{
    return QStringLiteral("<img src=\"data:image/png;base64,") + QString::fromLatin1(picture.toBase64())
        + QStringLiteral("\"/>");
}

QByteArray formBody(const Form &form)
{
    const QList<QPair<const char *, QString>> fields = {
        {"username", form.userName}, {"nickname", form.nickName},    {"realname", form.realName},
        {"email", form.mail},        {"password", form.password},    {"password2", form.repeatedPassword},
        {"code", form.captchaCode},  {"captcha", form.captchaAnswer}};
    QByteArray body;
    for (const auto &field : fields) {
        if (!body.isEmpty())
            body += '&';
        // Everything but unreserved characters is escaped: "+" would read as a space.
        body += field.first + QByteArray("=") + field.second.toUtf8().toPercentEncoding();
    }
    return body;
}

QString answerMessage(const QByteArray &html)
{
    static const QRegularExpression error(QStringLiteral("<p style=\"color: #a00000;\">(.*?)</p>"),
                                          QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = error.match(QString::fromUtf8(html.left(64 * 1024)));
    if (!match.hasMatch())
        return QString();
    return QTextDocumentFragment::fromHtml(match.captured(1)).toPlainText().left(300);
}

Answer judgeAnswer(const HttpFetch::Result &fetched)
{
    Answer answer;
    answer.status = fetched.status;
    if (fetched.status == 0 && !fetched.tooLarge)
        return answer;
    // A body cut off by the limit or the timeout is no page the site finished writing.
    const QByteArray body = fetched.finished && !fetched.tooLarge ? fetched.body : QByteArray();
    answer.message = answerMessage(body);
    static const QRegularExpression confirmation(QStringLiteral("<h1>\\s*Account created\\s*</h1>"),
                                                 QRegularExpression::CaseInsensitiveOption);
    if (!answer.message.isEmpty())
        answer.outcome = Outcome::Refused;
    else if (fetched.status >= 200 && fetched.status < 300
             && confirmation.match(QString::fromUtf8(body.left(64 * 1024))).hasMatch())
        answer.outcome = Outcome::Created;
    else
        answer.outcome = Outcome::Unconfirmed;
    return answer;
}

Answer submit(const Form &form, int timeoutMs)
{
    QNetworkRequest request(registerFormUrl());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    const HttpFetch::Result fetched = HttpFetch::post(request, formBody(form), MaxAnswerBytes, timeoutMs);
    const Answer answer = judgeAnswer(fetched);
    if (answer.outcome == Outcome::Unreachable)
        qWarning() << "Registration site" << webHost() << "not reached:" << fetched.error;
    return answer;
}

} // namespace Registration
