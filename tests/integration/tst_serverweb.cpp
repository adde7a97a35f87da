#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "testpictures.h"

#include <zmsgdavatarconnection.h>
#include <zmsgdcaptcha.h>
#include <zmsgdconfig.h>
#include <zmsgdformat.h>
#include <zmsgdhttp.h>
#include <zmsgdlog.h>
#include <zmsgdprotocol10.h>
#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdservice.h>
#include <zmsgdstore.h>
#include <zmsgdthrottle.h>
#include <zmsgdweb.h>

#include <QBuffer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrlQuery>

namespace {

struct HttpResult {
    int status = 0;
    QByteArray body;
    QByteArray contentType;
};

} // namespace

// The web site, the avatar HTTP port, and the pure pieces behind them: HTTP parsing, PNG
// framing, captchas, value rules, payload formats, the legacy command parser and the schema.
class TestServerWeb : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void updateText();
    void captchaPicture();
    void registrationPage();
    void registration_data();
    void registration();
    void captchaIsUsedOnce();
    void unknownPaths_data();
    void unknownPaths();
    void avatarHttpPaths_data();
    void avatarHttpPaths();
    void malformedHttpGetsAnError_data();
    void malformedHttpGetsAnError();
    void httpParse_data();
    void httpParse();
    void formDecoding();
    void pngLength_data();
    void pngLength();
    void uploadCredentials_data();
    void uploadCredentials();
    void accountNames_data();
    void accountNames();
    void logEscapes_data();
    void logEscapes();
    void throttleAddressKeys_data();
    void throttleAddressKeys();
    void throttleRefusalsGrowAndFade();
    void profilePayload();
    void legacyParser();
    void schemaMigration();
    void newerSchemaIsRefused();

private:
    HttpResult get(const QString &path, quint16 port = 0);
    HttpResult post(const QString &path, const QByteArray &form);
    HttpResult finish(QNetworkReply *reply);
    QString captchaAnswer(const QString &code);
    QByteArray registrationForm(const QString &name, const QString &code, const QString &answer,
                                const QString &password = QStringLiteral("password1"),
                                const QString &repeat = QStringLiteral("password1"),
                                const QString &nick = QStringLiteral("New User"));

    QTemporaryDir m_dir;
    ZmsgdServerThread m_server;
    QNetworkAccessManager m_network;
};

void TestServerWeb::initTestCase()
{
    QVERIFY(m_dir.isValid());
    ZmsgdConfig config = loopbackZmsgdConfig(m_dir.filePath(QStringLiteral("web.sqlite")));
    config.latestVersion = QStringLiteral("1.0.1-2");
    QString error;
    QVERIFY2(m_server.start(config, &error), qPrintable(error));
}

void TestServerWeb::cleanupTestCase()
{
    m_server.stop();
}

HttpResult TestServerWeb::finish(QNetworkReply *reply)
{
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        finished.wait(10000);
    HttpResult result;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.body = reply->readAll();
    result.contentType = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    reply->deleteLater();
    return result;
}

HttpResult TestServerWeb::get(const QString &path, quint16 port)
{
    const QUrl url(QStringLiteral("http://127.0.0.1:%1%2").arg(port ? port : m_server.webPort()).arg(path),
                   QUrl::TolerantMode);
    return finish(m_network.get(QNetworkRequest(url)));
}

HttpResult TestServerWeb::post(const QString &path, const QByteArray &form)
{
    QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.webPort()).arg(path)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    return finish(m_network.post(request, form));
}

QString TestServerWeb::captchaAnswer(const QString &code)
{
    QString answer;
    m_server.runOnServer(
        [&](ZmsgdServer *server) { answer = ZmsgdCaptcha::answer(ZmsgdWeb::captchaSecret(server->service()), code); });
    return answer;
}

