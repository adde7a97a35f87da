#include "DataDirectory.h"
#include "e2edriver.h"
#include "hermetic.h"
#include "httptestserver.h"
#include "testpictures.h"
#include "tlstestserver.h"
#include "zmsgfwwire.h"

#include <QBuffer>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QImage>
#include <QJsonArray>
#include <QMutex>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <atomic>
#include <memory>

// A malicious messaging server against the real zmessenger program: overlong lines, binary
// garbage, hostile contact names, floods and connections cut at every step. After each attack
// the program must still be running and answering, its memory bounded, its files confined to
// its data directory and settings file, and the conversation it had before intact.
namespace {

using ZMsgFwWire::LineBuilder;

const QString OwnName = QStringLiteral("me");
const QString Password = QStringLiteral("secret");
// The contact whose conversation every attack must leave intact.
const QString Alice = QStringLiteral("alice");
const QString AliceName = QStringLiteral("Alice");

// An address-sanitized client is several times slower and spends several times the memory on
// the same work (red zones, a quarantine of freed blocks); the bounds below still tell a hang
// or growth without end apart.
#if defined(__SANITIZE_ADDRESS__)
constexpr qint64 SanitizerFactor = 3;
#else
constexpr qint64 SanitizerFactor = 1;
#endif
// Control commands are answered by the program's GUI thread; a command that gets no answer
// within the control call's own limit (20 s) finds the program hung. This is how long a user
// waits for an answer at most; a loaded machine can hold up any single answer longer, so it
// bounds the quickest of a few answers or the typical one of many, never just one.
constexpr qint64 PromptMs = SanitizerFactor * 2000;
// A call flooded instead of answered gives up at this deadline instead of the program's 5 s.
constexpr int FloodedCallMs = 1500;
// Peak resident memory allowed; an idle client needs well under a fifth of it.
constexpr qint64 PeakMemoryKb = SanitizerFactor * 600 * 1024;
// A few dozen open chat windows fit; hundreds would not (each window costs about a megabyte).
constexpr qint64 ManyWindowsPeakKb = SanitizerFactor * 300 * 1024;
// The largest a socket buffer of this system may grow to (third field of tcp_rmem/tcp_wmem).
qint64 socketBufferMax(const char *file)
{
    QFile values(QString::fromLatin1(file));
    if (!values.open(QIODevice::ReadOnly))
        return 32 * 1024 * 1024;
    return values.readAll().simplified().split(' ').value(2).toLongLong();
}

// What a flooding server may have sent ahead of what the client handled: the kernel's buffers
// on both sides, which a busy receiver lets grow to their maximum, the test server's own write
// window, and the client's receive buffers, the encrypted and the decrypted one (each a
// line's length and a megabyte), with a little room to spare. Bounded, however long the flood.
qint64 maxBacklogBytes()
{
    const qint64 clientBuffers = 2 * (ZMsgFwWire::MaxLineLength + 1024 * 1024);
    return socketBufferMax("/proc/sys/net/ipv4/tcp_rmem") + socketBufferMax("/proc/sys/net/ipv4/tcp_wmem")
        + clientBuffers + 2 * 1024 * 1024;
}

struct Contact {
    QString user, nick, status;
    int state;
};

QByteArray returnLine(const QString &key, const QString &word, int id)
{
    return LineBuilder(QStringLiteral("return")).text(key, word).number(QStringLiteral("--id="), id).toBytes();
}

QByteArray contactsLine(const QList<Contact> &contacts)
{
    QStringList joined;
    for (const Contact &c : contacts) {
        joined << ZMsgFwWire::escapeListField(c.user) + QLatin1Char('|') + ZMsgFwWire::escapeListField(c.nick)
                + QLatin1Char('|') + ZMsgFwWire::escapeListField(c.status) + QLatin1Char('|')
                + QString::number(c.state);
    }
    return LineBuilder(QStringLiteral("return"))
        .text(QStringLiteral("--rq="), QStringLiteral("contactswithstates"))
        .number(QStringLiteral("--id="), 200)
        .text(QStringLiteral("--users="), joined.join(QStringLiteral("<>")))
        .toBytes();
}

QByteArray avatarsLine(const QList<QPair<QString, QString>> &avatars)
{
    QStringList joined;
    for (const auto &a : avatars)
        joined << ZMsgFwWire::escapeListField(a.first) + QLatin1Char('|') + ZMsgFwWire::escapeListField(a.second);
    return LineBuilder(QStringLiteral("return"))
        .text(QStringLiteral("--rq="), QStringLiteral("contactswithavatar"))
        .number(QStringLiteral("--id="), 200)
        .text(QStringLiteral("--users="), joined.join(QStringLiteral("<>")))
        .toBytes();
}

QByteArray messageLine(const QString &sender, const QString &text, int id = 1)
{
    return LineBuilder(QStringLiteral("message"))
        .text(QStringLiteral("--username="), sender)
        .text(QStringLiteral("--message="), text)
        .number(QStringLiteral("--mid="), id)
        .toBytes();
}

QString argument(const QByteArray &line, const char *key)
{
    return ZMsgFwWire::unescapeValue(
        ZMsgFwWire::argumentValue(ZMsgFwWire::splitWords(ZMsgFwWire::decodeLine(line)), QLatin1String(key)));
}

const QList<Contact> &friendlyContacts()
{
    static const QList<Contact> contacts{{Alice, AliceName, QStringLiteral("here"), 1},
                                         {QStringLiteral("bob"), QStringLiteral("Bob"), QString(), 2}};
    return contacts;
}

// What a well-behaved server answers to everything the client asks at login and later.
QByteArray friendlyAnswer(const QByteArray &line)
{
    if (line.startsWith("ZM/1.1 login"))
        return "ZM/1.1 return --id=200\n";
    const QString request = argument(line, "--rq=");
    if (request == QLatin1String("nick"))
        return "ZM/1.1 return --rq=nick --id=200 --nick=Me\n";
    if (request == QLatin1String("contactswithstates"))
        return contactsLine(friendlyContacts());
    if (request == QLatin1String("onlinestate"))
        return "ZM/1.1 return --rq=onlinestate --id=200 --state=1\n";
    if (request == QLatin1String("contactsrequests"))
        return "ZM/1.1 return --rq=contactsrequests --id=200 --users=\n";
    if (!request.isEmpty())
        return returnLine(QStringLiteral("--rq="), request, 404);
    const QString action = argument(line, "--at=");
    if (!action.isEmpty())
        return returnLine(QStringLiteral("--at="), action, 200);
    return QByteArray();
}

// The server's behaviour, swappable between the phases of a scenario. Answers run on the
// server thread.
class Script
{
public:
    using Handler = std::function<QByteArray(const QByteArray &line)>;
    void set(Handler handler)
    {
        QMutexLocker lock(&m_mutex);
        m_handler = std::move(handler);
    }
    QByteArray answer(const QByteArray &line)
    {
        Handler handler;
        {
            QMutexLocker lock(&m_mutex);
            handler = m_handler;
        }
        return handler ? handler(line) : QByteArray();
    }

private:
    QMutex m_mutex;
    Handler m_handler;
};

// Size and modification time of every file below a directory (sockets included).
using Snapshot = QMap<QString, QPair<qint64, qint64>>;

Snapshot snapshot(const QString &root, bool recursive)
{
    Snapshot files;
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    recursive ? QDirIterator::Subdirectories : QDirIterator::NoIteratorFlags);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        files.insert(info.absoluteFilePath(), {info.size(), info.lastModified().toMSecsSinceEpoch()});
    }
    return files;
}

