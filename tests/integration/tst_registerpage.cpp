#include "closedport.h"
#include "hermetic.h"
#include "labellink.h"
#include "registrationform.h"
#include "testpictures.h"

#include "HttpFetch.h"
#include "Platform.h"
#include "Registration.h"
#include "UiMessage.h"
#include "frmLogin.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

struct Message {
    QMessageBox::Icon icon;
    QString text;
};

QByteArray httpAnswer(int status, const QByteArray &type, const QByteArray &body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: " + type
        + "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

// The registration site as a test plays it: captcha pictures, held back while holdCaptchas is
// set, and every posted form answered with postAnswer (the connection closed when it is empty).
class PlayedSite : public QTcpServer
{
public:
    QByteArray picture = plainPng(60, 20, Qt::darkCyan);
    QByteArray postAnswer;
    bool holdCaptchas = false;
    int captchaRequests = 0;
    int heldCaptchas() const { return m_held.size(); }
    void releaseCaptchas()
    {
        for (QTcpSocket *socket : qAsConst(m_held))
            sendPicture(socket);
        m_held.clear();
    }

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        auto request = std::make_shared<QByteArray>();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            *request += socket->readAll();
            const int headerEnd = request->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            if (request->startsWith("GET /captcha-gui.php")) {
                ++captchaRequests;
                if (holdCaptchas)
                    m_held << socket;
                else
                    sendPicture(socket);
                return;
            }
            const QRegularExpressionMatch length =
                QRegularExpression(QStringLiteral("Content-Length: (\\d+)"), QRegularExpression::CaseInsensitiveOption)
                    .match(QString::fromLatin1(request->left(headerEnd)));
            if (!length.hasMatch() || request->size() - headerEnd - 4 < length.captured(1).toInt())
                return;
            socket->write(postAnswer);
            socket->disconnectFromHost();
        });
    }

private:
    void sendPicture(QTcpSocket *socket)
    {
        socket->write(httpAnswer(200, "image/png", picture));
        socket->disconnectFromHost();
    }

    QList<QTcpSocket *> m_held;
};

} // namespace

class TestRegisterPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();

    void judgeAnswer_data();
    void judgeAnswer();
    void focusStaysWhileTheCaptchaLoads_data();
    void focusStaysWhileTheCaptchaLoads();
    void siteAnswers_data();
    void siteAnswers();

private:
    std::unique_ptr<frmLogin> openRegisterPage();
    template <typename T> static T *child(QObject *window, const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning() << "no child" << name;
        return found;
    }
    static int currentPage(frmLogin *window) { return child<QStackedWidget>(window, "swTabs")->currentIndex(); }

    QList<Message> messages;
};

void TestRegisterPage::initTestCase()
{
    UiMessage::setHook([this](QMessageBox::Icon icon, const QString &, const QString &text) {
        messages.append({icon, text});
        return QMessageBox::Ok;
    });
    Platform::setQuitHook([] {});
    Platform::setRestartHook([] { return true; });
    // No messaging server: the page needs none.
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", QByteArray::number(closedPort()));
}

void TestRegisterPage::init()
{
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    settings.clear();
    settings.setValue(QStringLiteral("Interface/designedMode"), false);
    settings.sync();
    messages.clear();
}

// The link on the login page opens the window's own page: there is no browser to take it.
std::unique_ptr<frmLogin> TestRegisterPage::openRegisterPage()
{
    auto window = std::make_unique<frmLogin>();
    window->show();
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning() << "window not active";
    clickLabelLink(child<QLabel>(window.get(), "labRegister"), QStringLiteral("zmp://register"));
    return window;
}

