#include "UiMessage.h"
#include "UpdateCheck.h"
#include "UpdateThread.h"
#include "frmUpdate.h"
#include "hermetic.h"
#include "httptestserver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

namespace {

const QString Running = QStringLiteral("1.0.0-33");
const QString Tag = QStringLiteral("32qt5");

struct Box {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// True when the GUI thread can still run an event loop, i.e. nobody told the application to quit.
bool eventLoopStillRuns()
{
    QTimer timer;
    timer.setSingleShot(true);
    QSignalSpy spy(&timer, &QTimer::timeout);
    timer.start(10);
    return spy.wait(2000);
}

} // namespace

class TestUpdate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void isNewerVersion_data();
    void isNewerVersion();
    void acceptableVersion_data();
    void acceptableVersion();
    void updateUrlsFollowTheWebHost();

    void checkForUpdate_data();
    void checkForUpdate();
    void checkForUpdateTimesOut();
    void unreachableSiteGivesEmptyVersion();

    void workerReportsAndStopsDuringTheWait();
    void workerStopsInTheMiddleOfACheck();
    void stoppedWorkerEmitsNothingMore();
    void workerCanBeStartedAgain();
    void disablingStoresTheSettingAndStops();

    void dialogKeepsTheLastGoodVersion();
    void dialogButtons();
    void missingUpdaterWarnsAndKeepsRunning();
    // Last: a started updater makes the application quit, which ends every later event loop.
    void installStartsTheUpdaterWithArguments();

private:
    HttpTestServer *server = nullptr;
    QList<Box> boxes;
};

void TestUpdate::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Zelto Messenger"));
    QCoreApplication::setApplicationVersion(Running);
    for (const char *name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(name);
    UiMessage::setHook([this](QMessageBox::Icon icon, const QString &title, const QString &text) {
        boxes.append({icon, title, text});
        return QMessageBox::Ok;
    });
}

void TestUpdate::init()
{
    boxes.clear();
    server = new HttpTestServer(this);
    QVERIFY(server->listenOnLoopback());
    server->exportWebHost();
}

void TestUpdate::cleanup()
{
    delete server;
    server = nullptr;
}

void TestUpdate::isNewerVersion_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<bool>("newer");
    QTest::newRow("next build") << Running << "1.0.0-34" << true;
    QTest::newRow("next patch") << Running << "1.0.1" << true;
    QTest::newRow("missing build counts as 0") << Running << "1.0.0" << false;
    QTest::newRow("same") << Running << Running << false;
    QTest::newRow("major only") << Running << "2" << true;
    QTest::newRow("one more part") << Running << "1.0.0-33-1" << true;
    QTest::newRow("letters count as 0") << Running << "1.a" << false;
    QTest::newRow("letters against 0") << "1.0"
                                       << "1.a.1" << true;
    QTest::newRow("older") << Running << "0.9.9" << false;
    QTest::newRow("empty latest") << Running << "" << false;
    QTest::newRow("empty parts") << "1..2"
                                 << "1.0.3" << true;
    QTest::newRow("numeric not textual") << "1.9"
                                         << "1.10" << true;
    QTest::newRow("hyphen and dot alike") << "1-2"
                                          << "1.2" << false;
    QTest::newRow("trailing zeros") << "1.0"
                                    << "1.0.0.0" << false;
}

void TestUpdate::isNewerVersion()
{
    QFETCH(QString, current);
    QFETCH(QString, latest);
    QFETCH(bool, newer);
    QCOMPARE(UpdateThread::isNewerVersion(current, latest), newer);
}

void TestUpdate::acceptableVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << "1.0.1" << true;
    QTest::newRow("with build") << "1.0.0-34" << true;
    QTest::newRow("single number") << "2" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("only dots") << "..-" << false;
    QTest::newRow("shell separator") << "1.0.1; rm -rf ~" << false;
    QTest::newRow("command substitution") << "$(id)" << false;
    QTest::newRow("ampersand") << "1.0&calc" << false;
    QTest::newRow("blank") << "1.0 1" << false;
    QTest::newRow("path") << "../../1" << false;
    QTest::newRow("letters") << "1.a" << false;
    QTest::newRow("quote") << "1\"" << false;
    QTest::newRow("too long") << QString(40, QLatin1Char('1')) << false;
}

void TestUpdate::acceptableVersion()
{
    QFETCH(QString, version);
    QFETCH(bool, accepted);
    QCOMPARE(UpdateCheck::isAcceptableVersion(version), accepted);
}