QByteArray TestServerWeb::registrationForm(const QString &name, const QString &code, const QString &answer,
                                           const QString &password, const QString &repeat, const QString &nick)
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("username"), name);
    form.addQueryItem(QStringLiteral("nickname"), QString::fromLatin1(QUrl::toPercentEncoding(nick)));
    form.addQueryItem(QStringLiteral("realname"), QStringLiteral("Nu Ser"));
    form.addQueryItem(QStringLiteral("email"), name + QStringLiteral("@example.org"));
    form.addQueryItem(QStringLiteral("password"), password);
    form.addQueryItem(QStringLiteral("password2"), repeat);
    form.addQueryItem(QStringLiteral("code"), code);
    form.addQueryItem(QStringLiteral("captcha"), answer);
    QByteArray encoded = form.toString(QUrl::FullyEncoded).toUtf8();
    // A form body encodes "+" as "%2B", which QUrlQuery leaves alone.
    encoded.replace('+', "%2B");
    return encoded;
}

void TestServerWeb::updateText()
{
    const HttpResult result = get(QStringLiteral("/update/stable32qt5"));
    QCOMPARE(result.status, 200);
    QCOMPARE(result.body, QByteArray("1.0.1-2"));
    QVERIFY(result.contentType.startsWith("text/plain"));
}

void TestServerWeb::captchaPicture()
{
    // The client's codes are hexadecimal digits joined by "+".
    const QString code = QStringLiteral("3+f+a+0+9+c+c+1+2+e");
    const HttpResult first = get(QStringLiteral("/captcha-gui.php?code=") + code);
    QCOMPARE(first.status, 200);
    QCOMPARE(first.contentType, QByteArray("image/png"));
    QCOMPARE(QImage::fromData(first.body, "PNG").size(), QSize(180, 60));
    QCOMPARE(get(QStringLiteral("/captcha-gui.php?code=") + code).body, first.body);
    QVERIFY(get(QStringLiteral("/captcha-gui.php?code=3+f+a+0+9+c+c+1+2+f")).body != first.body);
    QCOMPARE(get(QStringLiteral("/captcha-gui.php")).status, 400);
    QCOMPARE(get(QStringLiteral("/captcha-gui.php?code=") + QString(65, QLatin1Char('a'))).status, 400);
}

void TestServerWeb::registrationPage()
{
    const HttpResult page = get(QStringLiteral("/user-register.php"));
    QCOMPARE(page.status, 200);
    QVERIFY(page.contentType.startsWith("text/html"));
    for (const char *name : {"username", "nickname", "realname", "email", "password", "password2", "captcha", "code"})
        QVERIFY2(page.body.contains(QByteArray("name=\"") + name + '"'), name);
    QVERIFY(page.body.contains("<img src=\"/captcha-gui.php?code="));
}

void TestServerWeb::registration_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("rightAnswer");
    QTest::addColumn<QString>("repeat");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("nick");
    const QString nick = QStringLiteral("New User");
    QTest::newRow("created") << "newuser" << true << "password1" << 200 << nick;
    QTest::newRow("name taken") << "alice" << true << "password1" << 409 << nick;
    QTest::newRow("name taken in other case") << "ALICE" << true << "password1" << 409 << nick;
    QTest::newRow("wrong captcha") << "another" << false << "password1" << 403 << nick;
    QTest::newRow("passwords differ") << "another" << true << "password2" << 400 << nick;
    QTest::newRow("bad name") << "a|b" << true << "password1" << 400 << nick;
    QTest::newRow("name with markup") << "<script>" << true << "password1" << 400 << nick;
    // Such a nick could not be framed into any reply that carries it.
    QTest::newRow("nick with line feed") << "another" << true << "password1" << 400 << "a\nb";
    QTest::newRow("nick with carriage return") << "another" << true << "password1" << 400 << "a\rb";
    QTest::newRow("nick with list separators") << "listy" << true << "password1" << 200 << "a|b<>&amp;";
}

