#include "closedport.h"
#include "hermetic.h"
#include "hostilehttpserver.h"
#include "httptestserver.h"
#include "labellink.h"
#include "loopbackzmsgd.h"
#include "mainwindowview.h"
#include "registrationform.h"
#include "testpictures.h"
#include "tlstestserver.h"
#include "windowwatch.h"

#include "AccountChecks.h"
#include "DataDirectory.h"
#include "LanguageList.h"
#include "LoginStore.h"
#include "NotificationWidget.h"
#include "Platform.h"
#include "Registration.h"
#include "Startup.h"
#include "UiAlert.h"
#include "UiMessage.h"
#include "UiTray.h"
#include "UpdateThread.h"
#include "frmChat.h"
#include "frmLogin.h"
#include "frmUpdate.h"
#include "testpictures.h"

#include <zmsgdcaptcha.h>
#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdstore.h>
#include <zmsgdweb.h>
#include <zmsgfw111q.h>

#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QCryptographicHash>
#include <QCursor>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include <functional>
#include <memory>

#include <sys/stat.h>

namespace {

using MainWindowView::menuEntry;

// The window's session gives up on a request the test server leaves unanswered after this long
// instead of the library's 5000 ms; answered ones come within milliseconds.
constexpr int UnansweredMs = 1500;

struct Message {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

QSettings settings()
{
    return QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
}

void pointAtPort(quint16 port)
{
    qputenv("ZMSGFW_HOST", "127.0.0.1");
    qputenv("ZMSGFW_PORT", QByteArray::number(port));
}

// A one-shot HTTP server answering every GET with the given body, recording the request line.
class TinyHttpServer : public QTcpServer
{
public:
    QByteArray body;
    QByteArray requestLine;

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            const QByteArray request = socket->readAll();
            requestLine = request.left(request.indexOf("\r\n"));
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: "
                          + QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }
};

// The registration site: captcha pictures at once, a posted form answered only when the test
// says so, as a slow site would.
class SlowRegistrationSite : public QTcpServer
{
public:
    QByteArray picture = plainPng(60, 20, Qt::darkCyan);
    QByteArray postedBody;
    bool posted() const { return m_held != nullptr; }
    void answerPost()
    {
        if (!m_held)
            return;
        const QByteArray page = "<html><body><h1>Account created</h1></body></html>";
        m_held->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: "
                      + QByteArray::number(page.size()) + "\r\n\r\n" + page);
        m_held->disconnectFromHost();
    }

protected:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QTcpSocket(this);
        socket->setSocketDescriptor(handle);
        auto *request = new QByteArray;
        connect(socket, &QObject::destroyed, [request] { delete request; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
            *request += socket->readAll();
            const int headerEnd = request->indexOf("\r\n\r\n");
            if (headerEnd < 0)
                return;
            if (request->startsWith("GET ")) {
                socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/png\r\nConnection: close\r\nContent-Length: "
                              + QByteArray::number(picture.size()) + "\r\n\r\n" + picture);
                socket->disconnectFromHost();
                return;
            }
            const QRegularExpressionMatch length =
                QRegularExpression(QStringLiteral("Content-Length: (\\d+)"), QRegularExpression::CaseInsensitiveOption)
                    .match(QString::fromLatin1(request->left(headerEnd)));
            const QByteArray body = request->mid(headerEnd + 4);
            if (length.hasMatch() && body.size() >= length.captured(1).toInt()) {
                postedBody = body;
                m_held = socket;
            }
        });
    }

private:
    QTcpSocket *m_held = nullptr;
};

// The open chat window with a contact, if any.
frmChat *chatWith(const QString &user)
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *chat = qobject_cast<frmChat *>(widget);
        if (chat && chat->contactUser() == user)
            return chat;
    }
    return nullptr;
}

QList<NotificationWidget *> shownPopups()
{
    QList<NotificationWidget *> popups;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *popup = qobject_cast<NotificationWidget *>(widget);
        if (popup && popup->isVisible())
            popups << popup;
    }
    return popups;
}

// The permission bits of a path in octal.
QString modeOf(const QString &path)
{
    struct stat info {
    };
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    return QString::number(info.st_mode & 07777, 8);
}

// The update objects as the program start wires them.
struct UpdateObjects {
    UpdateThread thread{QStringLiteral("32qt5"), QStringLiteral("1.0.0-33")};
    frmUpdate dialog{QStringLiteral("32qt5")};
    UpdateObjects() { Startup::connectUpdateObjects(&thread, &dialog); }
    QPushButton *disableButton()
    {
        return dialog.findChild<QPushButton *>(QStringLiteral("cmdDisableUpdateNotification"));
    }
};

} // namespace

// Receives the links handed to the desktop.
class UrlCatcherForTest : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void credentialEncoding_data();
    void credentialEncoding();
    void autostartEntry_data();
    void autostartEntry();
    void captchaCode();
    void soundFileLocation();

    void pages_data();
    void pages();
    void formObjects();
    void stayLoggedInCoupling();
    void storedChoices_data();
    void storedChoices();
    void settingsFileIsOwnerOnly();
    void loginResults_data();
    void loginResults();
    void loginShowsBusyAndRefusesNesting();
    void designedLoginCopiesFields();
    void autologinAgainstServer();
    void autologinWithoutServerGoesOffline();
    void autologinWithWrongPasswordStaysSilent();
    void logoutForgetsAndSecondLoginBuildsMenusOnce();
    void closeWhileLoggedInMinimises();
    void endZMQuits();
    void timersRearm();
    void refreshRequestsOnlyWhileLoggedIn();
    void hoverFollowsCursorWithoutPolling();
    void trayDoubleClick();
    void stateSelectorOffline();
    void welcomeLine_data();
    void welcomeLine();
    void languageMenu();
    void registerLink();
    void captchaLoad();
    void hostileSiteAnswersAreBounded_data();
    void hostileSiteAnswersAreBounded();
    void registrationFormBody();
    void registerOnTheSite();
    void registrationKeepsTheLoginClosedWhilePosting();
    void lineBreakInTheLoginInput_data();
    void lineBreakInTheLoginInput();
    void passwordFieldsOfTheWindowHoldTheServerLimit_data();
    void passwordFieldsOfTheWindowHoldTheServerLimit();
    void dataDirectoryMadePrivateAtStart();
    void incomingMessageSoundLeavesTheWorkingDirectoryAlone();
    void incomingMessageMarksTheMinimisedChat();
    void popupRefreshedByANewMessageShowsItsFullTime();

    void showProfileOfAContact_data();
    void showProfileOfAContact();
    void checkForUpdateFromTheMenu_data();
    void checkForUpdateFromTheMenu();
    void preferencesSwitchTheUpdateCheck_data();
    void preferencesSwitchTheUpdateCheck();
    void changedPasswordServesTheWatchdog_data();
    void changedPasswordServesTheWatchdog();
    void longChangedPasswordLogsIn_data();
    void longChangedPasswordLogsIn();

private:
    // A remembered login starts 50 ms after construction: tests that look at the window before
    // it must not wait for the window to be shown, which may take longer on a slow build.
    enum class Exposure { Wait, DoNotWait };
    std::unique_ptr<frmLogin> newWindow(bool designed = true, Exposure exposure = Exposure::Wait);
    void rememberLogin(const QString &name, const QString &password);
    void loginWithZmsgd(frmLogin *window, const QString &name, const QString &password, bool stay, bool start);
    // Logs in by typing into the classic login page and clicking "Login".
    void typeLogin(frmLogin *window, const QString &name, const QString &password);
    // Bob's own program: a session of his that writes to Alice.
    bool sendAsBob(ZMsgFw111Q &bob, const QString &text);
    template <typename T> static T *child(QObject *window, const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning() << "no child" << name;
        return found;
    }
    int currentPage(frmLogin *window) { return child<QStackedWidget>(window, "swTabs")->currentIndex(); }

    ZmsgdServerThread zmsgd;
    QTemporaryDir dataDir;
    QList<Message> messages;
    int quits = 0;
    int restarts = 0;
};

void TestMainWindow::initTestCase()
{
    UiMessage::setHook([this](QMessageBox::Icon icon, const QString &title, const QString &text) {
        messages.append({icon, title, text});
        return QMessageBox::Ok;
    });
    // The window closes into the tray here; closing without one is tested in tst_desktop.
    UiTray::setHook([] { return true; });
    Platform::setQuitHook([this] { ++quits; });
    Platform::setRestartHook([this] {
        ++restarts;
        return true;
    });
    QVERIFY(dataDir.isValid());
    const ZmsgdConfig config = loopbackZmsgdConfig(dataDir.filePath(QStringLiteral("zmsgd.sqlite")));
    QString error;
    QVERIFY2(zmsgd.start(config, &error), qPrintable(error));
}

void TestMainWindow::init()
{
    QSettings store = settings();
    store.clear();
    store.sync();
    QFile::remove(Platform::autostartFilePath());
    messages.clear();
    quits = 0;
    restarts = 0;
    pointAtPort(zmsgd.messagingPort());
}

void TestMainWindow::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
}

void TestMainWindow::cleanupTestCase()
{
    zmsgd.stop();
}

std::unique_ptr<frmLogin> TestMainWindow::newWindow(bool designed, Exposure exposure)
{
    {
        QSettings store = settings();
        store.setValue(QStringLiteral("Interface/designedMode"), designed);
        store.sync();
    }
    auto window = std::make_unique<frmLogin>();
    window->show();
    if (exposure == Exposure::Wait && !QTest::qWaitForWindowExposed(window.get()))
        qWarning() << "window not exposed";
    return window;
}

void TestMainWindow::rememberLogin(const QString &name, const QString &password)
{
    QSettings store = settings();
    store.setValue(QStringLiteral("Login/Autologin"), true);
    store.setValue(QStringLiteral("Login/Name"), LoginStore::encodeCredential(name));
    store.setValue(QStringLiteral("Login/Password"), LoginStore::encodeCredential(password));
    store.sync();
}

void TestMainWindow::loginWithZmsgd(frmLogin *window, const QString &name, const QString &password, bool stay,
                                    bool start)
{
    child<QLineEdit>(window, "txtName")->setText(name);
    child<QLineEdit>(window, "txtPassword")->setText(password);
    child<QCheckBox>(window, "cbStayLoggedIn")->setChecked(stay);
    child<QCheckBox>(window, "cbStartWithWindows")->setChecked(start);
    QTest::mouseClick(child<QPushButton>(window, "cmdLogin"), Qt::LeftButton);
}

