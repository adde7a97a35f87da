// The program as a desktop user starts it: terminal options, one instance per user, and the
// restart after a language change. Every case runs the real program.
#include "LoginStore.h"
#include "Platform.h"
#include "SingleInstance.h"
#include "closedport.h"
#include "e2edriver.h"
#include "hermetic.h"

#include <QDir>
#include <QJsonArray>
#include <QLocalSocket>
#include <QSettings>
#include <QTcpServer>
#include <QtTest>

#include <csignal>
#include <sys/types.h>

namespace {

QString program()
{
    return qEnvironmentVariable("ZM_ZMESSENGER");
}

QJsonObject mainWindow(ClientProcess &client)
{
    for (const QJsonValue &window : client.windows()) {
        if (window.toObject().value(QStringLiteral("class")).toString() == QLatin1String("frmLogin"))
            return window.toObject();
    }
    return {};
}

bool isMinimized(ClientProcess &client)
{
    return mainWindow(client).value(QStringLiteral("minimized")).toBool();
}

bool isInFront(ClientProcess &client)
{
    const QJsonObject window = mainWindow(client);
    return window.value(QStringLiteral("visible")).toBool() && !window.value(QStringLiteral("minimized")).toBool()
        && window.value(QStringLiteral("active")).toBool();
}

QString settingsFile(const ClientProcess &client)
{
    return client.home() + QStringLiteral("/config/Zelto/Zelto Messenger.conf");
}

qint64 lockHolder(const QString &runtimeDirectory)
{
    QFile lock(runtimeDirectory + QStringLiteral("/zelto-messenger.lock"));
    if (!lock.open(QIODevice::ReadOnly))
        return 0;
    return lock.readLine().trimmed().toLongLong();
}

// A process that has ended, even one nobody reaped.
bool hasEnded(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

class TestInstance : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void informationOptions_data();
    void informationOptions();
    void unknownOptionsStillIgnored();
    void secondStart_data();
    void secondStart();
    void staleLockFromCrashDoesNotBlock();
    void languageRestartRunsOnItsOwn();
    void restartFreesTheLockBeforeStarting();
    void requestsAreBounded_data();
    void requestsAreBounded();
    void privateFallbackDirectory();
    void cleanup();

private:
    qint64 m_orphan = 0;
};

void TestInstance::initTestCase()
{
    if (program().isEmpty())
        QSKIP("needs ZM_ZMESSENGER (set by ctest)");
}

void TestInstance::cleanup()
{
    // A restarted program is nobody's child: a failed test must not leave it running.
    if (m_orphan > 0 && !hasEnded(m_orphan))
        ::kill(pid_t(m_orphan), SIGKILL);
    m_orphan = 0;
}

void TestInstance::informationOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("expected");
    const QStringList usage{QStringLiteral("Usage: zmessenger [options]"), QStringLiteral("  --minimized "),
                            QStringLiteral("  -h, --help "), QStringLiteral("  --version ")};
    QTest::newRow("--help") << QStringList{QStringLiteral("--help")} << "" << usage;
    QTest::newRow("-h") << QStringList{QStringLiteral("-h")} << "" << usage;
    QTest::newRow("--help among others") << QStringList{QStringLiteral("--minimized"), QStringLiteral("--bogus"),
                                                        QStringLiteral("--help")}
                                         << "" << usage;
    QTest::newRow("--version") << QStringList{QStringLiteral("--version")} << ""
                               << QStringList{QStringLiteral("Zelto Messenger 1.0.0-33\n")};
    QTest::newRow("--help in German") << QStringList{QStringLiteral("--help")} << QStringLiteral("de")
                                      << QStringList{QStringLiteral("Aufruf: zmessenger [Optionen]"),
                                                     QStringLiteral("Diese Hilfe anzeigen und beenden")};
    QTest::newRow("--help in French") << QStringList{QStringLiteral("--help")} << QStringLiteral("fr")
                                      << QStringList{QStringLiteral("Utilisation : zmessenger [options]"),
                                                     QStringLiteral("Afficher cette aide et quitter")};
}

void TestInstance::informationOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, language);
    QFETCH(QStringList, expected);
    ClientProcess client(QStringLiteral("options"));
    if (!language.isEmpty()) {
        QSettings settings(settingsFile(client), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Interface/Language"), language);
    }
    QProcess process;
    QProcessEnvironment environment = client.environment();
    // No display at all: the answer must not need one.
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("no-such-platform"));
    process.setProcessEnvironment(environment);
    process.start(program(), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    for (const QString &text : expected)
        QVERIFY2(output.contains(text), qPrintable(output));
    // Nothing of a normal start happened: no instance lock, no settings written.
    QVERIFY(QDir(client.runtimeDirectory()).isEmpty());
    QCOMPARE(QFile::exists(settingsFile(client)), !language.isEmpty());
}

