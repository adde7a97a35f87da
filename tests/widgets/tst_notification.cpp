#include "NotificationWidget.h"
#include "hermetic.h"
#include "zvrlabel.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

// Where a test only waits for the fade-out to end, it takes this long instead of half a second.
constexpr int QuickFadeMs = 50;

class TestNotification : public QObject
{
    Q_OBJECT

private:
    static NotificationWidget *makePopup(const QString &data = QStringLiteral("ocw\nalice"))
    {
        auto *popup = new NotificationWidget;
        popup->setNotificationData(data);
        popup->setNotificationTitle(QStringLiteral("Incoming Message"));
        popup->setNotificationText(QStringLiteral("<span style=\"color: blue;\">Alice</span><br>hi"));
        return popup;
    }
    static ZVRLabel *label(NotificationWidget *popup, const char *name)
    {
        auto *l = popup->findChild<ZVRLabel *>(QLatin1String(name));
        if (!l)
            qFatal("label %s missing", name);
        return l;
    }

private slots:
    void initTestCase();
    void placement_data();
    void placement();
    void startPlacesOnDesktopCorner();
    void windowShape();
    void bodyClickEmitsDataAndFades_data();
    void bodyClickEmitsDataAndFades();
    void secondClickDuringFadeDoesNotRestart();
    void closeClickFadesWithoutSignal();
    void borderBlinks();
    void hoverHighlightsBody();
    void displayTimeIsTenSeconds();
    void fadesByItselfAfterItsDisplayTime();
};

static QtMessageHandler previousHandler = nullptr;

// The offscreen platform cannot change window opacity and says so at every fading step.
static void dropOpacityNoise(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("does not support setting window opacity")))
        return;
    previousHandler(type, context, message);
}

void TestNotification::initTestCase()
{
    previousHandler = qInstallMessageHandler(dropOpacityNoise);
}

void TestNotification::placement_data()
{
    QTest::addColumn<QSize>("desktop");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("full hd") << QSize(1920, 1080) << QPoint(1920 - 230 - 5, 1080 - 80 - 5);
    QTest::newRow("small") << QSize(800, 600) << QPoint(565, 515);
    QTest::newRow("two screens side by side") << QSize(3840, 1080) << QPoint(3605, 995);
}

void TestNotification::placement()
{
    QFETCH(QSize, desktop);
    QFETCH(QPoint, expected);
    QCOMPARE(NotificationWidget::popupPosition(desktop, QSize(230, 80)), expected);
}

void TestNotification::startPlacesOnDesktopCorner()
{
    QScopedPointer<NotificationWidget> popup(makePopup());
    popup->startNotification();
    QVERIFY(popup->isVisible());
    const QRect desktop = QGuiApplication::primaryScreen()->virtualGeometry();
    QCOMPARE(popup->pos(), QPoint(desktop.right() + 1 - 230 - 5, desktop.bottom() + 1 - 80 - 5));
    QCOMPARE(popup->size(), QSize(230, 80));
}

void TestNotification::windowShape()
{
    QScopedPointer<NotificationWidget> popup(makePopup());
    const Qt::WindowFlags flags = popup->windowFlags();
    QVERIFY(flags & Qt::FramelessWindowHint);
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QCOMPARE(popup->windowTitle(), QStringLiteral("Incoming Message"));
    QCOMPARE(label(popup.data(), "labNotificationTitle")->text(), QStringLiteral("Incoming Message"));
    QVERIFY(!popup->windowIcon().isNull());
    // Fading out must not end the program when the main window is hidden in the tray.
    QVERIFY(!popup->testAttribute(Qt::WA_QuitOnClose));
}

void TestNotification::bodyClickEmitsDataAndFades_data()
{
    QTest::addColumn<QString>("labelName");
    QTest::newRow("text") << "labNotificationText";
    QTest::newRow("image") << "labNotificationImage";
    QTest::newRow("split") << "labNotificationSplit";
}

void TestNotification::bodyClickEmitsDataAndFades()
{
    QFETCH(QString, labelName);
    QScopedPointer<NotificationWidget> popup(makePopup(QStringLiteral("ocw\nbob")));
    popup->setFadeTime(QuickFadeMs);
    popup->startNotification();
    QSignalSpy pressed(popup.data(), &NotificationWidget::notificationPressed);
    QSignalSpy finished(popup.data(), &QDialog::finished);
    QTest::mouseClick(label(popup.data(), labelName.toLatin1().constData()), Qt::LeftButton);
    QCOMPARE(pressed.count(), 1);
    QCOMPARE(pressed.at(0).at(0).toString(), QStringLiteral("ocw\nbob"));
    QVERIFY(popup->isFading());
    QVERIFY(finished.wait(3000));
    QCOMPARE(finished.count(), 1);
    QVERIFY(!popup->isVisible());
    QCOMPARE(popup->windowOpacity(), 0.0);
}