void TestServerWeb::registration()
{
    QFETCH(QString, name);
    QFETCH(bool, rightAnswer);
    QFETCH(QString, repeat);
    QFETCH(int, status);
    QFETCH(QString, nick);
    const QString code = QStringLiteral("case+")
        + QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), QLatin1Char('+'));
    const QString answer = rightAnswer ? captchaAnswer(code) : QStringLiteral("000000x");
    const HttpResult result = post(QStringLiteral("/user-register.php"),
                                   registrationForm(name, code, answer, QStringLiteral("password1"), repeat, nick));
    QCOMPARE(result.status, status);
    QVERIFY(!result.body.contains("<script>"));
    bool canLogin = false;
    m_server.runOnServer([&](ZmsgdServer *server) {
        canLogin = server->service()->login(name, QStringLiteral("password1")) == ZmsgdCode::Ok;
    });
    QCOMPARE(canLogin, status == 200);
    if (status == 200) {
        // A new account finds the demo contact in its list and a first message from it.
        int pending = 0;
        QStringList contacts;
        m_server.runOnServer([&](ZmsgdServer *server) {
            pending = server->store()->pendingCount(name);
            contacts = server->store()->contacts(name);
        });
        QCOMPARE(contacts, QStringList{QStringLiteral("zeltobot")});
        QCOMPARE(pending, 1);
    } else {
        // The form comes back with a fresh captcha and the message.
        QVERIFY(result.body.contains("name=\"code\""));
    }
}

void TestServerWeb::captchaIsUsedOnce()
{
    const QString code = QStringLiteral("once");
    const QString answer = captchaAnswer(code);
    QCOMPARE(
        post(QStringLiteral("/user-register.php"), registrationForm(QStringLiteral("first1"), code, answer)).status,
        200);
    QCOMPARE(
        post(QStringLiteral("/user-register.php"), registrationForm(QStringLiteral("second2"), code, answer)).status,
        403);
    // A wrong guess uses the code up as well, so codes cannot be tried through.
    const QString other = QStringLiteral("guessed");
    QCOMPARE(post(QStringLiteral("/user-register.php"),
                  registrationForm(QStringLiteral("third3"), other, QStringLiteral("1")))
                 .status,
             403);
    QCOMPARE(post(QStringLiteral("/user-register.php"),
                  registrationForm(QStringLiteral("third3"), other, captchaAnswer(other)))
                 .status,
             403);
}

void TestServerWeb::unknownPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("root") << "/" << 200;
    QTest::newRow("other channel") << "/update/beta32qt5" << 404;
    QTest::newRow("traversal") << "/../../etc/passwd" << 404;
    QTest::newRow("encoded traversal") << "/update/%2e%2e/%2e%2e/etc/passwd" << 404;
    QTest::newRow("unknown") << "/index.php" << 404;
    QTest::newRow("encoded NUL") << "/%00/x" << 404;
    QTest::newRow("encoded NUL after a page") << "/update/stable32qt5%00x" << 404;
}

void TestServerWeb::unknownPaths()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    QCOMPARE(get(path).status, status);
}

void TestServerWeb::avatarHttpPaths_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("status");
    QTest::newRow("picture by name") << "/avatar/alice" << 200;
    QTest::newRow("digest by name") << "/avatarmd5/alice" << 200;
    QTest::newRow("no such account") << "/avatar/nobody" << 404;
    QTest::newRow("empty key") << "/avatar/" << 404;
    QTest::newRow("nested path") << "/avatar/alice/x" << 404;
    QTest::newRow("other path") << "/avatars/alice" << 404;
}

void TestServerWeb::avatarHttpPaths()
{
    QFETCH(QString, path);
    QFETCH(int, status);
    const HttpResult result = get(path, m_server.avatarHttpPort());
    QCOMPARE(result.status, status);
    if (status == 200 && path.startsWith(QLatin1String("/avatar/")))
        QCOMPARE(QImage::fromData(result.body, "PNG").size(), QSize(128, 128));
    if (status == 200 && path.startsWith(QLatin1String("/avatarmd5/")))
        QCOMPARE(result.body.size(), 32);
}