void TestMainWindow::typeLogin(frmLogin *window, const QString &name, const QString &password)
{
    for (const char *field : {"txtName", "txtPassword"}) {
        auto *edit = child<QLineEdit>(window, field);
        QTest::mouseClick(edit, Qt::LeftButton);
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, qstrcmp(field, "txtName") == 0 ? name : password);
    }
    QTest::mouseClick(child<QPushButton>(window, "cmdLogin"), Qt::LeftButton);
}

bool TestMainWindow::sendAsBob(ZMsgFw111Q &bob, const QString &text)
{
    if (!bob.isLoggedIn() && bob.loginUser(QStringLiteral("bob"), QStringLiteral("bob123")) != 200)
        return false;
    return bob.sendMessageToUser(QStringLiteral("alice"), text) == 200;
}

// ---------------------------------------------------------------------------------------

void TestMainWindow::credentialEncoding_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("stored");
    QTest::newRow("abc") << "abc"
                         << "NjE2MjYz";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("umlaut") << QString::fromUtf8("Jürgen")
                            << QString::fromLatin1(QByteArray("4ac3bc7267656e").toBase64());
    QTest::newRow("spaces and symbols") << "p w&d=+/"
                                        << QString::fromLatin1(QByteArray("7020772664").append("3d2b2f").toBase64());
}

void TestMainWindow::credentialEncoding()
{
    QFETCH(QString, value);
    QFETCH(QString, stored);
    QCOMPARE(LoginStore::encodeCredential(value), stored);
    QCOMPARE(LoginStore::decodeCredential(stored), value);
}

void TestMainWindow::autostartEntry_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("exec");
    QTest::newRow("plain") << "/usr/bin/zmessenger"
                           << "Exec=\"/usr/bin/zmessenger\" --minimized";
    QTest::newRow("space") << "/opt/Zelto Messenger/zmessenger"
                           << "Exec=\"/opt/Zelto Messenger/zmessenger\" --minimized";
    // Quoting escapes come first, then the string escape doubles every backslash.
    QTest::newRow("reserved") << "/home/a$b/\"q\"/100%/z"
                              << "Exec=\"/home/a\\\\$b/\\\\\"q\\\\\"/100%%/z\" --minimized";
    QTest::newRow("backslash") << "/opt/a\\b/zm"
                               << "Exec=\"/opt/a\\\\\\\\b/zm\" --minimized";
}

void TestMainWindow::autostartEntry()
{
    QFETCH(QString, path);
    QFETCH(QString, exec);
    const QStringList lines = Platform::autostartEntry(path).split(QLatin1Char('\n'));
    QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
    QVERIFY(lines.contains(QStringLiteral("Type=Application")));
    QVERIFY(lines.contains(exec));
}

void TestMainWindow::captchaCode()
{
    const QDateTime time(QDate(2026, 12, 7), QTime(13, 5, 9));
    const QString code = Registration::captchaCode(time);
    QCOMPARE(code.size(), 19);
    QVERIFY(QRegularExpression(QStringLiteral("^([0-9a-f]\\+){9}[0-9a-f]$")).match(code).hasMatch());
    const QString hex = QString::fromLatin1(
        QCryptographicHash::hash(time.toString().toUtf8(), QCryptographicHash::Sha1).toHex().left(10));
    QCOMPARE(QString(code).remove(QLatin1Char('+')), hex);
    // Within the same second the code is the same.
    QCOMPARE(Registration::captchaCode(time.addMSecs(400)), code);
    QVERIFY(Registration::captchaCode(time.addSecs(1)) != code);
}

void TestMainWindow::soundFileLocation()
{
    ::umask(022);
    QTemporaryDir programDir;
    QTemporaryDir userData;
    const QString soundDataDir = userData.filePath(QStringLiteral("data"));
    // Not shipped beside the program: a copy in the data directory, none beside the program
    // even where that directory could take one.
    const QString copied = Platform::chatInSoundFile(programDir.path(), soundDataDir);
    QCOMPARE(copied, soundDataDir + QStringLiteral("/ChatIn.wav"));
    QVERIFY(QDir(programDir.path()).isEmpty());
    QFile resource(QStringLiteral(":/sound/ChatIn.wav"));
    QVERIFY(resource.open(QIODevice::ReadOnly));
    QFile copy(copied);
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), resource.readAll());
    QCOMPARE(modeOf(copied), QStringLiteral("600"));
    // An existing copy is used as it is.
    QCOMPARE(Platform::chatInSoundFile(programDir.path(), soundDataDir), copied);
    // Shipped beside the program: played from there.
    QVERIFY(QFile::copy(QStringLiteral(":/sound/ChatIn.wav"), programDir.filePath(QStringLiteral("ChatIn.wav"))));
    QCOMPARE(Platform::chatInSoundFile(programDir.path(), soundDataDir),
             programDir.filePath(QStringLiteral("ChatIn.wav")));
    // No data directory and nothing shipped: nothing to play.
    QVERIFY(Platform::chatInSoundFile(programDir.filePath(QStringLiteral("elsewhere")), QString()).isEmpty());
}

// ---------------------------------------------------------------------------------------

void TestMainWindow::pages_data()
{
    QTest::addColumn<QVariant>("designedSetting");
    QTest::addColumn<int>("loginPage");
    QTest::addColumn<QString>("list");
    QTest::newRow("absent") << QVariant() << 3 << "lwContactsDesigned";
    QTest::newRow("designed") << QVariant(true) << 3 << "lwContactsDesigned";
    QTest::newRow("classic") << QVariant(false) << 0 << "lwContacts";
}

void TestMainWindow::pages()
{
    QFETCH(QVariant, designedSetting);
    QFETCH(int, loginPage);
    QFETCH(QString, list);
    if (designedSetting.isValid())
        settings().setValue(QStringLiteral("Interface/designedMode"), designedSetting);
    frmLogin window;
    window.show();
    QTRY_VERIFY(window.trayIcon());
    QCOMPARE(currentPage(&window), loginPage);
    QCOMPARE(window.contactList()->objectName(), list);
    QCOMPARE(window.isDesignedMode(), loginPage == 3);
    // The designed minimum, or wider where the registration row needs it.
    QCOMPARE(window.minimumSize().expandedTo(QSize(350, 450)), window.minimumSize());
    QCOMPARE(window.minimumSize().height(), 450);
    QCOMPARE(window.windowTitle(), QStringLiteral("Zelto Messenger"));
    QVERIFY(!window.menuBar()->isVisible());
    QVERIFY(!child<QWidget>(&window, "cmdStop")->isVisibleTo(&window));
    QVERIFY(!child<QWidget>(&window, "labContactsSearchReset")->isVisibleTo(&window));
    QCOMPARE(window.trayIcon()->toolTip(), QStringLiteral("Zelto Messenger (Offline)"));
    QVERIFY(!window.trayIcon()->icon().isNull());
    QVERIFY(!window.defaultAvatarImage().isNull());
}

