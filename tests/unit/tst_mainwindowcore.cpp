#include "AppSettings.h"
#include "LanguageList.h"
#include "LoginResult.h"
#include "Platform.h"
#include "Registration.h"
#include "WindowGeometry.h"
#include "hermetic.h"

#include <QSettings>
#include <QtTest>

Q_DECLARE_METATYPE(LoginResult::Meaning)

// The widget-free decisions and stores behind the main window: login results, captcha codes,
// the language choice and the window's geometry.
class TestMainWindowCore : public QObject
{
    Q_OBJECT

private slots:
    void loginResultMeaning_data();
    void loginResultMeaning();
    void freshCaptchaCode_data();
    void freshCaptchaCode();
    void languageChoiceIsOnDiskAtOnce_data();
    void languageChoiceIsOnDiskAtOnce();
    void geometryRestoredOnlyWhole_data();
    void geometryRestoredOnlyWhole();
    void geometryIsOnDiskAtOnce();
};

void TestMainWindowCore::loginResultMeaning_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<LoginResult::Meaning>("meaning");
    QTest::newRow("logged in") << 200 << LoginResult::Meaning::LoggedIn;
    QTest::newRow("no such account") << 404 << LoginResult::Meaning::UnknownAccount;
    QTest::newRow("too many guesses") << 429 << LoginResult::Meaning::Throttled;
    QTest::newRow("no usable answer") << 500 << LoginResult::Meaning::NoServer;
    // Only a missing server sends an automatic login offline; these leave the page as it is.
    QTest::newRow("not connected") << 501 << LoginResult::Meaning::Other;
    QTest::newRow("foreign line") << 601 << LoginResult::Meaning::Other;
    QTest::newRow("wrong old password") << 300 << LoginResult::Meaning::Other;
    QTest::newRow("zero") << 0 << LoginResult::Meaning::Other;
    QTest::newRow("negative") << -1 << LoginResult::Meaning::Other;
}

void TestMainWindowCore::loginResultMeaning()
{
    QFETCH(int, result);
    QFETCH(LoginResult::Meaning, meaning);
    QCOMPARE(LoginResult::meaning(result), meaning);
}

void TestMainWindowCore::freshCaptchaCode_data()
{
    const QDateTime now(QDate(2026, 3, 1), QTime(12, 30, 15, 400));
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QString>("spent");
    QTest::addColumn<QString>("fresh");
    QTest::newRow("nothing spent") << now << QString() << Registration::captchaCode(now);
    QTest::newRow("an earlier second's code spent")
        << now << Registration::captchaCode(now.addSecs(-1)) << Registration::captchaCode(now);
    // The site takes a code once: within the same second the next second's code is used.
    QTest::newRow("this second's code spent")
        << now << Registration::captchaCode(now) << Registration::captchaCode(now.addSecs(1));
    QTest::newRow("spent a moment earlier in the same second")
        << now << Registration::captchaCode(now.addMSecs(-300)) << Registration::captchaCode(now.addSecs(1));
}

void TestMainWindowCore::freshCaptchaCode()
{
    QFETCH(QDateTime, now);
    QFETCH(QString, spent);
    QFETCH(QString, fresh);
    const QString code = Registration::freshCaptchaCode(now, spent);
    QCOMPARE(code, fresh);
    QVERIFY(code != spent);
}

void TestMainWindowCore::languageChoiceIsOnDiskAtOnce_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("system") << "System";
    QTest::newRow("english") << "en";
    QTest::newRow("german") << "de";
}

void TestMainWindowCore::languageChoiceIsOnDiskAtOnce()
{
    QFETCH(QString, code);
    LanguageList::storeChoice(code);
    // What a new instance started right now would read.
    const QSettings onDisk(Platform::settingsFilePath(), QSettings::IniFormat);
    QCOMPARE(onDisk.value(QStringLiteral("Interface/Language")).toString(), code);
}

void TestMainWindowCore::geometryRestoredOnlyWhole_data()
{
    QTest::addColumn<QStringList>("stored"); // keys under "Windows"
    QTest::addColumn<bool>("restored");
    QTest::newRow("both") << QStringList{QStringLiteral("loginGeometry"), QStringLiteral("loginState")} << true;
    QTest::newRow("geometry alone") << QStringList{QStringLiteral("loginGeometry")} << false;
    QTest::newRow("state alone") << QStringList{QStringLiteral("loginState")} << false;
    QTest::newRow("nothing") << QStringList() << false;
}

void TestMainWindowCore::geometryRestoredOnlyWhole()
{
    QFETCH(QStringList, stored);
    QFETCH(bool, restored);
    {
        QSettings settings = AppSettings::open();
        settings.clear();
        for (const QString &key : stored)
            settings.setValue(QStringLiteral("Windows/") + key, QByteArray("saved ") + key.toUtf8());
    }
    const std::optional<WindowGeometry::Saved> saved = WindowGeometry::readMain();
    QCOMPARE(saved.has_value(), restored);
    if (restored) {
        QCOMPARE(saved->geometry, QByteArray("saved loginGeometry"));
        QCOMPARE(saved->state, QByteArray("saved loginState"));
    }
}

void TestMainWindowCore::geometryIsOnDiskAtOnce()
{
    WindowGeometry::storeMain({QByteArray("geometry\0bytes", 14), QByteArray("state")});
    const QSettings onDisk(Platform::settingsFilePath(), QSettings::IniFormat);
    QCOMPARE(onDisk.value(QStringLiteral("Windows/loginGeometry")).toByteArray(), QByteArray("geometry\0bytes", 14));
    QCOMPARE(onDisk.value(QStringLiteral("Windows/loginState")).toByteArray(), QByteArray("state"));
}

ZM_HERMETIC_GUILESS_TEST_MAIN(TestMainWindowCore)
#include "tst_mainwindowcore.moc"