void TestRegisterPage::judgeAnswer_data()
{
    QTest::addColumn<bool>("finished");
    QTest::addColumn<bool>("tooLarge");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("message");
    const QByteArray created = "<html><body><h1>Account created</h1><p>The account <b>x</b> ...</p></body></html>";
    const QByteArray refused = "<h1>Register</h1><p style=\"color: #a00000;\">The user name is taken already.</p>";
    const auto Created = int(Registration::Outcome::Created);
    const auto Refused = int(Registration::Outcome::Refused);
    const auto Unconfirmed = int(Registration::Outcome::Unconfirmed);
    const auto Unreachable = int(Registration::Outcome::Unreachable);
    QTest::newRow("confirmation") << true << false << 200 << created << Created << QString();
    QTest::newRow("confirmation with 201") << true << false << 201 << created << Created << QString();
    QTest::newRow("200 with any page") << true << false << 200 << QByteArray("<h1>Welcome</h1>") << Unconfirmed
                                       << QString();
    QTest::newRow("200 with nothing") << true << false << 200 << QByteArray() << Unconfirmed << QString();
    QTest::newRow("confirmation cut off by the timeout")
        << false << false << 200 << created << Unconfirmed << QString();
    QTest::newRow("confirmation with 500") << true << false << 500 << created << Unconfirmed << QString();
    QTest::newRow("too large") << true << true << 200 << QByteArray() << Unconfirmed << QString();
    QTest::newRow("refusal") << true << false << 409 << refused << Refused << "The user name is taken already.";
    QTest::newRow("refusal with 200") << true << false << 200 << refused + created << Refused
                                      << "The user name is taken already.";
    QTest::newRow("no answer in time") << false << false << 0 << QByteArray() << Unreachable << QString();
    QTest::newRow("connection refused") << true << false << 0 << QByteArray() << Unreachable << QString();
}

void TestRegisterPage::judgeAnswer()
{
    QFETCH(bool, finished);
    QFETCH(bool, tooLarge);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(int, outcome);
    QFETCH(QString, message);
    HttpFetch::Result fetched;
    fetched.finished = finished;
    fetched.tooLarge = tooLarge;
    fetched.status = status;
    fetched.body = body;
    const Registration::Answer answer = Registration::judgeAnswer(fetched);
    QCOMPARE(int(answer.outcome), outcome);
    QCOMPARE(answer.message, message);
}

void TestRegisterPage::focusStaysWhileTheCaptchaLoads_data()
{
    QTest::addColumn<bool>("generateNew");
    QTest::addColumn<QString>("turnTo");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("focused");
    QTest::newRow("page opens, user name typed") << false << QString() << "newbie"
                                                 << "txtRegisterUserName";
    QTest::newRow("generate new, e-mail typed") << true << "txtRegisterUserMail"
                                                << "n@example.org"
                                                << "txtRegisterUserMail";
    QTest::newRow("generate new, nothing typed") << true << QString() << QString() << "txtRegisterCaptcha";
}

void TestRegisterPage::focusStaysWhileTheCaptchaLoads()
{
    QFETCH(bool, generateNew);
    QFETCH(QString, turnTo);
    QFETCH(QString, typed);
    QFETCH(QString, focused);
    PlayedSite site;
    QVERIFY(site.listen(QHostAddress::LocalHost, 0));
    qputenv("ZM_WEB_HOST", "127.0.0.1:" + QByteArray::number(site.serverPort()));

    // What the user does while the picture is on its way.
    QString typedInto;
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [&, poll] {
        if (site.heldCaptchas() == 0)
            return;
        poll->stop();
        if (!turnTo.isEmpty())
            QTest::mouseClick(QApplication::activeWindow()->findChild<QLineEdit *>(turnTo), Qt::LeftButton);
        if (QWidget *target = QApplication::focusWidget()) {
            typedInto = target->objectName();
            QTest::keyClicks(target, typed);
        }
        site.releaseCaptchas();
    });

    std::unique_ptr<frmLogin> window;
    if (generateNew) {
        window = openRegisterPage();
        site.holdCaptchas = true;
        poll->start(10);
        QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegisterCaptchaGenerateNew"), Qt::LeftButton);
    } else {
        site.holdCaptchas = true;
        poll->start(10);
        window = openRegisterPage();
    }
    delete poll;
    qunsetenv("ZM_WEB_HOST");

    QCOMPARE(currentPage(window.get()), 2);
    QCOMPARE(child<QLabel>(window.get(), "labRegisterCaptcha")->text(), Registration::captchaHtml(site.picture));
    QCOMPARE(typedInto, focused);
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
    QCOMPARE(child<QLineEdit>(window.get(), qPrintable(focused))->text(), typed);
}

