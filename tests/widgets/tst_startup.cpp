#include "hermetic.h"

#include "Startup.h"
#include "UpdateThread.h"
#include "httptestserver.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void openGlIntegration_data();
    void openGlIntegration();
    void options_data();
    void options();
    void translationDir();
    void translationDirectory_data();
    void translationDirectory();
    void translations_data();
    void translations();
    void resetStyle();
    void storedStyleApplied();
    void updateCheckWaitsForTheWindow_data();
    void updateCheckWaitsForTheWindow();
    void cleanupTestCase() { qDeleteAll(m_dirs); }

private:
    QString makeAddOnDir(const QStringList &validCatalogues, const QStringList &brokenCatalogues);
    QList<QTemporaryDir *> m_dirs;
};

void TestStartup::openGlIntegration_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("unset: none") << false << QByteArray() << QByteArray("none");
    QTest::newRow("empty: none") << true << QByteArray() << QByteArray("none");
    QTest::newRow("xcb_glx kept") << true << QByteArray("xcb_glx") << QByteArray("xcb_glx");
    QTest::newRow("xcb_egl kept") << true << QByteArray("xcb_egl") << QByteArray("xcb_egl");
}

void TestStartup::openGlIntegration()
{
    QFETCH(bool, set);
    QFETCH(QByteArray, value);
    const char *name = "QT_XCB_GL_INTEGRATION";
    const bool wasSet = qEnvironmentVariableIsSet(name);
    const QByteArray previous = qgetenv(name);
    if (set)
        qputenv(name, value);
    else
        qunsetenv(name);

    Startup::avoidOpenGlIntegration();
    const QByteArray result = qgetenv(name);
    if (wasSet)
        qputenv(name, previous);
    else
        qunsetenv(name);
    QTEST(result, "expected");
}

void TestStartup::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("minimized");
    QTest::addColumn<bool>("resetStyle");
    QTest::addColumn<bool>("regUpdate");
    QTest::addColumn<bool>("noUpdate");
    QTest::newRow("none") << QStringList{QStringLiteral("/usr/bin/zmessenger")} << false << false << false << false;
    QTest::newRow("minimized") << QStringList{QStringLiteral("zm"), QStringLiteral("--minimized")} << true << false
                               << false << false;
    QTest::newRow("minimized with =") << QStringList{QStringLiteral("zm"), QStringLiteral("--minimized=")} << true
                                      << false << false << false;
    QTest::newRow("minimized with value")
        << QStringList{QStringLiteral("zm"), QStringLiteral("--minimized=no")} << true << false << false << false;
    QTest::newRow("capital letters ignored")
        << QStringList{QStringLiteral("zm"), QStringLiteral("--MINIMIZED")} << false << false << false << false;
    QTest::newRow("longer word ignored") << QStringList{QStringLiteral("zm"), QStringLiteral("--minimizedx")} << false
                                         << false << false << false;
    QTest::newRow("all combined in any order")
        << QStringList{QStringLiteral("zm"),           QStringLiteral("--noupdate"), QStringLiteral("--regupdate=1"),
                       QStringLiteral("--resetstyle"), QStringLiteral("junk"),       QStringLiteral("--minimized")}
        << true << true << true << true;
}

void TestStartup::options()
{
    QFETCH(QStringList, arguments);
    const Startup::Options options = Startup::parseOptions(arguments);
    QTEST(options.minimized, "minimized");
    QTEST(options.resetStyle, "resetStyle");
    QTEST(options.regUpdate, "regUpdate");
    QTEST(options.noUpdate, "noUpdate");
}

void TestStartup::translationDirectory_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("expected");
    QTest::newRow("beside the program") << QStringList{QStringLiteral("bin/trplugs"), QStringLiteral("share/zm/tr")}
                                        << "bin/trplugs";
    QTest::newRow("installed") << QStringList{QStringLiteral("share/zm/tr")} << "share/zm/tr";
    QTest::newRow("neither") << QStringList{} << "bin/trplugs";
}

void TestStartup::translationDirectory()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, expected);
    QTemporaryDir root;
    for (const QString &dir : existing)
        QVERIFY(QDir(root.path()).mkpath(dir));
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("bin")));
    const QString bin = root.filePath(QStringLiteral("bin"));
    QCOMPARE(Startup::translationDirectory(bin, QStringLiteral("/w"), QStringLiteral("../share/zm/tr")),
             root.filePath(expected));
}

void TestStartup::translationDir()
{
    QCOMPARE(
        Startup::resolveTranslationDir(QStringLiteral("$ED/trplugs"), QStringLiteral("/opt/zm"), QStringLiteral("/w")),
        QStringLiteral("/opt/zm/trplugs"));
    QCOMPARE(Startup::resolveTranslationDir(QStringLiteral("$WD/x"), QStringLiteral("/opt/zm"), QStringLiteral("/w")),
             QStringLiteral("/w/x"));
}

