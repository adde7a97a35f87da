#include "zmsgdweb.h"

#include "zmsgdcaptcha.h"
#include "zmsgdformat.h"
#include "zmsgdlog.h"
#include "zmsgdservice.h"
#include "zmsgdstore.h"

#include <zmsgfwwire.h>

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

QByteArray formAgain(const QHash<QString, QString> &form, int status, const QString &message)
{
    return ZmsgdHttp::response(status, Html, registrationPage(ZmsgdCaptcha::newCode(), message, form).toUtf8());
}

QByteArray registered(const QHash<QString, QString> &form, const QString &name, int code)
{
    switch (code) {
    case ZmsgdCode::Ok:
        ZmsgdLog::event(QStringLiteral("web registration created the account ") + name);
        return ZmsgdHttp::response(
            200, Html,
            page(QStringLiteral("Account created"),
                 QStringLiteral(
                     "<p>The account <b>%1</b> has been created. You can log in with Zelto Messenger now.</p>\n")
                     .arg(name.toHtmlEscaped()))
                .toUtf8());
    case ZmsgdCode::Conflict:
        return formAgain(form, 409, QStringLiteral("The user name is taken already."));
    case ZmsgdCode::TooManyRequests:
        return formAgain(form, 429,
                         QStringLiteral("Too many accounts were created from your address. Please try again later."));
    case ZmsgdCode::BadRequest:
        return formAgain(form, 400, QStringLiteral("The account could not be created."));
    default:
        return formAgain(form, 500, QStringLiteral("The account could not be created."));
    }
}

void registerAccount(ZmsgdService *service, const ZmsgdHttp::Request &request, const QString &address, QObject *context,
                     const Reply &reply)
{
    const QHash<QString, QString> form = ZmsgdHttp::decodeForm(request.body, true);
    const QString code = form.value(QStringLiteral("code"));
    const qint64 now = service->now() / 1000;
    if (!ZmsgdCaptcha::isValidCode(code)
        || !service->store()->useCaptchaCode(code, now, ZmsgdCaptcha::forgetUsedBefore(now))
        || !ZmsgdCaptcha::check(captchaSecret(service), code, form.value(QStringLiteral("captcha")), now)) {
        reply(formAgain(form, 403, QStringLiteral("The captcha was not answered correctly. Please try the new one.")));
        return;
    }
    const QString name = form.value(QStringLiteral("username")).trimmed();
    const QString password = form.value(QStringLiteral("password"));
    const QString nick = form.value(QStringLiteral("nickname")).trimmed();
    const QString mail = form.value(QStringLiteral("email")).trimmed();
    QString problem;
    if (!ZmsgdFormat::isValidAccountName(name))
        problem = QStringLiteral("The user name must be 2 to 32 letters, digits, dots, dashes or underscores.");
    else if (password != form.value(QStringLiteral("password2")))
        problem = QStringLiteral("The passwords do not match.");
    else if (password.size() < 8 || !ZmsgdFormat::isValidPassword(password))
        problem = QStringLiteral("The password must have at least 8 characters.");
    else if (!nick.isEmpty() && !ZmsgdFormat::isValidNick(nick))
        problem = QStringLiteral("The nickname must be one line of at most 64 characters.");
    else if (!ZmsgdFormat::isValidMail(mail))
        problem = QStringLiteral("The e-mail address is not valid.");
    if (!problem.isEmpty()) {
        reply(formAgain(form, 400, problem));
        return;
    }
    service->registerAccount(name, password, nick, form.value(QStringLiteral("realname")).trimmed(), mail, address,
                             context, [form, name, reply](int result) { reply(registered(form, name, result)); });
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
    body +=
        QStringLiteral("<p><img src=\"/captcha-gui.php?code=%1\" alt=\"Captcha\" width=\"180\" height=\"60\"></p>\n")
            .arg(encoded.toHtmlEscaped());
    body += QStringLiteral("<input type=\"hidden\" name=\"code\" value=\"%1\">\n").arg(captchaCode.toHtmlEscaped());
    body += QStringLiteral(
        "<p><label>Captcha:<br><input type=\"text\" name=\"captcha\" autocomplete=\"off\"></label></p>\n");
    body += QStringLiteral("<p><button type=\"submit\">Register</button></p>\n</form>\n");
    return page(QStringLiteral("Register a new account"), body);
}

namespace {

QByteArray immediateAnswer(ZmsgdService *service, const QString &latestVersion, const ZmsgdHttp::Request &request)
{
    const bool head = request.method == "HEAD";
    const QString path = ZmsgdHttp::decodePath(request.path);
    if (path == QLatin1String("/user-register.php")) {
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
        return ZmsgdHttp::response(200, "image/png",
                                   ZmsgdCaptcha::picture(captchaSecret(service), code, service->now() / 1000), head);
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

} // namespace

void answer(ZmsgdService *service, const QString &latestVersion, const ZmsgdHttp::Request &request,
            const QString &address, QObject *context, const Reply &reply)
{
    if (request.method == "POST" && ZmsgdHttp::decodePath(request.path) == QLatin1String("/user-register.php"))
        registerAccount(service, request, address, context, reply);
    else
        reply(immediateAnswer(service, latestVersion, request));
}

} // namespace ZmsgdWeb

ZmsgdWebConnection::ZmsgdWebConnection(QTcpSocket *socket, ZmsgdService *service, const ZmsgdConfig &config,
                                       QObject *parent)
    : QObject(parent)
    , m_socket(socket)
    , m_service(service)
    , m_latestVersion(config.latestVersion)
    , m_address(ZmsgdLoginThrottle::addressKey(socket->peerAddress()))
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
    m_timeout.start(config.loginTimeoutMs);
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
    m_done = true;
    ZmsgdLog::event(QStringLiteral("web %1 %2 %3")
                        .arg(m_socket->peerAddress().toString(), ZMsgFwWire::decodeUtf8(request.method),
                             ZmsgdHttp::decodePath(request.path)));
    ZmsgdWeb::answer(m_service, m_latestVersion, request, m_address, this,
                     [this](const QByteArray &answer) { finish(answer); });
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