void TestServerWeb::malformedHttpGetsAnError_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("statusLine");
    QTest::newRow("not http") << QByteArray("HELLO\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("method") << QByteArray("DELETE /avatar/alice HTTP/1.1\r\n\r\n")
                            << QByteArray("HTTP/1.1 405 Method Not Allowed");
    QTest::newRow("huge head") << QByteArray("GET /avatar/alice HTTP/1.1\r\nX: ") + QByteArray(20000, 'x')
                               << QByteArray("HTTP/1.1 413 Payload Too Large");
    QTest::newRow("bad header") << QByteArray("GET /avatar/alice HTTP/1.1\r\nno colon\r\n\r\n")
                                << QByteArray("HTTP/1.1 400 Bad Request");
    // Decoded up to the NUL this was "/", and the web port served its start page.
    QTest::newRow("NUL in the path") << QByteArray("GET /\0/x HTTP/1.1\r\n\r\n", 21)
                                     << QByteArray("HTTP/1.1 400 Bad Request");
    QTest::newRow("control byte in the path")
        << QByteArray("GET /avatar/al\x01ice HTTP/1.1\r\n\r\n") << QByteArray("HTTP/1.1 400 Bad Request");
}

void TestServerWeb::malformedHttpGetsAnError()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, statusLine);
    for (quint16 port : {m_server.avatarHttpPort(), m_server.webPort()}) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(socket.waitForConnected(5000));
        socket.write(request);
        QByteArray answer;
        QDeadlineTimer deadline(5000);
        while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
            socket.waitForReadyRead(100);
            answer += socket.readAll();
        }
        answer += socket.readAll();
        QVERIFY2(answer.startsWith(statusLine), answer.left(80).constData());
    }
}

void TestServerWeb::httpParse_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("body");
    using S = ZmsgdHttp::ParseStatus;
    QTest::newRow("get") << QByteArray("GET /a?b=c HTTP/1.1\r\nHost: x\r\n\r\n") << int(S::Complete) << QByteArray("/a")
                         << QByteArray();
    QTest::newRow("bare line feeds") << QByteArray("GET /a HTTP/1.0\nHost: x\n\n") << int(S::Complete)
                                     << QByteArray("/a") << QByteArray();
    QTest::newRow("post with body") << QByteArray("POST /f HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc")
                                    << int(S::Complete) << QByteArray("/f") << QByteArray("abc");
    QTest::newRow("body still coming") << QByteArray("POST /f HTTP/1.1\r\nContent-Length: 5\r\n\r\nab")
                                       << int(S::Incomplete) << QByteArray() << QByteArray();
    QTest::newRow("head still coming") << QByteArray("GET /a HTTP/1.1\r\nHost") << int(S::Incomplete) << QByteArray()
                                       << QByteArray();
    QTest::newRow("body too large") << QByteArray("POST /f HTTP/1.1\r\nContent-Length: 999999\r\n\r\n")
                                    << int(S::TooLarge) << QByteArray() << QByteArray();
    QTest::newRow("negative length") << QByteArray("POST /f HTTP/1.1\r\nContent-Length: -1\r\n\r\n") << int(S::Invalid)
                                     << QByteArray() << QByteArray();
    QTest::newRow("chunked") << QByteArray("POST /f HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << int(S::Invalid)
                             << QByteArray() << QByteArray();
    QTest::newRow("absolute target") << QByteArray("GET http://x/ HTTP/1.1\r\n\r\n") << int(S::Invalid) << QByteArray()
                                     << QByteArray();
    QTest::newRow("two words") << QByteArray("GET /\r\n\r\n") << int(S::Invalid) << QByteArray() << QByteArray();
    QTest::newRow("bad first line, head unfinished")
        << QByteArray("HELLO THERE\r\nHost: x\r\n") << int(S::Invalid) << QByteArray() << QByteArray();
    QTest::newRow("endless head") << QByteArray(ZmsgdHttp::MaxHeadLength + 1, 'a') << int(S::TooLarge) << QByteArray()
                                  << QByteArray();
    QTest::newRow("NUL in the target") << QByteArray("GET /a\0b HTTP/1.1\r\n\r\n", 21) << int(S::Invalid)
                                       << QByteArray() << QByteArray();
    QTest::newRow("non-ASCII byte in the target")
        << QByteArray("GET /\xc3\xa4 HTTP/1.1\r\n\r\n") << int(S::Invalid) << QByteArray() << QByteArray();
}

