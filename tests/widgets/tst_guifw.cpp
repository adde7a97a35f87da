#include "hermetic.h"

#include <zguifw.h>
#include <zvrcheckbox.h>
#include <zvrfiledialog.h>
#include <zvrframe.h>
#include <zvrlabel.h>
#include <zvrlineedit.h>
#include <zvrlistwidget.h>
#include <zvrmenubar.h>
#include <zvrpushbutton.h>
#include <zvrstackedwidget.h>
#include <zvrtextbrowser.h>

#include <QDesktopServices>
#include <QFile>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTextBlock>

#include <memory>

Q_DECLARE_METATYPE(QMouseEvent *)

// Receives the links the text browser hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestGuiFw : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void version();
    void classNames();
    void smileysAreRegistered_data();
    void smileysAreRegistered();
    void labelClickEmitsPressThenRelease();
    void labelKeepsLinkHandling();
    void frameReportsMouse();
    void browserReportsLinkWithoutNavigating_data();
    void browserReportsLinkWithoutNavigating();
    void browsersKeepSeparateFlags();
    void newBrowserAtOldAddressStartsFalse();

private:
    UrlCatcher catcher;
    QStringList schemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("file"), QStringLiteral("zmp"),
                        QStringLiteral("mailto")};
};

void TestGuiFw::initTestCase()
{
    qRegisterMetaType<QMouseEvent *>();
    for (const QString &scheme : schemes)
        QDesktopServices::setUrlHandler(scheme, &catcher, "open");
}

void TestGuiFw::cleanupTestCase()
{
    for (const QString &scheme : schemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

void TestGuiFw::version()
{
    QCOMPARE(ZGuiFw().getLibraryVersion(), QStringLiteral("1.0.0-7"));
}

void TestGuiFw::classNames()
{
    QWidget parent;
    const QList<QPair<QObject *, const char *>> widgets = {{new ZVRCheckBox(&parent), "ZVRCheckBox"},
                                                           {new ZVRFrame(&parent), "ZVRFrame"},
                                                           {new ZVRLabel(&parent), "ZVRLabel"},
                                                           {new ZVRLineEdit(&parent), "ZVRLineEdit"},
                                                           {new ZVRListWidget(&parent), "ZVRListWidget"},
                                                           {new ZVRMenuBar(&parent), "ZVRMenuBar"},
                                                           {new ZVRPushButton(&parent), "ZVRPushButton"},
                                                           {new ZVRStackedWidget(&parent), "ZVRStackedWidget"},
                                                           {new ZVRTextBrowser(&parent), "ZVRTextBrowser"},
                                                           {new ZVRFileDialog(&parent), "ZVRFileDialog"}};
    for (const auto &widget : widgets) {
        QCOMPARE(widget.first->metaObject()->className(), widget.second);
        QVERIFY(widget.first->inherits(widget.second));
    }
    ZVRFileDialog dialog;
    QVERIFY(dialog.windowTitle().isEmpty() || dialog.windowTitle() == QStringLiteral("Open"));
    ZVRLineEdit edit;
    edit.setPlaceholderText(QStringLiteral("Username"));
    QCOMPARE(static_cast<QLineEdit &>(edit).placeholderText(), QStringLiteral("Username"));
}

void TestGuiFw::smileysAreRegistered_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"cry", "angry", "haha", "laughting", "normal", "evil", "sad", "friendly", "surprised",
                             "wink", "smileybutton"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestGuiFw::smileysAreRegistered()
{
    QFETCH(QString, name);
    const QImage image(QStringLiteral(":/img/") + name + QStringLiteral(".png"));
    QVERIFY2(!image.isNull(), qPrintable(name));
    QVERIFY(image.width() >= 16 && image.height() >= 16);
}

void TestGuiFw::labelClickEmitsPressThenRelease()
{
    ZVRLabel label;
    label.setText(QStringLiteral("Login"));
    label.resize(100, 30);
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QStringList order;
    QList<QPoint> positions;
    connect(&label, &ZVRLabel::mousePress, this, [&](QMouseEvent *ev) {
        order << QStringLiteral("press");
        positions << ev->pos();
    });
    connect(&label, &ZVRLabel::mouseRelease, this, [&](QMouseEvent *ev) {
        order << QStringLiteral("release");
        positions << ev->pos();
    });
    connect(&label, &ZVRLabel::mouseMove, this, [&](QMouseEvent *) { order << QStringLiteral("move"); });
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, QPoint(10, 12));
    QCOMPARE(order, (QStringList{QStringLiteral("press"), QStringLiteral("release")}));
    QCOMPARE(positions, (QList<QPoint>{QPoint(10, 12), QPoint(10, 12)}));
    // A drag: without mouse tracking only moves with a button held reach the widget.
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 5), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&label, &move);
    QCOMPARE(order.last(), QStringLiteral("move"));
}