void TestInstance::unknownOptionsStillIgnored()
{
    ClientProcess client(QStringLiteral("unknown"));
    QVERIFY(client.start({QStringLiteral("--bogus"), QStringLiteral("-x"), QStringLiteral("--HELP"),
                          QStringLiteral("--helpme"), QStringLiteral("--versions"), QStringLiteral("file.txt")}));
    QVERIFY(mainWindow(client).value(QStringLiteral("visible")).toBool());
    QVERIFY(client.stop());
}

void TestInstance::secondStart_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("raises");
    QTest::addColumn<QString>("output");
    QTest::newRow("plain start raises the running window") << QStringList() << true << "";
    QTest::newRow("start with other options raises it") << QStringList{QStringLiteral("--noupdate")} << true << "";
    // Autostart at login while the program already runs must not pop the window up.
    QTest::newRow("--minimized start leaves it alone") << QStringList{QStringLiteral("--minimized")} << false << "";
    QTest::newRow("--help answers and leaves it alone") << QStringList{QStringLiteral("--help")} << false << "Usage:";
}

void TestInstance::secondStart()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, raises);
    QFETCH(QString, output);
    ClientProcess first(QStringLiteral("first"));
    QVERIFY(first.start({QStringLiteral("--minimized")}));
    QTRY_VERIFY(isMinimized(first));

    QProcess second;
    second.setProcessEnvironment(first.environment());
    second.start(program(), arguments);
    // Only a second start that ends by itself handed over: one that opened its own window
    // would run until someone closed it.
    QVERIFY2(second.waitForFinished(30000), "the second start did not end");
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(QString::fromUtf8(second.readAllStandardOutput()).contains(output));

    if (raises) {
        QTRY_VERIFY_WITH_TIMEOUT(isInFront(first), 20000);
    } else {
        // The running one answers only after it has acted on the request.
        QVERIFY(isMinimized(first));
    }
    QVERIFY(first.stop());
}

void TestInstance::staleLockFromCrashDoesNotBlock()
{
    ClientProcess client(QStringLiteral("crash"));
    QVERIFY(client.start());
    const QString lock = client.runtimeDirectory() + QStringLiteral("/zelto-messenger.lock");
    QCOMPARE(lockHolder(client.runtimeDirectory()), client.processId());
    client.kill();
    QVERIFY2(QFile::exists(lock), "a crash leaves its lock behind");

    // The new start finds the dead holder and runs itself instead of waiting or handing over.
    QVERIFY(client.start({QStringLiteral("--minimized")}));
    QCOMPARE(lockHolder(client.runtimeDirectory()), client.processId());
    // And it answers later starts itself.
    QProcess second;
    second.setProcessEnvironment(client.environment());
    second.start(program(), QStringList());
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(isInFront(client), 20000);
    QVERIFY(client.stop());
}