void TestRegisterPage::siteAnswers_data()
{
    QTest::addColumn<bool>("siteListens");
    QTest::addColumn<QByteArray>("postAnswer");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("captchaRequests");
    const int Warning = QMessageBox::Warning;
    const QString unreachable = QStringLiteral("The registration site 127.0.0.1:%1 cannot be reached.");
    const QString unconfirmed =
        QStringLiteral("The registration site 127.0.0.1:%1 did not confirm the account (HTTP %2).");
    QTest::newRow("confirmation page") << true
                                       << httpAnswer(200, "text/html",
                                                     "<html><body><h1>Account created</h1></body></html>")
                                       << int(QMessageBox::Information)
                                       << "The account newbie has been created. You can log in now." << 0 << 1;
    QTest::newRow("the form again with 200")
        << true << httpAnswer(200, "text/html", "<h1>Register a new account</h1><form method=\"post\"></form>")
        << Warning << unconfirmed.arg(QStringLiteral("%1"), QStringLiteral("200")) << 2 << 2;
    QTest::newRow("refusal in the site's words")
        << true << httpAnswer(409, "text/html", "<p style=\"color: #a00000;\">The user name is taken already.</p>")
        << Warning << "The user name is taken already." << 2 << 2;
    QTest::newRow("server error without words")
        << true << httpAnswer(500, "text/plain", "internal error\n") << Warning
        << unconfirmed.arg(QStringLiteral("%1"), QStringLiteral("500")) << 2 << 2;
    QTest::newRow("connection closed without an answer") << true << QByteArray() << Warning << unreachable << 2 << 1;
    QTest::newRow("nothing listens") << false << QByteArray() << Warning << unreachable << 2 << 0;
}

void TestRegisterPage::siteAnswers()
{
    QFETCH(bool, siteListens);
    QFETCH(QByteArray, postAnswer);
    QFETCH(int, icon);
    QFETCH(QString, text);
    QFETCH(int, page);
    QFETCH(int, captchaRequests);
    PlayedSite site;
    site.postAnswer = postAnswer;
    QVERIFY(site.listen(QHostAddress::LocalHost, 0));
    const quint16 port = siteListens ? site.serverPort() : closedPort();
    if (!siteListens)
        site.close();
    qputenv("ZM_WEB_HOST", "127.0.0.1:" + QByteArray::number(port));
    auto window = openRegisterPage();
    QCOMPARE(currentPage(window.get()), 2);
    typeRegistrationForm(window.get(), QStringLiteral("newbie"));
    const QString firstCode = window->registrationCaptchaCode();
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegister"), Qt::LeftButton);
    qunsetenv("ZM_WEB_HOST");

    QCOMPARE(messages.size(), 1);
    QCOMPARE(int(messages.first().icon), icon);
    if (text.contains(QLatin1String("%1")))
        QVERIFY2(messages.first().text.startsWith(text.arg(port)), qPrintable(messages.first().text));
    else
        QCOMPARE(messages.first().text, text);
    QVERIFY(!messages.first().text.contains(QLatin1String("Can't connect")));
    QCOMPARE(currentPage(window.get()), page);
    QCOMPARE(site.captchaRequests, captchaRequests);
    auto *answerField = child<QLineEdit>(window.get(), "txtRegisterCaptcha");
    if (captchaRequests == 2) {
        // The site spent the captcha: the next one is there, the answer field empty and ready.
        QVERIFY(window->registrationCaptchaCode() != firstCode);
        QCOMPARE(child<QLabel>(window.get(), "labRegisterCaptcha")->text(), Registration::captchaHtml(site.picture));
        QVERIFY(answerField->text().isEmpty());
        QVERIFY(answerField->hasFocus());
    } else if (page == 2) {
        // The site never saw the form: the user can send it again as it is.
        QCOMPARE(window->registrationCaptchaCode(), firstCode);
        QCOMPARE(answerField->text(), QStringLiteral("abc"));
    }
}

ZM_HERMETIC_TEST_MAIN(TestRegisterPage)
#include "tst_registerpage.moc"
