#include "hermetic.h"
#include "labellink.h"
#include "loopbackzmsgd.h"
#include "mainwindowview.h"
#include "windowwatch.h"

#include "Platform.h"
#include "UiMessage.h"
#include "UiTray.h"
#include "frmLogin.h"

#include <zmsgdserverthread.h>

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <memory>

namespace {

using MainWindowView::menuEntry;

QSettings settings()
{
    return QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
}

bool isInteractive(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::List:
    case QAccessible::PageTab:
    case QAccessible::Link:
        return true;
    default:
        return false;
    }
}

// What a screen reader would find unnamed in the visible part of a window's accessibility
// tree: the window without a title, interactive controls without a name.
QStringList unnamedInAccessibilityTree(QWidget *window)
{
    QStringList problems;
    QAccessibleInterface *top = QAccessible::queryAccessibleInterface(window);
    if (!top)
        return {QStringLiteral("no accessible interface for ") + window->objectName()};
    if (window->windowTitle().trimmed().isEmpty() || top->text(QAccessible::Name).trimmed().isEmpty())
        problems << QStringLiteral("window %1 (%2) has no title")
                        .arg(window->objectName(), QLatin1String(window->metaObject()->className()));
    QList<QAccessibleInterface *> pending{top};
    while (!pending.isEmpty()) {
        QAccessibleInterface *node = pending.takeFirst();
        if (node->state().invisible)
            continue;
        if (node != top && isInteractive(node->role()) && node->text(QAccessible::Name).trimmed().isEmpty()) {
            QObject *object = node->object();
            problems << QStringLiteral("%1 %2 in %3 has no accessible name")
                            .arg(object ? QString::fromLatin1(object->metaObject()->className()) : QStringLiteral("?"),
                                 object ? object->objectName() : QString(), window->windowTitle());
        }
        // A combo box's popup list is Qt's own; the box carries the name.
        if (node->role() == QAccessible::ComboBox)
            continue;
        for (int i = 0; i < node->childCount(); ++i) {
            if (QAccessibleInterface *child = node->child(i))
                pending << child;
        }
    }
    return problems;
}

} // namespace

// Receives the links handed to the desktop.
class DesktopUrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestDesktop : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void keyboardLogin_data();
    void keyboardLogin();
    void escapeClosesDialogs_data();
    void escapeClosesDialogs();
    void editingKeysStayWithTheContactPage_data();
    void editingKeysStayWithTheContactPage();
    void quitKeepsTheRememberedLogin();
    void closingWhileLoggedIn_data();
    void closingWhileLoggedIn();
    void startAtLogin();
    void designedPageOffersFriendRequests();
    void designedPageOffersRegistration_data();
    void designedPageOffersRegistration();
    void everyWindowNamesItsControls();
    void messageBoxesHaveTitles();

private:
    std::unique_ptr<frmLogin> newWindow(bool designed);
    void typeInto(QLineEdit *field, const QString &text);
    // Logs in as alice through the page of the window's mode, with the mouse.
    void logIn(frmLogin *window, bool stay = true, bool start = false);
    template <typename T> static T *child(QObject *window, const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qWarning() << "no child" << name;
        return found;
    }
    // Presses keys on a widget while watching for a window with the given title; the window,
    // when it comes, gets action. Returns whether it came.
    bool pressWhileWatching(QWidget *target, Qt::Key key, Qt::KeyboardModifiers modifiers, const QString &title,
                            const std::function<void(QWidget *)> &action);

    ZmsgdServerThread zmsgd;
    QTemporaryDir dataDir;
    QList<QPair<QString, QString>> messages;
    bool trayAvailable = true;
    int quits = 0;
};

void TestDesktop::initTestCase()
{
    UiMessage::setHook([this](QMessageBox::Icon, const QString &title, const QString &text) {
        messages.append({title, text});
        return QMessageBox::Ok;
    });
    UiTray::setHook([this] { return trayAvailable; });
    Platform::setQuitHook([this] { ++quits; });
    Platform::setRestartHook([] { return true; });
    // Nothing listens here: the preferences' version fetch fails at once.
    qputenv("ZM_WEB_HOST", "127.0.0.1:1");
    QVERIFY(dataDir.isValid());
    QString error;
    QVERIFY2(zmsgd.start(loopbackZmsgdConfig(dataDir.filePath(QStringLiteral("zmsgd.sqlite"))), &error),
             qPrintable(error));
    exportZmsgdEndpoint(zmsgd);
}

