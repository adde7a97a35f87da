// Where the remembered password lives: the rules with a keyring of the test's own, then the
// real program against gnome-keyring's Secret Service on a private session bus, and without any.
#include "Keyring.h"
#include "LoginStore.h"
#include "e2edriver.h"
#include "hermetic.h"
#include "loopbackzmsgd.h"
#include "privatebus.h"

#include <zmsgdserver.h>
#include <zmsgdserverthread.h>
#include <zmsgdstore.h>

#include <QJsonArray>
#include <QSettings>
#include <QtTest>

namespace {

// A keyring that answers when the test says so, with the result the test chooses.
class ScriptedKeyring : public SecretStore
{
public:
    QMap<QString, QString> entries;
    Result nextResult = Result::Done;
    bool answerAtOnce = true;
    QList<std::function<void()>> pending;
    QStringList removed;
    int answered = 0;

    void read(const QString &key, Callback done) override
    {
        answer([=] {
            if (nextResult != Result::Done)
                done(nextResult, QString());
            else if (!entries.contains(key))
                done(Result::NotFound, QString());
            else
                done(Result::Done, entries.value(key));
        });
    }
    void write(const QString &key, const QString &secret, Callback done) override
    {
        answer([=] {
            if (nextResult == Result::Done)
                entries.insert(key, secret);
            done(nextResult, QString());
        });
    }
    void remove(const QString &key, Callback done) override
    {
        answer([=] {
            removed << key;
            entries.remove(key);
            if (done)
                done(Result::Done, QString());
        });
    }
    void answerPending()
    {
        const QList<std::function<void()>> calls = std::exchange(pending, {});
        for (const auto &call : calls)
            call();
    }

private:
    void answer(std::function<void()> call)
    {
        auto counted = [this, call] {
            call();
            ++answered;
        };
        if (answerAtOnce)
            QTimer::singleShot(0, this, counted);
        else
            pending << counted;
    }
};

const QString Service = QStringLiteral("Zelto Messenger");

QSettings *newStore(QTemporaryDir &dir)
{
    return new QSettings(dir.filePath(QStringLiteral("settings.conf")), QSettings::IniFormat);
}

void rememberInFile(QSettings &settings, const QString &name, const QString &password)
{
    settings.setValue(QStringLiteral("Login/Autologin"), true);
    settings.setValue(QStringLiteral("Login/Name"), LoginStore::encodeCredential(name));
    settings.setValue(QStringLiteral("Login/Password"), LoginStore::encodeCredential(password));
    settings.sync();
}

// What is on disk now, as a new reader sees it.
QVariant onDisk(const QString &file, const QString &key)
{
    return QSettings(file, QSettings::IniFormat).value(key);
}

} // namespace

class TestKeyring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    // The rules, with a scripted keyring.
    void olderFileValueMovesToKeyring();
    void refusingKeyringKeepsTheFile_data();
    void refusingKeyringKeepsTheFile();
    void loginChangedWhileMovingStays();
    void keyringGoneMovesPasswordBack();
    void forgettingRemovesTheEntry_data();
    void forgettingRemovesTheEntry();
    void fetchIsBounded_data();
    void fetchIsBounded();

    // The desktop's keyring.
    void keyringDroppedWhileBusy();

    // The real program.
    void loginKeepsPasswordInKeyring();
    void olderFileValueMovesOnStart();
    void withoutKeyringTheFileKeepsIt();

private:
    QString settingsFile(const ClientProcess &client) const;
    bool logIn(ClientProcess &client);
    bool isLoggedIn(ClientProcess &client);
    std::unique_ptr<ClientProcess> newClient(bool withKeyring);
    QString keyringEntry(const QString &user) const;

    QTemporaryDir m_dir;
    ZmsgdServerThread m_server;
    PrivateBus m_bus;
    KeyringDaemon m_keyring;
    std::unique_ptr<ClientProcess> m_client;
};

void TestKeyring::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(loopbackZmsgdConfig(m_dir.filePath(QStringLiteral("zmsgd.sqlite")), false), &error),
             qPrintable(error));
    exportZmsgdEndpoint(m_server);
    m_server.runOnServer([](ZmsgdServer *server) {
        server->store()->createAccount(QStringLiteral("alice"), QStringLiteral("alice123"), QStringLiteral("Alice"));
    });
    QVERIFY2(m_bus.start(&error), qPrintable(error));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("keyring-data"))));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("keyring-run"))));
    QVERIFY2(m_keyring.start(m_bus, m_dir.filePath(QStringLiteral("keyring-data")),
                             m_dir.filePath(QStringLiteral("keyring-run")), &error),
             qPrintable(error));
    // Keyring objects of this process reach the same Secret Service.
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.address().toUtf8());
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
}