void TestNotification::secondClickDuringFadeDoesNotRestart()
{
    QScopedPointer<NotificationWidget> popup(makePopup());
    popup->startNotification();
    QSignalSpy pressed(popup.data(), &NotificationWidget::notificationPressed);
    QSignalSpy finished(popup.data(), &QDialog::finished);
    QTest::mouseClick(label(popup.data(), "labNotificationText"), Qt::LeftButton);
    QTRY_VERIFY(popup->windowOpacity() < 0.9);
    const qreal before = popup->windowOpacity();
    QTest::mouseClick(label(popup.data(), "labNotificationText"), Qt::LeftButton);
    QCOMPARE(pressed.count(), 2);
    QVERIFY(popup->windowOpacity() <= before);
    QVERIFY(finished.wait(3000));
    QCOMPARE(finished.count(), 1);
}

void TestNotification::closeClickFadesWithoutSignal()
{
    QScopedPointer<NotificationWidget> popup(makePopup());
    popup->setFadeTime(QuickFadeMs);
    popup->startNotification();
    QSignalSpy pressed(popup.data(), &NotificationWidget::notificationPressed);
    QSignalSpy finished(popup.data(), &QDialog::finished);
    QTest::mouseClick(label(popup.data(), "labClose"), Qt::LeftButton);
    QVERIFY(finished.wait(3000));
    QCOMPARE(pressed.count(), 0);
}

void TestNotification::borderBlinks()
{
    QScopedPointer<NotificationWidget> popup(makePopup());
    popup->startNotification();
    QCOMPARE(popup->colorState(), QStringLiteral("blue"));
    QTRY_COMPARE(popup->colorState(), QStringLiteral("orange"));
    QCOMPARE(label(popup.data(), "labRandD")->styleSheet(), QStringLiteral("background-color: rgb(255, 125, 0);"));
    QCOMPARE(label(popup.data(), "labNotificationTitle")->styleSheet(),
             QStringLiteral("background-color: rgb(255, 125, 0); color: rgb(255, 255, 255);"));
    QTRY_COMPARE(popup->colorState(), QStringLiteral("blue"));
    QCOMPARE(label(popup.data(), "labRandL")->styleSheet(), QStringLiteral("background-color: rgb(60, 60, 255);"));
}

void TestNotification::hoverHighlightsBody()
{
    QScopedPointer<NotificationWidget> popup(makePopup());
    popup->startNotification();
    QVERIFY(QTest::qWaitForWindowExposed(popup.data()));
    ZVRLabel *text = label(popup.data(), "labNotificationText");
    ZVRLabel *image = label(popup.data(), "labNotificationImage");
    ZVRLabel *closeLabel = label(popup.data(), "labClose");
    QCursor::setPos(text->mapToGlobal(text->rect().center()));
    const QString hover = QStringLiteral("background-color: rgb(200, 200, 200);");
    QTRY_COMPARE(image->styleSheet(), hover);
    QCOMPARE(text->styleSheet(), hover);
    QCursor::setPos(closeLabel->mapToGlobal(closeLabel->rect().center()));
    QTRY_VERIFY(closeLabel->text().contains(QLatin1String("notification-closex.png")));
    QCOMPARE(text->styleSheet(), QString());
    QCursor::setPos(popup->mapToGlobal(QPoint(-50, -50)));
    QTRY_VERIFY(closeLabel->text().contains(QLatin1String("notification-whitex.png")));
}

void TestNotification::displayTimeIsTenSeconds()
{
    QScopedPointer<NotificationWidget> popup(makePopup());
    auto *timer = popup->findChild<QTimer *>(QStringLiteral("displayTimer"));
    QVERIFY(timer);
    QCOMPARE(timer->interval(), 10000);
    QVERIFY(timer->isSingleShot());
}

void TestNotification::fadesByItselfAfterItsDisplayTime()
{
    constexpr int DisplayTime = 400;
    QScopedPointer<NotificationWidget> popup(makePopup());
    popup->setDisplayTime(DisplayTime);
    popup->setFadeTime(QuickFadeMs);
    QSignalSpy finished(popup.data(), &QDialog::finished);
    QSignalSpy pressed(popup.data(), &NotificationWidget::notificationPressed);
    QElapsedTimer clock;
    clock.start();
    popup->startNotification();
    // Hovering must not hold the popup open.
    ZVRLabel *text = label(popup.data(), "labNotificationText");
    QCursor::setPos(text->mapToGlobal(text->rect().center()));
    QVERIFY(finished.wait(30000));
    QVERIFY2(clock.elapsed() >= DisplayTime - 10, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(pressed.count(), 0);
    QVERIFY(popup->isFading());
}

ZM_HERMETIC_TEST_MAIN(TestNotification)
#include "tst_notification.moc"