void TestDesktop::init()
{
    QSettings store = settings();
    store.clear();
    store.sync();
    QFile::remove(Platform::autostartFilePath());
    messages.clear();
    trayAvailable = true;
    quits = 0;
}

void TestDesktop::cleanup()
{
    QVERIFY(!QApplication::activeModalWidget());
}

void TestDesktop::cleanupTestCase()
{
    zmsgd.stop();
}

std::unique_ptr<frmLogin> TestDesktop::newWindow(bool designed)
{
    {
        QSettings store = settings();
        store.setValue(QStringLiteral("Interface/designedMode"), designed);
        store.sync();
    }
    auto window = std::make_unique<frmLogin>();
    window->show();
    QApplication::setActiveWindow(window.get());
    if (!QTest::qWaitForWindowActive(window.get()))
        qWarning() << "window not active";
    return window;
}

void TestDesktop::typeInto(QLineEdit *field, const QString &text)
{
    QTest::mouseClick(field, Qt::LeftButton);
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void TestDesktop::logIn(frmLogin *window, bool stay, bool start)
{
    const bool designed = window->isDesignedMode();
    typeInto(child<QLineEdit>(window, designed ? "txtNameDesigned" : "txtName"), QStringLiteral("alice"));
    typeInto(child<QLineEdit>(window, designed ? "txtPasswordDesigned" : "txtPassword"), QStringLiteral("alice123"));
    auto *stayBox = child<QCheckBox>(window, designed ? "cbStayLoggedInDesigned" : "cbStayLoggedIn");
    auto *startBox = child<QCheckBox>(window, designed ? "cbStartWithWindowsDesigned" : "cbStartWithWindows");
    if (stayBox->isChecked() != stay)
        QTest::mouseClick(stayBox, Qt::LeftButton, Qt::NoModifier, QPoint(5, stayBox->height() / 2));
    if (startBox->isChecked() != start)
        QTest::mouseClick(startBox, Qt::LeftButton, Qt::NoModifier, QPoint(5, startBox->height() / 2));
    if (designed) {
        auto *login = child<QLabel>(window, "labDesignedLogin");
        QCursor::setPos(login->mapToGlobal(login->rect().center()));
        QTest::mouseClick(login, Qt::LeftButton);
    } else {
        QTest::mouseClick(child<QPushButton>(window, "cmdLogin"), Qt::LeftButton);
    }
    if (!QTest::qWaitFor([window] { return window->isSessionLoggedIn(); }, 20000))
        qWarning() << "login failed";
}

bool TestDesktop::pressWhileWatching(QWidget *target, Qt::Key key, Qt::KeyboardModifiers modifiers,
                                     const QString &title, const std::function<void(QWidget *)> &action)
{
    bool came = false;
    QPointer<QTimer> watch = whenWindowUp(this, title, [&came, action](QWidget *window) {
        came = true;
        action(window);
    });
    QTest::keyClick(target, key, modifiers);
    // A window that blocks has come and gone by now; give one that does not a moment.
    const bool seen = came || QTest::qWaitFor([&came] { return came; }, 1000);
    if (watch)
        watch->deleteLater();
    return seen;
}

// ---------------------------------------------------------------------------------------

void TestDesktop::keyboardLogin_data()
{
    QTest::addColumn<bool>("designed");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::newRow("classic, Return in the user field") << false << "txtName" << int(Qt::Key_Return);
    QTest::newRow("classic, Return in the password field") << false << "txtPassword" << int(Qt::Key_Return);
    QTest::newRow("classic, Enter in the password field") << false << "txtPassword" << int(Qt::Key_Enter);
    QTest::newRow("designed, Return in the user field") << true << "txtNameDesigned" << int(Qt::Key_Return);
    QTest::newRow("designed, Return in the password field") << true << "txtPasswordDesigned" << int(Qt::Key_Return);
    QTest::newRow("designed, Space on the Login label") << true << "labDesignedLogin" << int(Qt::Key_Space);
    QTest::newRow("designed, Return on the Login label") << true << "labDesignedLogin" << int(Qt::Key_Return);
}

void TestDesktop::keyboardLogin()
{
    QFETCH(bool, designed);
    QFETCH(QString, field);
    QFETCH(int, key);
    auto window = newWindow(designed);
    auto *name = child<QLineEdit>(window.get(), designed ? "txtNameDesigned" : "txtName");
    auto *password = child<QLineEdit>(window.get(), designed ? "txtPasswordDesigned" : "txtPassword");
    typeInto(name, QStringLiteral("alice"));
    typeInto(password, QStringLiteral("alice123"));
    QWidget *target = window->findChild<QWidget *>(field);
    if (field == QLatin1String("labDesignedLogin")) {
        // The label is reached with Tab from the password field, past the two check boxes.
        for (int i = 0; i < 4 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
    } else if (target != password) {
        QTest::mouseClick(target, Qt::LeftButton);
    }
    QVERIFY(target->hasFocus());
    QTest::keyClick(target, Qt::Key(key));
    QTRY_VERIFY_WITH_TIMEOUT(window->isSessionLoggedIn(), 20000);
    QVERIFY(messages.isEmpty());
    QCOMPARE(window->ownUserName(), QStringLiteral("alice"));
    window->logoutUser();
}

void TestDesktop::escapeClosesDialogs_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("title");
    QTest::newRow("preferences, Ctrl+S") << int(Qt::Key_S) << int(Qt::ControlModifier) << "Config";
    QTest::newRow("preferences, Ctrl+,") << int(Qt::Key_Comma) << int(Qt::ControlModifier) << "Config";
    QTest::newRow("about the program, F1") << int(Qt::Key_F1) << int(Qt::NoModifier) << "About Zelto Messenger (ZMP)";
    QTest::newRow("about Zelto, Shift+F1") << int(Qt::Key_F1) << int(Qt::ShiftModifier) << "About Zelto";
}

void TestDesktop::escapeClosesDialogs()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, title);
    auto window = newWindow(true);
    logIn(window.get());
    QWidget *list = window->contactList();
    list->setFocus(Qt::OtherFocusReason);
    bool closedByEscape = false;
    const bool came = pressWhileWatching(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers), title,
                                         [&closedByEscape](QWidget *dialog) {
                                             QWidget *focus = dialog->focusWidget() ? dialog->focusWidget() : dialog;
                                             QTest::keyClick(focus, Qt::Key_Escape);
                                             closedByEscape = !dialog->isVisible();
                                             if (!closedByEscape)
                                                 dialog->close();
                                         });
    QVERIFY(came);
    QVERIFY(closedByEscape);
    QVERIFY(window->isSessionLoggedIn());
    window->logoutUser();
}

