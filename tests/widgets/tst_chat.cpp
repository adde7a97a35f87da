#include "ChatHistory.h"
#include "ChatLink.h"
#include "DataDirectory.h"
#include "MessageFormat.h"
#include "frmChat.h"
#include "hermetic.h"
#include "windowwatch.h"

#include <zvrlabel.h>
#include <zvrlineedit.h>
#include <zvrtextbrowser.h>

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QScrollBar>
#include <QSettings>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

// Stands in for the main window: records what the chat window asks of it.
class FakeOwner : public QObject, public ChatLink
{
    Q_OBJECT
public:
    bool online = true;
    int sendResult = 200;
    QStringList sent;
    QStringList closed;

    bool isOnline() override { return online; }
    int sendMessage(const QString &user, const QString &text) override
    {
        sent << user + QLatin1Char('|') + text;
        return sendResult;
    }
    QImage contactAvatarImage(const QString &avatarId) override
    {
        if (avatarId != QLatin1String("red"))
            return QImage();
        QImage image(8, 8, QImage::Format_ARGB32);
        image.fill(Qt::red);
        return image;
    }
    QString stateName(int state) override { return state == 3 ? QStringLiteral("Busy") : QStringLiteral("Offline"); }
    void chatWindowClosed(const QString &user, frmChat *) override { closed << user; }
};

// Receives the links the chat window hands to the desktop.
class UrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestChat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void form();
    void header();
    void sending_data();
    void sending();
    void offlineSendKeepsNothing();
    void blankMessageIsNotSent();
    void speakerBlocks();
    void receivedMarkupIsShownLiterally();
    void historySurvivesReopening();
    void smileyPicker();
    void links_data();
    void links();
    void notDeliveredLinkExplains();
    void clickingALink_data();
    void clickingALink();
    void viewLoadsOnlyOwnResources_data();
    void viewLoadsOnlyOwnResources();
    void closeSavesGeometryAndDeregisters();
    void fontFromSettings();
    void picturesInTheViewAreBounded_data();
    void picturesInTheViewAreBounded();
    void longWordsBreakInTheViewOnly();
    void longHistoryOpensNewestFirst_data();
    void longHistoryOpensNewestFirst();
    void olderHistoryKeepsTheReadPlace();

private:
    frmChat *openChat(const QString &user = QStringLiteral("alice"), bool history = true);
    static QString viewText(frmChat *chat)
    {
        return chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->toPlainText();
    }
    static QString viewHtml(frmChat *chat)
    {
        return chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->toHtml();
    }
    static void type(frmChat *chat, const QString &text);
    static int anchorPosition(QTextDocument *document, const QString &href);
    static void clickAt(QTextBrowser *view, int position);
    static int viewPictures(frmChat *chat);
    static void writeHistory(const QString &user, const QStringList &markups, const QStringList &speakers,
                             const QStringList &flags);

    FakeOwner owner;
    UrlSink sink;
    QList<QPointer<frmChat>> windows;
};

void TestChat::initTestCase()
{
    for (const char *scheme : {"http", "https", "ftp", "mailto", "file", "data", "javascript", "mtasa", "zmp", "smb"})
        QDesktopServices::setUrlHandler(QLatin1String(scheme), &sink, "open");
}

void TestChat::init()
{
    for (const QPointer<frmChat> &w : qAsConst(windows))
        delete w.data();
    windows.clear();
    owner.online = true;
    owner.sendResult = 200;
    owner.sent.clear();
    owner.closed.clear();
    sink.opened.clear();
    QDir(DataDirectory::path()).removeRecursively();
    QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger")).clear();
}

frmChat *TestChat::openChat(const QString &user, bool history)
{
    auto *chat = new frmChat;
    windows << chat;
    chat->setOwner(&owner);
    chat->setInfo(user, QStringLiteral("Alice <A&B>"), QStringLiteral("at work"), QStringLiteral("Me"),
                  QStringLiteral(":/img/busy-t2x64.png"), 3, QString(), history);
    chat->show();
    return chat;
}