void TestServerWeb::httpParse()
{
    QFETCH(QByteArray, data);
    QFETCH(int, status);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, body);
    ZmsgdHttp::Request request;
    int consumed = 0;
    QCOMPARE(int(ZmsgdHttp::parse(data, &request, &consumed)), status);
    if (status == int(ZmsgdHttp::ParseStatus::Complete)) {
        QCOMPARE(request.path, path);
        QCOMPARE(request.body, body);
        QCOMPARE(consumed, data.size());
    }
}

void TestServerWeb::formDecoding()
{
    const QHash<QString, QString> form = ZmsgdHttp::decodeForm("a=x+y&b=%C3%BC%2B&c&=z", true);
    QCOMPARE(form.value(QStringLiteral("a")), QStringLiteral("x y"));
    QCOMPARE(form.value(QStringLiteral("b")), QStringLiteral("ü+"));
    QVERIFY(form.contains(QStringLiteral("c")));
    const QHash<QString, QString> query = ZmsgdHttp::decodeForm("code=a+b+c", false);
    QCOMPARE(query.value(QStringLiteral("code")), QStringLiteral("a+b+c"));
}

void TestServerWeb::pngLength_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<qint64>("length");
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    const QByteArray png = pngBytes(image);
    QTest::newRow("whole") << png << qint64(png.size());
    QTest::newRow("followed by more") << png + "trailing" << qint64(png.size());
    QTest::newRow("cut short") << png.left(png.size() - 1) << qint64(0);
    QTest::newRow("signature only") << png.left(8) << qint64(0);
    QTest::newRow("part of signature") << png.left(3) << qint64(0);
    QTest::newRow("not a png") << QByteArray("GIF89a......") << qint64(-1);
    QByteArray huge = png.left(8);
    huge += QByteArray("\x7f\xff\xff\xff", 4) + "IDAT";
    QTest::newRow("chunk beyond the limit") << huge << qint64(-1);
}

void TestServerWeb::pngLength()
{
    QFETCH(QByteArray, data);
    QFETCH(qint64, length);
    QCOMPARE(ZmsgdAvatarConnection::pngLength(data), length);
}

void TestServerWeb::uploadCredentials_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::newRow("plain") << QByteArray("--username=alice --password=alice123") << true << "alice"
                           << "alice123";
    QTest::newRow("password with spaces") << QByteArray("--username=alice --password=a b c") << true << "alice"
                                          << "a b c";
    QTest::newRow("trailing line feed") << QByteArray("--username=bob --password=x\n") << true << "bob"
                                        << "x";
    QTest::newRow("no password") << QByteArray("--username=alice") << false << ""
                                 << "";
    QTest::newRow("no user") << QByteArray("--username= --password=x") << false << ""
                             << "";
    QTest::newRow("other order") << QByteArray("--password=x --username=alice") << false << ""
                                 << "";
}

void TestServerWeb::uploadCredentials()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, ok);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QString gotUser;
    QString gotPassword;
    QCOMPARE(ZmsgdAvatarConnection::parseCredentials(data, &gotUser, &gotPassword), ok);
    if (ok) {
        QCOMPARE(gotUser, user);
        QCOMPARE(gotPassword, password);
    }
}

void TestServerWeb::accountNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("letters") << "alice" << true;
    QTest::newRow("with dot dash underscore digits") << "a.b-c_9" << true;
    QTest::newRow("two characters") << "ab" << true;
    QTest::newRow("one character") << "a" << false;
    QTest::newRow("33 characters") << QString(33, QLatin1Char('a')) << false;
    QTest::newRow("space") << "a b" << false;
    QTest::newRow("list separator") << "a|b" << false;
    QTest::newRow("slash") << "a/b" << false;
    QTest::newRow("ampersand") << "a&b" << false;
    QTest::newRow("umlaut") << "jürgen" << false;
    QTest::newRow("line feed") << "ab\n" << false;
}