QStringList changedFiles(const Snapshot &before, const Snapshot &after)
{
    QStringList changed;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (before.value(it.key(), {-1, -1}) != it.value())
            changed << it.key();
    }
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changed << it.key();
    }
    return changed;
}

template <int N> QByteArray bytes(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

qint64 procStatusKb(qint64 pid, const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

QByteArray pngPicture()
{
    return plainPng(32, 32, Qt::darkCyan);
}

// Tokens are plain letters and digits so that they survive HTML and INI escaping unchanged.
QStringList tokensIn(const QByteArray &text, const QString &prefix)
{
    QStringList found;
    const QRegularExpression pattern(prefix + QStringLiteral("\\d+z"));
    auto it = pattern.globalMatch(QString::fromLatin1(text));
    while (it.hasNext())
        found << it.next().captured(0);
    return found;
}

QSet<QString> tokenSet(const QByteArray &text, const QString &prefix)
{
    const QStringList found = tokensIn(text, prefix);
    return QSet<QString>(found.begin(), found.end());
}

// One client program against one scripted server, with the state to check it against.
struct Fixture {
    explicit Fixture(const QString &label)
        : client(label)
    {}

    QTemporaryDir sandbox{QDir::tempPath() + QStringLiteral("/zmhostile-XXXXXX")};
    std::shared_ptr<Script> script = std::make_shared<Script>();
    TlsTestServer server;
    HttpTestServer avatars;
    ClientProcess client;
    Snapshot homeBefore, tmpBefore, programBefore;
    QString programDir;
    QStringList keptMessages; // tokens that must stay in alice's history
    int nextToken = 0;

    QString tmpDir() const { return sandbox.filePath(QStringLiteral("tmp")); }
    QString dataDir() const { return client.home() + QStringLiteral("/.zmsg"); }
    QString settingsFile() const { return client.home() + QStringLiteral("/config/Zelto/Zelto Messenger.conf"); }
    // Written at login when the user keeps "start with the system" ticked.
    QString autostartFile() const
    {
        return client.home() + QStringLiteral("/config/autostart/zelto-messenger.desktop");
    }
    QString historyFile(const QString &user) const
    {
        return DataDirectory::filePath(dataDir(), user, QStringLiteral(".ini"));
    }
    QByteArray history(const QString &user) const
    {
        QFile file(historyFile(user));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Every history file of the data directory, wherever the client put it.
    QByteArray allHistory() const
    {
        QByteArray all;
        QDirIterator it(dataDir(), {QStringLiteral("*.ini")}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                all += file.readAll();
        }
        return all;
    }
    QString token(const QString &prefix) { return prefix + QString::number(++nextToken) + QLatin1Char('z'); }
};

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void garbageInSession_data();
    void garbageInSession();
    void hostileNamesStayInDataDirectory();
    void thousandsOfContacts();
    void messagesFromManyNames();
    void floodDuringCall_data();
    void floodDuringCall();
    void closeAtEveryStep_data();
    void closeAtEveryStep();

private:
    bool startFixture();
    bool logIn();
    bool loggedIn();
    QString messageBoxTitle();
    bool listShows(const QString &displayName);
    bool receiveKept(const QString &prefix);
    bool recover();
    void verifyHealthy();
    qint64 answerTime();
    qint64 quickestAnswerTime();

    std::unique_ptr<Fixture> m_fx;
    QString m_fixtureFunction;
    QByteArray m_picture;
};

void TestHostile::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("ZM_ZMESSENGER"))
        QSKIP("needs ZM_ZMESSENGER (set by ctest)");
    m_picture = pngPicture();
    QVERIFY(!m_picture.isEmpty());
}