void TestChat::type(frmChat *chat, const QString &text)
{
    auto *field = chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"));
    field->setText(text);
    QTest::keyClick(field, Qt::Key_Return);
}

void TestChat::form()
{
    frmChat *chat = openChat();
    QVERIFY(qobject_cast<ZVRTextBrowser *>(chat->findChild<QWidget *>(QStringLiteral("tbChat"))));
    QVERIFY(qobject_cast<ZVRLineEdit *>(chat->findChild<QWidget *>(QStringLiteral("txtMessageBox"))));
    QVERIFY(qobject_cast<ZVRLabel *>(chat->findChild<QWidget *>(QStringLiteral("cmdSmiley"))));
    for (const char *name : {"frUser", "labStatus", "labChatUname", "frAvatar", "labUserAvatar", "labStatusImage",
                             "labStatusText", "labAccount", "frChat", "frBox"})
        QVERIFY2(chat->findChild<QWidget *>(QLatin1String(name)), name);
    QCOMPARE(chat->minimumSize(), QSize(350, 450));
    QVERIFY(chat->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(chat->windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(!(chat->windowFlags() & Qt::WindowContextHelpButtonHint));
    QCOMPARE(chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"))->placeholderText(),
             QStringLiteral("Type message here"));
    auto *view = chat->findChild<ZVRTextBrowser *>(QStringLiteral("tbChat"));
    QVERIFY(!view->openAutoBrowser());
    QVERIFY(!view->openExternalLinks());
    QCOMPARE(chat->findChild<QFrame *>(QStringLiteral("frChat"))->styleSheet(),
             QStringLiteral(
                 "QFrame{\nbackground-color: palette(base);\n}\nQTextBrowser{\nbackground-color: palette(base);\n}"));
}

void TestChat::header()
{
    auto *chat = new frmChat;
    windows << chat;
    chat->setOwner(&owner);
    chat->setInfo(QStringLiteral("bob\"><b>x"), QStringLiteral("<i>Bob</i>"), QStringLiteral("   "),
                  QStringLiteral("Me"), QStringLiteral(":/img/busy-t2x64.png"), 3, QStringLiteral("red"), true);
    QCOMPARE(chat->windowTitle(), QStringLiteral("<i>Bob</i>"));
    QCOMPARE(
        chat->findChild<QLabel *>(QStringLiteral("labChatUname"))->text(),
        QStringLiteral("<span style=\"color: blue;\" title=\"bob&quot;&gt;&lt;b&gt;x\">&lt;i&gt;Bob&lt;/i&gt;</span>"));
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("labAccount"))->text(), QStringLiteral("bob\"><b>x"));
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("labStatusText"))->text(), QStringLiteral("Busy"));
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("labUserAvatar"))
                 ->pixmap(Qt::ReturnByValue)
                 .toImage()
                 .pixelColor(2, 2),
             QColor(Qt::red));

    chat->setInfo(QStringLiteral("bob"), QStringLiteral("Bob"), QStringLiteral("coding"), QStringLiteral("Me"),
                  QStringLiteral(":/img/online-t2x64.png"), 1, QStringLiteral("unknown"), false);
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("labStatusText"))->text(), QStringLiteral("coding"));
    // Status messages come entity-encoded and are shown as their author typed them.
    chat->setInfo(QStringLiteral("bob"), QStringLiteral("Bob"), QStringLiteral("Tom &amp; Jerry &lt;img src=x&gt;"),
                  QStringLiteral("Me"), QStringLiteral(":/img/online-t2x64.png"), 1, QStringLiteral("unknown"), false);
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("labStatusText"))->text(),
             QStringLiteral("Tom & Jerry <img src=x>"));
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("labStatusText"))->textFormat(), Qt::PlainText);
    // A null avatar leaves the previous picture.
    QCOMPARE(chat->findChild<QLabel *>(QStringLiteral("labUserAvatar"))
                 ->pixmap(Qt::ReturnByValue)
                 .toImage()
                 .pixelColor(2, 2),
             QColor(Qt::red));
}