QString TestStartup::makeAddOnDir(const QStringList &validCatalogues, const QStringList &brokenCatalogues)
{
    auto *dir = new QTemporaryDir;
    m_dirs.append(dir);
    for (const QString &name : validCatalogues)
        QFile::copy(QStringLiteral(":/tr/zm_de.qm"), dir->filePath(name));
    for (const QString &name : brokenCatalogues) {
        QFile file(dir->filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write("this is not a catalogue");
    }
    return dir->path();
}

void TestStartup::translations_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("addOns");
    QTest::addColumn<QStringList>("brokenAddOns");
    QTest::addColumn<QStringList>("loaded"); // file loaded by each of the six translators, "$DIR" the add-on dir

    const QStringList none{QString(), QString(), QString(), QString(), QString(), QString()};
    // The three built-in catalogues of a language, after three add-on translators with nothing.
    const auto builtIn = [](const char *code) {
        const QString c = QLatin1String(code);
        return QStringList{QString(),
                           QString(),
                           QString(),
                           QStringLiteral(":/tr/zm_%1.qm").arg(c),
                           QStringLiteral(":/tr/qtbase_%1.qm").arg(c),
                           QStringLiteral(":/tr/qtmultimedia_%1.qm").arg(c)};
    };
    const QStringList noFiles;
    QTest::newRow("system mode, fr_CA") << "System"
                                        << "fr_CA" << noFiles << noFiles << builtIn("fr");
    QTest::newRow("blank setting is system mode") << "   "
                                                  << "de_DE" << noFiles << noFiles << builtIn("de");
    QTest::newRow("de without add-on, no built-in system catalogue keeps de")
        << "de"
        << "en_US" << noFiles << noFiles << builtIn("de");
    QTest::newRow("de without add-on falls back to built-in system language")
        << "de"
        << "fr_FR" << noFiles << noFiles << builtIn("fr");
    QStringList addOnFirst = builtIn("de");
    addOnFirst[0] = QStringLiteral("$DIR/zm_de.qm");
    QTest::newRow("de with add-on, no fallback")
        << "de_AT"
        << "fr_FR" << QStringList{QStringLiteral("zm_de.qm")} << noFiles << addOnFirst;
    QTest::newRow("broken add-on falls back")
        << "de"
        << "fr_FR" << noFiles << QStringList{QStringLiteral("zm_de.qm")} << builtIn("fr");
    QTest::newRow("en loads nothing") << "en"
                                      << "de_DE" << noFiles << noFiles << none;
}

void TestStartup::translations()
{
    QFETCH(QString, setting);
    QFETCH(QString, locale);
    QFETCH(QStringList, addOns);
    QFETCH(QStringList, brokenAddOns);
    QFETCH(QStringList, loaded);

    const QString dir = makeAddOnDir(addOns, brokenAddOns);
    QObject owner;
    const QList<QTranslator *> translators = Startup::installTranslations(setting, locale, dir, &owner);
    QCOMPARE(translators.size(), 6);
    QStringList actual;
    for (QTranslator *translator : translators) {
        actual << translator->filePath().replace(dir, QStringLiteral("$DIR"));
        QCoreApplication::removeTranslator(translator);
    }
    QCOMPARE(actual, loaded);
}

void TestStartup::resetStyle()
{
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    settings.setValue(QStringLiteral("Style/Custom"), true);
    settings.setValue(QStringLiteral("Style/Name"), QStringLiteral("Windows"));
    const QString before = QApplication::style()->objectName();
    Startup::applyStyle(settings, true);
    QCOMPARE(QApplication::style()->objectName(), before);
    QCOMPARE(settings.value(QStringLiteral("Style/Custom")).toBool(), false);
    QCOMPARE(settings.value(QStringLiteral("Style/showBug")).toBool(), true);
}

void TestStartup::storedStyleApplied()
{
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    settings.setValue(QStringLiteral("Style/Custom"), true);
    settings.setValue(QStringLiteral("Style/Name"), QStringLiteral("Windows"));
    Startup::applyStyle(settings, false);
    QCOMPARE(QApplication::style()->objectName().toLower(), QStringLiteral("windows"));
    // An unknown name leaves the current style in place.
    settings.setValue(QStringLiteral("Style/Name"), QStringLiteral("NoSuchStyle"));
    Startup::applyStyle(settings, false);
    QCOMPARE(QApplication::style()->objectName().toLower(), QStringLiteral("windows"));
    settings.remove(QStringLiteral("Style"));
}

ZM_HERMETIC_TEST_MAIN(TestStartup)
void TestStartup::updateCheckWaitsForTheWindow_data()
{
    QTest::addColumn<bool>("minimized");
    QTest::newRow("shown") << false;
    QTest::newRow("shown minimised") << true;
}

void TestStartup::updateCheckWaitsForTheWindow()
{
    QFETCH(bool, minimized);
    HttpTestServer web;
    QVERIFY(web.listenOnLoopback());
    web.exportWebHost();
    web.setBody("1.0.1\r\n");
    UpdateThread thread(QStringLiteral("32qt5"), QStringLiteral("1.0.0-33"));
    QSignalSpy available(&thread, &UpdateThread::updateIsNowAvailable);
    QWidget window;

    Startup::startUpdateCheckAfterShow(&window, &thread, 0);
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    QVERIFY(!thread.isRunning());
    QVERIFY(web.paths().isEmpty());

    if (minimized)
        window.showMinimized();
    else
        window.show();
    QVERIFY(available.wait(20000));
    QCOMPARE(web.paths(), QStringList{QStringLiteral("/update/stable32qt5")});
    thread.stop();
    QVERIFY(thread.wait(20000));
}

#include "tst_startup.moc"
