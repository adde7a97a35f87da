#include "e2edriver.h"

#include "zmsgdcaptcha.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

#include <cstdio>

namespace {

quint16 portFrom(const QByteArray &output, const char *name)
{
    const QRegularExpression line(QStringLiteral("listening %1 \\S+ (\\d+)").arg(QLatin1String(name)));
    return quint16(line.match(QString::fromUtf8(output)).captured(1).toUInt());
}

QByteArray httpRequest(const QUrl &url, const QByteArray &postBody = QByteArray())
{
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    QNetworkReply *reply = nullptr;
    if (postBody.isNull()) {
        reply = manager.get(request);
    } else {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
        reply = manager.post(request, postBody);
    }
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

QByteArray captchaSecret(const QString &databasePath)
{
    QByteArray secret;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("e2e-captcha"));
        db.setDatabaseName(databasePath);
        if (db.open()) {
            QSqlQuery query(db);
            query.exec(QStringLiteral("SELECT value FROM meta WHERE key = 'captcha_secret'"));
            if (query.next())
                secret = QByteArray::fromHex(query.value(0).toString().toLatin1());
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("e2e-captcha"));
    return secret;
}

} // namespace

ServerProcess::ServerProcess(const QString &databasePath)
    : m_database(databasePath)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                     [this] { m_log += m_process.readAllStandardError(); });
}

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(bool demo)
{
    QStringList arguments{QStringLiteral("--database"),
                          m_database,
                          QStringLiteral("--port"),
                          QString::number(messagingPort),
                          QStringLiteral("--avatar-tls-port"),
                          QString::number(avatarTlsPort),
                          QStringLiteral("--avatar-http-port"),
                          QString::number(avatarHttpPort),
                          QStringLiteral("--web-port"),
                          QString::number(webPort)};
    if (demo)
        arguments << QStringLiteral("--demo");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZMSGD_TEST_MINIMUM_COST"), QStringLiteral("1"));
    m_process.setProcessEnvironment(environment);
    m_process.start(qEnvironmentVariable("ZM_ZMSGD"), arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    QByteArray output;
    QDeadlineTimer deadline(20000);
    while (!output.contains("listening web") && !deadline.hasExpired()) {
        if (!m_process.waitForReadyRead(int(deadline.remainingTime())))
            break;
        output += m_process.readAllStandardOutput();
    }
    messagingPort = portFrom(output, "messaging");
    avatarTlsPort = portFrom(output, "avatar-tls");
    avatarHttpPort = portFrom(output, "avatar-http");
    webPort = portFrom(output, "web");
    return webPort != 0 && messagingPort != 0;
}

void ServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000))
        m_process.kill(), m_process.waitForFinished();
    m_log += m_process.readAllStandardError();
    // The server's own log stays quiet, but a sanitizer report from it must reach the test log.
    if (m_log.contains("Sanitizer") || m_log.contains("runtime error:"))
        std::fputs(m_log.constData(), stderr);
}

void ServerProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(10000);
    m_log += m_process.readAllStandardError();
}

QProcessEnvironment clientEnvironment(const QString &home, const ServerProcess *server)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                       QStringLiteral("unix:path=") + home + QStringLiteral("/no-session-bus"));
    environment.insert(QStringLiteral("ZMSGFW_HOST"), QStringLiteral("127.0.0.1"));
    if (server) {
        environment.insert(QStringLiteral("ZMSGFW_PORT"), QString::number(server->messagingPort));
        environment.insert(QStringLiteral("ZMSGFW_AVATAR_PORT"), QString::number(server->avatarTlsPort));
        environment.insert(QStringLiteral("ZMSGFW_AVATAR_HTTP_PORT"), QString::number(server->avatarHttpPort));
        environment.insert(QStringLiteral("ZM_WEB_HOST"), QStringLiteral("127.0.0.1:%1").arg(server->webPort));
    }
    return environment;
}

ClientProcess::ClientProcess(const QString &label, const ServerProcess &server)
    : m_label(label)
    , m_server(&server)
    , m_home(QDir::tempPath() + QStringLiteral("/zme2e-") + label + QStringLiteral("-XXXXXX"))
    , m_runtime(QDir::tempPath() + QStringLiteral("/zme2e-") + label + QStringLiteral("-run-XXXXXX"))
{}

ClientProcess::ClientProcess(const QString &label)
    : m_label(label)
    , m_home(QDir::tempPath() + QStringLiteral("/zme2e-") + label + QStringLiteral("-XXXXXX"))
    , m_runtime(QDir::tempPath() + QStringLiteral("/zme2e-") + label + QStringLiteral("-run-XXXXXX"))
{}

void ClientProcess::setEnvironment(const QString &name, const QString &value)
{
    m_extraEnvironment.insert(name, value);
}

void ClientProcess::setTemporaryDirectory(const QString &path)
{
    m_temporaryDirectory = path;
}

ClientProcess::~ClientProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QProcessEnvironment ClientProcess::environment() const
{
    QProcessEnvironment environment = clientEnvironment(m_home.path(), m_server);
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
    if (!m_temporaryDirectory.isEmpty())
        environment.insert(QStringLiteral("TMPDIR"), m_temporaryDirectory);
    for (const QString &name : m_extraEnvironment.keys())
        environment.insert(name, m_extraEnvironment.value(name));
    return environment;
}

