#include "hermetic.h"
#include "tlstestserver.h"

#include <zmsgfw111q.h>
#include <zmsgfwwire.h>

#include <QBuffer>
#include <QNetworkReply>
#include <QPainter>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

namespace {

// A plain HTTP server on the test's own thread: downloads complete through the event loop.
class HttpTestServer : public QTcpServer
{
public:
    explicit HttpTestServer(const QByteArray &body)
        : m_body(body)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
        });
        listen(QHostAddress::LocalHost, 0);
        qputenv("ZMSGFW_HOST", "127.0.0.1");
        qputenv("ZMSGFW_AVATAR_HTTP_PORT", QByteArray::number(serverPort()));
    }
    QByteArray request() const { return m_request; }

private:
    void answer(QTcpSocket *socket)
    {
        m_request += socket->readAll();
        if (!m_request.contains("\r\n\r\n"))
            return;
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(m_body.size())
                      + "\r\nConnection: close\r\n\r\n" + m_body);
        socket->disconnectFromHost();
    }

    QByteArray m_body;
    QByteArray m_request;
};

// Four bands of colour along the longer side, so a cut shows which part was kept.
QImage bandedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const QList<QColor> colours{Qt::red, Qt::green, Qt::blue, Qt::yellow};
    const bool wide = width >= height;
    const int length = wide ? width : height;
    for (int band = 0; band < 4; ++band) {
        const int from = length * band / 4;
        const int to = length * (band + 1) / 4;
        painter.fillRect(wide ? QRect(from, 0, to - from, height) : QRect(0, from, width, to - from), colours.at(band));
    }
    return image;
}

const QByteArray PngEnd("IEND\xae\x42\x60\x82", 8);
const QByteArray Credentials = "ZM/1.1 avatarupload\n--username=anna --password=pw";

// Scripted upload peer: answers the credentials, then the status lines once the picture is in.
struct UploadScript {
    QByteArray credentialsAnswer = "allow\n";
    QByteArray statusAnswer;
    bool closeAfterStatus = false;
};

} // namespace

class TestAvatar : public QObject
{
    Q_OBJECT
private slots:
    void uploadImage_data();
    void uploadImage();
    void avatarUrl_data();
    void avatarUrl();
    void downloadOverHttp_data();
    void downloadOverHttp();
    void downloadOverHttps_data();
    void downloadOverHttps();
    void upload_data();
    void upload();
    void uploadRefusesBadInput_data();
    void uploadRefusesBadInput();
    void statusLines_data();
    void statusLines();
};

void TestAvatar::uploadImage_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("topLeft");
    QTest::addColumn<QColor>("farCorner");
    // Wide: scaled to height 128, left 128 columns of the (wider) result kept, so the right
    // bands vanish; tall: the top rows kept; square: the whole picture, scaled.
    QTest::newRow("300 x 200") << QSize(300, 200) << QColor(Qt::red) << QColor(Qt::blue);
    QTest::newRow("200 x 300") << QSize(200, 300) << QColor(Qt::red) << QColor(Qt::blue);
    QTest::newRow("512 x 128") << QSize(512, 128) << QColor(Qt::red) << QColor(Qt::red);
    QTest::newRow("64 x 64") << QSize(64, 64) << QColor(Qt::red) << QColor(Qt::yellow);
    QTest::newRow("128 x 128") << QSize(128, 128) << QColor(Qt::red) << QColor(Qt::yellow);
    QTest::newRow("2 x 8") << QSize(2, 8) << QColor(Qt::red) << QColor(Qt::red);
}

void TestAvatar::uploadImage()
{
    QFETCH(QSize, size);
    QFETCH(QColor, topLeft);
    QFETCH(QColor, farCorner);
    const QImage cut = ZMsgFw111Q::uploadImage(bandedImage(size.width(), size.height()));
    QCOMPARE(cut.size(), QSize(128, 128));
    QCOMPARE(cut.pixelColor(0, 0), topLeft);
    QCOMPARE(cut.pixelColor(127, 127), farCorner);
}

void TestAvatar::avatarUrl_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("user");
    QTest::addColumn<bool>("secure");
    QTest::addColumn<QString>("url");
    QTest::newRow("plain") << "/avatar/"
                           << "anna" << false << "http://127.0.0.1:9508/avatar/anna";
    QTest::newRow("secure") << "/avatar/"
                            << "anna" << true << "https://127.0.0.1:9507/avatar/anna";
    QTest::newRow("hash") << "/avatarmd5/"
                          << "john.doe" << false << "http://127.0.0.1:9508/avatarmd5/john.doe";
    QTest::newRow("hash secure") << "/avatarmd5/"
                                 << "john.doe" << true << "https://127.0.0.1:9507/avatarmd5/john.doe";
    QTest::newRow("space and umlaut") << "/avatar/"
                                      << "Jürgen x" << false << "http://127.0.0.1:9508/avatar/J%C3%BCrgen%20x";
    QTest::newRow("slash, query, fragment") << "/avatar/"
                                            << "a/b?c#d" << false << "http://127.0.0.1:9508/avatar/a%2Fb%3Fc%23d";
    QTest::newRow("climbing") << "/avatar/"
                              << "../../etc" << false << "http://127.0.0.1:9508/avatar/..%2F..%2Fetc";
    QTest::newRow("percent") << "/avatar/"
                             << "a%2Fb" << false << "http://127.0.0.1:9508/avatar/a%252Fb";
    QTest::newRow("segment characters kept")
        << "/avatar/"
        << "a@b:c+d=e;f,g!h$i&j'k(l)m*n" << false << "http://127.0.0.1:9508/avatar/a@b:c+d=e;f,g!h$i&j'k(l)m*n";
    QTest::newRow("dot dot") << "/avatar/"
                             << ".." << false << "";
    QTest::newRow("dot") << "/avatar/"
                         << "." << false << "";
}