void TestDesktop::editingKeysStayWithTheContactPage_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("key");
    QTest::newRow("select all in the contact list") << "lwContactsDesigned" << int(Qt::Key_A);
    QTest::newRow("select all in the search field") << "txtContactsSearch" << int(Qt::Key_A);
    QTest::newRow("paste in the contact list") << "lwContactsDesigned" << int(Qt::Key_V);
    QTest::newRow("paste in the search field") << "txtContactsSearch" << int(Qt::Key_V);
}

void TestDesktop::editingKeysStayWithTheContactPage()
{
    QFETCH(QString, widget);
    QFETCH(int, key);
    auto window = newWindow(true);
    logIn(window.get());
    QApplication::clipboard()->setText(QStringLiteral("bo"));
    auto *target = window->findChild<QWidget *>(widget);
    QVERIFY(target);
    target->setFocus(Qt::OtherFocusReason);
    // Whatever window the key might open is recorded and closed.
    QStringList opened;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&opened] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            opened << dialog->windowTitle();
            dialog->close();
        }
    });
    watch.start(10);
    // The dialogs are modal: one the key opened has come and gone when the click returns.
    QTest::keyClick(target, Qt::Key(key), Qt::ControlModifier);
    watch.stop();
    QCOMPARE(opened, QStringList());
    if (widget == QLatin1String("txtContactsSearch") && key == Qt::Key_V)
        QVERIFY(child<QLineEdit>(window.get(), "txtContactsSearch")->text().startsWith(QLatin1String("bo")));
    window->logoutUser();
}

