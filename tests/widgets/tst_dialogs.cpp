#include "AccountChecks.h"
#include "AccountLink.h"
#include "ActionResult.h"
#include "AvatarCache.h"
#include "LoginStore.h"
#include "Platform.h"
#include "ProfilePayload.h"
#include "UiMessage.h"
#include "UpdateCheck.h"
#include "frmAboutZMPQ.h"
#include "frmAboutZelto.h"
#include "frmChangePassword.h"
#include "frmConfig.h"
#include "frmContactRequests.h"
#include "frmLogin.h"
#include "frmProfile.h"
#include "frmProfileInfo.h"
#include "hermetic.h"
#include "httptestserver.h"
#include "sessionlink.h"
#include "testpictures.h"
#include "tlstestserver.h"
#include "windowwatch.h"

#include <zmsgfw111q.h>

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMutex>
#include <QPainter>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocumentFragment>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Box {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

QSettings appSettings()
{
    return QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
}

QString describeClients(const ClientList &clients)
{
    QStringList records;
    for (const auto &client : clients) {
        QStringList fields;
        for (auto it = client.begin(); it != client.end(); ++it)
            fields << it.key() + QLatin1Char('=') + it.value();
        records << fields.join(QLatin1Char(','));
    }
    return records.join(QLatin1Char('|'));
}

// A picture of three colour bands across its longer side, to see which part a crop kept.
QImage bands(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    const bool across = width >= height;
    const int length = across ? width : height;
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    for (int i = 0; i < 3; ++i) {
        const int from = length * i / 3;
        const int to = length * (i + 1) / 3;
        if (across)
            painter.fillRect(from, 0, to - from, height, colours[i]);
        else
            painter.fillRect(0, from, width, to - from, colours[i]);
    }
    return image;
}

// Opens the profile editor's avatar dialog with a click, as the user does, and tells whether
// it shows a 128 x 128 picture.
bool avatarDialogShowsPicture(SessionLink *link)
{
    frmProfile dialog;
    dialog.setLogin(link);
    dialog.show();
    bool shown = false;
    whenWindowUp(&dialog, QStringLiteral("Avatar"), [&](QWidget *avatar) {
        for (QLabel *label : avatar->findChildren<QLabel *>())
            shown |= !label->pixmap(Qt::ReturnByValue).isNull()
                && label->pixmap(Qt::ReturnByValue).size() == QSize(128, 128);
        avatar->close();
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAvatar")), Qt::LeftButton);
    return shown;
}

} // namespace

// The preferences dialog with the program restart replaced by a record of what was on disk.
class RecordingConfig : public frmConfig
{
public:
    explicit RecordingConfig(const QString &translations)
        : frmConfig(translations)
    {
        Platform::setRestartHook([this] {
            ++restarts;
            QFile file(appSettings().fileName());
            if (file.open(QIODevice::ReadOnly))
                settingsOnDisk = file.readAll();
            return true;
        });
        Platform::setQuitHook([] {});
    }
    ~RecordingConfig() override
    {
        Platform::setRestartHook(nullptr);
        Platform::setQuitHook(nullptr);
    }
    int restarts = 0;
    QByteArray settingsOnDisk;
};

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void payloadParser_data();
    void payloadParser();
    void clientsTextJoinsOnlyPresentParts();

    void profileInfoSignature_data();
    void profileInfoSignature();
    void profileInfoFromPayload();
    void profileInfoStatusIsEscaped_data();
    void profileInfoStatusIsEscaped();
    void profileInfoTitle_data();
    void profileInfoTitle();
    void clientsBoxShowsServerTextPlain();

    void profileEditorFillsItsFields();
    void profileEditorChecks_data();
    void profileEditorChecks();
    void profileEditorServerRefusals_data();
    void profileEditorServerRefusals();
    void profileEditorOffline();
    void profileEditorCancelCloses();
    void profileEditorNameCheckedWhenChanged_data();
    void profileEditorNameCheckedWhenChanged();
    void avatarDialogIsModal();
    void avatarPreparation_data();
    void avatarPreparation();
    void avatarPickAndUpload();
    void avatarFromCache();
    void avatarBadCacheFileIsDeleted_data();
    void avatarBadCacheFileIsDeleted();

    void passwordChecks_data();
    void passwordChecks();
    void passwordServerAnswers_data();
    void passwordServerAnswers();
    void passwordOffline();
    void passwordOldWithLineBreakIsNotSent();
    void actionResultExplanations_data();
    void actionResultExplanations();
    void passwordFieldsHoldTheServerLimit_data();
    void passwordFieldsHoldTheServerLimit();

    void friendRequestsAcceptOneOfThree();
    void friendRequestsSingleAndEmpty();
    void friendRequestsRefused();
    void friendRequestsClose();

    void configReadsStoredChoices();
    void configSavesEverythingBeforeRestart();
    void configSameLanguageDoesNotRestart();
    void configFontReset();
    void configStyle();
    void configCancelStoresNothing();
    void configShowsLatestVersion();

    void aboutZelto();
    void aboutBuildText();
    void aboutCreditsTakenAsTheyAre_data();
    void aboutCreditsTakenAsTheyAre();
    void aboutShowsTheCreditsFile();
    void aboutCreditsLinksAddContacts();

    // Last: destroying the main window asks the application to quit, which ends every later
    // event loop at once.
    void changedPasswordReachesLoginAndStore();

private:
    QList<QByteArray> actionsSinceInit() const;
    void setCode(const QByteArray &action, int code);
    void clickRole(QDialogButtonBox *box, QDialogButtonBox::StandardButton button);

    TlsTestServer server;
    SessionLink *link = nullptr;
    QList<Box> boxes;
    int linesAtInit = 0;
    mutable QMutex codesMutex;
    QHash<QByteArray, int> codes;
};

void TestDialogs::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Zelto Messenger"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0-33"));
    for (const char *name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(name);
    // Nothing listens here: the preferences' version fetch fails at once.
    qputenv("ZM_WEB_HOST", "127.0.0.1:1");
    server.setLineHandler([this](const QByteArray &line) -> QByteArray {
        const QList<QByteArray> words = line.trimmed().split(' ');
        if (words.value(1) != "action")
            return "ZM/1.1 return --id=200\n";
        const QByteArray action = words.value(2).mid(5);
        QMutexLocker locker(&codesMutex);
        return "ZM/1.1 return --at=" + action + " --id=" + QByteArray::number(codes.value(action, 200)) + "\n";
    });
    QVERIFY(server.listenOnLoopback());
    server.exportEndpoint();
    link = new SessionLink;
    QCOMPARE(link->session.loginUser(QStringLiteral("anna"), QStringLiteral("secret12")), 200);
    UiMessage::setHook([this](QMessageBox::Icon icon, const QString &title, const QString &text) {
        boxes.append({icon, title, text});
        return QMessageBox::Ok;
    });
}

void TestDialogs::cleanupTestCase()
{
    UiMessage::setHook(nullptr);
    delete link;
    link = nullptr;
}

void TestDialogs::init()
{
    boxes.clear();
    {
        QMutexLocker locker(&codesMutex);
        codes.clear();
    }
    link->online = true;
    link->uploadResult = true;
    link->avatarId.clear();
    link->calls.clear();
    linesAtInit = server.receivedLines().size();
}

QList<QByteArray> TestDialogs::actionsSinceInit() const
{
    QList<QByteArray> actions;
    const QList<QByteArray> lines = server.receivedLines();
    for (int i = linesAtInit; i < lines.size(); ++i)
        actions << lines.at(i).trimmed();
    return actions;
}

void TestDialogs::setCode(const QByteArray &action, int code)
{
    QMutexLocker locker(&codesMutex);
    codes.insert(action, code);
}

void TestDialogs::clickRole(QDialogButtonBox *box, QDialogButtonBox::StandardButton button)
{
    QVERIFY(clickStandardButton(box, button));
}