void TestChat::sending_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<bool>("notDeliveredMark");
    QTest::addColumn<QString>("notice");
    QTest::newRow("confirmed") << 200 << true << false << "";
    QTest::newRow("contact offline 404") << 404 << false << false << "Alice <A&B> is offline";
    QTest::newRow("contact offline 1") << 1 << false << false << "Alice <A&B> is offline";
    QTest::newRow("no reply") << 500 << true << true << "";
    QTest::newRow("foreign line") << 601 << true << true << "";
}

void TestChat::sending()
{
    QFETCH(int, result);
    QFETCH(bool, stored);
    QFETCH(bool, notDeliveredMark);
    QFETCH(QString, notice);
    owner.sendResult = result;
    frmChat *chat = openChat();
    type(chat, QString::fromUtf8("a b<c> :) ä"));

    QCOMPARE(owner.sent, QStringList{QStringLiteral("alice|a b&lt;c&gt; :) &auml;")});
    QVERIFY(chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"))->text().isEmpty());
    const ChatHistory::Loaded history =
        ChatHistory(QStringLiteral("alice"))
            .load(QStringLiteral("Me"), QStringLiteral("Alice"), QStringLiteral("Unknown"));
    QCOMPARE(history.lastId, stored ? 1 : 0);
    if (stored) {
        QCOMPARE(viewText(chat),
                 QString::fromUtf8("Me\na b<c> \uFFFC ä")
                     + (notDeliveredMark ? QString::fromUtf8(" --- \uFFFC") : QString()));
        QCOMPARE(history.markups.first().contains(QLatin1String("zmp://msgmaybenotdelivered")), notDeliveredMark);
        QVERIFY(history.markups.first().startsWith(QLatin1String(
            "<span style=\"color: grey\">Me</span><br><span>a b&lt;c&gt; <img src=':/img/friendly.png'/> &auml;")));
        QCOMPARE(history.lastSpeaker, QStringLiteral("You"));
    } else {
        QCOMPARE(viewText(chat), QStringLiteral("Zelto Messenger\n") + notice);
    }
}

void TestChat::offlineSendKeepsNothing()
{
    owner.online = false;
    frmChat *chat = openChat();
    type(chat, QStringLiteral("hello"));
    QVERIFY(owner.sent.isEmpty());
    QVERIFY(chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"))->text().isEmpty());
    QCOMPARE(viewText(chat), QStringLiteral("Zelto Messenger\nYou are offline"));
    type(chat, QStringLiteral("again"));
    QCOMPARE(viewText(chat), QStringLiteral("Zelto Messenger\nYou are offline\nYou are offline"));
    QVERIFY(!QFileInfo::exists(ChatHistory(QStringLiteral("alice")).fileName()));
}

void TestChat::blankMessageIsNotSent()
{
    frmChat *chat = openChat();
    type(chat, QStringLiteral("    "));
    QVERIFY(owner.sent.isEmpty());
    QCOMPARE(chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"))->text(), QStringLiteral("    "));
    QCOMPARE(viewText(chat), QString());
}

void TestChat::speakerBlocks()
{
    frmChat *chat = openChat();
    type(chat, QStringLiteral("one"));
    type(chat, QStringLiteral("two"));
    chat->receiveMessage(QStringLiteral("three"));
    chat->receiveMessage(QStringLiteral("four"));
    type(chat, QStringLiteral("five"));
    QCOMPARE(viewText(chat), QStringLiteral("Me\none\ntwo\nAlice <A&B>\nthree\nfour\nMe\nfive"));

    QSettings file(ChatHistory(QStringLiteral("alice")).fileName(), QSettings::IniFormat);
    const QStringList flags{QStringLiteral("true"), QStringLiteral("false"), QStringLiteral("true"),
                            QStringLiteral("false"), QStringLiteral("true")};
    const QStringList speakers{QStringLiteral("You"), QStringLiteral("You"), QStringLiteral("She/He"),
                               QStringLiteral("She/He"), QStringLiteral("You")};
    for (int i = 1; i <= 5; ++i) {
        const QStringList entry = file.value(QStringLiteral("Messages/Message%1").arg(i)).toStringList();
        QCOMPARE(entry.size(), 3);
        QCOMPARE(entry.at(1), speakers.at(i - 1));
        QCOMPARE(entry.at(2), flags.at(i - 1));
    }
    QCOMPARE(file.value(QStringLiteral("Messages/Message3")).toStringList().first(),
             QStringLiteral("<span style=\"color: blue\">Alice &lt;A&amp;B&gt;</span><br><span>three</span>"));
    QCOMPARE(file.value(QStringLiteral("Chat/LastMessageID")).toInt(), 5);
}

void TestChat::receivedMarkupIsShownLiterally()
{
    frmChat *chat = openChat();
    chat->receiveMessage(QStringLiteral("<img src=\"/etc/hostname\"><b>bold</b> http://x.y/?a=1&amp;b=2 :)"));
    const QString html = viewHtml(chat);
    QVERIFY(!html.contains(QLatin1String("/etc/hostname\"")));
    QVERIFY(!html.contains(QLatin1String("font-weight:600")));
    QVERIFY(html.contains(QLatin1String("href=\"http://x.y/?a=1&amp;b=2\"")));
    QVERIFY(html.contains(QLatin1String(":/img/friendly.png")));
    QVERIFY(viewText(chat).contains(QLatin1String("<img src=\"/etc/hostname\"><b>bold</b>")));
    const ChatHistory::Loaded history =
        ChatHistory(QStringLiteral("alice"))
            .load(QStringLiteral("Me"), QStringLiteral("Alice"), QStringLiteral("Unknown"));
    QVERIFY(history.markups.first().contains(QLatin1String("&lt;img src=&quot;/etc/hostname&quot;&gt;")));
}

void TestChat::historySurvivesReopening()
{
    frmChat *chat = openChat();
    type(chat, QStringLiteral("hi"));
    chat->receiveMessage(QStringLiteral("hello"));
    owner.online = false;
    type(chat, QStringLiteral("lost"));
    chat->close();
    QCOMPARE(owner.closed, QStringList{QStringLiteral("alice")});

    owner.online = true;
    frmChat *again = openChat();
    QCOMPARE(viewText(again), QStringLiteral("Me\nhi\nAlice <A&B>\nhello"));
    // The contact spoke last: the block continues without a new header.
    again->receiveMessage(QStringLiteral("more"));
    QCOMPARE(viewText(again), QStringLiteral("Me\nhi\nAlice <A&B>\nhello\nmore"));
    const ChatHistory::Loaded history =
        ChatHistory(QStringLiteral("alice"))
            .load(QStringLiteral("Me"), QStringLiteral("Alice"), QStringLiteral("Unknown"));
    QCOMPARE(history.lastId, 3);
    QCOMPARE(history.markups.last(), QStringLiteral("<span>more</span>"));
}

void TestChat::smileyPicker()
{
    frmChat *chat = openChat();
    QMenu *picker = chat->smileyPicker();
    QVERIFY(picker);
    const QStringList texts{QStringLiteral("(evil)"), QStringLiteral(":)"), QStringLiteral(";)"),
                            QStringLiteral(":D"),     QStringLiteral(":P"), QStringLiteral(":O"),
                            QStringLiteral(":|"),     QStringLiteral(":("), QStringLiteral("(angry)"),
                            QStringLiteral("(cry)")};
    const QStringList inserted{QStringLiteral(" (evil) "), QStringLiteral(" :) "), QStringLiteral(" ;) "),
                               QStringLiteral(" :D "),     QStringLiteral(" :P "), QStringLiteral(" :O "),
                               QStringLiteral(" :| "),     QStringLiteral(" :( "), QStringLiteral(" (angry) "),
                               QStringLiteral(" (cry) ")};
    const QList<QAction *> actions = picker->actions();
    QCOMPARE(actions.size(), texts.size());
    auto *field = chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"));
    QString expected = QStringLiteral("x");
    field->setText(expected);
    for (int i = 0; i < actions.size(); ++i) {
        QCOMPARE(actions.at(i)->text(), texts.at(i));
        QVERIFY(!actions.at(i)->icon().isNull());
        actions.at(i)->trigger();
        expected += inserted.at(i);
        QCOMPARE(field->text(), expected);
    }
    QTRY_VERIFY(field->hasFocus());

    // A release inside the smiley label opens the picker.
    auto *label = chat->findChild<QLabel *>(QStringLiteral("cmdSmiley"));
    QTest::mouseClick(label, Qt::LeftButton);
    QTRY_VERIFY(picker->isVisible());
    picker->hide();
}

void TestChat::links_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("opened");
    QTest::newRow("http") << "http://example.org/a" << true;
    QTest::newRow("https") << "https://example.org/" << true;
    QTest::newRow("ftp") << "ftp://example.org/f" << true;
    QTest::newRow("mailto") << "mailto:a@example.org" << true;
    QTest::newRow("odd characters in the query") << "https://example.org/s?q=a|b{c}^d" << true;
    QTest::newRow("upper-case scheme") << "HTTPS://example.org/" << true;
    QTest::newRow("file") << "file:///etc/passwd" << false;
    QTest::newRow("data") << "data:text/html,<b>x</b>" << false;
    QTest::newRow("javascript") << "javascript:alert(1)" << false;
    QTest::newRow("own game scheme") << "mtasa://1.2.3.4" << false;
    QTest::newRow("other zmp link") << "zmp://addcontact/x" << false;
    QTest::newRow("smb") << "smb://host/share" << false;
    QTest::newRow("relative path") << "/etc/passwd" << false;
    QTest::newRow("empty") << "" << false;
}

void TestChat::links()
{
    QFETCH(QString, url);
    QFETCH(bool, opened);
    frmChat *chat = openChat();
    chat->openLink(url);
    QCOMPARE(sink.opened.size(), opened ? 1 : 0);

    // A click on such a link in the view goes the same way; the view stays.
    sink.opened.clear();
    auto *view = chat->findChild<ZVRTextBrowser *>(QStringLiteral("tbChat"));
    view->append(QStringLiteral("<a href=\"%1\">link</a>").arg(url.toHtmlEscaped()));
    const QString before = viewHtml(chat);
    const int at = anchorPosition(view->document(), url);
    QVERIFY(at >= 0);
    clickAt(view, at);
    QCOMPARE(sink.opened.size(), opened ? 1 : 0);
    QCOMPARE(viewHtml(chat), before);
}

void TestChat::notDeliveredLinkExplains()
{
    frmChat *chat = openChat();
    QString shown;
    QTimer::singleShot(0, chat, [&shown]() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box) {
            shown = box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        }
    });
    chat->openLink(QStringLiteral("zmp://msgmaybenotdelivered"));
    QCOMPARE(shown, QStringLiteral("Message|This message was maybe not delivered"));
    QVERIFY(sink.opened.isEmpty());
}