void TestMainWindow::formObjects()
{
    frmLogin window;
    const char *names[] = {"centralWidget",
                           "swTabs",
                           "pLogin",
                           "pInterface",
                           "pRegister",
                           "pLoginDesigned",
                           "pInterfaceDesigned",
                           "labLogin",
                           "labUsernamePassword",
                           "labName",
                           "txtName",
                           "labPassword",
                           "txtPassword",
                           "labRegister",
                           "cbStayLoggedIn",
                           "cbStartWithWindows",
                           "cmdLogin",
                           "cmdClose",
                           "labWelcomeNick",
                           "lwContacts",
                           "labDesignedLoginDes",
                           "labZMImage",
                           "txtNameDesigned",
                           "txtPasswordDesigned",
                           "cbStayLoggedInDesigned",
                           "cbStartWithWindowsDesigned",
                           "labDesignedLogin",
                           "frContactsSearch",
                           "txtContactsSearch",
                           "labContactsSearchReset",
                           "frStatus",
                           "labUserStatusDesigned",
                           "labUserNameDesigned",
                           "lwContactsDesigned",
                           "menuBar",
                           "saRegister",
                           "sawRegister",
                           "labDesRegister",
                           "txtRegisterUserName",
                           "txtRegisterShowName",
                           "txtRegisterRealName",
                           "txtRegisterUserMail",
                           "txtRegisterPassword",
                           "txtRegisterRepeatPassword",
                           "labRegisterCaptcha",
                           "txtRegisterCaptcha",
                           "cmdRegisterCaptchaGenerateNew",
                           "cmdBack",
                           "cmdRegister",
                           "cmdStop"};
    for (const char *name : names)
        QVERIFY2(window.findChild<QObject *>(QLatin1String(name)), name);
    const auto *stack = child<QStackedWidget>(&window, "swTabs");
    const QStringList pageOrder = {QStringLiteral("pLogin"), QStringLiteral("pInterface"), QStringLiteral("pRegister"),
                                   QStringLiteral("pLoginDesigned"), QStringLiteral("pInterfaceDesigned")};
    for (int i = 0; i < pageOrder.size(); ++i)
        QCOMPARE(stack->widget(i)->objectName(), pageOrder.at(i));
    QCOMPARE(stack->metaObject()->className(), "ZVRStackedWidget");
    QCOMPARE(child<QObject>(&window, "labDesignedLogin")->metaObject()->className(), "ZVRLabel");
    QCOMPARE(child<QObject>(&window, "frStatus")->metaObject()->className(), "ZVRFrame");
    QCOMPARE(child<QObject>(&window, "labRegister")->metaObject()->className(), "QLabel");
    QCOMPARE(window.menuBar()->metaObject()->className(), "ZVRMenuBar");
    QCOMPARE(child<QLineEdit>(&window, "txtName")->maxLength(), 32);
    for (const char *password :
         {"txtPassword", "txtPasswordDesigned", "txtRegisterPassword", "txtRegisterRepeatPassword"})
        QCOMPARE(child<QLineEdit>(&window, password)->maxLength(), AccountChecks::MaxPasswordLength);
    QCOMPARE(child<QLineEdit>(&window, "txtPassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QLineEdit>(&window, "txtRegisterUserName")->placeholderText(), QStringLiteral("umax14"));
    for (const char *box :
         {"cbStayLoggedIn", "cbStartWithWindows", "cbStayLoggedInDesigned", "cbStartWithWindowsDesigned"})
        QVERIFY2(child<QCheckBox>(&window, box)->isChecked(), box);
}

void TestMainWindow::stayLoggedInCoupling()
{
    auto window = newWindow(false);
    auto *stay = child<QCheckBox>(window.get(), "cbStayLoggedIn");
    auto *start = child<QCheckBox>(window.get(), "cbStartWithWindows");
    QTest::mouseClick(stay, Qt::LeftButton, Qt::NoModifier, QPoint(5, stay->height() / 2));
    QVERIFY(!stay->isChecked());
    QVERIFY(!start->isChecked());
    QVERIFY(!start->isEnabled());
    QTest::mouseClick(stay, Qt::LeftButton, Qt::NoModifier, QPoint(5, stay->height() / 2));
    QVERIFY(start->isChecked()); // the earlier tick comes back
    QVERIFY(start->isEnabled());

    start->setChecked(false);
    stay->setChecked(false);
    stay->setChecked(true);
    QVERIFY(!start->isChecked());
    QVERIFY(start->isEnabled());

    // The designed page's boxes are independent.
    auto *stayDesigned = child<QCheckBox>(window.get(), "cbStayLoggedInDesigned");
    auto *startDesigned = child<QCheckBox>(window.get(), "cbStartWithWindowsDesigned");
    stayDesigned->setChecked(false);
    QVERIFY(startDesigned->isChecked());
    QVERIFY(startDesigned->isEnabled());
}

void TestMainWindow::storedChoices_data()
{
    QTest::addColumn<bool>("stay");
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("autostartBefore");
    QTest::addColumn<bool>("autologin");
    QTest::addColumn<bool>("credentialsStored");
    QTest::addColumn<bool>("autostartAfter");
    QTest::addColumn<QVariant>("userBootUp");
    QTest::newRow("both ticked") << true << true << false << true << true << true << QVariant(true);
    QTest::newRow("only stay, removes entry") << true << false << true << true << true << false << QVariant(false);
    QTest::newRow("not stay, entry untouched") << false << false << true << false << false << true << QVariant();
    QTest::newRow("not stay, no entry") << false << false << false << false << false << false << QVariant();
}

void TestMainWindow::storedChoices()
{
    QFETCH(bool, stay);
    QFETCH(bool, start);
    QFETCH(bool, autostartBefore);
    QFETCH(bool, autologin);
    QFETCH(bool, credentialsStored);
    QFETCH(bool, autostartAfter);
    QFETCH(QVariant, userBootUp);
    if (autostartBefore)
        QVERIFY(Platform::writeAutostartEntry(QStringLiteral("/old/zmessenger")));
    {
        QSettings store = settings();
        store.setValue(QStringLiteral("Login/Name"), QStringLiteral("stale"));
    }
    auto window = newWindow(false);
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), stay, start);
    QCOMPARE(currentPage(window.get()), 1);
    QVERIFY(window->isSessionActive());
    QVERIFY(messages.isEmpty());

    QSettings store = settings();
    store.sync();
    QCOMPARE(store.value(QStringLiteral("Login/Autologin")).toBool(), autologin);
    QCOMPARE(store.contains(QStringLiteral("Login/Name")), credentialsStored);
    QCOMPARE(store.contains(QStringLiteral("Login/Password")), credentialsStored);
    if (credentialsStored) {
        QCOMPARE(store.value(QStringLiteral("Login/Name")).toString(),
                 LoginStore::encodeCredential(QStringLiteral("alice")));
        QCOMPARE(store.value(QStringLiteral("Login/Password")).toString(),
                 LoginStore::encodeCredential(QStringLiteral("alice123")));
    }
    QCOMPARE(store.value(QStringLiteral("Login/userBootUp")), userBootUp);
    QCOMPARE(Platform::hasAutostartEntry(), autostartAfter);
    if (stay && start) {
        QFile entry(Platform::autostartFilePath());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains(QStringLiteral("Exec=\"") + QCoreApplication::applicationFilePath()
                               + QStringLiteral("\" --minimized\n")),
                 qPrintable(text));
    }
    window->logoutUser();
}

void TestMainWindow::settingsFileIsOwnerOnly()
{
    // A settings file that an older version left readable by everyone is tightened.
    const QString path = Platform::settingsFilePath();
    {
        QSettings store = settings();
        store.setValue(QStringLiteral("Interface/Language"), QStringLiteral("System"));
    }
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    auto window = newWindow(false);
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    const QFile::Permissions others =
        QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeGroup | QFile::ExeOther;
    QCOMPARE(QFile::permissions(path) & others, QFile::Permissions());
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), true, false);
    QVERIFY(window->isSessionActive());
    QCOMPARE(QFile::permissions(path) & (ownerOnly | others), ownerOnly);
    window->logoutUser();

    // A settings file created from nothing is owner-only too, and keeps its format and keys.
    QVERIFY(QFile::remove(path));
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), true, false);
    QCOMPARE(QFile::permissions(path) & (ownerOnly | others), ownerOnly);
    QSettings ini(path, QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Login/Name")).toString(), QStringLiteral("NjE2YzY5NjM2NQ=="));
    window->logoutUser();
}

void TestMainWindow::loginResults_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("serverPresent");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("message");
    QTest::newRow("200") << QByteArray("ZM/1.1 return --id=200\n") << true << 1 << QString();
    QTest::newRow("404") << QByteArray("ZM/1.1 return --id=404\n") << true << 0
                         << "Login|You have type invalid account data!";
    QTest::newRow("429 too many failed logins")
        << QByteArray("ZM/1.1 return --id=429 --result=failed\n") << true << 0
        << "Login|Too many failed logins for this account or from this computer. Please wait a few minutes before "
           "you try again.";
    QTest::newRow("500 from server") << QByteArray("ZM/1.1 return --id=500\n") << true << 0
                                     << "Login|Can't connect to Zelto Messenger Server";
    QTest::newRow("no server") << QByteArray() << false << 0 << "Login|Can't connect to Zelto Messenger Server";
    QTest::newRow("403 other code") << QByteArray("ZM/1.1 return --id=403\n") << true << 0 << QString();
    QTest::newRow("reply without id") << QByteArray("ZM/1.1 return --result=ok\n") << true << 0
                                      << "Login|Can't connect to Zelto Messenger Server";
}

void TestMainWindow::loginResults()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, serverPresent);
    QFETCH(int, page);
    QFETCH(QString, message);
    TlsTestServer server;
    server.setLineHandler([reply](const QByteArray &line) {
        // Only the login is answered; every later request stays unanswered (nick falls back).
        return line.contains(" login ") ? reply : QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    if (serverPresent)
        server.exportEndpoint();
    else
        pointAtPort(closedPort());

    auto window = newWindow(false);
    window->session()->setReplyTimeout(UnansweredMs);
    loginWithZmsgd(window.get(), QStringLiteral("dave"), QStringLiteral("secret"), true, true);
    QCOMPARE(currentPage(window.get()), page);
    QCOMPARE(window->isSessionActive(), page == 1);
    QCOMPARE(window->menuBar()->isVisible(), page == 1);
    if (message.isEmpty()) {
        QVERIFY(messages.isEmpty());
    } else {
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().icon, QMessageBox::Warning);
        QCOMPARE(messages.first().title + QLatin1Char('|') + messages.first().text, message);
    }
    // A user-started login never goes offline-only.
    QCOMPARE(settings().value(QStringLiteral("Login/Autologin"), false).toBool(), page == 1);
    if (page == 1) {
        // No nick answer: the user name is shown.
        QVERIFY(child<QLabel>(window.get(), "labWelcomeNick")->text().startsWith(QStringLiteral("Welcome dave (")));
        window->logoutUser();
    }
}