void TestServerWeb::accountNames()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(ZmsgdFormat::isValidAccountName(name), valid);
}

void TestServerWeb::logEscapes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("logged");
    QTest::newRow("plain") << "GET /avatar/alice"
                           << "GET /avatar/alice";
    QTest::newRow("line breaks and tab") << "a\r\nb\tc"
                                         << "a\\r\\nb\\tc";
    QTest::newRow("escape sequence") << "\x1b[2J"
                                     << "\\x1b[2J";
    QTest::newRow("NUL and DEL") << QString::fromUtf8("a\0b\x7f", 4) << "a\\x00b\\x7f";
    QTest::newRow("C1 control") << QString(QChar(0x9b)) + QStringLiteral("31m") << "\\x9b31m";
    QTest::newRow("backslash") << "C:\\x1b"
                               << "C:\\\\x1b";
    QTest::newRow("line separator and bidi override")
        << QString(QChar(0x2028)) + QChar(0x202e) + QStringLiteral("abc") << "\\u{2028}\\u{202e}abc";
    QTest::newRow("other text") << "Grüße 👋"
                                << "Grüße 👋";
}

void TestServerWeb::logEscapes()
{
    QFETCH(QString, text);
    QFETCH(QString, logged);
    QCOMPARE(ZmsgdLog::escaped(text), logged);
}

void TestServerWeb::throttleAddressKeys_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("key");
    QTest::newRow("IPv4") << "192.0.2.7"
                          << "192.0.2.7";
    QTest::newRow("IPv4 in IPv6") << "::ffff:192.0.2.7"
                                  << "192.0.2.7";
    QTest::newRow("IPv6, one network") << "2001:db8:1:2:aaaa::1"
                                       << "2001:db8:1:2::/64";
    QTest::newRow("IPv6, same network") << "2001:db8:1:2:bbbb::9"
                                        << "2001:db8:1:2::/64";
    QTest::newRow("IPv6 loopback") << "::1"
                                   << "::/64";
}

void TestServerWeb::throttleAddressKeys()
{
    QFETCH(QString, address);
    QFETCH(QString, key);
    QCOMPARE(ZmsgdLoginThrottle::addressKey(QHostAddress(address)), key);
}

void TestServerWeb::throttleRefusalsGrowAndFade()
{
    ZmsgdLoginThrottle::Limits limits;
    limits.freePerAccount = 2;
    limits.freePerAddress = 100;
    limits.firstRefusalMs = 1000;
    limits.longestRefusalMs = 4000;
    limits.forgetAfterMs = 10000;
    ZmsgdLoginThrottle throttle(limits);
    const QString a = QStringLiteral("anna");
    const QString x = QStringLiteral("192.0.2.1");
    QVERIFY(throttle.begin(a, x, 0));
    QVERIFY(throttle.begin(a, x, 0));
    QCOMPARE(throttle.refusedFor(a, x, 500), qint64(500));
    QVERIFY(!throttle.begin(a, x, 500));
    // Each failure after a refusal doubles the next one, up to the longest.
    QVERIFY(throttle.begin(a, x, 1000));
    QCOMPARE(throttle.refusedFor(a, x, 1000), qint64(2000));
    QVERIFY(throttle.begin(a, x, 3000));
    QCOMPARE(throttle.refusedFor(a, x, 3000), qint64(4000));
    QVERIFY(throttle.begin(a, x, 7000));
    QCOMPARE(throttle.refusedFor(a, x, 7000), qint64(4000));
    // Other addresses and other accounts are not concerned.
    QCOMPARE(throttle.refusedFor(a, QStringLiteral("192.0.2.2"), 7000), qint64(0));
    QCOMPARE(throttle.refusedFor(QStringLiteral("ben"), x, 7000), qint64(0));
    // A success forgives the address its mistakes on that account.
    QVERIFY(throttle.begin(a, x, 11000));
    throttle.succeeded(a, x);
    QCOMPARE(throttle.refusedFor(a, x, 11000), qint64(0));
    // Failures long past are forgotten.
    QVERIFY(throttle.begin(QStringLiteral("ben"), x, 11000));
    QVERIFY(throttle.begin(QStringLiteral("ben"), x, 30000));
    QCOMPARE(throttle.refusedFor(QStringLiteral("ben"), x, 30000), qint64(0));
}