// The position of the first character of the anchor with the given target, or -1.
int TestChat::anchorPosition(QTextDocument *document, const QString &href)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().isAnchor() && fragment.charFormat().anchorHref() == href)
                return fragment.position();
        }
    }
    return -1;
}

// A left click in the middle of the character at position, where the view shows it.
void TestChat::clickAt(QTextBrowser *view, int position)
{
    QTextCursor cursor(view->document());
    cursor.setPosition(position);
    const QRect before = view->cursorRect(cursor);
    cursor.setPosition(position + 1);
    const QRect after = view->cursorRect(cursor);
    const QPoint point((before.left() + after.left()) / 2, before.center().y());
    QVERIFY2(view->viewport()->rect().contains(point),
             qPrintable(QStringLiteral("%1,%2").arg(point.x()).arg(point.y())));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, point);
}

void TestChat::clickingALink_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("sendResult");
    QTest::addColumn<QString>("href");
    QTest::addColumn<QString>("opened");
    QTest::addColumn<QString>("box");
    QTest::newRow("web link received") << "see http://example.org/a?b=1 now"
                                       << "" << 200 << "http://example.org/a?b=1"
                                       << "http://example.org/a?b=1"
                                       << "";
    QTest::newRow("web link sent") << ""
                                   << "look https://example.org/x" << 200 << "https://example.org/x"
                                   << "https://example.org/x"
                                   << "";
    QTest::newRow("not delivered mark") << ""
                                        << "hello" << 500 << "zmp://msgmaybenotdelivered"
                                        << ""
                                        << "Message|This message was maybe not delivered";
    QTest::newRow("game link stays closed") << "join mtasa://1.2.3.4 now"
                                            << "" << 200 << "mtasa://1.2.3.4"
                                            << ""
                                            << "";
}