void TestKeyring::cleanup()
{
    if (m_client)
        m_client->stop();
    m_client.reset();
}

void TestKeyring::cleanupTestCase()
{
    m_keyring.stop();
    m_bus.stop();
    m_server.stop();
}

// ---------------------------------------------------------------------------------------
// Rules

void TestKeyring::olderFileValueMovesToKeyring()
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings(newStore(dir));
    rememberInFile(*settings, QStringLiteral("alice"), QStringLiteral("pässword 1"));
    ScriptedKeyring keyring;
    LoginStore::moveToKeyring(*settings, &keyring);
    QTRY_VERIFY(!onDisk(settings->fileName(), QStringLiteral("Login/Password")).isValid());
    QCOMPARE(keyring.entries.value(QStringLiteral("alice")), QStringLiteral("pässword 1"));
    QCOMPARE(onDisk(settings->fileName(), QStringLiteral("Login/PasswordInKeyring")).toBool(), true);
    settings->sync();
    const LoginStore::Remembered remembered = LoginStore::read(*settings);
    QVERIFY(remembered.passwordInKeyring);
    QVERIFY(remembered.password.isEmpty());
    QCOMPARE(remembered.name, QStringLiteral("alice"));
}

void TestKeyring::refusingKeyringKeepsTheFile_data()
{
    QTest::addColumn<int>("result");
    QTest::newRow("no keyring") << int(SecretStore::Result::Unavailable);
    QTest::newRow("user said no") << int(SecretStore::Result::Refused);
}

void TestKeyring::refusingKeyringKeepsTheFile()
{
    QFETCH(int, result);
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings(newStore(dir));
    ScriptedKeyring keyring;
    keyring.nextResult = SecretStore::Result(result);
    LoginStore::storeChoices(*settings, true, false, QStringLiteral("alice"), QStringLiteral("alice123"),
                             QStringLiteral("/usr/bin/zmessenger"), true, &keyring);
    QTRY_COMPARE(keyring.answered, 1);
    settings->sync();
    QCOMPARE(LoginStore::read(*settings).password, QStringLiteral("alice123"));
    QVERIFY(!LoginStore::read(*settings).passwordInKeyring);
    QVERIFY(keyring.entries.isEmpty());
}

void TestKeyring::loginChangedWhileMovingStays()
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings(newStore(dir));
    rememberInFile(*settings, QStringLiteral("alice"), QStringLiteral("old-password"));
    ScriptedKeyring keyring;
    keyring.answerAtOnce = false;
    LoginStore::moveToKeyring(*settings, &keyring);
    // A login with a new password is stored while the keyring still works on the old one.
    rememberInFile(*settings, QStringLiteral("alice"), QStringLiteral("new-password"));
    keyring.answerPending();
    settings->sync();
    QCOMPARE(LoginStore::read(*settings).password, QStringLiteral("new-password"));
    QVERIFY(!LoginStore::read(*settings).passwordInKeyring);
}

void TestKeyring::keyringGoneMovesPasswordBack()
{
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings(newStore(dir));
    ScriptedKeyring keyring;
    LoginStore::storeChoices(*settings, true, false, QStringLiteral("alice"), QStringLiteral("first-pass"),
                             QStringLiteral("/usr/bin/zmessenger"), true, &keyring);
    QTRY_VERIFY(onDisk(settings->fileName(), QStringLiteral("Login/PasswordInKeyring")).toBool());

    // The keyring has gone away (another desktop); the next login keeps the file as the store.
    keyring.nextResult = SecretStore::Result::Unavailable;
    LoginStore::storeChoices(*settings, true, false, QStringLiteral("alice"), QStringLiteral("second-pass"),
                             QStringLiteral("/usr/bin/zmessenger"), true, &keyring);
    QTRY_VERIFY(onDisk(settings->fileName(), QStringLiteral("Login/Password")).isValid());
    settings->sync();
    QCOMPARE(LoginStore::read(*settings).password, QStringLiteral("second-pass"));
    QVERIFY(!LoginStore::read(*settings).passwordInKeyring);
}