void TestMainWindow::loginShowsBusyAndRefusesNesting()
{
    auto window = newWindow(false);
    auto *button = child<QPushButton>(window.get(), "cmdLogin");
    frmLogin *raw = window.get();
    bool busySeen = false;
    bool buttonDisabled = false;
    QString buttonText;
    TlsTestServer server;
    // Runs on the server thread while the window's thread is blocked inside the login.
    server.setLineHandler([&](const QByteArray &line) {
        if (line.contains(" login ")) {
            busySeen = raw->isLoginInProgress();
            buttonDisabled = !button->isEnabled();
            buttonText = button->text();
            return QByteArray("ZM/1.1 return --id=404\n");
        }
        return QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    loginWithZmsgd(raw, QStringLiteral("dave"), QStringLiteral("wrong"), true, true);
    QVERIFY(busySeen);
    QVERIFY(buttonDisabled);
    QCOMPARE(buttonText, QStringLiteral("Logging in..."));
    QVERIFY(!raw->isLoginInProgress());
    QVERIFY(button->isEnabled());
    QCOMPARE(button->text(), QStringLiteral("Login"));
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(server.connectionCount(), 1);
    QCOMPARE(messages.size(), 1);
}

void TestMainWindow::designedLoginCopiesFields()
{
    auto window = newWindow(true);
    child<QLineEdit>(window.get(), "txtNameDesigned")->setText(QStringLiteral("alice"));
    child<QLineEdit>(window.get(), "txtPasswordDesigned")->setText(QStringLiteral("alice123"));
    child<QCheckBox>(window.get(), "cbStartWithWindowsDesigned")->setChecked(false);
    auto *button = child<QLabel>(window.get(), "labDesignedLogin");

    // A release outside the label (the press was dragged away) does not log in.
    QCursor::setPos(window->mapToGlobal(QPoint(1, 1)));
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(2, 2));
    QCOMPARE(currentPage(window.get()), 3);

    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    QCOMPARE(currentPage(window.get()), 4);
    QCOMPARE(window->ownUserName(), QStringLiteral("alice"));
    QCOMPARE(child<QLabel>(window.get(), "labUserNameDesigned")->text(), QStringLiteral("Alice"));
    QVERIFY(!Platform::hasAutostartEntry());
    QCOMPARE(settings().value(QStringLiteral("Login/userBootUp")).toBool(), false);
    QCOMPARE(settings().value(QStringLiteral("Nick/alice")).toString(), QStringLiteral("Alice"));
    window->logoutUser();
}

void TestMainWindow::autologinAgainstServer()
{
    rememberLogin(QStringLiteral("alice"), QStringLiteral("alice123"));
    auto window = newWindow(false, Exposure::DoNotWait);
    auto *name = child<QLineEdit>(window.get(), "txtName");
    QCOMPARE(name->text(), QStringLiteral("alice"));
    QCOMPARE(child<QLineEdit>(window.get(), "txtPasswordDesigned")->text(), QStringLiteral("alice123"));
    QVERIFY(!name->isEnabled());
    QVERIFY(!child<QWidget>(window.get(), "cmdLogin")->isEnabled());
    QVERIFY(!child<QWidget>(window.get(), "cbStayLoggedIn")->isEnabled());
    QTRY_COMPARE(currentPage(window.get()), 1);
    QVERIFY(window->isSessionLoggedIn());
    QVERIFY(name->isEnabled());
    QVERIFY(child<QLabel>(window.get(), "labWelcomeNick")->text().startsWith(QStringLiteral("Welcome Alice (")));
    QVERIFY(messages.isEmpty());
    window->logoutUser();
}

void TestMainWindow::autologinWithoutServerGoesOffline()
{
    rememberLogin(QStringLiteral("alice"), QStringLiteral("alice123"));
    settings().setValue(QStringLiteral("Nick/alice"), QStringLiteral("Alice From Last Time"));
    pointAtPort(closedPort());
    auto window = newWindow(true);
    QTRY_COMPARE(currentPage(window.get()), 4);
    QVERIFY(window->isSessionActive());
    QVERIFY(!window->isSessionLoggedIn());
    QVERIFY(messages.isEmpty());
    QCOMPARE(window->ownNickName(), QStringLiteral("Alice From Last Time"));
    QCOMPARE(child<QLabel>(window.get(), "labUserNameDesigned")->text(), QStringLiteral("Alice From Last Time"));
    QCOMPARE(window->trayIcon()->toolTip(), QStringLiteral("Zelto Messenger (Offline)"));
    QVERIFY(window->menuBar()->isVisible());
    QCOMPARE(window->menuBar()->actions().size(), 3);
    // The remembered choices stay.
    QVERIFY(settings().value(QStringLiteral("Login/Autologin")).toBool());
    window->logoutUser();
}

void TestMainWindow::autologinWithWrongPasswordStaysSilent()
{
    rememberLogin(QStringLiteral("alice"), QStringLiteral("not-her-password"));
    auto window = newWindow(false);
    auto *name = child<QLineEdit>(window.get(), "txtName");
    QTRY_VERIFY(name->isEnabled());
    QCOMPARE(currentPage(window.get()), 0);
    QCOMPARE(name->text(), QStringLiteral("alice"));
    QVERIFY(messages.isEmpty());
    QVERIFY(!window->isSessionActive());
}

void TestMainWindow::logoutForgetsAndSecondLoginBuildsMenusOnce()
{
    auto window = newWindow(false);
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), true, true);
    QVERIFY(Platform::hasAutostartEntry());
    QCOMPARE(window->menuBar()->actions().size(), 3);

    QMetaObject::invokeMethod(window.get(), "logoutUserWithRemoveAutologin");
    QCOMPARE(currentPage(window.get()), 0);
    QVERIFY(!window->isSessionActive());
    QVERIFY(!window->menuBar()->isVisible());
    QVERIFY(!Platform::hasAutostartEntry());
    QSettings store = settings();
    QCOMPARE(store.value(QStringLiteral("Login/Autologin")).toBool(), false);
    QVERIFY(!store.contains(QStringLiteral("Login/Name")));
    QVERIFY(!store.contains(QStringLiteral("Login/Password")));
    QCOMPARE(store.value(QStringLiteral("Login/userBootUp")).toBool(), false);
    QVERIFY(child<QLineEdit>(window.get(), "txtName")->text().isEmpty());
    QVERIFY(child<QCheckBox>(window.get(), "cbStayLoggedIn")->isChecked());
    QVERIFY(!child<QCheckBox>(window.get(), "cbStartWithWindows")->isChecked());
    QCOMPARE(window->trayIcon()->toolTip(), QStringLiteral("Zelto Messenger (Offline)"));
    QCOMPARE(window->contactList()->count(), 0);

    loginWithZmsgd(window.get(), QStringLiteral("bob"), QStringLiteral("bob123"), false, false);
    QCOMPARE(currentPage(window.get()), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QStringList titles;
    for (QAction *action : window->menuBar()->actions())
        titles << action->text();
    QCOMPARE(titles, (QStringList{QStringLiteral("Messenger"), QStringLiteral("Tools"), QStringLiteral("Help")}));
    QMenu *messenger = window->menuBar()->actions().first()->menu();
    QStringList entries;
    for (QAction *action : messenger->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries,
             (QStringList{QStringLiteral("Online status"), QStringLiteral("-"), QStringLiteral("Add contact"),
                          QStringLiteral("Change password"), QStringLiteral("Edit profile"), QStringLiteral("-"),
                          QStringLiteral("Logout"), QStringLiteral("Close"), QStringLiteral("Quit")}));
    QCOMPARE(messenger->actions().at(6)->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    QCOMPARE(messenger->actions().at(8)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    window->logoutUser();
}

void TestMainWindow::closeWhileLoggedInMinimises()
{
    auto window = newWindow(false);
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), false, false);
    QVERIFY(!window->close());
    QVERIFY(window->isMinimized());
    QCOMPARE(quits, 0);
    QVERIFY(window->trayIcon());
    QVERIFY(!settings().contains(QStringLiteral("Windows/loginGeometry")));

    window->showNormal();
    window->logoutUser();
    QVERIFY(window->close());
    QCOMPARE(quits, 1);
    QVERIFY(!window->trayIcon());
    QSettings store = settings();
    QVERIFY(store.contains(QStringLiteral("Windows/loginGeometry")));
    QVERIFY(store.contains(QStringLiteral("Windows/loginState")));

    // The next window comes back with the stored geometry.
    const QRect geometry = window->geometry();
    window.reset();
    frmLogin next;
    QCOMPARE(next.geometry().size(), geometry.size());
}

void TestMainWindow::endZMQuits()
{
    auto window = newWindow(false);
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), true, false);
    QMetaObject::invokeMethod(window.get(), "endZM");
    QCOMPARE(quits, 1);
    QVERIFY(!window->isSessionActive());
    QVERIFY(!window->isVisible());
    // "Stop ZM" keeps the remembered login for the next start.
    QVERIFY(settings().value(QStringLiteral("Login/Autologin")).toBool());
}

void TestMainWindow::timersRearm()
{
    frmLogin window;
    struct Expect {
        const char *timer;
        const char *slot;
        int first;
        int period;
    };
    const Expect expected[] = {{"timerSS", "on_timerSS_tick", 50, 100},
                               {"timerOA", "on_timerOA_tick", 25000, 20000},
                               {"timerFR", "on_timerFR_tick", 207500, 207500},
                               {"timerLC", "on_timerLC_tick", 10000, 10000}};
    for (const Expect &e : expected) {
        auto *timer = child<QTimer>(&window, e.timer);
        QVERIFY(timer->isSingleShot());
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), e.first);
        timer->stop();
        QVERIFY(QMetaObject::invokeMethod(&window, e.slot));
        QVERIFY2(timer->isActive(), e.timer);
        QCOMPARE(timer->interval(), e.period);
    }
    // A shorter watchdog period takes effect at once and is kept by the watchdog's runs.
    auto *watchdog = child<QTimer>(&window, "timerLC");
    window.setWatchdogInterval(300);
    QCOMPARE(watchdog->interval(), 300);
    QVERIFY(QMetaObject::invokeMethod(&window, "on_timerLC_tick"));
    QCOMPARE(watchdog->interval(), 300);
    auto *hover = child<QTimer>(&window, "timerLB");
    QVERIFY(hover->isSingleShot());
    QCOMPARE(hover->interval(), 10);
}