void TestChat::clickingALink()
{
    QFETCH(QString, received);
    QFETCH(QString, typed);
    QFETCH(int, sendResult);
    QFETCH(QString, href);
    QFETCH(QString, opened);
    QFETCH(QString, box);
    owner.sendResult = sendResult;
    frmChat *chat = openChat();
    QVERIFY(QTest::qWaitForWindowExposed(chat));
    if (!received.isEmpty())
        chat->receiveMessage(received);
    if (!typed.isEmpty()) {
        auto *field = chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"));
        QTest::keyClicks(field, typed);
        QTest::keyClick(field, Qt::Key_Return);
    }
    auto *view = chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"));
    QTRY_VERIFY(anchorPosition(view->document(), href) >= 0);
    // Messages of one turn of the event loop are laid out together at its end.
    QCoreApplication::processEvents();
    const QString before = viewHtml(chat);

    QString shown;
    QPointer<QTimer> watcher;
    if (!box.isEmpty()) {
        watcher = whenWindowUp(chat, QStringLiteral("Message"), [&shown](QWidget *window) {
            auto *messageBox = qobject_cast<QMessageBox *>(window);
            QVERIFY(messageBox);
            shown = messageBox->windowTitle() + QLatin1Char('|') + messageBox->text();
            messageBox->accept();
        });
    }
    clickAt(view, anchorPosition(view->document(), href));
    delete watcher.data();
    QCOMPARE(shown, box);
    QCOMPARE(sink.opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
    // The view stays with the conversation.
    QCOMPARE(viewHtml(chat), before);
}

void TestChat::viewLoadsOnlyOwnResources_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<bool>("served");
    const QString local = QDir::homePath() + QStringLiteral("/picture.png");
    QImage(4, 4, QImage::Format_ARGB32).save(local);
    QTest::newRow("own smiley") << QUrl(QStringLiteral("qrc:/img/friendly.png")) << true;
    QTest::newRow("local file url") << QUrl::fromLocalFile(local) << false;
    QTest::newRow("relative local path") << QUrl(local) << false;
    QTest::newRow("remote") << QUrl(QStringLiteral("http://127.0.0.1:1/x.png")) << false;
    QTest::newRow("data url") << QUrl(QStringLiteral("data:image/png;base64,iVBORw0KGgo=")) << false;
    QTest::newRow("missing resource") << QUrl(QStringLiteral("qrc:/img/none.png")) << false;
}