void TestGuiFw::labelKeepsLinkHandling()
{
    // The label's own handling runs first: a link click still activates the link.
    ZVRLabel label;
    label.setTextFormat(Qt::RichText);
    label.setText(QStringLiteral("<a href=\"zmp://register\">Register here Register here</a>"));
    label.setTextInteractionFlags(Qt::TextBrowserInteraction);
    label.adjustSize();
    label.show();
    QVERIFY(QTest::qWaitForWindowExposed(&label));
    QSignalSpy links(&label, &QLabel::linkActivated);
    QSignalSpy releases(&label, &ZVRLabel::mouseRelease);
    const QPoint inside(label.width() / 3, label.height() / 2);
    QTest::mouseClick(&label, Qt::LeftButton, Qt::NoModifier, inside);
    QCOMPARE(links.count(), 1);
    QCOMPARE(links.first().first().toString(), QStringLiteral("zmp://register"));
    QCOMPARE(releases.count(), 1);
}

void TestGuiFw::frameReportsMouse()
{
    ZVRFrame frame;
    frame.resize(80, 40);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QSignalSpy presses(&frame, &ZVRFrame::mousePress);
    QSignalSpy releases(&frame, &ZVRFrame::mouseRelease);
    QTest::mousePress(&frame, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(presses.count(), 1);
    QCOMPARE(releases.count(), 0);
    QTest::mouseRelease(&frame, Qt::LeftButton, Qt::NoModifier, QPoint(6, 6));
    QCOMPARE(releases.count(), 1);
}

void TestGuiFw::browserReportsLinkWithoutNavigating_data()
{
    QTest::addColumn<bool>("openFlag");
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("handedToDesktop");
    QTest::newRow("flag off, web link") << false << "https://example.org/page" << false;
    QTest::newRow("flag off, internal link") << false << "zmp://addcontact/bob" << false;
    QTest::newRow("flag on, web link") << true << "https://example.org/page" << true;
    QTest::newRow("flag on, mail link") << true << "mailto:max@example.org" << true;
    QTest::newRow("flag on, file link refused") << true << "file:///etc/passwd" << false;
    QTest::newRow("flag on, custom scheme refused") << true << "zmp://addcontact/bob" << false;
}

void TestGuiFw::browserReportsLinkWithoutNavigating()
{
    QFETCH(bool, openFlag);
    QFETCH(QString, link);
    QFETCH(bool, handedToDesktop);
    catcher.urls.clear();
    ZVRTextBrowser browser;
    browser.setOpenAutoBrowser(openFlag);
    QCOMPARE(browser.openAutoBrowser(), openFlag);
    browser.setHtml(QStringLiteral("<p><a href=\"%1\">%2</a></p>").arg(link, QStringLiteral("clickclickclickclick")));
    browser.resize(300, 100);
    browser.show();
    QVERIFY(QTest::qWaitForWindowExposed(&browser));
    const QString before = browser.toHtml();
    QSignalSpy sources(&browser, &QTextBrowser::sourceChanged);

    // Click the middle of the link text.
    const QTextBlock block = browser.document()->firstBlock();
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + 5);
    const QPoint point = browser.cursorRect(cursor).center();
    QTest::mouseClick(browser.viewport(), Qt::LeftButton, Qt::NoModifier, point);

    QCOMPARE(sources.count(), 1);
    QCOMPARE(sources.first().first().toUrl(), QUrl(link));
    QCOMPARE(browser.toHtml(), before);
    QCOMPARE(browser.source(), QUrl());
    QCOMPARE(catcher.urls.count(), handedToDesktop ? 1 : 0);
    if (handedToDesktop)
        QCOMPARE(catcher.urls.first(), QUrl(link));
}

void TestGuiFw::browsersKeepSeparateFlags()
{
    ZVRTextBrowser first;
    ZVRTextBrowser second;
    QCOMPARE(first.openAutoBrowser(), false);
    first.setOpenAutoBrowser(true);
    QCOMPARE(first.openAutoBrowser(), true);
    QCOMPARE(second.openAutoBrowser(), false);
    second.setOpenAutoBrowser(true);
    first.setOpenAutoBrowser(false);
    QCOMPARE(first.openAutoBrowser(), false);
    QCOMPARE(second.openAutoBrowser(), true);
}

void TestGuiFw::newBrowserAtOldAddressStartsFalse()
{
    // Construct in the same storage twice: the second widget must not see the first's flag.
    alignas(ZVRTextBrowser) unsigned char storage[sizeof(ZVRTextBrowser)];
    auto *first = new (storage) ZVRTextBrowser;
    first->setOpenAutoBrowser(true);
    first->~ZVRTextBrowser();
    auto *second = new (storage) ZVRTextBrowser;
    QCOMPARE(static_cast<void *>(second), static_cast<void *>(first));
    QCOMPARE(second->openAutoBrowser(), false);
    second->~ZVRTextBrowser();
}

ZM_HERMETIC_TEST_MAIN(TestGuiFw)
#include "tst_guifw.moc"