void TestMainWindow::refreshRequestsOnlyWhileLoggedIn()
{
    TlsTestServer server;
    server.setLineHandler([](const QByteArray &line) {
        if (line.contains(" --rq=nick"))
            return QByteArray("ZM/1.1 return --rq=nick --id=200 --nick=Dave\n");
        return line.contains(" login ") ? QByteArray("ZM/1.1 return --id=200\n") : QByteArray();
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    auto window = newWindow(false);
    auto requestWords = [&server] {
        QStringList words;
        for (const QByteArray &line : server.receivedLines()) {
            for (const QByteArray &word : line.trimmed().split(' ')) {
                if (word.startsWith("--rq="))
                    words << QString::fromUtf8(word.mid(5));
            }
        }
        return words;
    };
    QMetaObject::invokeMethod(window.get(), "on_timerOA_tick");
    QMetaObject::invokeMethod(window.get(), "on_timerFR_tick");
    QCOMPARE(server.connectionCount(), 0);

    loginWithZmsgd(window.get(), QStringLiteral("dave"), QStringLiteral("pw"), false, false);
    QVERIFY(window->isSessionLoggedIn());
    // The login sends, after the nick request, the five requests in this order.
    QVERIFY(server.waitForLines(7));
    QCOMPARE(requestWords().mid(1),
             (QStringList{QStringLiteral("avatar"), QStringLiteral("contactswithavatar"),
                          QStringLiteral("contactswithstates"), QStringLiteral("contactsrequests"),
                          QStringLiteral("onlinestate")}));
    QMetaObject::invokeMethod(window.get(), "on_timerOA_tick");
    QVERIFY(server.waitForLines(9));
    QCOMPARE(requestWords().mid(6),
             (QStringList{QStringLiteral("contactswithavatar"), QStringLiteral("contactswithstates")}));
    QMetaObject::invokeMethod(window.get(), "on_timerFR_tick");
    QVERIFY(server.waitForLines(11));
    QCOMPARE(requestWords().mid(8), (QStringList{QStringLiteral("contactsrequests"), QStringLiteral("avatar")}));

    // The poll reads a pushed line and enables the tray's status menu.
    QMetaObject::invokeMethod(window.get(), "on_timerSS_tick");
    QMenu *status = window->trayIcon()->contextMenu()->actions().first()->menu();
    QVERIFY(status->isEnabled());
    window->logoutUser();
}

void TestMainWindow::hoverFollowsCursorWithoutPolling()
{
    auto window = newWindow(true);
    auto *hover = child<QTimer>(window.get(), "timerLB");
    auto *login = child<QLabel>(window.get(), "labDesignedLogin");
    const QString normal = QStringLiteral("background-color: rgb(215, 70, 25); border-color: rgb(215, 120, 50);");
    QCursor::setPos(window->mapToGlobal(QPoint(1, 1)));
    QTRY_VERIFY(!hover->isActive());

    QCursor::setPos(login->mapToGlobal(login->rect().center()));
    QTRY_VERIFY(login->styleSheet().contains(QStringLiteral("background-color: rgb(255, 255, 255)")));
    // Resting over the label costs nothing: no timer keeps looking at the cursor.
    QTRY_VERIFY(!hover->isActive());
    QCOMPARE(hover->interval(), 10);

    QCursor::setPos(window->mapToGlobal(QPoint(1, 1)));
    QTRY_COMPARE(login->styleSheet(), normal);
    QTRY_VERIFY(!hover->isActive());

    // A page that goes away takes its highlighting with it.
    QCursor::setPos(login->mapToGlobal(login->rect().center()));
    QTRY_VERIFY(login->styleSheet().contains(QStringLiteral("background-color: rgb(255, 255, 255)")));
    window->showMinimized();
    QMetaObject::invokeMethod(window.get(), "on_timerLB_tick");
    QCOMPARE(login->styleSheet(), normal);
}

void TestMainWindow::trayDoubleClick()
{
    auto window = newWindow(false);
    QSystemTrayIcon *tray = window->trayIcon();
    emit tray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(!window->isMinimized());
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(window->isMinimized());
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(!window->isMinimized());
    QStringList entries;
    for (QAction *action : tray->contextMenu()->actions())
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    QCOMPARE(entries,
             (QStringList{QStringLiteral("Online status"), QStringLiteral("-"), QStringLiteral("Open ZM"),
                          QStringLiteral("Stop ZM")}));
    QVERIFY(!tray->contextMenu()->actions().first()->menu()->isEnabled());
}

void TestMainWindow::stateSelectorOffline()
{
    auto window = newWindow(true);
    const QString tip = window->trayIcon()->toolTip();
    QMetaObject::invokeMethod(window.get(), "setStateAway");
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().icon, QMessageBox::Information);
    QCOMPARE(messages.first().title, QStringLiteral("Offline"));
    QCOMPARE(messages.first().text, QStringLiteral("You are offline, please wait until you're online!"));
    QCOMPARE(window->trayIcon()->toolTip(), tip);
}

void TestMainWindow::welcomeLine_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QStringList() << "Max"
                          << "Welcome Max (<a href=\"zmp://editprofile\">Edit Profile</a>)";
    QTest::newRow("one") << QStringList{QStringLiteral("carol")} << "Max"
                         << "Welcome Max (<a href=\"zmp://editprofile\">Edit Profile</a>)<br>You have 1 "
                            "(<a href=\"zmp://friendrequests\">Friend Request</a>)";
    QTest::newRow("two") << QStringList{QStringLiteral("carol"), QStringLiteral("dave")} << "Max"
                         << "Welcome Max (<a href=\"zmp://editprofile\">Edit Profile</a>)<br>You have 2 "
                            "(<a href=\"zmp://friendrequests\">Friend Requests</a>)";
    // The label is rich text: a nick is shown as it was typed, never as markup.
    QTest::newRow("markup in the nick") << QStringList() << "<img src=/tmp/x.png> & co"
                                        << "Welcome &lt;img src=/tmp/x.png&gt; &amp; co (<a "
                                           "href=\"zmp://editprofile\">Edit Profile</a>)";
}

void TestMainWindow::welcomeLine()
{
    QFETCH(QStringList, requests);
    QFETCH(QString, nick);
    QFETCH(QString, text);
    frmLogin window;
    child<QLineEdit>(&window, "txtName")->setText(QStringLiteral("max"));
    for (const QString &request : requests)
        window.updateFriendRequests(request, QString());
    window.updateWelcomeLine(nick);
    QCOMPARE(child<QLabel>(&window, "labWelcomeNick")->text(), text);
    QCOMPARE(child<QLabel>(&window, "labUserNameDesigned")->text(), nick);
    QCOMPARE(child<QLabel>(&window, "labUserNameDesigned")->textFormat(), Qt::PlainText);
    QCOMPARE(settings().value(QStringLiteral("Nick/max")).toString(), nick);
}

void TestMainWindow::languageMenu()
{
    QTemporaryDir addOns;
    QVERIFY(QFile::copy(QStringLiteral(":/tr/zm_de.qm"), addOns.filePath(QStringLiteral("zm_de.qm"))));
    QVERIFY(QFile::copy(QStringLiteral(":/tr/zm_de.qm"), addOns.filePath(QStringLiteral("zm_it.qm"))));
    QVERIFY(QFile::copy(QStringLiteral(":/tr/zm_de.qm"), addOns.filePath(QStringLiteral("zm_zz.qm"))));
    QFile broken(addOns.filePath(QStringLiteral("zm_es.qm")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a catalogue");
    broken.close();
    QVERIFY(QFile::copy(QStringLiteral(":/tr/zm_de.qm"), addOns.filePath(QStringLiteral("qtbase_pt.qm"))));

    const QList<LanguageList::Entry> found = LanguageList::scan(addOns.path());
    QStringList codes;
    for (const LanguageList::Entry &entry : found)
        codes << entry.code;
    QCOMPARE(codes, (QStringList{QStringLiteral("de"), QStringLiteral("it")}));
    QCOMPARE(found.first().flagResource, QStringLiteral(":/tr/de.png"));
    QVERIFY(found.last().flagResource.isEmpty());

    rememberLogin(QStringLiteral("alice"), QStringLiteral("alice123"));
    pointAtPort(closedPort());
    auto window = newWindow(false, Exposure::DoNotWait);
    window->setTranslationDir(addOns.path());
    QTRY_VERIFY(window->isSessionActive());
    QMenu *tools = window->menuBar()->actions().at(1)->menu();
    QMenu *languages = tools->actions().first()->menu();
    QVERIFY(languages);
    QCOMPARE(tools->actions().first()->text(), QStringLiteral("Change Language"));
    QStringList entries;
    for (QAction *action : languages->actions())
        entries << action->text();
    // Built in: German and French; add-ons: German again, listed once, and Italian.
    QCOMPARE(entries,
             (QStringList{QStringLiteral("System (System)"), QStringLiteral("English (English)"),
                          QStringLiteral("Deutsch (German)"), QString::fromUtf8("français (French)"),
                          QStringLiteral("italiano (Italian)")}));
    QVERIFY(!languages->actions().at(1)->icon().isNull());
    QVERIFY(!languages->actions().at(2)->icon().isNull());
    QVERIFY(languages->actions().at(4)->icon().isNull());

    // Choosing German stores "de" on disk before the restart, then quits.
    int storedBeforeRestart = 0;
    Platform::setRestartHook([&] {
        QSettings onDisk(Platform::settingsFilePath(), QSettings::IniFormat);
        storedBeforeRestart += onDisk.value(QStringLiteral("Interface/Language")).toString() == QLatin1String("de");
        return true;
    });
    languages->actions().at(2)->trigger();
    QCOMPARE(storedBeforeRestart, 1);
    QCOMPARE(quits, 1);
    QVERIFY(!window->trayIcon());
    languages->actions().at(0)->trigger();
    QCOMPARE(settings().value(QStringLiteral("Interface/Language")).toString(), QStringLiteral("System"));
    Platform::setRestartHook([this] {
        ++restarts;
        return true;
    });

    // Logout empties the language tables with the menus.
    window->logoutUser();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window->menuBar()->actions().isEmpty());
}

void TestMainWindow::registerLink()
{
    UrlCatcherForTest catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    qputenv("ZM_WEB_HOST", "127.0.0.1:8123");
    auto window = newWindow(false);
    auto *link = child<QLabel>(window.get(), "labRegister");
    emit link->linkActivated(QStringLiteral("zmp://other"));
    QVERIFY(catcher.urls.isEmpty());
    clickLabelLink(link, QStringLiteral("zmp://register"));
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:8123/user-register.php"))}));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    qunsetenv("ZM_WEB_HOST");
}

void TestMainWindow::captchaLoad()
{
    TinyHttpServer web;
    QImage picture(60, 20, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer buffer(&web.body);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    QVERIFY(web.listen(QHostAddress::LocalHost, 0));
    qputenv("ZM_WEB_HOST", "127.0.0.1:" + QByteArray::number(web.serverPort()));

    auto window = newWindow(false);
    child<QStackedWidget>(window.get(), "swTabs")->setCurrentIndex(2);
    auto *field = child<QLineEdit>(window.get(), "txtRegisterCaptcha");
    field->setText(QStringLiteral("old"));
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegisterCaptchaGenerateNew"), Qt::LeftButton);
    auto *label = child<QLabel>(window.get(), "labRegisterCaptcha");
    QCOMPARE(label->text(), Registration::captchaHtml(web.body));
    QVERIFY(field->text().isEmpty());
    QVERIFY(field->hasFocus());
    QVERIFY2(QRegularExpression(QStringLiteral("^GET /captcha-gui.php\\?code=([0-9a-f]\\+){9}[0-9a-f] HTTP/1.1$"))
                 .match(QString::fromLatin1(web.requestLine))
                 .hasMatch(),
             web.requestLine.constData());

    QTest::mouseClick(child<QPushButton>(window.get(), "cmdBack"), Qt::LeftButton);
    QCOMPARE(label->text(), QStringLiteral("Captcha: Not loaded"));
    QCOMPARE(currentPage(window.get()), 0);

    // No web server: the label shows an empty picture and no message.
    web.close();
    qputenv("ZM_WEB_HOST", "127.0.0.1:" + QByteArray::number(closedPort()));
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegisterCaptchaGenerateNew"), Qt::LeftButton);
    QCOMPARE(label->text(), QStringLiteral("<img src=\"data:image/png;base64,\"/>"));
    QVERIFY(messages.isEmpty());
    qunsetenv("ZM_WEB_HOST");
}

void TestMainWindow::hostileSiteAnswersAreBounded_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("endless");
    QTest::addColumn<QString>("captcha");
    const QByteArray ok = "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Type: image/png\r\n";
    const QByteArray gzip = ok + "Content-Encoding: gzip\r\n";
    const QString none = Registration::captchaHtml(QByteArray());
    const QByteArray chunk(64 * 1024, 'x');
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"60\" height=\"20\"><rect width=\"60\" "
                           "height=\"20\"/></svg>";
    const QByteArray small = plainPng(60, 20, Qt::darkCyan);
    QTest::newRow("captcha: endless body") << QByteArray("/captcha-gui.php") << ok << chunk << true << none;
    QTest::newRow("captcha: gzip bomb") << QByteArray("/captcha-gui.php") << gzip << gzipOfZeros(qint64(256) << 20)
                                        << false << none;
    QTest::newRow("captcha: png of 20000 x 15000")
        << QByteArray("/captcha-gui.php") << ok << pngHeader(20000, 15000) << false << none;
    QTest::newRow("captcha: png of 1001 x 20")
        << QByteArray("/captcha-gui.php") << ok << plainPng(1001, 20, Qt::red) << false << none;
    QTest::newRow("captcha: svg") << QByteArray("/captcha-gui.php") << ok << svg << false << none;
    QTest::newRow("captcha: a fine one") << QByteArray("/captcha-gui.php") << ok << small << false
                                         << Registration::captchaHtml(small);
    QTest::newRow("registration: endless answer")
        << QByteArray("/user-register.php") << ok << chunk << true << QString();
    QTest::newRow("registration: gzip bomb")
        << QByteArray("/user-register.php") << gzip << gzipOfZeros(qint64(256) << 20) << false << QString();
}

void TestMainWindow::hostileSiteAnswersAreBounded()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, body);
    QFETCH(bool, endless);
    QFETCH(QString, captcha);
    HostileHttpServer web;
    QVERIFY(web.listenOnLoopback());
    web.setAnswer(path, {head, body, endless});
    // A failed registration loads a new captcha, which the site refuses at once.
    if (captcha.isEmpty())
        web.setAnswer("/captcha-gui.php", {"HTTP/1.1 404 Not Found\r\nConnection: close\r\n", {}, false});
    qputenv("ZM_WEB_HOST", "127.0.0.1:" + QByteArray::number(web.serverPort()));
    auto window = newWindow(false);
    child<QStackedWidget>(window.get(), "swTabs")->setCurrentIndex(2);
    auto *label = child<QLabel>(window.get(), "labRegisterCaptcha");

    QVERIFY(PeakMemory::reset());
    const double before = PeakMemory::residentMiB();
    if (!captcha.isEmpty()) {
        QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegisterCaptchaGenerateNew"), Qt::LeftButton);
        // The label is painted, so whatever it holds is decoded.
        label->repaint();
    } else {
        for (const char *field : {"txtRegisterPassword", "txtRegisterRepeatPassword"})
            child<QLineEdit>(window.get(), field)->setText(QStringLiteral("secret123"));
        QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegister"), Qt::LeftButton);
    }
    const double growth = PeakMemory::peakMiB() - before;
    qunsetenv("ZM_WEB_HOST");

    qInfo("peak memory growth %.1f MiB", growth);
    QVERIFY2(growth < 32, qPrintable(QStringLiteral("grew by %1 MiB").arg(growth)));
    QVERIFY(web.requests().value(0).contains("\r\nAccept-Encoding: identity\r\n"));
    if (!captcha.isEmpty()) {
        QCOMPARE(label->text(), captcha);
        QVERIFY(messages.isEmpty());
    } else {
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().icon, QMessageBox::Warning);
    }
}