void TestDesktop::quitKeepsTheRememberedLogin()
{
    auto window = newWindow(true);
    logIn(window.get(), true, true);
    QVERIFY(Platform::hasAutostartEntry());
    QAction *quit = menuEntry(window.get(), QStringLiteral("Messenger"), QStringLiteral("Quit"));
    QVERIFY(quit);
    QCOMPARE(quit->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
    window->contactList()->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(window->contactList(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(quits, 1);
    QVERIFY(!window->isSessionActive());
    QVERIFY(!window->isVisible());
    QVERIFY(settings().value(QStringLiteral("Login/Autologin")).toBool());
    QVERIFY(settings().contains(QStringLiteral("Login/Name")));
    QVERIFY(Platform::hasAutostartEntry());
}

void TestDesktop::closingWhileLoggedIn_data()
{
    QTest::addColumn<bool>("tray");
    QTest::newRow("with a tray the window goes there") << true;
    QTest::newRow("without a tray the program ends") << false;
}

void TestDesktop::closingWhileLoggedIn()
{
    QFETCH(bool, tray);
    trayAvailable = tray;
    auto window = newWindow(false);
    logIn(window.get(), true, true);
    // What the window manager sends when the user closes the window.
    QCloseEvent close;
    QApplication::sendEvent(window->windowHandle(), &close);
    if (tray) {
        QVERIFY(window->isMinimized());
        QVERIFY(window->isSessionActive());
        QCOMPARE(quits, 0);
        window->logoutUser();
        return;
    }
    QCOMPARE(quits, 1);
    QVERIFY(!window->isSessionActive());
    QVERIFY(settings().value(QStringLiteral("Login/Autologin")).toBool());
    QVERIFY(Platform::hasAutostartEntry());
    QVERIFY(settings().contains(QStringLiteral("Windows/loginGeometry")));
}

void TestDesktop::startAtLogin()
{
    for (bool designed : {false, true}) {
        auto window = newWindow(designed);
        for (const char *name : {"cbStartWithWindows", "cbStartWithWindowsDesigned"})
            QCOMPARE(child<QCheckBox>(window.get(), name)->text(), QStringLiteral("Start at login"));
        // The stored key keeps its name.
        logIn(window.get(), true, false);
        QCOMPARE(settings().value(QStringLiteral("Login/userBootUp")), QVariant(false));
        window->logoutUser();
    }
}

void TestDesktop::designedPageOffersFriendRequests()
{
    auto window = newWindow(true);
    auto *requests = child<QLabel>(window.get(), "labFriendRequestsDesigned");
    QVERIFY(!requests->isVisible());
    logIn(window.get());
    // carol's request waits for alice.
    QTRY_VERIFY_WITH_TIMEOUT(requests->isVisible(), 20000);
    QCOMPARE(requests->text(), QStringLiteral("You have 1 (<a href=\"zmp://friendrequests\">Friend Request</a>)"));

    bool came = false;
    QPointer<QTimer> watch = whenWindowUp(this, QStringLiteral("Friend Requests"), [&came](QWidget *dialog) {
        came = true;
        QTest::keyClick(dialog->focusWidget() ? dialog->focusWidget() : dialog, Qt::Key_Escape);
    });
    // Reached with the keyboard: Tab from the status frame's neighbour into the label.
    requests->setFocus(Qt::TabFocusReason);
    QTest::keyClick(requests, Qt::Key_Return);
    QVERIFY(came);
    if (watch)
        watch->deleteLater();
    came = false;
    watch = whenWindowUp(this, QStringLiteral("Friend Requests"), [&came](QWidget *dialog) {
        came = true;
        dialog->close();
    });
    clickLabelLink(requests, QStringLiteral("zmp://friendrequests"));
    QVERIFY(came);
    window->logoutUser();
    QVERIFY(!requests->isVisible());
}

void TestDesktop::designedPageOffersRegistration_data()
{
    QTest::addColumn<bool>("keyboard");
    QTest::newRow("mouse") << false;
    QTest::newRow("keyboard") << true;
}

void TestDesktop::designedPageOffersRegistration()
{
    QFETCH(bool, keyboard);
    DesktopUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &catcher, "open");
    qputenv("ZM_WEB_HOST", "127.0.0.1:8123");
    auto window = newWindow(true);
    auto *link = child<QLabel>(window.get(), "labRegisterDesigned");
    QVERIFY(link->isVisible());
    if (keyboard) {
        // The link follows the "Login" label in the tab order.
        child<QWidget>(window.get(), "labDesignedLogin")->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), link);
        QTest::keyClick(link, Qt::Key_Return);
    } else {
        clickLabelLink(link, QStringLiteral("zmp://register"));
    }
    QCOMPARE(catcher.urls, (QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:8123/user-register.php"))}));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    qputenv("ZM_WEB_HOST", "127.0.0.1:1");
}

void TestDesktop::everyWindowNamesItsControls()
{
    QStringList problems;
    for (bool designed : {false, true}) {
        auto window = newWindow(designed);
        auto *pages = child<QStackedWidget>(window.get(), "swTabs");
        const int loginPage = pages->currentIndex();
        for (int page = 0; page < pages->count(); ++page) {
            pages->setCurrentIndex(page);
            problems += unnamedInAccessibilityTree(window.get());
        }
        pages->setCurrentIndex(loginPage);
        logIn(window.get());
        problems += unnamedInAccessibilityTree(window.get());

        // Every dialog the window opens, looked at while it is up.
        const QList<QPair<QString, QString>> dialogs = {
            {QStringLiteral("Messenger"), QStringLiteral("Change password")},
            {QStringLiteral("Messenger"), QStringLiteral("Edit profile")},
            {QStringLiteral("Tools"), QStringLiteral("Preferences")},
            {QStringLiteral("Help"), QStringLiteral("About Zelto")},
            {QStringLiteral("Help"), QStringLiteral("About ZMP")}};
        for (const auto &entry : dialogs) {
            QAction *action = menuEntry(window.get(), entry.first, entry.second);
            QVERIFY2(action, qPrintable(entry.second));
            bool came = false;
            QTimer watch;
            connect(&watch, &QTimer::timeout, this, [&] {
                auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
                if (!dialog || !dialog->isVisible())
                    return;
                watch.stop();
                came = true;
                problems += unnamedInAccessibilityTree(dialog);
                dialog->close();
            });
            watch.start(10);
            action->trigger();
            QVERIFY2(came, qPrintable(entry.second));
        }
        // The friend requests and a chat window.
        bool came = false;
        QPointer<QTimer> watchRequests = whenWindowUp(this, QStringLiteral("Friend Requests"), [&](QWidget *dialog) {
            came = true;
            problems += unnamedInAccessibilityTree(dialog);
            dialog->close();
        });
        auto *requests = child<QLabel>(window.get(), designed ? "labFriendRequestsDesigned" : "labWelcomeNick");
        QTRY_VERIFY_WITH_TIMEOUT(requests->text().contains(QLatin1String("zmp://friendrequests")), 20000);
        // The welcome line holds two links: Tab picks them out one after the other.
        requests->setFocus(Qt::TabFocusReason);
        if (!designed) {
            QTest::keyClick(requests, Qt::Key_Tab);
            QTest::keyClick(requests, Qt::Key_Tab);
        }
        QTest::keyClick(requests, Qt::Key_Return);
        QVERIFY(came);
        QListWidget *list = window->contactList();
        QTRY_VERIFY_WITH_TIMEOUT(list->count() > 0, 20000);
        // The desktop gives the window back its activation when a dialog closes; offscreen
        // does not.
        QApplication::setActiveWindow(window.get());
        list->setFocus(Qt::TabFocusReason);
        QTest::keyClick(list, Qt::Key_Home);
        QVERIFY(list->currentItem());
        QTest::keyClick(list, Qt::Key_Return);
        QWidget *chat = nullptr;
        QTRY_VERIFY_WITH_TIMEOUT((chat =
                                      [] {
                                          for (QWidget *top : QApplication::topLevelWidgets())
                                              if (top->inherits("frmChat") && top->isVisible())
                                                  return top;
                                          return static_cast<QWidget *>(nullptr);
                                      }())
                                     != nullptr,
                                 10000);
        problems += unnamedInAccessibilityTree(chat);
        window->logoutUser();
    }
    problems.removeDuplicates();
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestDesktop::messageBoxesHaveTitles()
{
    // The real boxes this time, not the test's record of them.
    UiMessage::setHook(nullptr);
    auto window = newWindow(true);
    typeInto(child<QLineEdit>(window.get(), "txtNameDesigned"), QStringLiteral("alice"));
    typeInto(child<QLineEdit>(window.get(), "txtPasswordDesigned"), QStringLiteral("wrong-password"));
    QStringList problems;
    bool came = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        watch.stop();
        came = true;
        problems += unnamedInAccessibilityTree(box);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    watch.start(10);
    QTest::keyClick(child<QLineEdit>(window.get(), "txtPasswordDesigned"), Qt::Key_Return);
    UiMessage::setHook([this](QMessageBox::Icon, const QString &title, const QString &text) {
        messages.append({title, text});
        return QMessageBox::Ok;
    });
    QVERIFY(came);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
    QVERIFY(!window->isSessionActive());
}

ZM_HERMETIC_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