void TestAvatar::avatarUrl()
{
    QFETCH(QString, path);
    QFETCH(QString, user);
    QFETCH(bool, secure);
    QFETCH(QString, url);
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qunsetenv("ZMSGFW_AVATAR_PORT");
    qunsetenv("ZMSGFW_AVATAR_HTTP_PORT");
    if (url.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no avatar address")));
    QCOMPARE(QString::fromLatin1(ZMsgFw111Q::avatarUrl(path, user, secure).toEncoded()), url);
}

void TestAvatar::downloadOverHttp_data()
{
    QTest::addColumn<bool>("hash");
    QTest::addColumn<bool>("clientGoneFirst");
    QTest::addColumn<QByteArray>("requestLine");
    QTest::newRow("picture") << false << false << QByteArray("GET /avatar/anna HTTP/1.1\r\n");
    QTest::newRow("digest") << true << false << QByteArray("GET /avatarmd5/anna HTTP/1.1\r\n");
    QTest::newRow("reply outlives the client") << false << true << QByteArray("GET /avatar/anna HTTP/1.1\r\n");
}

void TestAvatar::downloadOverHttp()
{
    QFETCH(bool, hash);
    QFETCH(bool, clientGoneFirst);
    QFETCH(QByteArray, requestLine);
    HttpTestServer server("picture-bytes");
    QVERIFY(server.isListening());
    auto client = std::make_unique<ZMsgFw111Q>();
    std::unique_ptr<QNetworkReply> reply(hash ? client->downloadAvatarHash(QStringLiteral("anna"), false)
                                              : client->downloadAvatar(QStringLiteral("anna"), false));
    if (clientGoneFirst)
        client.reset();
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), QByteArray("picture-bytes"));
    QVERIFY(server.request().startsWith(requestLine));
    QVERIFY(server.request().contains("\r\nUser-Agent: Zelto Messenger Framework 1.1.1-1\r\n"));
    // No compressed body: Qt would inflate it before the caller could bound it.
    QVERIFY(server.request().contains("\r\nAccept-Encoding: identity\r\n"));
}

void TestAvatar::downloadOverHttps_data()
{
    QTest::addColumn<bool>("pinned");
    QTest::newRow("pinned certificate") << true;
    QTest::newRow("unrelated certificate") << false;
}

void TestAvatar::downloadOverHttps()
{
    QFETCH(bool, pinned);
    TlsTestServer server(pinned ? TlsTestServer::Certificate::Pinned : TlsTestServer::Certificate::Foreign);
    server.setLineHandler([](const QByteArray &line) {
        return line == "\r\n" ? QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nPNG") : QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    server.exportAvatarEndpoint();
    ZMsgFw111Q client;
    std::unique_ptr<QNetworkReply> reply(client.downloadAvatar(QStringLiteral("anna"), true));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    QVERIFY(finished.wait(5000));
    if (!pinned) {
        QCOMPARE(reply->error(), QNetworkReply::SslHandshakeFailedError);
        return;
    }
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), QByteArray("PNG"));
    QVERIFY(server.receivedLines().contains("GET /avatar/anna HTTP/1.1\r\n"));
    QVERIFY(server.receivedLines().contains("User-Agent: Zelto Messenger Framework 1.1.1-1\r\n"));
    QVERIFY(server.receivedLines().contains("Accept-Encoding: identity\r\n"));
}