void TestMainWindow::registrationFormBody()
{
    Registration::Form form;
    form.userName = QStringLiteral("max");
    form.nickName = QStringLiteral("Max & Co");
    form.password = QStringLiteral("a+b=c");
    form.captchaCode = QStringLiteral("a+b+c");
    const QByteArray body = Registration::formBody(form);
    QCOMPARE(body,
             QByteArray("username=max&nickname=Max%20%26%20Co&realname=&email=&password=a%2Bb%3Dc&password2="
                        "&code=a%2Bb%2Bc&captcha="));
    QCOMPARE(Registration::answerMessage("<p style=\"color: #a00000;\">The user name is &quot;taken&quot;.</p>"),
             QStringLiteral("The user name is \"taken\"."));
    QVERIFY(Registration::answerMessage("<h1>Account created</h1>").isEmpty());
}

void TestMainWindow::registerOnTheSite()
{
    qputenv("ZM_WEB_HOST", "127.0.0.1:" + QByteArray::number(zmsgd.webPort()));
    auto window = newWindow(true);
    // No browser to hand the link to (none on this platform): the window's own page opens
    // with a fresh captcha.
    emit child<QLabel>(window.get(), "labRegister")->linkActivated(QStringLiteral("zmp://register"));
    QCOMPARE(currentPage(window.get()), 2);
    auto *captcha = child<QLabel>(window.get(), "labRegisterCaptcha");
    QVERIFY(captcha->text().startsWith(QStringLiteral("<img src=\"data:image/png;base64,iVBOR")));

    child<QLineEdit>(window.get(), "txtRegisterUserName")->setText(QStringLiteral("newbie"));
    child<QLineEdit>(window.get(), "txtRegisterShowName")->setText(QStringLiteral("New Bie"));
    child<QLineEdit>(window.get(), "txtRegisterUserMail")->setText(QStringLiteral("newbie@example.org"));
    child<QLineEdit>(window.get(), "txtRegisterPassword")->setText(QStringLiteral("newbie123"));
    child<QLineEdit>(window.get(), "txtRegisterRepeatPassword")->setText(QStringLiteral("newbie123"));
    child<QLineEdit>(window.get(), "txtRegisterCaptcha")->setText(QStringLiteral("wrong"));
    const QString usedCode = window->registrationCaptchaCode();
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegister"), Qt::LeftButton);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, QStringLiteral("The captcha was not answered correctly. Please try the new one."));
    QCOMPARE(currentPage(window.get()), 2);
    // The used captcha is spent: a new one comes by itself, even within the same second.
    QVERIFY(captcha->text().startsWith(QStringLiteral("<img src=\"data:image/png;base64,iVBOR")));
    QVERIFY(window->registrationCaptchaCode() != usedCode);
    QVERIFY(child<QLineEdit>(window.get(), "txtRegisterCaptcha")->text().isEmpty());
    // The right answer for the window's current code (the site keeps its secret).
    QString answer;
    zmsgd.runOnServer([&](ZmsgdServer *server) {
        answer = ZmsgdCaptcha::answer(ZmsgdWeb::captchaSecret(server->service()), window->registrationCaptchaCode());
    });
    child<QLineEdit>(window.get(), "txtRegisterCaptcha")->setText(answer);
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdRegister"), Qt::LeftButton);
    QCOMPARE(messages.size(), 2);
    QVERIFY2(messages.last().icon == QMessageBox::Information, qPrintable(messages.last().text));
    QCOMPARE(currentPage(window.get()), 3);
    QCOMPARE(child<QLineEdit>(window.get(), "txtNameDesigned")->text(), QStringLiteral("newbie"));
    QCOMPARE(child<QLabel>(window.get(), "labRegisterCaptcha")->text(), QStringLiteral("Captcha: Not loaded"));

    // The new account logs in.
    child<QLineEdit>(window.get(), "txtPasswordDesigned")->setText(QStringLiteral("newbie123"));
    auto *button = child<QLabel>(window.get(), "labDesignedLogin");
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    QCOMPARE(currentPage(window.get()), 4);
    window->logoutUser();
    qunsetenv("ZM_WEB_HOST");
}

void TestMainWindow::registrationKeepsTheLoginClosedWhilePosting()
{
    SlowRegistrationSite site;
    QVERIFY(site.listen(QHostAddress::LocalHost, 0));
    qputenv("ZM_WEB_HOST", "127.0.0.1:" + QByteArray::number(site.serverPort()));
    auto window = newWindow(false);
    frmLogin *raw = window.get();
    clickLabelLink(child<QLabel>(raw, "labRegister"), QStringLiteral("zmp://register"));
    QCOMPARE(currentPage(raw), 2);
    QCOMPARE(child<QLabel>(raw, "labRegisterCaptcha")->text(), Registration::captchaHtml(site.picture));

    typeRegistrationForm(raw, QStringLiteral("newbie2"));

    // While the form is on its way, a person goes back and logs in.
    int pageAfterBack = -1;
    bool sessionDuringPost = true;
    QStringList usableDuringPost;
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [&, poll] {
        if (!site.posted())
            return;
        poll->stop();
        for (const char *name : {"cmdBack", "cmdRegister", "cmdRegisterCaptchaGenerateNew", "txtRegisterUserName",
                                 "txtRegisterPassword", "cmdLogin", "txtName", "txtPassword", "labDesignedLogin"}) {
            if (child<QWidget>(raw, name)->isEnabled())
                usableDuringPost << QLatin1String(name);
        }
        QTest::mouseClick(child<QPushButton>(raw, "cmdBack"), Qt::LeftButton);
        pageAfterBack = currentPage(raw);
        typeLogin(raw, QStringLiteral("alice"), QStringLiteral("alice123"));
        sessionDuringPost = raw->isSessionActive();
        site.answerPost();
    });
    poll->start(10);
    QTest::mouseClick(child<QPushButton>(raw, "cmdRegister"), Qt::LeftButton);
    delete poll;

    QVERIFY(site.postedBody.startsWith("username=newbie2&"));
    QCOMPARE(usableDuringPost, QStringList());
    QCOMPARE(pageAfterBack, 2);
    QVERIFY(!sessionDuringPost);
    // The finished registration leads to the login page with the new name, usable again.
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().text, QStringLiteral("The account newbie2 has been created. You can log in now."));
    QCOMPARE(currentPage(raw), 0);
    QCOMPARE(child<QLineEdit>(raw, "txtName")->text(), QStringLiteral("newbie2"));
    QVERIFY(!raw->isSessionActive());
    typeLogin(raw, QStringLiteral("alice"), QStringLiteral("alice123"));
    QVERIFY(raw->isSessionLoggedIn());
    QCOMPARE(currentPage(raw), 1);
    raw->logoutUser();
    qunsetenv("ZM_WEB_HOST");
}

void TestMainWindow::lineBreakInTheLoginInput_data()
{
    QTest::addColumn<bool>("designed");
    QTest::addColumn<QString>("pastedName");
    QTest::addColumn<QString>("pastedPassword");
    QTest::addColumn<QString>("warning");
    const QString name = QStringLiteral("The user name contains a line break. Please enter it again without one.");
    const QString password = QStringLiteral("The password contains a line break. Please enter it again without one.");
    QTest::newRow("name with a line feed") << false << "alice\n"
                                           << "alice123" << name;
    QTest::newRow("name with a carriage return") << false << "al\rice"
                                                 << "alice123" << name;
    QTest::newRow("password with a line feed") << false << "alice"
                                               << "alice123\n"
                                               << password;
    QTest::newRow("designed page, name") << true << "alice\r\n"
                                         << "alice123" << name;
}