void TestServerWeb::profilePayload()
{
    const QList<ZmsgdClientInfo> clients = {
        {QStringLiteral("Debian"), QStringLiteral("1.1.1-1"), QStringLiteral("10.0.0.1")},
        {QStringLiteral("x&splt;evil&nxve;signature&splt;Gold"), QStringLiteral("2"), QStringLiteral("::1")}};
    QCOMPARE(ZmsgdFormat::profilePayload(12, QStringLiteral("Silver"), clients, true),
             QStringLiteral("contacts&splt;12&nxve;signature&splt;Silver&nxve;accas&splt;"
                            "system&sxlt;Debian&aclt;version&sxlt;1.1.1-1&aclt;ip&sxlt;10.0.0.1&acln;"
                            "system&sxlt;xevilsignatureGold&aclt;version&sxlt;2&aclt;ip&sxlt;::1"));
    QCOMPARE(ZmsgdFormat::profilePayload(0, QStringLiteral("Regular"), {}, false),
             QStringLiteral("contacts&splt;0&nxve;signature&splt;Regular&nxve;accas&splt;"));
    // Removing one separator must not join the pieces of another into a new one.
    QCOMPARE(ZmsgdFormat::payloadValue(QStringLiteral("&spl&nxve;t;")), QString());
    QCOMPARE(ZmsgdFormat::contactStateEntry(QStringLiteral("u"), QStringLiteral("N"), QString(), 3),
             QStringLiteral("u|N||3"));
}

void TestServerWeb::legacyParser()
{
    ZmsgdProtocol10::Parser parser;
    QVERIFY(parser.feed(QStringLiteral("SEND /login ZM/1.0")).isEmpty());
    QVERIFY(parser.feed(QStringLiteral("Username: alice")).isEmpty());
    const QList<ZmsgdProtocol10::Command> login = parser.feed(QStringLiteral("Password: a: b"));
    QCOMPARE(login.size(), 1);
    QCOMPARE(login.first().name, QStringLiteral("login"));
    QCOMPARE(login.first().headers.value(QStringLiteral("Password")), QStringLiteral("a: b"));
    const QList<ZmsgdProtocol10::Command> plain = parser.feed(QStringLiteral("SEND /getusercontacts ZM/1.0"));
    QCOMPARE(plain.size(), 1);
    // A command whose headers never came is finished by the next command line.
    QVERIFY(parser.feed(QStringLiteral("SEND /message ZM/1.0")).isEmpty());
    const QList<ZmsgdProtocol10::Command> both = parser.feed(QStringLiteral("SEND /getusernick ZM/1.0"));
    QCOMPARE(both.size(), 2);
    QCOMPARE(both.at(0).name, QStringLiteral("message"));
    QVERIFY(both.at(0).headers.isEmpty());
    // The client's answer to a ping is no command and no error; other stray lines are errors.
    bool stray = true;
    QVERIFY(parser.feed(QStringLiteral("ZM/1.0 200 OK"), &stray).isEmpty());
    QVERIFY(!stray);
    QVERIFY(parser.feed(QStringLiteral("Ping: Pong"), &stray).isEmpty());
    QVERIFY(!stray);
    QVERIFY(parser.feed(QStringLiteral("hello there"), &stray).isEmpty());
    QVERIFY(stray);
    QVERIFY(!parser.isPending());
    QCOMPARE(ZmsgdProtocol10::statusLine(404), QByteArray("ZM/1.0 404 Not Found\n"));
    QCOMPARE(ZmsgdProtocol10::statusLine(200), QByteArray("ZM/1.0 200 OK\n"));
    QCOMPARE(ZmsgdProtocol10::messagePush(QStringLiteral("bob"), QStringLiteral("line\nbreak")), QByteArray());
}