// --- profile payload -------------------------------------------------------------------------

void TestDialogs::payloadParser_data()
{
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("contacts");
    QTest::addColumn<QString>("signature");
    QTest::addColumn<QString>("clients");
    QTest::addColumn<int>("clientCount");
    QTest::addColumn<int>("dropped");

    QTest::newRow("contacts and signature") << "contacts&splt;12&nxve;signature&splt;Silver"
                                            << "12"
                                            << "Silver"
                                            << "" << 0 << 0;
    QTest::newRow("two clients")
        << "contacts&splt;3&nxve;accas&splt;system&sxlt;Windows&aclt;version&sxlt;1.0&acln;ip&sxlt;10.0.0.1"
        << "3"
        << ""
        << "system=Windows,version=1.0|ip=10.0.0.1" << 2 << 0;
    QTest::newRow("lower-case level kept as sent") << "signature&splt;gold"
                                                   << ""
                                                   << "gold"
                                                   << "" << 0 << 0;
    QTest::newRow("entry without separator ignored") << "contacts&splt;5&nxve;contacts"
                                                     << "5"
                                                     << ""
                                                     << "" << 0 << 0;
    QTest::newRow("empty value overrides") << "contacts&splt;5&nxve;contacts&splt;"
                                           << ""
                                           << ""
                                           << "" << 0 << 0;
    QTest::newRow("last occurrence wins") << "contacts&splt;1&nxve;contacts&splt;2"
                                          << "2"
                                          << ""
                                          << "" << 0 << 0;
    QTest::newRow("only first two pieces") << "contacts&splt;7&splt;9"
                                           << "7"
                                           << ""
                                           << "" << 0 << 0;
    QTest::newRow("accas without field separator") << "accas&splt;Windows"
                                                   << ""
                                                   << ""
                                                   << "" << 1 << 0;
    QTest::newRow("field with three pieces") << "accas&splt;ip&sxlt;1&sxlt;2"
                                             << ""
                                             << ""
                                             << "ip=1" << 1 << 0;
    QTest::newRow("empty payload") << ""
                                   << ""
                                   << ""
                                   << "" << 0 << 0;
    QTest::newRow("separators only") << "&nxve;&nxve;&splt;&acln;"
                                     << ""
                                     << ""
                                     << "" << 0 << 0;
    QTest::newRow("keys are case-sensitive") << "Contacts&splt;3&nxve;ACCAS&splt;ip&sxlt;1"
                                             << ""
                                             << ""
                                             << "" << 0 << 0;
    QTest::newRow("truncated separator") << "contacts&spl"
                                         << ""
                                         << ""
                                         << "" << 0 << 0;
    QTest::newRow("truncated inside accas") << "accas&splt;ip&sxlt;1&acl"
                                            << ""
                                            << ""
                                            << "ip=1&acl" << 1 << 0;
    QTest::newRow("unknown keys ignored") << "mail&splt;a@b&nxve;contacts&splt;4"
                                          << "4"
                                          << ""
                                          << "" << 0 << 0;

    QStringList many;
    for (int i = 0; i < 5000; ++i)
        many << QStringLiteral("ip&sxlt;10.0.0.%1").arg(i % 256);
    QTest::newRow("thousands of clients")
        << QStringLiteral("accas&splt;") + many.join(QStringLiteral("&acln;")) << ""
        << "" << QString() << ProfilePayload::MaxClients << 5000 - ProfilePayload::MaxClients;
    const QString huge(200000, QLatin1Char('9'));
    QTest::newRow("huge value cut") << QStringLiteral("contacts&splt;") + huge
                                    << huge.left(ProfilePayload::MaxValueLength) + QStringLiteral("...") << ""
                                    << "" << 0 << 0;
}

void TestDialogs::payloadParser()
{
    QFETCH(QString, payload);
    QFETCH(QString, contacts);
    QFETCH(QString, signature);
    QFETCH(QString, clients);
    QFETCH(int, clientCount);
    QFETCH(int, dropped);
    const ProfileInfo info = ProfilePayload::parse(payload);
    QCOMPARE(info.contacts, contacts);
    QCOMPARE(info.signature, signature);
    QCOMPARE(info.clients.size(), clientCount);
    if (!clients.isNull())
        QCOMPARE(describeClients(info.clients), clients);
    QCOMPARE(info.droppedClients, dropped);
    QVERIFY(!ProfilePayload::isFailure(payload));
}

void TestDialogs::clientsTextJoinsOnlyPresentParts()
{
    const ProfileInfo info = ProfilePayload::parse(
        QStringLiteral("accas&splt;system&sxlt;Windows&aclt;version&sxlt;1.0&acln;ip&sxlt;10.0.0.1&acln;other&sxlt;x"));
    QCOMPARE(ProfilePayload::clientsText(QStringLiteral("Clients of Ann"), info.clients, QStringLiteral("System"),
                                         QStringLiteral("Version"), QStringLiteral("IP")),
             QStringLiteral("Clients of Ann\n\nSystem: Windows, Version: 1.0\nIP: 10.0.0.1\n"));
    QCOMPARE(ProfilePayload::clientsText(QStringLiteral("Clients of Ann"), {}, QStringLiteral("System"),
                                         QStringLiteral("Version"), QStringLiteral("IP")),
             QStringLiteral("Clients of Ann\n"));
    QVERIFY(ProfilePayload::isFailure(QStringLiteral("///Error 404")));
}

// --- profile info ----------------------------------------------------------------------------

void TestDialogs::profileInfoSignature_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("label");
    QTest::newRow("gold") << "Gold"
                          << "Signature: Gold";
    QTest::newRow("silver") << "Silver"
                            << "Signature: Silver";
    QTest::newRow("bronze") << "Bronze"
                            << "Signature: Bronze";
    QTest::newRow("lower case") << "gold"
                                << "Signature: Regular";
    QTest::newRow("empty") << ""
                           << "Signature: Regular";
    QTest::newRow("markup") << "<b>Gold</b>"
                            << "Signature: Regular";
}

void TestDialogs::profileInfoSignature()
{
    QFETCH(QString, value);
    QFETCH(QString, label);
    frmProfileInfo dialog;
    dialog.setSignature(value);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labSignature"))->text(), label);
    auto *picture = dialog.findChild<QLabel *>(QStringLiteral("imgSignature"));
    QVERIFY(!picture->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(picture->size(), QSize(128, 128));
}

void TestDialogs::profileInfoFromPayload()
{
    frmProfileInfo dialog;
    // Fixed, at the designed size or larger where the texts need more room.
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.size().expandedTo(QSize(280, 330)), dialog.size());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Profile Info"));
    auto *show = dialog.findChild<QPushButton *>(QStringLiteral("cmdShowClients"));
    QVERIFY(!show->isEnabled());
    const ProfileInfo info = ProfilePayload::parse(QStringLiteral("contacts&splt;12&nxve;signature&splt;Silver"));
    dialog.setAccount(QStringLiteral("<i>ben</i>"));
    dialog.setContacts(info.contacts);
    dialog.setClients(info.clients);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labContacts"))->text(), QStringLiteral("Contacts: 12"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labClients"))->text(), QStringLiteral("Clients: 0"));
    QVERIFY(!show->isEnabled());
    auto *account = dialog.findChild<QLabel *>(QStringLiteral("labAccount"));
    QCOMPARE(account->textFormat(), Qt::PlainText);
    QCOMPARE(account->text(), QStringLiteral("Account: <i>ben</i>"));

    dialog.setClients(ProfilePayload::parseClients(QStringLiteral("Windows")));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labClients"))->text(), QStringLiteral("Clients: 1"));
    QVERIFY(show->isEnabled());
    // Records beyond the listed ones still count.
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("ip&sxlt;10.0.0.%1").arg(i % 256);
    const ProfileInfo crowded =
        ProfilePayload::parse(QStringLiteral("accas&splt;") + many.join(QStringLiteral("&acln;")));
    dialog.setClients(crowded.clients, crowded.droppedClients);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labClients"))->text(), QStringLiteral("Clients: 300"));

    dialog.show();
    QTest::mouseClick(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOK"))->button(QDialogButtonBox::Ok),
                      Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::profileInfoStatusIsEscaped_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("label");
    QTest::newRow("entities shown decoded") << "Gr&uuml;&szlig;e &amp; mehr"
                                            << "Status: <span>Grüße &amp; mehr</span>";
    QTest::newRow("escaped markup stays text") << "&lt;b&gt;x&lt;/b&gt;"
                                               << "Status: <span>&lt;b&gt;x&lt;/b&gt;</span>";
    QTest::newRow("raw markup from a sender") << "<img src=\"/etc/x\">"
                                              << "Status: <span>&lt;img src=&quot;/etc/x&quot;&gt;</span>";
    QTest::newRow("empty") << ""
                           << "Status: <span></span>";
}