void TestChat::viewLoadsOnlyOwnResources()
{
    QFETCH(QUrl, url);
    QFETCH(bool, served);
    frmChat *chat = openChat();
    QTextDocument *document = chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->document();
    QCOMPARE(document->resource(QTextDocument::ImageResource, url).isNull(), !served);
}

void TestChat::closeSavesGeometryAndDeregisters()
{
    frmChat *chat = openChat(QStringLiteral("carol"));
    chat->resize(420, 600);
    chat->close();
    QCOMPARE(owner.closed, QStringList{QStringLiteral("carol")});
    QSettings settings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
    QVERIFY(!settings.value(QStringLiteral("Windows/Chat/carol")).toByteArray().isEmpty());
    QPointer<frmChat> gone(chat);
    QTRY_VERIFY(gone.isNull());

    frmChat *again = openChat(QStringLiteral("carol"));
    QCOMPARE(again->size(), QSize(420, 600));
}

void TestChat::fontFromSettings()
{
    QFont font(QStringLiteral("Monospace"), 17);
    QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"))
        .setValue(QStringLiteral("Interface/Font"), font.toString());
    frmChat *chat = openChat();
    QCOMPARE(chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->font().pointSize(), 17);
    QCOMPARE(chat->findChild<QLineEdit *>(QStringLiteral("txtMessageBox"))->font().pointSize(), 17);
}