void TestKeyring::forgettingRemovesTheEntry_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("logout") << "forget";
    QTest::newRow("login without stay logged in") << "not staying";
    QTest::newRow("login as someone else") << "other account";
}

void TestKeyring::forgettingRemovesTheEntry()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    std::unique_ptr<QSettings> settings(newStore(dir));
    ScriptedKeyring keyring;
    LoginStore::storeChoices(*settings, true, false, QStringLiteral("alice"), QStringLiteral("alice123"),
                             QStringLiteral("/usr/bin/zmessenger"), true, &keyring);
    QTRY_VERIFY(keyring.entries.contains(QStringLiteral("alice")));

    if (how == QLatin1String("forget"))
        LoginStore::forget(*settings, &keyring);
    else
        LoginStore::storeChoices(*settings, how == QLatin1String("other account"), false,
                                 how == QLatin1String("other account") ? QStringLiteral("bob")
                                                                       : QStringLiteral("alice"),
                                 QStringLiteral("bob12345"), QStringLiteral("/usr/bin/zmessenger"), true, &keyring);
    QTRY_VERIFY(!keyring.entries.contains(QStringLiteral("alice")));
    QCOMPARE(keyring.removed, QStringList{QStringLiteral("alice")});
    if (how == QLatin1String("other account"))
        QTRY_COMPARE(keyring.entries.value(QStringLiteral("bob")), QStringLiteral("bob12345"));
    else
        QVERIFY(!onDisk(settings->fileName(), QStringLiteral("Login/PasswordInKeyring")).isValid());
}

void TestKeyring::fetchIsBounded_data()
{
    QTest::addColumn<bool>("answers");
    QTest::addColumn<bool>("found");
    QTest::newRow("keyring answers") << true << true;
    QTest::newRow("keyring never answers") << false << false;
}

void TestKeyring::fetchIsBounded()
{
    QFETCH(bool, answers);
    QFETCH(bool, found);
    ScriptedKeyring keyring;
    keyring.entries.insert(QStringLiteral("alice"), QStringLiteral("alice123"));
    keyring.answerAtOnce = answers;
    QObject context;
    QList<QPair<bool, QString>> results;
    LoginStore::fetchPassword(&keyring, QStringLiteral("alice"), 200, &context, [&](bool ok, const QString &password) {
        results.append({ok, password});
    });
    QTRY_COMPARE(results.size(), 1);
    QCOMPARE(results.first().first, found);
    QCOMPARE(results.first().second, found ? QStringLiteral("alice123") : QString());
    // A late answer changes nothing.
    keyring.answerPending();
    QTest::qWait(300);
    QCOMPARE(results.size(), 1);
}

// ---------------------------------------------------------------------------------------
// The desktop's keyring

void TestKeyring::keyringDroppedWhileBusy()
{
    // A window closed while its keyring still works (the program ends right after a login).
    bool answered = false;
    auto *keyring = new Keyring;
    keyring->write(QStringLiteral("dropped"), QStringLiteral("still stored"),
                   [&](SecretStore::Result, const QString &) { answered = true; });
    // The job has started and waits for the Secret Service.
    QCoreApplication::processEvents();
    delete keyring;
    // The keyring's late answer must find nothing freed; the secret is stored all the same.
    QTRY_COMPARE_WITH_TIMEOUT(keyringEntry(QStringLiteral("dropped")), QStringLiteral("still stored"), 20000);
    QVERIFY(!answered);

    Keyring again;
    bool removed = false;
    again.remove(QStringLiteral("dropped"),
                 [&](SecretStore::Result result, const QString &) { removed = result == SecretStore::Result::Done; });
    QTRY_VERIFY_WITH_TIMEOUT(removed, 20000);
    QVERIFY(keyringEntry(QStringLiteral("dropped")).isEmpty());
}

// ---------------------------------------------------------------------------------------
// The real program

QString TestKeyring::settingsFile(const ClientProcess &client) const
{
    return client.home() + QStringLiteral("/config/Zelto/Zelto Messenger.conf");
}

std::unique_ptr<ClientProcess> TestKeyring::newClient(bool withKeyring)
{
    auto client = std::make_unique<ClientProcess>(QStringLiteral("keyring"));
    if (withKeyring) {
        client->setEnvironment(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_bus.address());
        client->setEnvironment(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("GNOME"));
    }
    return client;
}