void TestDialogs::profileInfoStatusIsEscaped()
{
    QFETCH(QString, status);
    QFETCH(QString, label);
    frmProfileInfo dialog;
    dialog.setStatus(status);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labMsgState"))->text(), label);
}

void TestDialogs::profileInfoTitle_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("ends in s") << "James"
                               << "James";
    QTest::newRow("other letter") << "Anna"
                                  << "Anna's";
    QTest::newRow("upper-case S") << "BOSS"
                                  << "BOSS's";
    QTest::newRow("empty") << ""
                           << "'s";
}

void TestDialogs::profileInfoTitle()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(frmProfileInfo::titleName(name), title);
}

void TestDialogs::clientsBoxShowsServerTextPlain()
{
    frmProfileInfo dialog;
    dialog.setName(QStringLiteral("<b>Ben</b>"));
    dialog.setClients(ProfilePayload::parseClients(QStringLiteral("system&sxlt;<img src=x>&aclt;ip&sxlt;10.0.0.1")));
    dialog.show();
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    whenWindowUp(&dialog, QStringLiteral("Clients"), [&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        text = box->text();
        format = box->textFormat();
        box->accept();
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdShowClients")), Qt::LeftButton);
    QCOMPARE(text, QStringLiteral("Clients of <b>Ben</b>\n\nSystem: <img src=x>, IP: 10.0.0.1"));
    QCOMPARE(format, Qt::PlainText);
}

// --- profile editor ---------------------------------------------------------------------------

void TestDialogs::profileEditorFillsItsFields()
{
    frmProfile dialog;
    // Fixed, at the designed size or larger where the texts need more room.
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.size().expandedTo(QSize(280, 330)), dialog.size());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Profile editor"));
    QCOMPARE(dialog.windowModality(), Qt::WindowModal);
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    link->avatarId = QStringLiteral("a1b2");
    dialog.setLogin(link);
    dialog.setData(QStringLiteral("anna"), QStringLiteral("Ann"), QStringLiteral("sch&ouml;n &amp; gut"),
                   QStringLiteral("7"));
    dialog.setClients(ProfilePayload::parseClients(QString()));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labAvatar"))->text(), QStringLiteral("Avatar: ID a"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labName"))->text(), QStringLiteral("Account: anna"));
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtNick"))->text(), QStringLiteral("Ann"));
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtMsgState"))->text(), QStringLiteral("schön & gut"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labContacts"))->text(), QStringLiteral("Contacts: 7"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labClients"))->text(), QStringLiteral("Clients: 0"));
    QVERIFY(dialog.findChild<QPushButton *>(QStringLiteral("cmdShowClients"))->isEnabled());
    auto *options = dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions"));
    QCOMPARE(options->button(QDialogButtonBox::Apply)->text(), QStringLiteral("Change"));

    link->avatarId.clear();
    dialog.setLogin(link);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labAvatar"))->text(), QStringLiteral("Avatar: ID "));
}

void TestDialogs::profileEditorChecks_data()
{
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("sentStatus");

    const QString name = QStringLiteral("Change name");
    const QString state = QStringLiteral("Change message state");
    QTest::newRow("two letters") << "ab"
                                 << "" << name << "The new name is shorter than 3 bytes!" << QByteArray();
    QTest::newRow("three letters pass") << "abc"
                                        << ""
                                        << ""
                                        << "" << QByteArray("");
    QTest::newRow("leading blank") << " abcd"
                                   << "" << name << "The new name is not the same in trimmed and not trimmed form!"
                                   << QByteArray();
    QTest::newRow("trailing blank before break")
        << "abc<br> "
        << "" << name << "The new name is not the same in trimmed and not trimmed form!" << QByteArray();
    QTest::newRow("br in name") << "ab<br>cd"
                                << "" << name << "The new name contains CR or LF in binary form!" << QByteArray();
    QTest::newRow("umlaut in name") << "J\u00fcrgen"
                                    << "" << name << "The new name is not \"UTF-8 without BOM\" compatible!"
                                    << QByteArray();
    QTest::newRow("br in status") << "Anna"
                                  << "a<br>b" << state << "The new message state contains CR or LF in binary form!"
                                  << QByteArray();
    QTest::newRow("blank around status") << "Anna"
                                         << " away" << state
                                         << "The new message state is not the same in trimmed and not trimmed form!"
                                         << QByteArray();
    QTest::newRow("umlaut in status passes") << "Anna"
                                             << "sch\u00f6n"
                                             << ""
                                             << "" << QByteArray("sch&amp;ouml;n");
    QTest::newRow("accent in status") << "Anna"
                                      << "caf\u00e9" << state
                                      << "The new message state is not \"UTF-8 without BOM\" compatible!"
                                      << QByteArray();
    QTest::newRow("markup in status sent escaped") << "Anna"
                                                   << "<b>hi</b>"
                                                   << ""
                                                   << "" << QByteArray("&amp;lt;b&amp;gt;hi&amp;lt;/b&amp;gt;");
    QTest::newRow("empty status passes") << "Anna"
                                         << ""
                                         << ""
                                         << "" << QByteArray("");
    const QString longest(AccountChecks::MaxNickLength, QLatin1Char('n'));
    QTest::newRow("name as long as the server takes") << longest << ""
                                                      << ""
                                                      << "" << QByteArray("");
    QTest::newRow("name longer than the server takes")
        << longest + QStringLiteral("n") << "" << name << "The new name is longer than 64 characters!" << QByteArray();
    const QString tooLong = QStringLiteral("The new message state is longer than 1024 characters! Characters such as "
                                           "\u00e4, \u20ac or & count as several.");
    QTest::newRow("status as long as the server takes") << "Anna" << QString(1024, QLatin1Char('s')) << ""
                                                        << "" << QByteArray(1024, 's');
    QTest::newRow("status longer than the server takes")
        << "Anna" << QString(1025, QLatin1Char('s')) << state << tooLong << QByteArray();
    // Each umlaut goes out as an entity of six characters.
    QTest::newRow("umlauts beyond the limit once escaped")
        << "Anna" << QString(200, QChar(0xe4)) << state << tooLong << QByteArray();
}

void TestDialogs::profileEditorChecks()
{
    QFETCH(QString, nick);
    QFETCH(QString, status);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(QByteArray, sentStatus);

    frmProfile dialog;
    dialog.setLogin(link);
    dialog.setData(QStringLiteral("anna"), QStringLiteral("Ann"), QString(), QStringLiteral("0"));
    dialog.show();
    dialog.findChild<QLineEdit *>(QStringLiteral("txtNick"))->setText(nick);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtMsgState"))->setText(status);
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);

    if (title.isEmpty()) {
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(actionsSinceInit(),
                 QList<QByteArray>({"ZM/1.1 action --at=setnick --nick=" + nick.toUtf8(),
                                    "ZM/1.1 action --at=setmessagestate --message=" + sentStatus}));
        QCOMPARE(link->calls, QStringList({QStringLiteral("welcome ") + nick}));
        QVERIFY(!dialog.isVisible());
    } else {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).icon, QMessageBox::Warning);
        QCOMPARE(boxes.at(0).title, title);
        QCOMPARE(boxes.at(0).text, message);
        QCOMPARE(actionsSinceInit(), QList<QByteArray>());
        QVERIFY(dialog.isVisible());
    }
}