void TestHostile::cleanupTestCase()
{
    m_fx.reset();
}

// Every test function gets one client and reuses it over its rows, as a user's client lives
// through many bad moments of one server; a client that died is replaced for the next row.
void TestHostile::init()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (m_fx && m_fixtureFunction == function && m_fx->client.isRunning())
        return;
    m_fx.reset();
    m_fixtureFunction = function;
    QVERIFY2(startFixture(), "the client could not be started and logged in");
}

bool TestHostile::startFixture()
{
    m_fx = std::make_unique<Fixture>(QStringLiteral("hostile"));
    Fixture &fx = *m_fx;
    if (!fx.sandbox.isValid() || !QDir().mkpath(fx.tmpDir()))
        return false;
    std::shared_ptr<Script> script = fx.script;
    script->set(friendlyAnswer);
    fx.server.setLineHandler([script](const QByteArray &line) { return script->answer(line); });
    if (!fx.server.listenOnLoopback() || !fx.avatars.listenOnLoopback())
        return false;
    fx.avatars.setBody(m_picture);

    fx.client.setTemporaryDirectory(fx.tmpDir());
    fx.client.setEnvironment(QStringLiteral("ZMSGFW_PORT"), QString::number(fx.server.serverPort()));
    fx.client.setEnvironment(QStringLiteral("ZMSGFW_AVATAR_PORT"), QString::number(fx.avatars.serverPort()));
    fx.client.setEnvironment(QStringLiteral("ZMSGFW_AVATAR_HTTP_PORT"), QString::number(fx.avatars.serverPort()));
    fx.client.setEnvironment(QStringLiteral("ZM_WEB_HOST"), fx.avatars.hostAndPort());
    // Floods would fill the test log with the client's per-object debug lines.
    fx.client.setEnvironment(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("default.debug=false"));
    fx.programDir = QFileInfo(qEnvironmentVariable("ZM_ZMESSENGER")).absolutePath();
    fx.homeBefore = snapshot(fx.client.home(), true);
    fx.tmpBefore = snapshot(fx.tmpDir(), true);
    fx.programBefore = snapshot(fx.programDir, false);

    if (!fx.client.start({QStringLiteral("--noupdate")}) || !logIn())
        return false;
    if (!QTest::qWaitFor([this] { return loggedIn(); }, 15000))
        return false;
    // The conversation the attacks must not take away.
    return receiveKept(QStringLiteral("kept")) && receiveKept(QStringLiteral("kept"));
}

bool TestHostile::logIn()
{
    return m_fx->client.type(QStringLiteral("frmLogin/txtNameDesigned"), OwnName)
        && m_fx->client.type(QStringLiteral("frmLogin/txtPasswordDesigned"), Password)
        && m_fx->client.click(QStringLiteral("frmLogin/labDesignedLogin"));
}