void TestUpdate::updateUrlsFollowTheWebHost()
{
    qputenv("ZM_WEB_HOST", "example.test:8080");
    QCOMPARE(UpdateCheck::versionCheckUrl(Tag).toString(),
             QStringLiteral("http://example.test:8080/update/stable32qt5"));
    QCOMPARE(UpdateCheck::updaterArguments(Tag, QStringLiteral("1.0.1"), Running),
             QStringList({QStringLiteral("--path=network"),
                          QStringLiteral("--script=http://example.test:8080/update/32qt5_1.0.1.lua"),
                          QStringLiteral("--version=1.0.0-33")}));
    qunsetenv("ZM_WEB_HOST");
    QVERIFY(UpdateCheck::versionCheckUrl(Tag).toString().endsWith(QLatin1String("/update/stable32qt5")));
}

void TestUpdate::checkForUpdate_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("newer");
    QTest::addColumn<QString>("reported");
    QTest::newRow("newer") << QByteArray("1.0.1") << 200 << true << "1.0.1";
    QTest::newRow("newer with CR LF") << QByteArray("1.0.1\r\n") << 200 << true << "1.0.1";
    QTest::newRow("surrounding blanks") << QByteArray("  1.0.0-34 \n") << 200 << true << "1.0.0-34";
    QTest::newRow("same") << QByteArray("1.0.0-33") << 200 << false << "1.0.0-33";
    QTest::newRow("older") << QByteArray("1.0.0") << 200 << false << "1.0.0";
    QTest::newRow("empty") << QByteArray() << 200 << false << "";
    QTest::newRow("shell text refused") << QByteArray("9.9 & calc") << 200 << false << "";
    QTest::newRow("markup refused") << QByteArray("<b>9</b>") << 200 << false << "";
    QTest::newRow("error page") << QByteArray("9.9") << 500 << false << "";
    QTest::newRow("oversized body") << QByteArray(100000, '9') << 200 << false << "";
}

void TestUpdate::checkForUpdate()
{
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(bool, newer);
    QFETCH(QString, reported);
    server->setBody(body, status);
    UpdateThread thread(Tag, Running);
    QSignalSpy versions(&thread, &UpdateThread::setNewVersion);
    QSignalSpy available(&thread, &UpdateThread::updateIsNowAvailable);

    QCOMPARE(thread.checkForUpdate(), newer);
    QCOMPARE(server->paths(), QStringList({QStringLiteral("/update/stable32qt5")}));
    QCOMPARE(versions.count(), 1);
    QCOMPARE(versions.at(0).at(0).toString(), reported);
    // The on-demand check only reports; the window decides whether to show the dialog.
    QCOMPARE(available.count(), 0);
}

void TestUpdate::checkForUpdateTimesOut()
{
    server->setSilent(true);
    UpdateThread thread(Tag, Running);
    QCOMPARE(thread.checkTimeout(), 5000);
    thread.setCheckTimeout(500);
    QSignalSpy versions(&thread, &UpdateThread::setNewVersion);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!thread.checkForUpdate());
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 450 && elapsed < 9000, qPrintable(QString::number(elapsed)));
    QCOMPARE(versions.count(), 1);
    QCOMPARE(versions.at(0).at(0).toString(), QString());
}

void TestUpdate::unreachableSiteGivesEmptyVersion()
{
    const QString port = QString::number(server->serverPort());
    delete server;
    server = nullptr;
    qputenv("ZM_WEB_HOST", (QStringLiteral("127.0.0.1:") + port).toUtf8());
    QCOMPARE(UpdateCheck::fetchLatestVersion(Tag, UpdateCheck::PreferencesTimeoutMs), QString());
}

void TestUpdate::workerReportsAndStopsDuringTheWait()
{
    server->setBody("1.0.1\r\n");
    UpdateThread thread(Tag, Running);
    QSignalSpy versions(&thread, &UpdateThread::setNewVersion);
    QSignalSpy available(&thread, &UpdateThread::updateIsNowAvailable);
    thread.start(QThread::InheritPriority);
    QVERIFY(available.wait(5000));
    QCOMPARE(versions.count(), 1);
    QCOMPARE(versions.at(0).at(0).toString(), QStringLiteral("1.0.1"));
    QVERIFY(thread.isRunning()); // now in the hourly wait

    QElapsedTimer clock;
    clock.start();
    thread.stop();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(thread.isFinished());
    QCOMPARE(server->paths().size(), 1);
}

void TestUpdate::workerStopsInTheMiddleOfACheck()
{
    server->setSilent(true);
    UpdateThread thread(Tag, Running);
    QSignalSpy versions(&thread, &UpdateThread::setNewVersion);
    thread.start(QThread::InheritPriority);
    QTRY_COMPARE(server->paths().size(), 1);

    QElapsedTimer clock;
    clock.start();
    thread.stop();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(thread.isFinished());
    QCoreApplication::processEvents();
    QCOMPARE(versions.count(), 0);
    // The abandoned request does not linger on the server side either.
    QTRY_COMPARE(server->openConnections(), 0);
}