void TestDialogs::profileEditorServerRefusals_data()
{
    QTest::addColumn<int>("nickCode");
    QTest::addColumn<int>("stateCode");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("actions");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("newNick");
    QTest::newRow("name refused") << 500 << 200 << "Change name"
                                  << "Name could not be changed with Error 500!\nThe server did not answer in time. "
                                     "Please try again."
                                  << 1 << QStringList() << "";
    QTest::newRow("status refused") << 200 << 404 << "Change message state"
                                    << "Status could not be changed with Error 404!\nThe server refused the change."
                                    << 2 << QStringList({QStringLiteral("welcome Anna")}) << "";
    QTest::newRow("name refused as a bad value")
        << 400 << 200 << "Change name"
        << "Name could not be changed with Error 400!\nThe server did not accept the value: a name has 3 to 64 "
           "characters and no line break."
        << 1 << QStringList() << "Annabel";
    QTest::newRow("new name saved, status refused")
        << 200 << 400 << "Change message state"
        << "Your new name Annabel was saved, but your status message was not changed.\n\nStatus could not be changed "
           "with Error 400!\nThe server did not accept the value: a status message has at most 1024 characters and no "
           "line break."
        << 2 << QStringList({QStringLiteral("welcome Annabel")}) << "Annabel";
    QTest::newRow("too many changes")
        << 200 << 429 << "Change message state"
        << "Status could not be changed with Error 429!\nThere were too many changes in a "
           "short time. Please wait a minute and try again."
        << 2 << QStringList({QStringLiteral("welcome Anna")}) << "";
}

void TestDialogs::profileEditorServerRefusals()
{
    QFETCH(int, nickCode);
    QFETCH(int, stateCode);
    QFETCH(QString, title);
    QFETCH(QString, message);
    QFETCH(int, actions);
    QFETCH(QStringList, calls);
    QFETCH(QString, newNick);
    setCode("setnick", nickCode);
    setCode("setmessagestate", stateCode);
    frmProfile dialog;
    dialog.setLogin(link);
    dialog.setData(QStringLiteral("anna"), QStringLiteral("Anna"), QStringLiteral("away"), QStringLiteral("0"));
    dialog.show();
    if (!newNick.isEmpty()) {
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("txtNick"));
        QTest::mouseClick(name, Qt::LeftButton);
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, newNick);
    }
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).title, title);
    QCOMPARE(boxes.at(0).text, message);
    QCOMPARE(actionsSinceInit().size(), actions);
    QCOMPARE(link->calls, calls);
    QVERIFY(dialog.isVisible());
}

void TestDialogs::profileEditorOffline()
{
    link->online = false;
    frmProfile dialog;
    dialog.setLogin(link);
    dialog.setData(QStringLiteral("anna"), QStringLiteral("Anna"), QString(), QStringLiteral("0"));
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).icon, QMessageBox::Information);
    QCOMPARE(boxes.at(0).title, QStringLiteral("Offline"));
    QCOMPARE(boxes.at(0).text, QStringLiteral("You are offline, please wait until you're online!"));
    QCOMPARE(actionsSinceInit().size(), 0);
}

void TestDialogs::profileEditorCancelCloses()
{
    frmProfile dialog;
    dialog.setLogin(link);
    dialog.show();
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Cancel);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(actionsSinceInit().size(), 0);
}

void TestDialogs::profileEditorNameCheckedWhenChanged_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QByteArray>("sentNick");
    // A name the server already holds is sent again as it is, whatever today's rules say.
    QTest::newRow("unchanged two-letter name") << "Jo"
                                               << ""
                                               << "" << QByteArray("Jo");
    QTest::newRow("unchanged name with a trailing blank") << "Jo "
                                                          << ""
                                                          << "" << QByteArray("Jo&nbsp;");
    QTest::newRow("changed to two letters") << "Joe"
                                            << "Al"
                                            << "The new name is shorter than 3 bytes!" << QByteArray();
    QTest::newRow("changed to a valid name") << "Jo"
                                             << "Joanna"
                                             << "" << QByteArray("Joanna");
}

void TestDialogs::profileEditorNameCheckedWhenChanged()
{
    QFETCH(QString, stored);
    QFETCH(QString, typedName);
    QFETCH(QString, warning);
    QFETCH(QByteArray, sentNick);
    frmProfile dialog;
    dialog.setLogin(link);
    dialog.setData(QStringLiteral("anna"), stored, QStringLiteral("away"), QStringLiteral("0"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (!typedName.isEmpty()) {
        auto *name = dialog.findChild<QLineEdit *>(QStringLiteral("txtNick"));
        QTest::mouseClick(name, Qt::LeftButton);
        QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(name, typedName);
    }
    auto *status = dialog.findChild<QLineEdit *>(QStringLiteral("txtMsgState"));
    QTest::mouseClick(status, Qt::LeftButton);
    QTest::keyClick(status, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(status, QStringLiteral("in a meeting"));
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);

    if (warning.isEmpty()) {
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(actionsSinceInit(),
                 QList<QByteArray>({"ZM/1.1 action --at=setnick --nick=" + sentNick,
                                    "ZM/1.1 action --at=setmessagestate --message=in&nbsp;a&nbsp;meeting"}));
        QVERIFY(!dialog.isVisible());
    } else {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).title, QStringLiteral("Change name"));
        QCOMPARE(boxes.at(0).text, warning);
        QCOMPARE(actionsSinceInit(), QList<QByteArray>());
        QVERIFY(dialog.isVisible());
    }
}

void TestDialogs::avatarDialogIsModal()
{
    frmProfile dialog;
    dialog.setLogin(link);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QPushButton *cancel =
        dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions"))->button(QDialogButtonBox::Cancel);

    bool modal = false;
    bool editorStayed = false;
    bool closed = false;
    whenWindowUp(&dialog, QStringLiteral("Avatar"), [&](QWidget *avatar) {
        QVERIFY(QTest::qWaitForWindowExposed(avatar));
        modal = QApplication::activeModalWidget() == avatar;
        // The editor under the sub-dialog does not react: its Cancel cannot leave the
        // sub-dialog open on its own.
        clickThroughWindow(cancel);
        editorStayed = dialog.isVisible();
        for (QPushButton *button : avatar->findChildren<QPushButton *>()) {
            if (button->text() == QLatin1String("Close"))
                clickThroughWindow(button);
        }
        closed = !avatar->isVisible();
    });
    clickThroughWindow(dialog.findChild<QPushButton *>(QStringLiteral("cmdAvatar")));
    QVERIFY(modal);
    QVERIFY(editorStayed);
    QVERIFY(closed);

    // With the sub-dialog gone, Cancel closes the editor and nothing is left open.
    clickThroughWindow(cancel);
    QVERIFY(!dialog.isVisible());
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!window->isVisible(), qPrintable(window->windowTitle()));
    QCOMPARE(actionsSinceInit().size(), 0);
}

void TestDialogs::avatarPreparation_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QColor>("first");
    QTest::addColumn<QColor>("last");
    // The last row or column of the result comes from 2/3 of the scaled side: the middle band.
    QTest::newRow("landscape keeps the left part") << QSize(300, 200) << QColor(Qt::red) << QColor(Qt::green);
    QTest::newRow("portrait keeps the top part") << QSize(200, 300) << QColor(Qt::red) << QColor(Qt::green);
    QTest::newRow("square scaled whole") << QSize(60, 60) << QColor(Qt::red) << QColor(Qt::blue);
}