bool TestHostile::listShows(const QString &displayName)
{
    const QJsonArray rows =
        m_fx->client.get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items")).toArray();
    for (const QJsonValue &row : rows) {
        if (row.toString().section(QLatin1Char('\n'), 0, 0) == displayName)
            return true;
    }
    return false;
}

bool TestHostile::loggedIn()
{
    return m_fx->client.get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool();
}

// The title of the message box the client shows, or "" when there is none.
QString TestHostile::messageBoxTitle()
{
    for (const QJsonValue &window : m_fx->client.windows()) {
        if (window.toObject().value(QStringLiteral("class")).toString() == QLatin1String("QMessageBox"))
            return window.toObject().value(QStringLiteral("title")).toString();
    }
    return QString();
}

// Pushes a message from alice and waits until it is in her history.
bool TestHostile::receiveKept(const QString &prefix)
{
    const QString text = m_fx->token(prefix);
    m_fx->server.sendToClient(messageLine(Alice, text));
    if (!QTest::qWaitFor([&] { return m_fx->history(Alice).contains(text.toLatin1()); }, 15000))
        return false;
    m_fx->keptMessages << text;
    return true;
}

// Brings the client back to a working session with a well-behaved server: closes a warning
// box, lets the watchdog log in again or logs in from the login page, and proves the new
// session delivers messages.
bool TestHostile::recover()
{
    Fixture &fx = *m_fx;
    fx.script->set(friendlyAnswer);
    if (!messageBoxTitle().isEmpty())
        fx.client.button(QStringLiteral("modal"), QStringLiteral("OK"));
    if (!QTest::qWaitFor([this] { return messageBoxTitle().isEmpty(); }, 5000))
        return false;
    // The watchdog may have logged in again by itself already.
    if (!loggedIn()) {
        if (!logIn())
            return false;
    } else if (fx.server.openConnectionCount() == 0) {
        fx.client.invoke(QStringLiteral("frmLogin"), QStringLiteral("on_timerLC_tick"));
    }
    // A re-login already under way ends first; the watchdog's next run may then be ten
    // seconds away.
    if (!QTest::qWaitFor([&] { return fx.server.openConnectionCount() == 1 && loggedIn(); }, 30000))
        return false;
    return receiveKept(QStringLiteral("after"));
}

qint64 TestHostile::answerTime()
{
    QElapsedTimer timer;
    timer.start();
    const bool ok =
        m_fx->client.call({{QStringLiteral("cmd"), QStringLiteral("windows")}}).value(QStringLiteral("ok")).toBool();
    return ok ? timer.elapsed() : -1;
}

// The quickest of up to three answers, -1 when one of them did not come.
qint64 TestHostile::quickestAnswerTime()
{
    qint64 quickest = -1;
    for (int i = 0; i < 3; ++i) {
        const qint64 elapsed = answerTime();
        if (elapsed < 0)
            return -1;
        quickest = quickest < 0 ? elapsed : qMin(quickest, elapsed);
        if (quickest < PromptMs)
            break;
    }
    return quickest;
}

// The checks that follow every attack.
void TestHostile::verifyHealthy()
{
    Fixture &fx = *m_fx;
    QVERIFY2(fx.client.isRunning(), "the client is gone");
    const qint64 elapsed = quickestAnswerTime();
    QVERIFY2(elapsed >= 0, "the client does not answer");
    QVERIFY2(elapsed < PromptMs, qPrintable(QStringLiteral("control answers took %1 ms at best").arg(elapsed)));

    const qint64 peak = procStatusKb(fx.client.processId(), "VmHWM");
    QVERIFY(peak > 0);
    QVERIFY2(peak < PeakMemoryKb, qPrintable(QStringLiteral("peak resident memory %1 kB").arg(peak)));

    const QByteArray history = fx.history(Alice);
    for (const QString &kept : qAsConst(fx.keptMessages))
        QVERIFY2(history.contains(kept.toLatin1()), qPrintable(kept + QStringLiteral(" is missing from the history")));

    for (const QString &path : changedFiles(fx.homeBefore, snapshot(fx.client.home(), true))) {
        // QSettings holds a lock file beside the settings while it writes them.
        const bool allowed = path.startsWith(fx.dataDir() + QLatin1Char('/')) || path == fx.settingsFile()
            || path == fx.settingsFile() + QStringLiteral(".lock") || path == fx.autostartFile();
        QVERIFY2(allowed, qPrintable(QStringLiteral("written outside the data directory: ") + path));
    }
    for (const QString &path : changedFiles(fx.tmpBefore, snapshot(fx.tmpDir(), true)))
        QVERIFY2(path.startsWith(fx.tmpDir() + QStringLiteral("/zme2e-")),
                 qPrintable(QStringLiteral("temporary file left: ") + path));
    // The program copies its message sound next to itself when it can; nothing else goes there.
    for (const QString &path : changedFiles(fx.programBefore, snapshot(fx.programDir, false)))
        QVERIFY2(QFileInfo(path).fileName() == QLatin1String("ChatIn.wav"),
                 qPrintable(QStringLiteral("written into the program directory: ") + path));
}

