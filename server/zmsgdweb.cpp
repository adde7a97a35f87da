#include "zmsgdweb.h"

#include "zmsgdcaptcha.h"
#include "zmsgdformat.h"
#include "zmsgdlog.h"
#include "zmsgdservice.h"
#include "zmsgdstore.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QUrl>

namespace ZmsgdWeb {

namespace {

const QByteArray Html = "text/html; charset=utf-8";
const QByteArray Text = "text/plain; charset=utf-8";

QString field(const char *label, const char *name, const char *type, const QHash<QString, QString> &values)
{
    return QStringLiteral("<p><label>%1<br><input type=\"%2\" name=\"%3\" value=\"%4\"></label></p>\n")
        .arg(QLatin1String(label), QLatin1String(type), QLatin1String(name),
             QString(type == QByteArray("password") ? QString() : values.value(QLatin1String(name))).toHtmlEscaped());
}

QString page(const QString &title, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%1</title></head>\n"
                          "<body>\n<h1>%1</h1>\n%2</body></html>\n")
        .arg(title.toHtmlEscaped(), body);
}

QByteArray registerAccount(ZmsgdService *service, const ZmsgdHttp::Request &request)
{
    const QHash<QString, QString> form = ZmsgdHttp::decodeForm(request.body, true);
    const QString code = form.value(QStringLiteral("code"));
    const auto again = [&form](int status, const QString &message) {
        return ZmsgdHttp::response(status, Html,
                                   registrationPage(ZmsgdCaptcha::newCode(), message, form).toUtf8());
    };
    if (!ZmsgdCaptcha::isValidCode(code) || !service->store()->useCaptchaCode(code)
        || !ZmsgdCaptcha::check(captchaSecret(service), code, form.value(QStringLiteral("captcha"))))
        return again(403, QStringLiteral("The captcha was not answered correctly. Please try the new one."));
    const QString name = form.value(QStringLiteral("username")).trimmed();
    const QString password = form.value(QStringLiteral("password"));
    if (!ZmsgdFormat::isValidAccountName(name))
        return again(400, QStringLiteral("The user name must be 2 to 32 letters, digits, dots, dashes or underscores."));
    if (password != form.value(QStringLiteral("password2")))
        return again(400, QStringLiteral("The passwords do not match."));
    if (password.size() < 8 || !ZmsgdFormat::isValidPassword(password))
        return again(400, QStringLiteral("The password must have at least 8 characters."));
    const QString nick = form.value(QStringLiteral("nickname")).trimmed();
    if (!nick.isEmpty() && !ZmsgdFormat::isValidNick(nick))
        return again(400, QStringLiteral("The nickname must be one line of at most 64 characters."));
    const QString mail = form.value(QStringLiteral("email")).trimmed();
    if (!ZmsgdFormat::isValidMail(mail))
        return again(400, QStringLiteral("The e-mail address is not valid."));
    const int code2 = service->registerAccount(name, password, nick, form.value(QStringLiteral("realname")).trimmed(), mail);
    if (code2 == ZmsgdCode::Conflict)
        return again(409, QStringLiteral("The user name is taken already."));
    if (code2 != ZmsgdCode::Ok)
        return again(code2 == ZmsgdCode::BadRequest ? 400 : 500, QStringLiteral("The account could not be created."));
    ZmsgdLog::event(QStringLiteral("web registration created the account ") + name);
    return ZmsgdHttp::response(
        200, Html,
        page(QStringLiteral("Account created"),
             QStringLiteral("<p>The account <b>%1</b> has been created. You can log in with Zelto Messenger now.</p>\n")
                 .arg(name.toHtmlEscaped()))
            .toUtf8());
}

} // namespace

QByteArray captchaSecret(ZmsgdService *service)
{
    const QString key = QStringLiteral("captcha_secret");
    QByteArray secret = QByteArray::fromHex(service->store()->metaValue(key).toLatin1());
    if (secret.isEmpty()) {
        secret = ZmsgdCaptcha::newSecret();
        service->store()->setMetaValue(key, QString::fromLatin1(secret.toHex()));
    }
    return secret;
}