void TestDialogs::avatarPreparation()
{
    QFETCH(QSize, size);
    QFETCH(QColor, first);
    QFETCH(QColor, last);
    const QImage prepared = frmProfile::prepareAvatar(bands(size.width(), size.height()));
    QCOMPARE(prepared.size(), QSize(128, 128));
    const bool across = size.width() >= size.height();
    const QPoint start = across ? QPoint(2, 64) : QPoint(64, 2);
    const QPoint end = across ? QPoint(125, 64) : QPoint(64, 125);
    QCOMPARE(QColor(prepared.pixel(start)), first);
    QCOMPARE(QColor(prepared.pixel(end)), last);
}

void TestDialogs::avatarPickAndUpload()
{
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("me.png"));
    QVERIFY(bands(300, 200).save(picture));
    frmProfile dialog;
    dialog.setLogin(link);
    dialog.show();
    link->uploadResult = false;

    QStringList seen;
    whenWindowUp(&dialog, QStringLiteral("Avatar"), [&](QWidget *avatar) {
        seen << QStringLiteral("size %1x%2").arg(avatar->width()).arg(avatar->height());
        seen << (dialog.takeAvatarFile(dir.filePath(QStringLiteral("missing.png"))) ? QStringLiteral("loaded")
                                                                                    : QStringLiteral("not loaded"));
        seen << (dialog.takeAvatarFile(picture) ? QStringLiteral("loaded") : QStringLiteral("not loaded"));
        QPushButton *apply = nullptr;
        for (QPushButton *button : avatar->findChildren<QPushButton *>())
            if (button->text() == QLatin1String("Apply Avatar"))
                apply = button;
        if (apply) {
            seen << QStringLiteral("apply %1 %2").arg(apply->isVisible()).arg(apply->isDefault());
            QTest::mouseClick(apply, Qt::LeftButton); // refused: the sub-dialog stays
            seen << (avatar->isVisible() ? QStringLiteral("open") : QStringLiteral("closed"));
            link->uploadResult = true;
            QTest::mouseClick(apply, Qt::LeftButton);
            seen << (avatar->isVisible() ? QStringLiteral("open") : QStringLiteral("closed"));
        }
        avatar->close();
    });
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAvatar")), Qt::LeftButton);

    QCOMPARE(seen,
             QStringList({QStringLiteral("size 200x188"), QStringLiteral("not loaded"), QStringLiteral("loaded"),
                          QStringLiteral("apply 1 1"), QStringLiteral("open"), QStringLiteral("closed")}));
    QCOMPARE(link->calls, QStringList({QStringLiteral("upload 128x128"), QStringLiteral("upload 128x128")}));
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).text, QStringLiteral("Can't load Avatar"));
    QCOMPARE(boxes.at(1).title, QStringLiteral("Change Avatar"));
    QCOMPARE(boxes.at(1).text, QStringLiteral("Error uploading Avatar"));
}

void TestDialogs::avatarFromCache()
{
    link->avatarId = QStringLiteral("0a1b2c");
    QVERIFY(AvatarCache::writeFile(AvatarCache::filePath(link->avatarId), pngBytes(bands(128, 128))));
    const bool shown = avatarDialogShowsPicture(link);
    QVERIFY(shown);
    QVERIFY(QFile::exists(AvatarCache::filePath(link->avatarId)));
}

void TestDialogs::avatarBadCacheFileIsDeleted_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("not an avatar at all") << QByteArray("not an avatar at all");
    // A cached SVG naming a FIFO nobody writes to: opening it would hang the window.
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                           "width=\"128\" height=\"128\"><image width=\"128\" height=\"128\" xlink:href=\""
        + QFile::encodeName(QDir::homePath()) + "/avatar.fifo\"/></svg>";
    QTest::newRow("svg naming a fifo") << AvatarCache::encode(svg);
}

void TestDialogs::avatarBadCacheFileIsDeleted()
{
    QFETCH(QByteArray, content);
    const QByteArray fifo = QFile::encodeName(QDir::homePath()) + "/avatar.fifo";
    QFile::remove(QString::fromLocal8Bit(fifo));
    QCOMPARE(mkfifo(fifo.constData(), 0600), 0);
    // A writer comes by now and then: it finds a reader only when the window opened the
    // FIFO, and then lets it go so that the test ends.
    std::atomic_bool done{false};
    std::atomic_int released{0};
    std::thread releaser([&] {
        while (!done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0) {
                ++released;
                ::close(writer);
            }
        }
    });

    link->avatarId = QStringLiteral("bad");
    const QString path = AvatarCache::filePath(link->avatarId);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    const bool shown = avatarDialogShowsPicture(link);
    done = true;
    releaser.join();
    QCOMPARE(int(released), 0);
    QVERIFY(!shown);
    QVERIFY(!QFile::exists(path));
    QCOMPARE(boxes.size(), 0);
}

// --- change password --------------------------------------------------------------------------

void TestDialogs::passwordChecks_data()
{
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("repeated");
    QTest::addColumn<QString>("message");
    QTest::newRow("differ by a trailing blank") << "abcdefgh "
                                                << "abcdefgh"
                                                << "The passwords don't match!";
    QTest::newRow("seven characters") << "abcdefg"
                                      << "abcdefg"
                                      << "The new password is shorter than 8 bytes!";
    QTest::newRow("eight characters pass") << "abcdefgh"
                                           << "abcdefgh"
                                           << "";
    QTest::newRow("blanks around") << " abcdefgh "
                                   << " abcdefgh "
                                   << "The new password is not the same in trimmed and not trimmed form!";
    QTest::newRow("umlaut") << "abcdefg\u00fc"
                            << "abcdefg\u00fc"
                            << "The new password is not \"UTF-8 without BOM\" compatible!";
    QTest::newRow("ascii punctuation passes") << "Ab1!#%*("
                                              << "Ab1!#%*("
                                              << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "The new password is shorter than 8 bytes!";
}

void TestDialogs::passwordChecks()
{
    QFETCH(QString, newPassword);
    QFETCH(QString, repeated);
    QFETCH(QString, message);
    frmChangePassword dialog;
    dialog.setLogin(link);
    dialog.show();
    dialog.findChild<QLineEdit *>(QStringLiteral("txtOldPassword"))->setText(QStringLiteral("secret12"));
    dialog.findChild<QLineEdit *>(QStringLiteral("txtNewPassword"))->setText(newPassword);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword"))->setText(repeated);
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);
    if (message.isEmpty()) {
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(actionsSinceInit().size(), 1);
        QVERIFY(!dialog.isVisible());
    } else {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).title, QStringLiteral("Change password"));
        QCOMPARE(boxes.at(0).text, message);
        QCOMPARE(actionsSinceInit().size(), 0);
        QVERIFY(dialog.isVisible());
        // The fields keep their contents for a correction.
        QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtNewPassword"))->text(), newPassword);
    }
}

void TestDialogs::passwordServerAnswers_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("success") << 200 << "";
    QTest::newRow("wrong old password") << 300 << "The old password is not correct!";
    QTest::newRow("other code") << 404 << "The server return error code 404!\nThe server refused the change.";
    QTest::newRow("server failure") << 500
                                    << "The server return error code 500!\nThe server did not answer in time. Please "
                                       "try again.";
    QTest::newRow("bad value") << 400
                               << "The server return error code 400!\nThe server did not accept the value: a password "
                                  "has 8 to 256 characters and no line break.";
}