bool TestKeyring::logIn(ClientProcess &client)
{
    return client.type(QStringLiteral("frmLogin/txtNameDesigned"), QStringLiteral("alice"))
        && client.type(QStringLiteral("frmLogin/txtPasswordDesigned"), QStringLiteral("alice123"))
        && client.click(QStringLiteral("frmLogin/labDesignedLogin"));
}

bool TestKeyring::isLoggedIn(ClientProcess &client)
{
    return client.get(QStringLiteral("frmLogin/labWelcomeNick"), QStringLiteral("plainText"))
        .toString()
        .startsWith(QStringLiteral("Welcome Alice"));
}

QString TestKeyring::keyringEntry(const QString &user) const
{
    return m_keyring.lookup({QStringLiteral("user"), user, QStringLiteral("server"), Service});
}

void TestKeyring::loginKeepsPasswordInKeyring()
{
    m_client = newClient(true);
    QVERIFY(m_client->start());
    QVERIFY(logIn(*m_client));
    QTRY_VERIFY_WITH_TIMEOUT(isLoggedIn(*m_client), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(onDisk(settingsFile(*m_client), QStringLiteral("Login/PasswordInKeyring")).toBool(),
                             30000);
    QVERIFY(!onDisk(settingsFile(*m_client), QStringLiteral("Login/Password")).isValid());
    QFile file(settingsFile(*m_client));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(!file.readAll().contains(LoginStore::encodeCredential(QStringLiteral("alice123")).toLatin1()));
    QCOMPARE(keyringEntry(QStringLiteral("alice")), QStringLiteral("alice123"));

    // The next start logs in with the password from the keyring.
    QVERIFY(m_client->stop());
    QVERIFY(m_client->start());
    QTRY_VERIFY_WITH_TIMEOUT(isLoggedIn(*m_client), 30000);
    QVERIFY(!onDisk(settingsFile(*m_client), QStringLiteral("Login/Password")).isValid());

    // "Logout" forgets the login, in the keyring too.
    QVERIFY(m_client->click(QStringLiteral("frmLogin/Logout")));
    QTRY_VERIFY_WITH_TIMEOUT(keyringEntry(QStringLiteral("alice")).isEmpty(), 30000);
    QCOMPARE(onDisk(settingsFile(*m_client), QStringLiteral("Login/Autologin")).toBool(), false);
}

void TestKeyring::olderFileValueMovesOnStart()
{
    m_client = newClient(true);
    {
        QSettings settings(settingsFile(*m_client), QSettings::IniFormat);
        rememberInFile(settings, QStringLiteral("alice"), QStringLiteral("alice123"));
    }
    QVERIFY(m_client->start());
    QTRY_VERIFY_WITH_TIMEOUT(isLoggedIn(*m_client), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!onDisk(settingsFile(*m_client), QStringLiteral("Login/Password")).isValid(), 30000);
    QCOMPARE(keyringEntry(QStringLiteral("alice")), QStringLiteral("alice123"));
    QVERIFY(onDisk(settingsFile(*m_client), QStringLiteral("Login/PasswordInKeyring")).toBool());
    QVERIFY(m_client->click(QStringLiteral("frmLogin/Logout")));
    QTRY_VERIFY_WITH_TIMEOUT(keyringEntry(QStringLiteral("alice")).isEmpty(), 30000);
}

void TestKeyring::withoutKeyringTheFileKeepsIt()
{
    m_client = newClient(false);
    QVERIFY(m_client->start());
    QVERIFY(logIn(*m_client));
    QTRY_VERIFY_WITH_TIMEOUT(isLoggedIn(*m_client), 30000);
    QTRY_COMPARE_WITH_TIMEOUT(onDisk(settingsFile(*m_client), QStringLiteral("Login/Password")).toString(),
                              LoginStore::encodeCredential(QStringLiteral("alice123")), 30000);
    QVERIFY(!onDisk(settingsFile(*m_client), QStringLiteral("Login/PasswordInKeyring")).isValid());
    QCOMPARE(QFile::permissions(settingsFile(*m_client)) & 0x0077, QFileDevice::Permissions());

    QVERIFY(m_client->stop());
    QVERIFY(m_client->start());
    QTRY_VERIFY_WITH_TIMEOUT(isLoggedIn(*m_client), 30000);
    QCOMPARE(onDisk(settingsFile(*m_client), QStringLiteral("Login/Password")).toString(),
             LoginStore::encodeCredential(QStringLiteral("alice123")));
}

ZM_HERMETIC_TEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