// ---------------------------------------------------------------------------------------
// Garbage on an established session

void TestHostile::garbageInSession_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("dropsConnection");

    const int overlong = int(ZMsgFwWire::MaxLineLength) + 1024 * 1024;
    QTest::newRow("17 MB without a line feed") << QByteArray(overlong, 'A') << true;
    QTest::newRow("17 MB line with a line feed") << QByteArray(overlong, 'B') + '\n' << true;
    // A line the library takes, but a message text no server sends: dropped, the session goes on.
    QTest::newRow("3 MB message") << "ZM/1.1 message --username=alice --message=" + QByteArray(3 * 1024 * 1024, 'C')
            + '\n' << false;
    QByteArray binary(256 * 1024, '\0');
    QRandomGenerator random(1234);
    for (char &c : binary)
        c = char(random.bounded(256));
    QTest::newRow("binary garbage") << binary + '\n' << false;
    QTest::newRow("NUL bytes in a message") << bytes("ZM/1.1 message --username=al\0ice --message=a\0b\n") << false;
    QTest::newRow("invalid UTF-8") << QByteArray(
        "ZM/1.1 message --username=\xff\xfe\xc3( --message=\xed\xa0\x80\xc0\xaf\n"
        "ZM/1.1 notification --nt=onlinestate --username=\xf8\x88 --state=\xff\n"
        "ZM/1.1 return --rq=contactswithstates --id=200 --users=\x80|\xff|\xfe|1\n")
                                   << false;
    QTest::newRow("empty and blank lines") << QByteArray(20000, '\n') + QByteArray("\r\n \t\v\f\n", 7) << false;
    QTest::newRow("words without a tag") << QByteArray("message --username=alice --message=x\nZM/1.1\nZM/1.1 return\n"
                                                       "ZM/1.1 return --id=\nZM/1.1 return --id=99999999999999999999\n")
                                         << false;
}

void TestHostile::garbageInSession()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, dropsConnection);
    Fixture &fx = *m_fx;
    if (!loggedIn() || fx.server.openConnectionCount() != 1)
        QVERIFY(recover());

    fx.server.sendToClient(payload);
    if (dropsConnection) {
        QVERIFY2(fx.server.waitForOpenConnections(0, 15000), "the client kept a connection that sent an overlong line");
        QVERIFY(recover());
    } else {
        // Lines after the garbage are still understood on the same connection.
        QVERIFY(receiveKept(QStringLiteral("next")));
        QCOMPARE(fx.server.openConnectionCount(), 1);
    }
    // Nothing of an overlong line reached a history file.
    QVERIFY(fx.allHistory().size() < 512 * 1024);
    verifyHealthy();
}

// ---------------------------------------------------------------------------------------
// Names that look like paths

void TestHostile::hostileNamesStayInDataDirectory()
{
    Fixture &fx = *m_fx;
    const QString canary = QStringLiteral("zmcanary-%1").arg(QCoreApplication::applicationPid());
    const QStringList names{QStringLiteral("../../") + canary + QStringLiteral("-up"),
                            QStringLiteral("../../../../../../") + QDir::tempPath() + QLatin1Char('/') + canary
                                + QStringLiteral("-root"),
                            QDir::tempPath() + QLatin1Char('/') + canary + QStringLiteral("-abs"),
                            QStringLiteral(".."),
                            QStringLiteral("."),
                            QStringLiteral("a/b\\c"),
                            QStringLiteral("bell\a\x1b[31mred\x7f"),
                            QStringLiteral("tab\tcr\rname"),
                            QString(300, QLatin1Char('L')),
                            QStringLiteral("~/") + canary + QStringLiteral("-tilde")};
    QList<Contact> contacts = friendlyContacts();
    QList<QPair<QString, QString>> avatars;
    for (int i = 0; i < names.size(); ++i) {
        contacts << Contact{names.at(i), names.at(i), names.at(i), 1};
        avatars << qMakePair(names.at(i), names.at(i) + QStringLiteral("-avatar"));
    }
    fx.server.sendToClient(contactsLine(contacts));
    fx.server.sendToClient(avatarsLine(avatars));
    QSet<QString> sent;
    for (const QString &name : names) {
        const QString text = fx.token(QStringLiteral("odd"));
        sent << text;
        fx.server.sendToClient(messageLine(name, text));
    }

    // Every message is stored, each under a name inside the data directory.
    QTRY_COMPARE_WITH_TIMEOUT(tokensIn(fx.allHistory(), QStringLiteral("odd")).size(), sent.size(), 20000);
    QCOMPARE(tokenSet(fx.allHistory(), QStringLiteral("odd")), sent);
    // The pictures were fetched and cached, also for names that look like paths.
    QTRY_VERIFY_WITH_TIMEOUT(
        fx.client
            .call({{QStringLiteral("cmd"), QStringLiteral("avatarLoaded")}, {QStringLiteral("user"), names.first()}})
            .value(QStringLiteral("value"))
            .toBool(),
        15000);
    const QJsonArray rows =
        fx.client.get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items")).toArray();
    QCOMPARE(rows.size(), contacts.size());

    // "../../" from the data directory is the directory that holds the temporary HOME.
    const QDir tmp(QDir::tempPath());
    QCOMPARE(tmp.entryList({canary + QLatin1Char('*')}, QDir::AllEntries | QDir::Hidden | QDir::System), QStringList());
    verifyHealthy();
}