void TestDialogs::passwordServerAnswers()
{
    QFETCH(int, code);
    QFETCH(QString, message);
    setCode("setpassword", code);
    frmChangePassword dialog;
    QCOMPARE(dialog.size(), QSize(300, 200));
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtOldPassword"))->maxLength(),
             AccountChecks::MaxPasswordLength);
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("txtNewPassword"))->echoMode(), QLineEdit::Password);
    dialog.setLogin(link);
    dialog.show();
    QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtOldPassword")), QStringLiteral("  old pw  "));
    QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtNewPassword")), QStringLiteral("newpass&1"));
    QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword")), QStringLiteral("newpass&1"));
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);
    QCOMPARE(
        actionsSinceInit(),
        QList<QByteArray>({"ZM/1.1 action --at=setpassword --oldpassword=old&nbsp;pw --newpassword=newpass&amp;1"}));
    if (message.isEmpty()) {
        QCOMPARE(boxes.size(), 0);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(link->calls, QStringList({QStringLiteral("password newpass&1")}));
    } else {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(boxes.at(0).title, QStringLiteral("Change password"));
        QCOMPARE(boxes.at(0).text, message);
        QVERIFY(dialog.isVisible());
        QCOMPARE(link->calls, QStringList());
    }
}

void TestDialogs::passwordOffline()
{
    link->online = false;
    frmChangePassword dialog;
    dialog.setLogin(link);
    dialog.findChild<QLineEdit *>(QStringLiteral("txtNewPassword"))->setText(QStringLiteral("x"));
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).title, QStringLiteral("Offline"));
    dialog.show();
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Cancel);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::passwordOldWithLineBreakIsNotSent()
{
    frmChangePassword dialog;
    dialog.setLogin(link);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Pasted along with the line that followed it.
    QApplication::clipboard()->setText(QStringLiteral("old pw\nsecond line"));
    auto *old = dialog.findChild<QLineEdit *>(QStringLiteral("txtOldPassword"));
    QTest::mouseClick(old, Qt::LeftButton);
    QTest::keyClick(old, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtNewPassword")), QStringLiteral("newpass&1"));
    QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("txtRepeatPassword")), QStringLiteral("newpass&1"));
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Apply);
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).title, QStringLiteral("Change password"));
    QCOMPARE(boxes.at(0).text,
             QStringLiteral("The old password contains a line break. Please enter it again without one."));
    QCOMPARE(actionsSinceInit(), QList<QByteArray>());
    QVERIFY(dialog.isVisible());
}

void TestDialogs::actionResultExplanations_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("explanation");
    QTest::newRow("done") << 200 << ""
                          << "";
    QTest::newRow("not sent") << 501 << "r"
                              << "The connection to the server is lost, so nothing was sent. Please try again when "
                                 "you are online.";
    QTest::newRow("no answer") << 500 << ""
                               << "The server did not answer in time. Please try again.";
    QTest::newRow("another line came") << 601 << ""
                                       << "The server did not answer in time. Please try again.";
    QTest::newRow("bad value with its rule") << 400 << "at most 3."
                                             << "The server did not accept the value: at most 3.";
    QTest::newRow("bad value without a rule") << 400 << ""
                                              << "The server did not accept the value.";
    QTest::newRow("too many") << 429 << ""
                              << "There were too many changes in a short time. Please wait a minute and try again.";
    QTest::newRow("unknown code") << 418 << "r"
                                  << "The server refused the change.";
}

void TestDialogs::actionResultExplanations()
{
    QFETCH(int, code);
    QFETCH(QString, rule);
    QFETCH(QString, explanation);
    QCOMPARE(ActionResult::explanation(code, rule), explanation);
    QCOMPARE(ActionResult::classify(code) == ActionResult::Kind::Done, code == 200);
}

void TestDialogs::passwordFieldsHoldTheServerLimit_data()
{
    QTest::addColumn<QString>("field");
    QTest::newRow("old password") << "txtOldPassword";
    QTest::newRow("new password") << "txtNewPassword";
    QTest::newRow("repeated password") << "txtRepeatPassword";
}

void TestDialogs::passwordFieldsHoldTheServerLimit()
{
    QFETCH(QString, field);
    frmChangePassword dialog;
    dialog.setLogin(link);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *edit = dialog.findChild<QLineEdit *>(field);
    QCOMPARE(edit->maxLength(), AccountChecks::MaxPasswordLength);
    QTest::mouseClick(edit, Qt::LeftButton);

    // Exactly as long as the server takes: no word about it.
    const QString longest(AccountChecks::MaxPasswordLength, QLatin1Char('p'));
    QApplication::clipboard()->setText(longest);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), longest);
    QCoreApplication::processEvents();
    QCOMPARE(boxes.size(), 0);

    // Longer: the field keeps what the server takes and says so.
    edit->selectAll();
    QApplication::clipboard()->setText(QString(AccountChecks::MaxPasswordLength + 44, QLatin1Char('q')));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit->text(), QString(AccountChecks::MaxPasswordLength, QLatin1Char('q')));
    QTRY_COMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).icon, QMessageBox::Warning);
    QCOMPARE(boxes.at(0).title, QStringLiteral("Password"));
    QCOMPARE(boxes.at(0).text,
             QStringLiteral("A password can have at most 256 characters. Only the first 256 "
                            "characters were kept."));
}

void TestDialogs::changedPasswordReachesLoginAndStore()
{
    {
        QSettings settings = appSettings();
        settings.setValue(QStringLiteral("Login/Autologin"), false);
    }
    frmLogin window;
    {
        QSettings settings = appSettings();
        settings.setValue(QStringLiteral("Login/Autologin"), true);
        settings.setValue(QStringLiteral("Login/Password"), LoginStore::encodeCredential(QStringLiteral("oldpass12")));
    }
    window.takeChangedPassword(QStringLiteral("newpass12"));
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->text(), QStringLiteral("newpass12"));
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("txtPasswordDesigned"))->text(), QStringLiteral("newpass12"));
    QCOMPARE(LoginStore::decodeCredential(appSettings().value(QStringLiteral("Login/Password")).toString()),
             QStringLiteral("newpass12"));

    // Without automatic login nothing was stored, and nothing is stored now.
    {
        QSettings settings = appSettings();
        settings.setValue(QStringLiteral("Login/Autologin"), false);
        settings.remove(QStringLiteral("Login/Password"));
    }
    window.takeChangedPassword(QStringLiteral("third123"));
    QVERIFY(!appSettings().contains(QStringLiteral("Login/Password")));
    appSettings().remove(QStringLiteral("Login"));
}

// --- friend requests --------------------------------------------------------------------------

void TestDialogs::friendRequestsAcceptOneOfThree()
{
    frmContactRequests dialog;
    dialog.setLogin(link);
    dialog.setRequests({QStringLiteral("anna"), QStringLiteral("ben"), QStringLiteral("carl")});
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("labFR"));
    auto *list = dialog.findChild<QListWidget *>(QStringLiteral("lwRequests"));
    QCOMPARE(label->text(), QStringLiteral("You have 3 Friend Requests"));
    dialog.show();
    list->setCurrentRow(1);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAccept")), Qt::LeftButton);
    QCOMPARE(actionsSinceInit(), QList<QByteArray>({"ZM/1.1 action --at=addcontact --username=ben"}));
    QCOMPARE(label->text(), QStringLiteral("You have 2 Friend Requests"));
    QCOMPARE(list->count(), 2);
    QCOMPARE(list->item(0)->text(), QStringLiteral("anna"));
    QCOMPARE(list->item(1)->text(), QStringLiteral("carl"));
    QCOMPARE(link->calls, QStringList({QStringLiteral("requests + -ben"), QStringLiteral("contact ben")}));

    link->calls.clear();
    list->setCurrentRow(1);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdReject")), Qt::LeftButton);
    QCOMPARE(actionsSinceInit().last(), QByteArray("ZM/1.1 action --at=delcontact --username=carl"));
    QCOMPARE(label->text(), QStringLiteral("You have 1 Friend Request"));
    QCOMPARE(link->calls, QStringList({QStringLiteral("requests + -carl")}));
}