void TestMainWindow::lineBreakInTheLoginInput()
{
    QFETCH(bool, designed);
    QFETCH(QString, pastedName);
    QFETCH(QString, pastedPassword);
    QFETCH(QString, warning);
    auto window = newWindow(designed);
    const char *fields[] = {designed ? "txtNameDesigned" : "txtName", designed ? "txtPasswordDesigned" : "txtPassword"};
    const QString texts[] = {pastedName, pastedPassword};
    for (int i = 0; i < 2; ++i) {
        auto *edit = child<QLineEdit>(window.get(), fields[i]);
        QTest::mouseClick(edit, Qt::LeftButton);
        QApplication::clipboard()->setText(texts[i]);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), texts[i]);
    }
    if (designed) {
        auto *button = child<QLabel>(window.get(), "labDesignedLogin");
        QCursor::setPos(button->mapToGlobal(button->rect().center()));
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, button->rect().center());
    } else {
        QTest::mouseClick(child<QPushButton>(window.get(), "cmdLogin"), Qt::LeftButton);
    }
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().icon, QMessageBox::Warning);
    QCOMPARE(messages.first().title, QStringLiteral("Login"));
    QCOMPARE(messages.first().text, warning);
    QVERIFY(!window->isSessionActive());
    QCOMPARE(currentPage(window.get()), designed ? 3 : 0);
}

void TestMainWindow::passwordFieldsOfTheWindowHoldTheServerLimit_data()
{
    QTest::addColumn<bool>("designed");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("field");
    QTest::newRow("login page") << false << 0 << "txtPassword";
    QTest::newRow("designed login page") << true << 3 << "txtPasswordDesigned";
    QTest::newRow("registration") << false << 2 << "txtRegisterPassword";
    QTest::newRow("registration, repeated") << false << 2 << "txtRegisterRepeatPassword";
}

void TestMainWindow::passwordFieldsOfTheWindowHoldTheServerLimit()
{
    QFETCH(bool, designed);
    QFETCH(int, page);
    QFETCH(QString, field);
    auto window = newWindow(designed);
    child<QStackedWidget>(window.get(), "swTabs")->setCurrentIndex(page);
    auto *edit = child<QLineEdit>(window.get(), field.toLatin1().constData());
    QCOMPARE(edit->maxLength(), AccountChecks::MaxPasswordLength);
    QTest::mouseClick(edit, Qt::LeftButton);
    QApplication::clipboard()->setText(QString(300, QLatin1Char('x')));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text().size(), AccountChecks::MaxPasswordLength);
    QTRY_COMPARE(messages.size(), 1);
    QCOMPARE(messages.first().title, QStringLiteral("Password"));
    QCOMPARE(messages.first().text,
             QStringLiteral("A password can have at most 256 characters. Only the first 256 characters were kept."));
}

void TestMainWindow::dataDirectoryMadePrivateAtStart()
{
    ::umask(022);
    const QString dir = DataDirectory::path();
    QDir(dir).removeRecursively();
    QVERIFY(QDir().mkpath(dir + QStringLiteral("/encoded")));
    const QStringList files = {dir + QStringLiteral("/bob.ini"), dir + QStringLiteral("/0a1b.zm"),
                               dir + QStringLiteral("/encoded/0123.ini")};
    for (const QString &path : files) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Chat]\n");
    }
    QCOMPARE(modeOf(dir), QStringLiteral("755"));
    QCOMPARE(modeOf(files.first()), QStringLiteral("644"));

    auto window = newWindow(false);
    QCOMPARE(modeOf(dir), QStringLiteral("700"));
    QCOMPARE(modeOf(dir + QStringLiteral("/encoded")), QStringLiteral("700"));
    for (const QString &path : files)
        QCOMPARE(modeOf(path), QStringLiteral("600"));
}

void TestMainWindow::incomingMessageSoundLeavesTheWorkingDirectoryAlone()
{
    ::umask(022);
    QDir(DataDirectory::path()).removeRecursively();
    QTemporaryDir workingDir;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workingDir.path()));
    auto window = newWindow(false);
    typeLogin(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"));
    QVERIFY(window->isSessionLoggedIn());

    ZMsgFw111Q bob;
    QVERIFY(sendAsBob(bob, QStringLiteral("hello")));
    // A first message opens the chat and plays the sound.
    QTRY_VERIFY_WITH_TIMEOUT(chatWith(QStringLiteral("bob")), 20000);
    const QString copy = DataDirectory::path() + QStringLiteral("/ChatIn.wav");
    QVERIFY(QFile::exists(copy));
    QCOMPARE(modeOf(copy), QStringLiteral("600"));
    QVERIFY2(QDir(workingDir.path()).isEmpty(), qPrintable(QDir(workingDir.path()).entryList().join(QLatin1Char(' '))));
    QVERIFY(!QFile::exists(QCoreApplication::applicationDirPath() + QStringLiteral("/ChatIn.wav")));
    QDir::setCurrent(before);
    bob.logoutUser();
    window->logoutUser();
}

void TestMainWindow::incomingMessageMarksTheMinimisedChat()
{
    QList<QPointer<QWidget>> alerts;
    UiAlert::setHook([&alerts](QWidget *window) { alerts << window; });
    auto window = newWindow(false);
    typeLogin(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"));
    QVERIFY(window->isSessionLoggedIn());
    ZMsgFw111Q bob;

    // The chat opens minimised with the first message; its task bar entry is marked.
    QVERIFY(sendAsBob(bob, QStringLiteral("first")));
    QTRY_VERIFY_WITH_TIMEOUT(chatWith(QStringLiteral("bob")), 20000);
    frmChat *chat = chatWith(QStringLiteral("bob"));
    QTRY_COMPARE(alerts.size(), 1);
    QCOMPARE(alerts.first().data(), chat);
    QVERIFY(chat->isMinimized());

    // Restored, the window needs no mark.
    chat->showNormal();
    QVERIFY(QTest::qWaitForWindowExposed(chat));
    QVERIFY(sendAsBob(bob, QStringLiteral("second")));
    auto *view = chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"));
    QTRY_VERIFY_WITH_TIMEOUT(view->toPlainText().contains(QLatin1String("second")), 20000);
    QCOMPARE(alerts.size(), 1);

    // Minimised again, the next message marks it again.
    chat->showMinimized();
    QVERIFY(sendAsBob(bob, QStringLiteral("third")));
    QTRY_VERIFY_WITH_TIMEOUT(view->toPlainText().contains(QLatin1String("third")), 20000);
    QTRY_COMPARE(alerts.size(), 2);
    QCOMPARE(alerts.last().data(), chat);
    UiAlert::setHook(nullptr);
    bob.logoutUser();
    window->logoutUser();
}

void TestMainWindow::popupRefreshedByANewMessageShowsItsFullTime()
{
    const QList<NotificationWidget *> earlier = shownPopups();
    auto newMessagePopups = [&earlier] {
        QList<NotificationWidget *> found;
        for (NotificationWidget *popup : shownPopups()) {
            if (!earlier.contains(popup) && popup->windowTitle() == QLatin1String("Incoming Message"))
                found << popup;
        }
        return found;
    };
    auto window = newWindow(false);
    typeLogin(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"));
    QVERIFY(window->isSessionLoggedIn());
    ZMsgFw111Q bob;
    QVERIFY(sendAsBob(bob, QStringLiteral("first")));
    QTRY_VERIFY_WITH_TIMEOUT(newMessagePopups().size() == 1, 20000);
    NotificationWidget *popup = newMessagePopups().first();
    auto *displayTime = popup->findChild<QTimer *>(QStringLiteral("displayTimer"));
    QVERIFY(displayTime);
    QVERIFY(displayTime->isActive());
    // Some of its time has passed when the next message comes.
    QTRY_VERIFY_WITH_TIMEOUT(displayTime->remainingTime() < displayTime->interval() - 1000, 20000);
    const int left = displayTime->remainingTime();

    QVERIFY(sendAsBob(bob, QStringLiteral("second")));
    auto *text = popup->findChild<QLabel *>(QStringLiteral("labNotificationText"));
    QTRY_VERIFY_WITH_TIMEOUT(text->text().endsWith(QLatin1String("second")), 20000);
    QCOMPARE(newMessagePopups().size(), 1);
    QVERIFY(!popup->isFading());
    // The new text has the popup's whole time again.
    QVERIFY2(displayTime->remainingTime() > left,
             qPrintable(QStringLiteral("%1 ms left, %2 before").arg(displayTime->remainingTime()).arg(left)));
    bob.logoutUser();
    window->logoutUser();
}

// ---------------------------------------------------------------------------------------
// Account dialogs and the update check, opened by the window

void TestMainWindow::showProfileOfAContact_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("customNick");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("opens");
    QTest::newRow("server nick") << "bob"
                                 << ""
                                 << "Bob's profile" << true;
    QTest::newRow("own name ending in s") << "bob"
                                          << "Boss"
                                          << "Boss profile" << true;
    QTest::newRow("own name ending in S") << "bob"
                                          << "BOSS"
                                          << "BOSS's profile" << true;
    QTest::newRow("account unknown to the server") << "ghost"
                                                   << ""
                                                   << "ghost's profile" << false;
}

void TestMainWindow::showProfileOfAContact()
{
    QFETCH(QString, user);
    QFETCH(QString, customNick);
    QFETCH(QString, title);
    QFETCH(bool, opens);
    auto window = newWindow(false);
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), false, false);
    QVERIFY(window->isSessionLoggedIn());
    QListWidget *list = window->contactList();
    QTRY_VERIFY(!list->findItems(QStringLiteral("Bob\n"), Qt::MatchStartsWith).isEmpty());
    if (user == QLatin1String("ghost"))
        window->insertOfflineContact(user);
    const QString row = user == QLatin1String("bob") ? QStringLiteral("Bob\n") : user + QLatin1Char('\n');
    list->setCurrentItem(list->findItems(row, Qt::MatchStartsWith).value(0));
    QVERIFY(list->currentItem());
    if (!customNick.isEmpty())
        window->setCustomNick(user, customNick);

    QStringList shown;
    QPointer<QTimer> watcher = whenWindowUp(this, title, [&shown](QWidget *dialog) {
        for (const char *label : {"labAccount", "labName", "labSignature"})
            shown << dialog->findChild<QLabel *>(QLatin1String(label))->text();
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("bbOK"));
        QVERIFY(clickStandardButton(buttons, QDialogButtonBox::Ok));
    });
    QMetaObject::invokeMethod(window.get(), "showProfile");
    if (opens) {
        QVERIFY(messages.isEmpty());
        const QString name = customNick.isEmpty() ? QStringLiteral("Bob") : customNick;
        QCOMPARE(shown,
                 (QStringList{QStringLiteral("Account: bob"), QStringLiteral("Name: ") + name,
                              QStringLiteral("Signature: Silver")}));
    } else {
        delete watcher;
        QVERIFY(shown.isEmpty());
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().icon, QMessageBox::Warning);
        QCOMPARE(messages.first().title, QStringLiteral("Show profile"));
        QCOMPARE(messages.first().text, QStringLiteral("Can't get Profile Image!"));
    }
    window->logoutUser();
}