QString registrationPage(const QString &captchaCode, const QString &message, const QHash<QString, QString> &values)
{
    QString body;
    if (!message.isEmpty())
        body += QStringLiteral("<p style=\"color: #a00000;\">%1</p>\n").arg(message.toHtmlEscaped());
    body += QStringLiteral("<form method=\"post\" action=\"/user-register.php\">\n");
    body += field("Username:", "username", "text", values);
    body += field("Nickname:", "nickname", "text", values);
    body += field("Realname:", "realname", "text", values);
    body += field("E-Mail:", "email", "email", values);
    body += field("Password:", "password", "password", values);
    body += field("Repeat password:", "password2", "password", values);
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(captchaCode));
    body += QStringLiteral("<p><img src=\"/captcha-gui.php?code=%1\" alt=\"Captcha\" width=\"180\" height=\"60\"></p>\n")
                .arg(encoded.toHtmlEscaped());
    body += QStringLiteral("<input type=\"hidden\" name=\"code\" value=\"%1\">\n").arg(captchaCode.toHtmlEscaped());
    body += QStringLiteral("<p><label>Captcha:<br><input type=\"text\" name=\"captcha\" autocomplete=\"off\"></label></p>\n");
    body += QStringLiteral("<p><button type=\"submit\">Register</button></p>\n</form>\n");
    return page(QStringLiteral("Register a new account"), body);
}

QByteArray answer(ZmsgdService *service, const QString &latestVersion, const ZmsgdHttp::Request &request)
{
    const bool head = request.method == "HEAD";
    const QString path = ZmsgdHttp::decodePath(request.path);
    if (path == QLatin1String("/user-register.php")) {
        if (request.method == "POST")
            return registerAccount(service, request);
        if (request.method == "GET" || head)
            return ZmsgdHttp::response(200, Html, registrationPage(ZmsgdCaptcha::newCode(), QString()).toUtf8(), head);
        return ZmsgdHttp::response(405, Text, "method not allowed\n");
    }
    if (request.method != "GET" && !head)
        return ZmsgdHttp::response(405, Text, "method not allowed\n");
    if (path == QLatin1String("/captcha-gui.php")) {
        const QString code = ZmsgdHttp::decodeForm(request.query, false).value(QStringLiteral("code"));
        if (!ZmsgdCaptcha::isValidCode(code))
            return ZmsgdHttp::response(400, Text, "missing or overlong captcha code\n", head);
        return ZmsgdHttp::response(200, "image/png", ZmsgdCaptcha::picture(captchaSecret(service), code), head);
    }
    if (path == QLatin1String("/update/stable32qt5"))
        return ZmsgdHttp::response(200, Text, latestVersion.toUtf8(), head);
    if (path == QLatin1String("/"))
        return ZmsgdHttp::response(
            200, Html,
            page(QStringLiteral("Zelto Messenger development server"),
                 QStringLiteral("<p><a href=\"/user-register.php\">Register a new account</a></p>\n"))
                .toUtf8(),
            head);
    return ZmsgdHttp::response(404, Text, "not found\n", head);
}

} // namespace ZmsgdWeb

ZmsgdWebConnection::ZmsgdWebConnection(QTcpSocket *socket, ZmsgdService *service, const QString &latestVersion,
                                       QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_service(service)
    , m_latestVersion(latestVersion)
{
    socket->setParent(this);
    socket->setReadBufferSize(64 * 1024);
    connect(socket, &QTcpSocket::readyRead, this, &ZmsgdWebConnection::onReadyRead);
    connect(socket, &QTcpSocket::disconnected, this, &ZmsgdWebConnection::closeNow);
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (!m_done)
            closeNow();
    });
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, &ZmsgdWebConnection::closeNow);
    m_timeout.start(TimeoutMs);
}

void ZmsgdWebConnection::onReadyRead()
{
    if (!m_socket || m_done)
        return;
    m_buffer += m_socket->readAll();
    ZmsgdHttp::Request request;
    const ZmsgdHttp::ParseStatus status = ZmsgdHttp::parse(m_buffer, &request);
    if (status == ZmsgdHttp::ParseStatus::Incomplete)
        return;
    if (status != ZmsgdHttp::ParseStatus::Complete) {
        finish(ZmsgdHttp::refusal(status));
        return;
    }
    ZmsgdLog::event(QStringLiteral("web %1 %2 %3")
                        .arg(m_socket->peerAddress().toString(), QString::fromLatin1(request.method),
                             ZmsgdHttp::decodePath(request.path)));
    finish(ZmsgdWeb::answer(m_service, m_latestVersion, request));
}

void ZmsgdWebConnection::finish(const QByteArray &answer)
{
    m_done = true;
    m_buffer.clear();
    if (!m_socket)
        return;
    m_socket->write(answer);
    m_socket->disconnectFromHost();
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        closeNow();
}

void ZmsgdWebConnection::closeNow()
{
    m_done = true;
    m_timeout.stop();
    if (m_socket)
        m_socket->disconnect(this);
    deleteLater();
}