void TestHostile::thousandsOfContacts()
{
    Fixture &fx = *m_fx;
    QList<Contact> contacts;
    for (int i = 0; i < 5000; ++i)
        contacts << Contact{QStringLiteral("user%1").arg(i), QStringLiteral("Nick %1").arg(i),
                            QStringLiteral("status of %1").arg(i), 1 + i % 5};
    fx.server.sendToClient(contactsLine(contacts));
    QTRY_COMPARE_WITH_TIMEOUT(
        fx.client.get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items")).toArray().size(),
        contacts.size() + friendlyContacts().size(), 20000);
    // A second list with every state changed is a refresh, not a second set of rows.
    for (Contact &c : contacts)
        c.state = 1 + (c.state % 5);
    fx.server.sendToClient(contactsLine(contacts));
    QVERIFY(receiveKept(QStringLiteral("kept")));
    QCOMPARE(fx.client
                 .call({{QStringLiteral("cmd"), QStringLiteral("contactState")},
                        {QStringLiteral("user"), QStringLiteral("user4999")}})
                 .value(QStringLiteral("value"))
                 .toInt(),
             contacts.last().state);
    QCOMPARE(fx.client.get(QStringLiteral("frmLogin/lwContactsDesigned"), QStringLiteral("items")).toArray().size(),
             contacts.size() + friendlyContacts().size());
    verifyHealthy();
}

// Every message from a new name opens a chat window; a server that makes up names must not
// make the client open windows without end.
void TestHostile::messagesFromManyNames()
{
    Fixture &fx = *m_fx;
    QSet<QString> sent;
    for (int i = 0; i < 600; ++i) {
        const QString text = fx.token(QStringLiteral("spam"));
        sent << text;
        fx.server.sendToClient(messageLine(QStringLiteral("spammer%1").arg(i), text));
    }
    QTRY_COMPARE_WITH_TIMEOUT(tokensIn(fx.allHistory(), QStringLiteral("spam")).size(), sent.size(), 30000);
    QCOMPARE(tokenSet(fx.allHistory(), QStringLiteral("spam")), sent);
    const qint64 peak = procStatusKb(fx.client.processId(), "VmHWM");
    QVERIFY2(peak < ManyWindowsPeakKb, qPrintable(QStringLiteral("peak resident memory %1 kB").arg(peak)));
    verifyHealthy();
}

// ---------------------------------------------------------------------------------------
// Floods

void TestHostile::floodDuringCall_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<int>("count"); // 0: until the test stops it
    QTest::addColumn<int>("padding");
    QTest::addColumn<bool>("answers");

    QTest::newRow("burst before the login reply") << "login" << 600 << 0 << true;
    // More short lines than the call has time for: it must give up at its deadline.
    QTest::newRow("burst instead of the nick reply") << "nick" << 60000 << 0 << false;
    // Long lines as fast as the client takes them, for as long as the test lets it run.
    QTest::newRow("endless flood instead of the nick reply") << "nick" << 0 << 150 << false;
}