void TestDialogs::friendRequestsSingleAndEmpty()
{
    frmContactRequests dialog;
    dialog.setLogin(link);
    dialog.setRequests({});
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labFR"))->text(), QStringLiteral("You have 0 Friend Requests"));
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAccept")), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdReject")), Qt::LeftButton);
    QCOMPARE(actionsSinceInit().size(), 0);
    QCOMPARE(boxes.size(), 0);

    dialog.setRequests({QStringLiteral("dora")});
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labFR"))->text(), QStringLiteral("You have 1 Friend Request"));
    dialog.findChild<QListWidget *>(QStringLiteral("lwRequests"))->setCurrentRow(0);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAccept")), Qt::LeftButton);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labFR"))->text(), QStringLiteral("You have 0 Friend Requests"));
    QCOMPARE(dialog.findChild<QListWidget *>(QStringLiteral("lwRequests"))->count(), 0);
}

void TestDialogs::friendRequestsRefused()
{
    setCode("addcontact", 404);
    setCode("delcontact", 601);
    frmContactRequests dialog;
    dialog.setLogin(link);
    dialog.setRequests({QStringLiteral("anna")});
    dialog.findChild<QListWidget *>(QStringLiteral("lwRequests"))->setCurrentRow(0);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAccept")), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdReject")), Qt::LeftButton);
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes.at(0).title, QStringLiteral("Accept friend request"));
    QCOMPARE(boxes.at(0).text, QStringLiteral("Accept friend request failed!"));
    QCOMPARE(boxes.at(1).title, QStringLiteral("Reject friend request"));
    QCOMPARE(boxes.at(1).text, QStringLiteral("Reject friend request failed!"));
    QCOMPARE(dialog.findChild<QListWidget *>(QStringLiteral("lwRequests"))->count(), 1);
    QCOMPARE(link->calls, QStringList());

    link->online = false;
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdAccept")), Qt::LeftButton);
    QCOMPARE(boxes.last().title, QStringLiteral("Offline"));
}

void TestDialogs::friendRequestsClose()
{
    frmContactRequests dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Friend Requests"));
    QCOMPARE(dialog.maximumSize(), QSize(300, 250));
    dialog.show();
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbClose")), QDialogButtonBox::Close);
    QVERIFY(!dialog.isVisible());
}

// --- preferences ------------------------------------------------------------------------------

void TestDialogs::configReadsStoredChoices()
{
    {
        QSettings settings = appSettings();
        settings.clear();
        settings.setValue(QStringLiteral("Interface/designedMode"), false);
        settings.setValue(QStringLiteral("Interface/Language"), QStringLiteral("de"));
        settings.setValue(QStringLiteral("Interface/Font"), QFont(QStringLiteral("Sans"), 17).toString());
        settings.setValue(QStringLiteral("Style/Custom"), true);
        settings.setValue(QStringLiteral("Style/Name"), QStringLiteral("Fusion "));
        settings.setValue(QStringLiteral("Update/UpdateNotification"), false);
    }
    RecordingConfig dialog{QString()};
    // Fixed, at the designed size or larger where the texts need more room.
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QCOMPARE(dialog.size().expandedTo(QSize(320, 350)), dialog.size());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Config"));
    QVERIFY(dialog.findChild<QCheckBox *>(QStringLiteral("cbClassic"))->isChecked());
    QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("cbLanguage"))->currentText(),
             QStringLiteral("Deutsch (German)"));
    QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("cbLanguage"))->itemText(1),
             QStringLiteral("English (English)"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labPreviewFont"))->font().pointSize(), 17);
    // A stored style name with a trailing blank is not selected.
    QCOMPARE(dialog.findChild<QComboBox *>(QStringLiteral("cbStyle"))->currentIndex(), 0);
    QVERIFY(!dialog.findChild<QCheckBox *>(QStringLiteral("cbUpdateNotification"))->isChecked());

    appSettings().setValue(QStringLiteral("Interface/Language"), QStringLiteral("it"));
    appSettings().setValue(QStringLiteral("Style/Name"), QStringLiteral("Fusion"));
    RecordingConfig second{QString()};
    QCOMPARE(second.findChild<QComboBox *>(QStringLiteral("cbLanguage"))->currentText(),
             QStringLiteral("System (System)"));
    QCOMPARE(second.findChild<QComboBox *>(QStringLiteral("cbStyle"))->currentText(), QStringLiteral("Fusion"));
}

void TestDialogs::configSavesEverythingBeforeRestart()
{
    appSettings().clear();
    RecordingConfig dialog{QString()};
    dialog.setLogin(link);
    dialog.show();
    dialog.findChild<QCheckBox *>(QStringLiteral("cbClassic"))->setChecked(true);
    dialog.findChild<QCheckBox *>(QStringLiteral("cbUpdateNotification"))->setChecked(false);
    auto *language = dialog.findChild<QComboBox *>(QStringLiteral("cbLanguage"));
    language->setCurrentIndex(language->findText(QStringLiteral("Deutsch (German)")));
    QVERIFY(language->currentIndex() > 0);
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Ok);

    QCOMPARE(dialog.restarts, 1);
    QVERIFY(dialog.settingsOnDisk.contains("Language=de"));
    QVERIFY(dialog.settingsOnDisk.contains("designedMode=false"));
    QVERIFY(dialog.settingsOnDisk.contains("UpdateNotification=false"));
    QVERIFY(dialog.settingsOnDisk.contains("Custom=false"));
    QCOMPARE(link->calls, QStringList({QStringLiteral("notify off")}));
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::configSameLanguageDoesNotRestart()
{
    appSettings().clear();
    appSettings().setValue(QStringLiteral("Interface/Language"), QStringLiteral("de"));
    RecordingConfig dialog{QString()};
    dialog.setLogin(link);
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Ok);
    QCOMPARE(dialog.restarts, 0);
    QCOMPARE(appSettings().value(QStringLiteral("Interface/Language")).toString(), QStringLiteral("de"));
    QCOMPARE(link->calls, QStringList({QStringLiteral("notify on")}));
}

void TestDialogs::configFontReset()
{
    appSettings().clear();
    appSettings().setValue(QStringLiteral("Interface/Font"), QFont(QStringLiteral("Sans"), 17).toString());
    RecordingConfig dialog{QString()};
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdFontReset")), Qt::LeftButton);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labPreviewFont"))->font(), QFont());
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Ok);
    QVERIFY(!appSettings().contains(QStringLiteral("Interface/Font")));

    // A cancelled font dialog changes nothing.
    RecordingConfig second{QString()};
    second.show();
    whenWindowUp(&second, QStringLiteral("Set Font"), [](QWidget *fontDialog) { fontDialog->close(); });
    QTest::mouseClick(second.findChild<QPushButton *>(QStringLiteral("cmdChangeFont")), Qt::LeftButton);
    clickRole(second.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Ok);
    QVERIFY(!appSettings().contains(QStringLiteral("Interface/Font")));
}