void TestUpdate::stoppedWorkerEmitsNothingMore()
{
    server->setBody("1.0.1");
    UpdateThread thread(Tag, Running);
    thread.setCheckPeriod(1);
    QSignalSpy versions(&thread, &UpdateThread::setNewVersion);
    thread.start(QThread::InheritPriority);
    // Let reports pile up in the GUI thread's queue without delivering them.
    QTRY_VERIFY(server->paths().size() >= 3);
    thread.stop();
    const int before = versions.count();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCOMPARE(versions.count(), before);
}

void TestUpdate::workerCanBeStartedAgain()
{
    server->setBody("1.0.1");
    UpdateThread thread(Tag, Running);
    QSignalSpy versions(&thread, &UpdateThread::setNewVersion);
    thread.start(QThread::InheritPriority);
    QVERIFY(versions.wait(5000));
    thread.stop();
    thread.start(QThread::InheritPriority);
    QVERIFY(versions.wait(5000));
    QCOMPARE(versions.count(), 2);
    thread.stop();
}

void TestUpdate::disablingStoresTheSettingAndStops()
{
    server->setBody("1.0.1");
    QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"))
        .setValue(QStringLiteral("Update/UpdateNotification"), true);
    UpdateThread thread(Tag, Running);
    QSignalSpy versions(&thread, &UpdateThread::setNewVersion);
    thread.start(QThread::InheritPriority);
    QVERIFY(versions.wait(5000));
    thread.disableUpdateNotification();
    QVERIFY(thread.isFinished());
    QCOMPARE(QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"))
                 .value(QStringLiteral("Update/UpdateNotification"), true)
                 .toBool(),
             false);
}

void TestUpdate::dialogKeepsTheLastGoodVersion()
{
    frmUpdate dialog(Tag);
    auto *install = dialog.findChild<QPushButton *>(QStringLiteral("cmdInstall"));
    auto *shown = dialog.findChild<QLabel *>(QStringLiteral("labValNew"));
    QVERIFY(install && shown);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labValYour"))->text(), Running);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Zelto Messenger Update"));
    QVERIFY(!install->isEnabled());

    dialog.setNewVersion(QStringLiteral("1.0.1"));
    QCOMPARE(shown->text(), QStringLiteral("1.0.1"));
    QVERIFY(install->isEnabled());
    dialog.setNewVersion(QString());
    QCOMPARE(shown->text(), QStringLiteral("1.0.1"));
    dialog.setNewVersion(QStringLiteral("2.0; reboot"));
    QCOMPARE(shown->text(), QStringLiteral("1.0.1"));
    QVERIFY(install->isEnabled());
}

void TestUpdate::dialogButtons()
{
    frmUpdate dialog(Tag);
    QSignalSpy disabled(&dialog, &frmUpdate::disableUpdateNotification);
    auto *disableButton = dialog.findChild<QPushButton *>(QStringLiteral("cmdDisableUpdateNotification"));
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdNotNow")), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(disabled.count(), 0);

    dialog.show();
    QTest::mouseClick(disableButton, Qt::LeftButton);
    QCOMPARE(disabled.count(), 1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(disableButton->isHidden());
}

void TestUpdate::missingUpdaterWarnsAndKeepsRunning()
{
    QTemporaryDir emptyPath;
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", emptyPath.path().toUtf8());
    frmUpdate dialog(Tag);
    dialog.setNewVersion(QStringLiteral("1.0.1"));
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdInstall")), Qt::LeftButton);
    qputenv("PATH", oldPath);

    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.at(0).icon, QMessageBox::Warning);
    QVERIFY(boxes.at(0).text.contains(QLatin1String("ZeltoScriptUpdater")));
    QVERIFY(dialog.isVisible());
    QVERIFY(eventLoopStillRuns());
}

void TestUpdate::installStartsTheUpdaterWithArguments()
{
    QTemporaryDir bin;
    const QString record = bin.filePath(QStringLiteral("arguments.txt"));
    const QString updater = bin.filePath(QStringLiteral("ZeltoScriptUpdater"));
    QFile script(updater);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"" + record.toUtf8() + ".part\"\nmv \""
                 + record.toUtf8() + ".part\" \"" + record.toUtf8() + "\"\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QByteArray oldPath = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8() + ':' + oldPath);

    frmUpdate dialog(Tag);
    dialog.setNewVersion(QStringLiteral("1.0.1"));
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("cmdInstall")), Qt::LeftButton);
    qputenv("PATH", oldPath);
    QCOMPARE(boxes.size(), 0);

    QTRY_VERIFY(QFile::exists(record));
    QFile written(record);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QStringList arguments = QString::fromUtf8(written.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(arguments,
             QStringList({QStringLiteral("--path=network"),
                          QStringLiteral("--script=http://") + server->hostAndPort()
                              + QStringLiteral("/update/32qt5_1.0.1.lua"),
                          QStringLiteral("--version=1.0.0-33")}));
    QVERIFY(!eventLoopStillRuns());
}

ZM_HERMETIC_TEST_MAIN(TestUpdate)
#include "tst_update.moc"