int TestChat::viewPictures(frmChat *chat)
{
    const QTextDocument *document = chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"))->document();
    int pictures = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            pictures += it.fragment().charFormat().isImageFormat() ? it.fragment().length() : 0;
    }
    return pictures;
}

void TestChat::writeHistory(const QString &user, const QStringList &markups, const QStringList &speakers,
                            const QStringList &flags)
{
    QByteArray all;
    for (int i = 0; i < markups.size(); ++i)
        all += ChatHistory::appendBlock(i + 1, markups.at(i), speakers.at(i), flags.at(i) == QLatin1String("true"));
    QDir().mkpath(DataDirectory::path());
    QFile file(ChatHistory(user).fileName());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(all);
}

void TestChat::picturesInTheViewAreBounded_data()
{
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("storedPictures");
    const QString flood = QStringLiteral(" :) ").repeated(8192);
    QTest::newRow("received 8192 smileys")
        << flood << QString() << QString() << int(MessageFormat::MaxPicturesPerMessage);
    // The message field takes at most 32,767 characters.
    QTest::newRow("typed 8191 smileys") << QString() << QStringLiteral(" :) ").repeated(8191) << QString()
                                        << int(MessageFormat::MaxPicturesPerMessage);
    // A history written when every smiley became a picture.
    QTest::newRow("stored 8192 pictures") << QString() << QString()
                                          << QStringLiteral("<span>")
            + QStringLiteral(" <img src=':/img/friendly.png'/> ").repeated(8192) + QStringLiteral("</span>")
                                          << 8192;
}

void TestChat::picturesInTheViewAreBounded()
{
    QFETCH(QString, received);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QFETCH(int, storedPictures);
    if (!stored.isEmpty())
        writeHistory(QStringLiteral("alice"), {stored}, {QStringLiteral("She/He")}, {QStringLiteral("true")});
    frmChat *chat = openChat();
    if (!received.isEmpty())
        chat->receiveMessage(received);
    if (!typed.isEmpty())
        type(chat, typed);
    QCOMPARE(viewPictures(chat), int(MessageFormat::MaxPicturesPerMessage));
    QCOMPARE(viewText(chat).count(QLatin1String(":)")),
             8192 - MessageFormat::MaxPicturesPerMessage - (typed.isEmpty() ? 0 : 1));
    const ChatHistory::Loaded history =
        ChatHistory(QStringLiteral("alice"))
            .load(QStringLiteral("Me"), QStringLiteral("Alice"), QStringLiteral("Unknown"));
    QCOMPARE(history.markups.size(), 1);
    QCOMPARE(history.markups.first().count(QLatin1String("<img")), storedPictures);
}

void TestChat::longWordsBreakInTheViewOnly()
{
    frmChat *chat = openChat();
    const QString word(3 * MessageFormat::MaxUnbrokenRun, QLatin1Char('w'));
    chat->receiveMessage(word);
    QCOMPARE(viewText(chat).count(QChar(0x200B)), 2);
    QCOMPARE(viewText(chat).remove(QChar(0x200B)), QStringLiteral("Alice <A&B>\n") + word);
    const ChatHistory::Loaded history =
        ChatHistory(QStringLiteral("alice"))
            .load(QStringLiteral("Me"), QStringLiteral("Alice"), QStringLiteral("Unknown"));
    QVERIFY(history.markups.first().endsWith(QStringLiteral("<span>") + word + QStringLiteral("</span>")));
}