void TestServerWeb::schemaMigration()
{
    // A database of the first schema version, with an account in it.
    const QString path = m_dir.filePath(QStringLiteral("old.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(
            query.exec(QStringLiteral("CREATE TABLE accounts (name TEXT PRIMARY KEY NOT NULL, salt BLOB NOT NULL,"
                                      " hash BLOB NOT NULL, iterations INTEGER NOT NULL, nick TEXT NOT NULL DEFAULT '',"
                                      " status TEXT NOT NULL DEFAULT '', mail TEXT NOT NULL DEFAULT '',"
                                      " mail_visible INTEGER NOT NULL DEFAULT 0, state INTEGER NOT NULL DEFAULT 1,"
                                      " signature TEXT NOT NULL DEFAULT 'Regular', avatar_id TEXT, avatar_png BLOB,"
                                      " created INTEGER NOT NULL)")));
        for (const char *statement :
             {"CREATE UNIQUE INDEX accounts_avatar ON accounts(avatar_id)",
              "CREATE TABLE contacts (owner TEXT NOT NULL, contact TEXT NOT NULL, PRIMARY KEY (owner, contact))",
              "CREATE INDEX contacts_contact ON contacts(contact)",
              "CREATE TABLE requests (requester TEXT NOT NULL, target TEXT NOT NULL, created INTEGER NOT NULL,"
              " PRIMARY KEY (requester, target))",
              "CREATE INDEX requests_target ON requests(target)",
              "CREATE TABLE messages (id INTEGER PRIMARY KEY AUTOINCREMENT, sender TEXT NOT NULL,"
              " recipient TEXT NOT NULL, body TEXT NOT NULL, created INTEGER NOT NULL)",
              "CREATE INDEX messages_recipient ON messages(recipient, id)",
              "CREATE TABLE meta (key TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL)", "PRAGMA user_version = 1"})
            QVERIFY2(query.exec(QString::fromLatin1(statement)), statement);
        const QByteArray salt("0123456789abcdef");
        query.prepare(QStringLiteral("INSERT INTO accounts (name, salt, hash, iterations, nick, created)"
                                     " VALUES ('olduser', ?, ?, 1000, 'Old', 0)"));
        query.addBindValue(salt);
        query.addBindValue(ZmsgdPassword::pbkdf2(QStringLiteral("oldpass"), salt, 1000));
        QVERIFY(query.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));

    ZmsgdStore store;
    QString error;
    QVERIFY2(store.open(path, &error), qPrintable(error));
    QVERIFY(store.verifyPassword(QStringLiteral("olduser"), QStringLiteral("oldpass")));
    QVERIFY(!store.verifyPassword(QStringLiteral("olduser"), QStringLiteral("oldpas")));
    QVERIFY(store.setRealName(QStringLiteral("olduser"), QStringLiteral("Old User")));
    QCOMPARE(store.account(QStringLiteral("olduser"))->realName, QStringLiteral("Old User"));
    QVERIFY(store.useCaptchaCode(QStringLiteral("x"), 100, 0));
    QVERIFY(!store.useCaptchaCode(QStringLiteral("x"), 101, 0));
}

void TestServerWeb::newerSchemaIsRefused()
{
    const QString path = m_dir.filePath(QStringLiteral("future.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("future"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("PRAGMA user_version = %1").arg(ZmsgdStore::schemaVersion() + 1)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("future"));
    ZmsgdStore store;
    QString error;
    QVERIFY(!store.open(path, &error));
    QVERIFY2(error.contains(QLatin1String("newer")), qPrintable(error));
    QVERIFY(!store.isOpen());
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestServerWeb)
#include "tst_serverweb.moc"