void TestHostile::floodDuringCall()
{
    QFETCH(QString, trigger);
    QFETCH(int, count);
    QFETCH(int, padding);
    QFETCH(bool, answers);
    Fixture &fx = *m_fx;
    if (loggedIn()) {
        fx.client.invoke(QStringLiteral("frmLogin"), QStringLiteral("logoutUser"));
        QTRY_VERIFY_WITH_TIMEOUT(!loggedIn(), 10000);
    }

    auto produced = std::make_shared<std::atomic<int>>(0);
    // The rows share one client and its history: each row has tokens of its own.
    const QString prefix = QStringLiteral("flood") + QChar(QLatin1Char('a' + fx.nextToken++ % 26));
    const QStringList senders{Alice, QStringLiteral("bob"), QStringLiteral("stranger")};
    const QString text = QStringLiteral(" lorem ipsum dolor sit amet").repeated(padding);
    TlsTestServer *server = &fx.server;
    fx.script->set([=](const QByteArray &line) -> QByteArray {
        const bool isTrigger =
            trigger == QLatin1String("login") ? line.startsWith("ZM/1.1 login") : argument(line, "--rq=") == trigger;
        if (!isTrigger)
            return friendlyAnswer(line);
        const QByteArray reply = answers ? friendlyAnswer(line) : QByteArray();
        server->startStream([=]() -> QByteArray {
            const int n = produced->load();
            if (count > 0 && n >= count)
                return n == count ? (++*produced, reply) : QByteArray();
            QByteArray chunk;
            for (int i = n; i < n + 20; ++i)
                chunk += messageLine(senders.at(i % senders.size()),
                                     prefix + QString::number(i) + QLatin1Char('z') + text, i);
            *produced += 20;
            return chunk;
        });
        return QByteArray();
    });
    if (!answers)
        QVERIFY(
            fx.client
                .call({{QStringLiteral("cmd"), QStringLiteral("replyTimeout")}, {QStringLiteral("set"), FloodedCallMs}})
                .value(QStringLiteral("ok"))
                .toBool());
    QVERIFY(logIn());
    QTRY_VERIFY_WITH_TIMEOUT(produced->load() > 0, 15000);

    if (!answers) {
        // The waiting call returns although no reply comes and lines keep coming: the program
        // answers again. Against the endless flood only the call's own deadline can end it.
        const qint64 first = answerTime();
        QVERIFY2(first >= 0, "the client does not answer while the server floods its call");
    }
    if (count == 0) {
        // The program keeps answering while the flood goes on, typically at once.
        QElapsedTimer flood;
        flood.start();
        QVector<qint64> times;
        while (flood.elapsed() < 3000 || times.size() < 5) {
            const qint64 elapsed = answerTime();
            QVERIFY2(elapsed >= 0, qPrintable(QStringLiteral("no answer after %1 answers").arg(times.size())));
            times << elapsed;
            QTest::qWait(100);
        }
        std::sort(times.begin(), times.end());
        const qint64 typical = times.at(times.size() / 2);
        QVERIFY2(typical < PromptMs, qPrintable(QStringLiteral("answers took %1 ms typically").arg(typical)));
        // The flood was still going on: the client had not caught up with it. What it was
        // sent and has not handled yet waits in bounded buffers, not in the client's memory.
        const qint64 backlog = produced->load() - tokensIn(fx.allHistory(), prefix).size();
        QVERIFY(backlog > 0);
        const qint64 backlogBytes = backlog * messageLine(senders.first(), prefix + QStringLiteral("0z") + text).size();
        QVERIFY2(backlogBytes < maxBacklogBytes(), qPrintable(QStringLiteral("%1 bytes sent ahead").arg(backlogBytes)));
        const qint64 peak = procStatusKb(fx.client.processId(), "VmHWM");
        QVERIFY2(peak < PeakMemoryKb, qPrintable(QStringLiteral("peak resident memory %1 kB").arg(peak)));
        fx.server.stopStream();
    }
    QTRY_VERIFY_WITH_TIMEOUT(loggedIn(), 15000);

    // Every message the server pushed reached a history, none twice.
    const int total = count > 0 ? count : produced->load();
    QSet<QString> expected;
    for (int i = 0; i < total; ++i)
        expected.insert(prefix + QString::number(i) + QLatin1Char('z'));
    // A loaded machine slows the client down; only a client that stores nothing more is stuck.
    QStringList stored;
    QDeadlineTimer stuck(30000);
    while (!stuck.hasExpired()) {
        const int before = stored.size();
        stored = tokensIn(fx.allHistory(), prefix);
        if (stored.size() >= total)
            break;
        if (stored.size() > before)
            stuck.setRemainingTime(30000);
        QTest::qWait(250);
    }
    QCOMPARE(stored.size(), total);
    QCOMPARE(QSet<QString>(stored.begin(), stored.end()), expected);
    QVERIFY(receiveKept(QStringLiteral("kept")));
    verifyHealthy();
}

// ---------------------------------------------------------------------------------------
// Connections cut at every step