void TestChat::longHistoryOpensNewestFirst_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("firstShown");
    QTest::newRow("1001 messages") << 1001 << "Alice\nm1";
    // Message 500, the first one shown, continues the contact's block: it gets a header.
    QTest::newRow("1500 messages") << 1500 << "Alice <A&B>\nm500";
}

void TestChat::longHistoryOpensNewestFirst()
{
    QFETCH(int, stored);
    QFETCH(QString, firstShown);
    QStringList markups;
    QStringList speakers;
    QStringList flags;
    for (int i = 1; i <= stored; ++i) {
        const bool starts = i == 1;
        markups << (starts ? QStringLiteral("<span style=\"color: blue\">Alice</span><br>") : QString())
                + QStringLiteral("<span>m%1</span>").arg(i);
        speakers << QStringLiteral("She/He");
        flags << (starts ? QStringLiteral("true") : QStringLiteral("false"));
    }
    writeHistory(QStringLiteral("alice"), markups, speakers, flags);

    frmChat *chat = openChat();
    auto *view = chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"));
    // The newest messages are there when the window shows; the older ones follow.
    QVERIFY(view->document()->blockCount() < 1001);
    QCOMPARE(view->document()->lastBlock().text(), QStringLiteral("m%1").arg(stored));
    QTRY_COMPARE(view->document()->blockCount(), 1001);
    QStringList expected{firstShown};
    for (int i = stored - 999; i <= stored; ++i)
        expected << QStringLiteral("m%1").arg(i);
    QCOMPARE(viewText(chat), expected.join(QLatin1Char('\n')));
    QTRY_COMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
    QVERIFY(view->verticalScrollBar()->maximum() > 0);

    chat->receiveMessage(QStringLiteral("newer"));
    QVERIFY(viewText(chat).endsWith(QStringLiteral("\nm%1\nnewer").arg(stored)));
}

void TestChat::olderHistoryKeepsTheReadPlace()
{
    QStringList markups;
    for (int i = 1; i <= 1001; ++i)
        markups << QStringLiteral("<span>m%1</span>").arg(i);
    writeHistory(QStringLiteral("alice"), markups, QVector<QString>(1001, QStringLiteral("You")).toList(),
                 QVector<QString>(1001, QStringLiteral("false")).toList());
    frmChat *chat = openChat();
    auto *view = chat->findChild<QTextBrowser *>(QStringLiteral("tbChat"));
    const int firstBlocks = view->document()->blockCount();
    // As soon as the first older messages are in, the reader scrolls to the top; the messages
    // arriving above afterwards keep that line where it is on the screen.
    QString topText;
    int blocksWhenScrolled = 0;
    connect(view->document(), &QTextDocument::blockCountChanged, view, [&] {
        QTimer::singleShot(0, view, [&] {
            if (!topText.isEmpty())
                return;
            view->verticalScrollBar()->setValue(0);
            topText = view->cursorForPosition(QPoint(2, view->fontMetrics().height())).block().text();
            blocksWhenScrolled = view->document()->blockCount();
        });
    });
    QTRY_COMPARE(view->document()->blockCount(), 1001);
    QVERIFY(blocksWhenScrolled > firstBlocks && blocksWhenScrolled < 1001);
    QCOMPARE(topText, QStringLiteral("m%1").arg(1002 - blocksWhenScrolled));
    QCOMPARE(view->cursorForPosition(QPoint(2, view->fontMetrics().height())).block().text(), topText);
    QVERIFY(view->verticalScrollBar()->value() > 0);
}

ZM_HERMETIC_TEST_MAIN(TestChat)
#include "tst_chat.moc"