void TestDialogs::configStyle()
{
    appSettings().clear();
    const QString before = QApplication::style()->objectName();
    RecordingConfig dialog{QString()};
    dialog.setLogin(link);
    auto *styles = dialog.findChild<QComboBox *>(QStringLiteral("cbStyle"));
    const int fusion = styles->findText(QStringLiteral("Fusion"));
    QVERIFY(fusion > 0);
    styles->setCurrentIndex(fusion);
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Ok);
    QCOMPARE(appSettings().value(QStringLiteral("Style/Custom")).toBool(), true);
    QCOMPARE(appSettings().value(QStringLiteral("Style/showBug")).toBool(), true);
    QCOMPARE(appSettings().value(QStringLiteral("Style/Name")).toString(), QStringLiteral("Fusion"));
    QCOMPARE(QApplication::style()->objectName(), QStringLiteral("fusion"));
    QVERIFY(link->calls.contains(QStringLiteral("styles")));

    // Back to "System": stored, but the running style stays.
    link->calls.clear();
    RecordingConfig second{QString()};
    second.setLogin(link);
    QCOMPARE(second.findChild<QComboBox *>(QStringLiteral("cbStyle"))->currentText(), QStringLiteral("Fusion"));
    second.findChild<QComboBox *>(QStringLiteral("cbStyle"))->setCurrentIndex(0);
    clickRole(second.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Ok);
    QCOMPARE(appSettings().value(QStringLiteral("Style/Custom")).toBool(), false);
    QCOMPARE(appSettings().value(QStringLiteral("Style/Name")).toString(), QStringLiteral("Fusion"));
    QCOMPARE(QApplication::style()->objectName(), QStringLiteral("fusion"));
    QVERIFY(!link->calls.contains(QStringLiteral("styles")));
    QApplication::setStyle(before);
}

void TestDialogs::configCancelStoresNothing()
{
    appSettings().clear();
    RecordingConfig dialog{QString()};
    dialog.setLogin(link);
    dialog.show();
    dialog.findChild<QCheckBox *>(QStringLiteral("cbClassic"))->setChecked(true);
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOptions")), QDialogButtonBox::Cancel);
    QVERIFY(!dialog.isVisible());
    QVERIFY(appSettings().allKeys().isEmpty());
    QCOMPARE(link->calls, QStringList());
}

void TestDialogs::configShowsLatestVersion()
{
    {
        RecordingConfig dialog{QString()};
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labUpdateInformation"))->text(),
                 QStringLiteral("Update Channel: 32qt5\nLatest Version: Unknown\nYour Version: 1.0.0-33"));
    }
    HttpTestServer web;
    QVERIFY(web.listenOnLoopback());
    web.setBody("1.0.1\r\n");
    const QByteArray previous = qgetenv("ZM_WEB_HOST");
    web.exportWebHost();
    RecordingConfig dialog{QString()};
    qputenv("ZM_WEB_HOST", previous);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labUpdateInformation"))->text(),
             QStringLiteral("Update Channel: 32qt5\nLatest Version: 1.0.1\nYour Version: 1.0.0-33"));
    QCOMPARE(web.paths(), QStringList({QStringLiteral("/update/stable32qt5")}));
}

// --- about ------------------------------------------------------------------------------------

void TestDialogs::aboutZelto()
{
    frmAboutZelto dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Zelto"));
    QCOMPARE(dialog.size(), QSize(300, 200));
    QVERIFY(!dialog.findChild<QLabel *>(QStringLiteral("labelAbout"))->text().contains(QLatin1String("config.h")));
    dialog.show();
    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOK")), QDialogButtonBox::Ok);
    QVERIFY(!dialog.isVisible());
}

void TestDialogs::aboutBuildText()
{
    const QString withoutCredits =
        frmAboutZMPQ::buildText(QStringLiteral("1.1.0"), QStringLiteral("1.0.0-7"), QString(), QStringLiteral("box"));
    QVERIFY(withoutCredits.startsWith(
        QLatin1String("<span style=\"font-weight: bold;\">Version</span><br/>Zelto Messenger "
                      "Client 1.0.0-33<br/>Zelto Messenger Fw 1.1.0<br/>Zelto Gui Fw 1.0.0-7")));
    QVERIFY(withoutCredits.contains(QLatin1String(" with Qt " QT_VERSION_STR ", ")));
    QVERIFY(
        withoutCredits.contains(QLatin1String("<br/>Running with Qt ") + QLatin1String(qVersion())
                                + QLatin1String(" on box<br/><br/><span style=\"font-weight: bold;\">Info</span>")));
    QVERIFY(!withoutCredits.contains(QLatin1String("%3")));
    const QString withCredits = frmAboutZMPQ::buildText(QStringLiteral("1.1.0"), QStringLiteral("1.0.0-7"),
                                                        QStringLiteral("<p>thanks</p>"), QStringLiteral("<b>box</b>"));
    QVERIFY(withCredits.contains(QLatin1String(" on &lt;b&gt;box&lt;/b&gt;<br/><br/><p>thanks</p><span")));
}

void TestDialogs::aboutCreditsTakenAsTheyAre_data()
{
    QTest::addColumn<QString>("credits");
    QTest::newRow("placeholders") << "<p>Thanks to %1 and %2, %4, %5 and %6</p>";
    QTest::newRow("percent signs") << "<p>100% made by hand, 50 %, %%</p>";
    QTest::newRow("highest placeholder") << "<p>%99 %0 %7</p>";
}

void TestDialogs::aboutCreditsTakenAsTheyAre()
{
    QFETCH(QString, credits);
    const QString page =
        frmAboutZMPQ::buildText(QStringLiteral("1.1.0"), QStringLiteral("1.0.0-7"), credits, QStringLiteral("box"));
    QVERIFY2(page.contains(QLatin1String("<br/><br/>") + credits + QLatin1String("<span")), qPrintable(page));
    // The build line is still filled in.
    QVERIFY(page.contains(QLatin1String(" with Qt " QT_VERSION_STR ", ")));
    QVERIFY(
        page.contains(QLatin1String("<br/>Running with Qt ") + QLatin1String(qVersion()) + QLatin1String(" on box")));
}

void TestDialogs::aboutShowsTheCreditsFile()
{
    QFile file(QStringLiteral(":/gui/credits.html"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString credits = QTextDocumentFragment::fromHtml(QString::fromUtf8(file.readAll())).toPlainText();
    QVERIFY(!credits.isEmpty());
    frmAboutZMPQ dialog;
    dialog.setLogin(link);
    dialog.setBuildText();
    const QString page = dialog.findChild<QTextBrowser *>(QStringLiteral("txtAbout"))->toPlainText();
    QVERIFY2(page.contains(QLatin1String("Running with Qt ") + QLatin1String(qVersion())
                           + QLatin1String(" on testhost\n\n") + credits),
             qPrintable(page));
}

void TestDialogs::aboutCreditsLinksAddContacts()
{
    frmAboutZMPQ dialog;
    dialog.setLogin(link);
    dialog.setBuildText();
    auto *browser = dialog.findChild<QTextBrowser *>(QStringLiteral("txtAbout"));
    const QString page = browser->toPlainText();
    QVERIFY(page.contains(QLatin1String("Zelto Messenger Client 1.0.0-33")));
    QVERIFY(page.contains(QLatin1String("Zelto Gui Fw 1.0.0-7")));
    QVERIFY(page.contains(QLatin1String("Zelto Messenger Fw ") + link->session.getClassVersion()));
    QVERIFY(page.contains(QLatin1String("testhost")));
    QVERIFY(browser->toHtml().contains(QLatin1String("zmp://addcontact/")));

    // Follow the first link of the page with the keyboard, as a user can.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    browser->setFocus();
    const QString before = browser->toHtml();
    QTest::keyClick(browser, Qt::Key_Tab);
    QTest::keyClick(browser, Qt::Key_Return);
    QCOMPARE(link->calls.size(), 1);
    QVERIFY(link->calls.at(0).startsWith(QLatin1String("add ")));
    QCOMPARE(link->addContactParent, &dialog);
    QCOMPARE(browser->toHtml(), before);

    link->calls.clear();
    browser->setSource(QUrl(QStringLiteral("zmp://addcontact/")));
    browser->setSource(QUrl(QStringLiteral("http://example.test/")));
    browser->setSource(QUrl(QStringLiteral("zmp://addcontac/x")));
    QCOMPARE(link->calls, QStringList({QStringLiteral("add ")}));

    clickRole(dialog.findChild<QDialogButtonBox *>(QStringLiteral("bbOK")), QDialogButtonBox::Ok);
    QVERIFY(!dialog.isVisible());
}

ZM_HERMETIC_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