void TestAvatar::upload_data()
{
    QTest::addColumn<QByteArray>("credentialsAnswer");
    QTest::addColumn<QByteArray>("statusAnswer");
    QTest::addColumn<bool>("closeAfterStatus");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("pictureSent");
    QTest::newRow("confirmed") << QByteArray("allow\n") << QByteArray("upload psuccess\n") << false << true << true;
    QTest::newRow("allow inside a line") << QByteArray("ZM/1.1 allowed\n") << QByteArray("psuccess\n") << false << true
                                         << true;
    QTest::newRow("both words") << QByteArray("allow\n") << QByteArray("psuccess error\n") << false << true << true;
    QTest::newRow("error") << QByteArray("allow\n") << QByteArray("upload error\n") << false << false << true;
    QTest::newRow("other lines first") << QByteArray("allow\n") << QByteArray("working\nstill working\n") << false
                                       << false << true; // then closed below: see closeAfterStatus
    QTest::newRow("confirmation buffered behind a line")
        << QByteArray("allow\n") << QByteArray("stored\npsuccess\n") << false << true << true;
    QTest::newRow("confirmation with the permission")
        << QByteArray("allow\npsuccess\n") << QByteArray() << false << true << true;
    QTest::newRow("closed without status") << QByteArray("allow\n") << QByteArray() << true << false << true;
    QTest::newRow("confirmation then closed")
        << QByteArray("allow\n") << QByteArray("psuccess") << true << true << true;
    QTest::newRow("refused") << QByteArray("deny\n") << QByteArray() << false << false << false;
    const QByteArray endless(ZMsgFwWire::MaxLineLength + 1024, 'x');
    QTest::newRow("endless permission line") << endless << QByteArray() << false << false << false;
    QTest::newRow("endless status line") << QByteArray("allow\n") << endless << false << false << true;
}

void TestAvatar::upload()
{
    QFETCH(QByteArray, credentialsAnswer);
    QFETCH(QByteArray, statusAnswer);
    QFETCH(bool, closeAfterStatus);
    QFETCH(bool, result);
    QFETCH(bool, pictureSent);
    QByteArray received; // written on the server's thread, so it must outlive the server
    TlsTestServer server;
    const bool endsSilently = QByteArray(QTest::currentDataTag()) == "other lines first";
    server.setRawHandler([&](const QByteArray &bytes) {
        received = bytes;
        if (bytes == Credentials)
            return credentialsAnswer;
        if (!bytes.endsWith(PngEnd))
            return QByteArray();
        if (closeAfterStatus || endsSilently) {
            server.sendToClient(statusAnswer);
            server.closeClient();
            return QByteArray();
        }
        return statusAnswer;
    });
    QVERIFY(server.listenOnLoopback());
    server.exportAvatarEndpoint();
    ZMsgFw111Q client;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(client.uploadAvatar(QStringLiteral("anna"), QStringLiteral("pw"), bandedImage(300, 200)), result);
    QVERIFY(timer.elapsed() < 5000);
    QVERIFY(server.waitForOpenConnections(0));
    QVERIFY(received.startsWith(Credentials));
    QCOMPARE(received.size() > Credentials.size(), pictureSent);
    if (pictureSent) {
        const QImage uploaded = QImage::fromData(received.mid(Credentials.size()), "PNG");
        QCOMPARE(uploaded.size(), QSize(128, 128));
        QCOMPARE(uploaded.pixelColor(0, 0), QColor(Qt::red));
        QCOMPARE(uploaded.pixelColor(127, 0), QColor(Qt::blue));
    }
}

void TestAvatar::uploadRefusesBadInput_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("nullImage");
    QTest::addColumn<QString>("warning");
    QTest::newRow("line feed in the name") << "anna\nallow"
                                           << "pw" << false << "line break";
    QTest::newRow("carriage return in the password") << "anna"
                                                     << "pw\r" << false << "line break";
    QTest::newRow("no picture") << "anna"
                                << "pw" << true << "no picture";
}

void TestAvatar::uploadRefusesBadInput()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, nullImage);
    QFETCH(QString, warning);
    TlsTestServer server;
    server.setRawHandler([](const QByteArray &) { return QByteArray("allow\npsuccess\n"); });
    QVERIFY(server.listenOnLoopback());
    server.exportAvatarEndpoint();
    ZMsgFw111Q client;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    QVERIFY(!client.uploadAvatar(user, password, nullImage ? QImage() : bandedImage(10, 10)));
    QCOMPARE(server.connectionCount(), 0);
}

void TestAvatar::statusLines_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("status");
    QTest::newRow("psuccess") << QByteArray("psuccess\n") << int(ZMsgFw111Q::UploadStatus::Succeeded);
    QTest::newRow("inside a word") << QByteArray("xpsuccessx") << int(ZMsgFw111Q::UploadStatus::Succeeded);
    QTest::newRow("both") << QByteArray("error psuccess") << int(ZMsgFw111Q::UploadStatus::Succeeded);
    QTest::newRow("error") << QByteArray("  an error\r\n") << int(ZMsgFw111Q::UploadStatus::Failed);
    QTest::newRow("case matters") << QByteArray("PSUCCESS ERROR") << int(ZMsgFw111Q::UploadStatus::Undecided);
    QTest::newRow("other") << QByteArray("working") << int(ZMsgFw111Q::UploadStatus::Undecided);
}

void TestAvatar::statusLines()
{
    QFETCH(QByteArray, line);
    QFETCH(int, status);
    QCOMPARE(int(ZMsgFw111Q::uploadStatus(line)), status);
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestAvatar)
#include "tst_avatar.moc"