void TestMainWindow::checkForUpdateFromTheMenu_data()
{
    QTest::addColumn<QByteArray>("served");
    QTest::addColumn<bool>("offered");
    QTest::newRow("same version") << QByteArray("1.0.0-33\r\n") << false;
    QTest::newRow("older version") << QByteArray("1.0.0") << false;
    QTest::newRow("newer version") << QByteArray("1.0.1\n") << true;
}

void TestMainWindow::checkForUpdateFromTheMenu()
{
    QFETCH(QByteArray, served);
    QFETCH(bool, offered);
    HttpTestServer web;
    web.setBody(served);
    QVERIFY(web.listenOnLoopback());
    web.exportWebHost();
    UpdateObjects update;
    auto window = newWindow(false);
    window->setUpdateObjects(&update.thread, &update.dialog);
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), false, false);
    QVERIFY(window->isSessionActive());

    QAction *check = menuEntry(window.get(), QStringLiteral("Help"), QStringLiteral("Check for Update"));
    QVERIFY(check);
    check->trigger();
    QCOMPARE(web.paths(), QStringList{QStringLiteral("/update/stable32qt5")});
    QCOMPARE(update.dialog.isVisible(), offered);
    if (offered) {
        QVERIFY(messages.isEmpty());
        QCOMPARE(update.dialog.findChild<QLabel *>(QStringLiteral("labValNew"))->text(), QStringLiteral("1.0.1"));
        update.dialog.close();
    } else {
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages.first().icon, QMessageBox::Information);
        QCOMPARE(messages.first().title, QStringLiteral("Zelto Messenger Update"));
        QCOMPARE(messages.first().text, QStringLiteral("You have the current version of Zelto Messenger!"));
    }
    window->logoutUser();
    qunsetenv("ZM_WEB_HOST");
}

void TestMainWindow::preferencesSwitchTheUpdateCheck_data()
{
    QTest::addColumn<bool>("before");
    QTest::newRow("switched off") << true;
    QTest::newRow("switched on") << false;
}

void TestMainWindow::preferencesSwitchTheUpdateCheck()
{
    QFETCH(bool, before);
    HttpTestServer web;
    web.setBody("1.0.0-33");
    QVERIFY(web.listenOnLoopback());
    web.exportWebHost();
    settings().setValue(QStringLiteral("Update/UpdateNotification"), before);
    UpdateObjects update;
    if (before)
        update.thread.start(QThread::InheritPriority);
    else
        update.dialog.setNotificationButtonVisible(false);
    auto window = newWindow(false);
    window->setUpdateObjects(&update.thread, &update.dialog);
    loginWithZmsgd(window.get(), QStringLiteral("alice"), QStringLiteral("alice123"), false, false);
    QVERIFY(window->isSessionActive());
    QCOMPARE(update.thread.isRunning(), before);

    bool boxShowed = !before;
    whenWindowUp(this, QStringLiteral("Config"), [&](QWidget *config) {
        auto *box = config->findChild<QCheckBox *>(QStringLiteral("cbUpdateNotification"));
        boxShowed = box->isChecked();
        box->setChecked(!before);
        auto *buttons = config->findChild<QDialogButtonBox *>(QStringLiteral("bbOptions"));
        QVERIFY(clickStandardButton(buttons, QDialogButtonBox::Ok));
    });
    QAction *preferences = menuEntry(window.get(), QStringLiteral("Tools"), QStringLiteral("Preferences"));
    QVERIFY(preferences);
    preferences->trigger();
    QCOMPARE(boxShowed, before);
    QCOMPARE(settings().value(QStringLiteral("Update/UpdateNotification")).toString(),
             before ? QStringLiteral("false") : QStringLiteral("true"));
    QCOMPARE(update.thread.isRunning(), !before);
    QCOMPARE(update.disableButton()->isHidden(), before);
    QVERIFY(messages.isEmpty());
    // A started check asks the site at once, besides the preferences' own look-up.
    if (!before)
        QTRY_COMPARE(web.paths().size(), 2);
    window->logoutUser();
    qunsetenv("ZM_WEB_HOST");
}

void TestMainWindow::changedPasswordServesTheWatchdog_data()
{
    QTest::addColumn<bool>("stay");
    QTest::newRow("stay logged in") << true;
    QTest::newRow("this session only") << false;
}

void TestMainWindow::changedPasswordServesTheWatchdog()
{
    QFETCH(bool, stay);
    // A server of its own: the account's password changes and the server goes away.
    QTemporaryDir dir;
    ZmsgdConfig config = loopbackZmsgdConfig(dir.filePath(QStringLiteral("zmsgd.sqlite")), false);
    auto server = std::make_unique<ZmsgdServerThread>();
    QString error;
    QVERIFY2(server->start(config, &error), qPrintable(error));
    bool created = false;
    server->runOnServer([&](ZmsgdServer *s) {
        created = s->store()->createAccount(QStringLiteral("paula"), QStringLiteral("oldpass12"), QString())
            == ZmsgdStore::CreateResult::Created;
    });
    QVERIFY(created);
    pointAtPort(server->messagingPort());

    auto window = newWindow(false);
    QSignalSpy balloons(window.get(), &frmLogin::balloonShown);
    loginWithZmsgd(window.get(), QStringLiteral("paula"), QStringLiteral("oldpass12"), stay, false);
    QVERIFY(window->isSessionLoggedIn());

    whenWindowUp(this, QStringLiteral("Change password"), [](QWidget *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("txtOldPassword"))->setText(QStringLiteral("oldpass12"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtNewPassword"))->setText(QStringLiteral("newpass34"));
        dialog->findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword"))->setText(QStringLiteral("newpass34"));
        auto *buttons = dialog->findChild<QDialogButtonBox *>(QStringLiteral("bbOptions"));
        QVERIFY(clickStandardButton(buttons, QDialogButtonBox::Apply));
    });
    QAction *change = menuEntry(window.get(), QStringLiteral("Messenger"), QStringLiteral("Change password"));
    QVERIFY(change);
    change->trigger();
    QVERIFY(messages.isEmpty());
    QCOMPARE(settings().value(QStringLiteral("Login/Password")),
             stay ? QVariant(LoginStore::encodeCredential(QStringLiteral("newpass34"))) : QVariant());

    // The session drops; the server comes back on the same port and the watchdog logs in again.
    const quint16 port = server->messagingPort();
    server->stop();
    QTRY_VERIFY(!window->session()->isLoggedIn());
    config.messagingPort = port;
    server = std::make_unique<ZmsgdServerThread>();
    QVERIFY2(server->start(config, &error), qPrintable(error));
    QMetaObject::invokeMethod(window.get(), "on_timerLC_tick");
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), 15000);
    for (const QList<QVariant> &balloon : qAsConst(balloons))
        QVERIFY2(balloon.at(0).toString() != QLatin1String("Logged out"), qPrintable(balloon.at(1).toString()));
    QCOMPARE(settings().value(QStringLiteral("Login/Autologin"), false).toBool(), stay);
    window->logoutUser();
    server->stop();
}

void TestMainWindow::longChangedPasswordLogsIn_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("70 characters") << 70;
    QTest::newRow("as long as the server takes") << AccountChecks::MaxPasswordLength;
}

void TestMainWindow::longChangedPasswordLogsIn()
{
    QFETCH(int, length);
    const QString account = QStringLiteral("long%1").arg(length);
    bool created = false;
    zmsgd.runOnServer([&](ZmsgdServer *server) {
        created = server->store()->createAccount(account, QStringLiteral("oldpass12"), QString())
            == ZmsgdStore::CreateResult::Created;
    });
    QVERIFY(created);
    auto window = newWindow(false);
    typeLogin(window.get(), account, QStringLiteral("oldpass12"));
    QVERIFY(window->isSessionLoggedIn());

    QString typed;
    for (int i = 0; i < length; ++i)
        typed += QLatin1Char("abcdefghij0123456789!#"[i % 22]);
    whenWindowUp(this, QStringLiteral("Change password"), [&typed](QWidget *dialog) {
        const QList<QPair<const char *, QString>> fields = {
            {"txtOldPassword", QStringLiteral("oldpass12")}, {"txtNewPassword", typed}, {"txtRepeatPassword", typed}};
        for (const auto &field : fields) {
            auto *edit = dialog->findChild<QLineEdit *>(QLatin1String(field.first));
            QTest::mouseClick(edit, Qt::LeftButton);
            QTest::keyClicks(edit, field.second);
        }
        QVERIFY(clickStandardButton(dialog->findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")),
                                    QDialogButtonBox::Apply));
    });
    QAction *change = menuEntry(window.get(), QStringLiteral("Messenger"), QStringLiteral("Change password"));
    QVERIFY(change);
    change->trigger();
    QVERIFY2(messages.isEmpty(), qPrintable(messages.value(0).text));

    // Logged out, the user logs in with what was typed.
    QAction *logout = menuEntry(window.get(), QStringLiteral("Messenger"), QStringLiteral("Logout"));
    QVERIFY(logout);
    logout->trigger();
    QVERIFY(!window->isSessionActive());
    typeLogin(window.get(), account, typed);
    QVERIFY2(window->isSessionLoggedIn(), qPrintable(messages.value(0).text));
    window->logoutUser();
}

ZM_HERMETIC_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