bool ClientProcess::start(const QStringList &arguments)
{
    m_controlName = QStringLiteral("zme2e-%1-%2").arg(m_label).arg(QCoreApplication::applicationPid());
    if (!m_temporaryDirectory.isEmpty())
        m_controlName = QDir(m_temporaryDirectory).filePath(m_controlName);
    QProcessEnvironment environment = this->environment();
    environment.insert(QStringLiteral("ZM_TEST_CONTROL"), m_controlName);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(qEnvironmentVariable("ZM_ZMESSENGER"), arguments);
    if (!m_process.waitForStarted(10000))
        return false;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        m_control.connectToServer(m_controlName);
        if (m_control.waitForConnected(1000))
            return true;
        if (m_process.state() == QProcess::NotRunning)
            return false;
        QTest::qWait(100);
    }
    return false;
}

void ClientProcess::kill()
{
    m_process.kill();
    m_process.waitForFinished(10000);
    m_control.abort();
}

bool ClientProcess::reconnect()
{
    m_control.abort();
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        m_control.connectToServer(m_controlName);
        if (m_control.waitForConnected(1000))
            return true;
        QTest::qWait(100);
    }
    return false;
}

bool ClientProcess::stop()
{
    invoke(QStringLiteral("frmLogin"), QStringLiteral("endZM"));
    const bool finished = m_process.waitForFinished(20000);
    m_control.abort();
    return finished && m_process.exitStatus() == QProcess::NormalExit;
}

QJsonObject ClientProcess::call(const QJsonObject &request)
{
    if (m_control.state() != QLocalSocket::ConnectedState)
        return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("not connected")}};
    m_control.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    m_control.flush();
    QDeadlineTimer deadline(20000);
    while (!m_control.canReadLine() && !deadline.hasExpired())
        m_control.waitForReadyRead(int(deadline.remainingTime()));
    if (!m_control.canReadLine())
        return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("no answer")}};
    return QJsonDocument::fromJson(m_control.readLine()).object();
}

QJsonValue ClientProcess::get(const QString &path, const QString &property)
{
    return call({{QStringLiteral("cmd"), QStringLiteral("get")},
                 {QStringLiteral("path"), path},
                 {QStringLiteral("property"), property}})
        .value(QStringLiteral("value"));
}

bool ClientProcess::click(const QString &path)
{
    return call({{QStringLiteral("cmd"), QStringLiteral("click")}, {QStringLiteral("path"), path}})
        .value(QStringLiteral("ok"))
        .toBool();
}

bool ClientProcess::type(const QString &path, const QString &text, bool enter)
{
    return call({{QStringLiteral("cmd"), QStringLiteral("type")},
                 {QStringLiteral("path"), path},
                 {QStringLiteral("text"), text},
                 {QStringLiteral("enter"), enter}})
        .value(QStringLiteral("ok"))
        .toBool();
}

bool ClientProcess::invoke(const QString &path, const QString &method, const QString &argument)
{
    QJsonObject request{{QStringLiteral("cmd"), QStringLiteral("invoke")},
                        {QStringLiteral("path"), path},
                        {QStringLiteral("method"), method}};
    if (!argument.isNull())
        request.insert(QStringLiteral("arg"), argument);
    return call(request).value(QStringLiteral("ok")).toBool();
}

bool ClientProcess::button(const QString &path, const QString &text)
{
    return call({{QStringLiteral("cmd"), QStringLiteral("button")},
                 {QStringLiteral("path"), path},
                 {QStringLiteral("text"), text}})
        .value(QStringLiteral("ok"))
        .toBool();
}

QJsonArray ClientProcess::windows()
{
    return call({{QStringLiteral("cmd"), QStringLiteral("windows")}}).value(QStringLiteral("value")).toArray();
}

QJsonArray ClientProcess::popups()
{
    return call({{QStringLiteral("cmd"), QStringLiteral("popups")}}).value(QStringLiteral("value")).toArray();
}

bool registerThroughWebSite(const ServerProcess &server, const QString &name, const QString &password,
                            const QString &nick, QString *page)
{
    const QString base = QStringLiteral("http://127.0.0.1:%1").arg(server.webPort);
    const QString form = QString::fromUtf8(httpRequest(QUrl(base + QStringLiteral("/user-register.php"))));
    const QString code = QRegularExpression(QStringLiteral("name=\"code\" value=\"([^\"]+)\"")).match(form).captured(1);
    if (code.isEmpty())
        return false;
    // Looking at the picture is what makes the server settle its secret.
    const QByteArray picture = httpRequest(
        QUrl(base + QStringLiteral("/captcha-gui.php?code=") + QString::fromLatin1(QUrl::toPercentEncoding(code))));
    if (!picture.startsWith("\x89PNG"))
        return false;
    QUrlQuery fields;
    fields.addQueryItem(QStringLiteral("username"), name);
    fields.addQueryItem(QStringLiteral("nickname"), nick);
    fields.addQueryItem(QStringLiteral("realname"), nick + QStringLiteral(" Tester"));
    fields.addQueryItem(QStringLiteral("email"), name + QStringLiteral("@example.org"));
    fields.addQueryItem(QStringLiteral("password"), password);
    fields.addQueryItem(QStringLiteral("password2"), password);
    fields.addQueryItem(QStringLiteral("code"), code);
    fields.addQueryItem(QStringLiteral("captcha"), ZmsgdCaptcha::answer(captchaSecret(server.databasePath()), code));
    *page = QString::fromUtf8(httpRequest(QUrl(base + QStringLiteral("/user-register.php")),
                                          fields.query(QUrl::FullyEncoded).toUtf8().replace("+", "%2B")));
    return page->contains(QStringLiteral("has been created"));
}