void TestInstance::languageRestartRunsOnItsOwn()
{
    ClientProcess client(QStringLiteral("language"));
    {
        // An automatic login that finds no server opens the offline session with its menus.
        QSettings settings(settingsFile(client), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Login/Autologin"), true);
        settings.setValue(QStringLiteral("Login/Name"), LoginStore::encodeCredential(QStringLiteral("alice")));
        settings.setValue(QStringLiteral("Login/Password"), LoginStore::encodeCredential(QStringLiteral("alice123")));
    }
    client.setEnvironment(QStringLiteral("ZMSGFW_PORT"), QString::number(closedPort()));
    QVERIFY(client.start());
    QTRY_VERIFY_WITH_TIMEOUT(client.get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(), 30000);

    const QString germanEntry = QLocale(QStringLiteral("de")).nativeLanguageName() + QStringLiteral(" (German)");
    QVERIFY(client.click(QStringLiteral("frmLogin/") + germanEntry));
    QVERIFY(client.process().waitForFinished(30000));
    QCOMPARE(client.process().exitCode(), 0);

    // The new instance took the lock and the control channel instead of handing over to the
    // one that just ended.
    QVERIFY2(client.reconnect(), "the restarted program is not running");
    m_orphan = lockHolder(client.runtimeDirectory());
    QVERIFY(m_orphan > 0);
    QVERIFY(m_orphan != client.processId());
    QTRY_VERIFY_WITH_TIMEOUT(client.get(QStringLiteral("frmLogin/menuBar"), QStringLiteral("visible")).toBool(), 30000);
    QCOMPARE(client.get(QStringLiteral("frmLogin/labDesignedLogin"), QStringLiteral("text")).toString(),
             QStringLiteral("Anmelden"));

    QVERIFY(client.invoke(QStringLiteral("frmLogin"), QStringLiteral("endZM")));
    QTRY_VERIFY_WITH_TIMEOUT(hasEnded(m_orphan), 20000);
}

void TestInstance::restartFreesTheLockBeforeStarting()
{
    QTemporaryDir dir;
    SingleInstance running(dir.path());
    QCOMPARE(running.claim(true), SingleInstance::Outcome::Primary);
    QCOMPARE(SingleInstance::current(), &running);

    // What the new instance finds at the moment it is started.
    bool newInstanceRunsOnItsOwn = false;
    Platform::setRestartHook([&] {
        SingleInstance next(dir.path());
        newInstanceRunsOnItsOwn = next.claim(true, 0) == SingleInstance::Outcome::Primary;
        return true;
    });
    QVERIFY(Platform::restartProgram());
    Platform::setRestartHook(nullptr);
    QVERIFY(newInstanceRunsOnItsOwn);
    QCOMPARE(SingleInstance::current(), nullptr);
}

void TestInstance::requestsAreBounded_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("raises");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("raise") << QByteArray("raise\n") << true << QByteArray("ok\n");
    QTest::newRow("ping") << QByteArray("ping\n") << false << QByteArray("ok\n");
    QTest::newRow("unknown word") << QByteArray("open /etc/passwd\n") << false << QByteArray();
    QTest::newRow("raise with more") << QByteArray("raise now\n") << false << QByteArray();
    QTest::newRow("endless line") << QByteArray(100000, 'x') << false << QByteArray();
    QTest::newRow("binary") << QByteArray("\0\xff\n", 3) << false << QByteArray();
}

void TestInstance::requestsAreBounded()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, raises);
    QFETCH(QByteArray, answer);
    QTemporaryDir dir;
    SingleInstance running(dir.path());
    QCOMPARE(running.claim(true), SingleInstance::Outcome::Primary);
    QSignalSpy raised(&running, &SingleInstance::raiseRequested);

    QLocalSocket socket;
    socket.connectToServer(running.socketPath());
    QVERIFY(socket.waitForConnected(5000));
    socket.write(request);
    QByteArray received;
    connect(&socket, &QLocalSocket::readyRead, &socket, [&] { received += socket.readAll(); });
    // Every request ends with the connection closed by the running one, answered or not.
    QTRY_VERIFY_WITH_TIMEOUT(socket.state() == QLocalSocket::UnconnectedState, 20000);
    received += socket.readAll();
    QCOMPARE(received, answer);
    QCOMPARE(raised.count(), raises ? 1 : 0);
}

void TestInstance::privateFallbackDirectory()
{
    QTemporaryDir temp;
    // Runtime directories that cannot be: files stand where the set one and Qt's own
    // fallback in the temporary directory should be.
    QFile notADirectory(temp.filePath(QStringLiteral("runtime")));
    QVERIFY(notADirectory.open(QIODevice::WriteOnly));
    notADirectory.close();
    QFile notQtsFallback(temp.filePath(QStringLiteral("runtime-") + QFileInfo(notADirectory).owner()));
    QVERIFY(notQtsFallback.open(QIODevice::WriteOnly));
    notQtsFallback.close();
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray tmpdir = qgetenv("TMPDIR");
    qputenv("XDG_RUNTIME_DIR", notADirectory.fileName().toUtf8());
    qputenv("TMPDIR", temp.path().toUtf8());
    const QString directory = SingleInstance::runtimeDirectory();
    qputenv("XDG_RUNTIME_DIR", runtime);
    qputenv("TMPDIR", tmpdir);

    QCOMPARE(QFileInfo(directory).absolutePath(), QFileInfo(temp.path()).absoluteFilePath());
    QVERIFY2(QFileInfo(directory).fileName().startsWith(QStringLiteral("zelto-messenger-")), qPrintable(directory));
    QCOMPARE(QFile::permissions(directory) & 0x0777,
             QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser);
}

ZM_HERMETIC_TEST_MAIN(TestInstance)
#include "tst_instance.moc"