void TestHostile::closeAtEveryStep_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QByteArray>("partial");
    QTest::addColumn<QString>("outcome");

    // outcome: "warning" (the login failed and says so), "session" (the contact page stays and
    // the watchdog logs in again), "contacts" (and the list that came whole is shown),
    // "message" (and the message that came whole is stored).
    QTest::newRow("on the login line") << "login" << QByteArray() << "warning";
    QTest::newRow("inside the login reply") << "login" << QByteArray("ZM/1.1 return --id=20") << "warning";
    QTest::newRow("after the login reply") << "login" << QByteArray("ZM/1.1 return --id=200\n") << "session";
    QTest::newRow("on the nick request") << "nick" << QByteArray() << "session";
    QTest::newRow("inside the nick reply")
        << "nick" << QByteArray("ZM/1.1 return --rq=nick --id=200 --ni") << "session";
    QTest::newRow("on the contact list request") << "contactswithstates" << QByteArray() << "session";
    QTest::newRow("inside the contact list")
        << "contactswithstates" << contactsLine(friendlyContacts()).left(60) << "session";
    // Closed once the client has asked everything: what came before the close is handled.
    // (A server closing while requests are still on their way resets the connection, and
    // what it sent last may then be lost on the way; nothing a client can do about that.)
    QTest::newRow("after the last login answer")
        << "onlinestate" << friendlyAnswer("ZM/1.1 request --rq=onlinestate\n") << "contacts";
    QTest::newRow("inside a pushed message")
        << "session" << QByteArray("ZM/1.1 message --username=alice --message=cu") << "session";
    QTest::newRow("after a pushed message")
        << "session" << messageLine(Alice, QStringLiteral("lastword1z")) << "message";
    QTest::newRow("while a message is sent") << "sendmessage" << QByteArray() << "session";
}

void TestHostile::closeAtEveryStep()
{
    QFETCH(QString, step);
    QFETCH(QByteArray, partial);
    QFETCH(QString, outcome);
    Fixture &fx = *m_fx;
    TlsTestServer *server = &fx.server;
    fx.script->set([=](const QByteArray &line) -> QByteArray {
        const bool isStep = step == QLatin1String("login")
            ? line.startsWith("ZM/1.1 login")
            : argument(line, "--rq=") == step || argument(line, "--at=") == step;
        if (!isStep)
            return friendlyAnswer(line);
        if (!partial.isEmpty())
            server->sendToClient(partial);
        server->closeClient();
        return QByteArray();
    });

    const bool inSession = step == QLatin1String("session") || step == QLatin1String("sendmessage");
    if (inSession && (!loggedIn() || fx.server.openConnectionCount() != 1))
        QVERIFY(recover());
    const int connections = fx.server.connectionCount();
    if (step == QLatin1String("session")) {
        fx.server.sendToClient(partial);
        fx.server.closeClient();
    } else if (step == QLatin1String("sendmessage")) {
        if (!listShows(AliceName)) {
            fx.server.sendToClient(contactsLine(friendlyContacts()));
            QTRY_VERIFY_WITH_TIMEOUT(listShows(AliceName), 10000);
        }
        QVERIFY(fx.client
                    .call({{QStringLiteral("cmd"), QStringLiteral("activateItem")},
                           {QStringLiteral("path"), QStringLiteral("frmLogin/lwContactsDesigned")},
                           {QStringLiteral("text"), QStringLiteral("Alice")}})
                    .value(QStringLiteral("ok"))
                    .toBool());
        const QString field = QStringLiteral("frmChat@Alice/txtMessageBox");
        QTRY_VERIFY_WITH_TIMEOUT(fx.client.get(field, QStringLiteral("visible")).toBool(), 10000);
        const QString own = fx.token(QStringLiteral("own"));
        QVERIFY(fx.client.type(field, own, true));
        // What the user wrote is kept although the connection broke under it.
        QTRY_VERIFY_WITH_TIMEOUT(fx.history(Alice).contains(own.toLatin1()), 15000);
        fx.keptMessages << own;
    } else {
        if (loggedIn()) {
            fx.client.invoke(QStringLiteral("frmLogin"), QStringLiteral("logoutUser"));
            QTRY_VERIFY_WITH_TIMEOUT(!loggedIn(), 10000);
        }
        QVERIFY(logIn());
        QVERIFY(fx.server.waitForConnections(connections + 1, 15000));
    }
    QVERIFY2(fx.server.waitForOpenConnections(0, 15000), "the server could not close the connection");

    if (outcome == QLatin1String("warning")) {
        QTRY_COMPARE_WITH_TIMEOUT(messageBoxTitle(), QStringLiteral("Login"), 15000);
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(loggedIn(), 15000);
        QCOMPARE(messageBoxTitle(), QString());
    }
    if (outcome == QLatin1String("contacts"))
        QTRY_VERIFY_WITH_TIMEOUT(listShows(AliceName), 10000);
    if (outcome == QLatin1String("message")) {
        QTRY_VERIFY_WITH_TIMEOUT(fx.history(Alice).contains("lastword1z"), 10000);
        fx.keptMessages << QStringLiteral("lastword1z");
    }
    verifyHealthy();
    QVERIFY(recover());
    verifyHealthy();
}

ZM_HERMETIC_TEST_MAIN(TestHostile)
#include "tst_hostile.moc"
