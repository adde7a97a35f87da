#include "TestControl.h"

#include "frmLogin.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDebug>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <functional>

#include <zmsgfw111q.h>

namespace {

frmLogin *mainWindow()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<frmLogin *>(widget))
            return window;
    }
    return nullptr;
}

QJsonValue contactState(const QString &user)
{
    const frmLogin *window = mainWindow();
    const std::optional<int> state = window ? window->contactState(user) : std::nullopt;
    return state ? QJsonValue(*state) : QJsonValue();
}

QJsonValue avatarLoaded(const QString &user)
{
    const frmLogin *window = mainWindow();
    return window && window->isContactAvatarLoaded(user);
}

// Every tray balloon since start, oldest first.
QJsonArray balloonLog;

bool matchesTopLevel(QWidget *widget, const QString &selector)
{
    const QString name = selector.section(QLatin1Char('@'), 0, 0);
    const QString title = selector.section(QLatin1Char('@'), 1);
    const bool nameMatches = widget->objectName() == name || QLatin1String(widget->metaObject()->className()) == name;
    return nameMatches && (title.isEmpty() || widget->windowTitle().contains(title));
}

// "Window/child": Window is an object or class name, optionally "@" and a part of its title;
// "modal" is the active modal dialog.
QObject *resolve(const QString &path)
{
    const QString top = path.section(QLatin1Char('/'), 0, 0);
    const QString child = path.section(QLatin1Char('/'), 1);
    QWidget *window = nullptr;
    if (top == QLatin1String("modal")) {
        // The dialog the user is looking at: the active one, unless that is a popup.
        QWidget *active = QApplication::activeWindow();
        const bool activeIsDialog =
            qobject_cast<QDialog *>(active) && !active->findChild<QLabel *>(QStringLiteral("labNotificationText"));
        window = activeIsDialog ? active : QApplication::activeModalWidget();
    } else {
        for (QWidget *candidate : QApplication::topLevelWidgets()) {
            if (matchesTopLevel(candidate, top) && (!window || candidate->isVisible()))
                window = candidate;
        }
    }
    if (!window || child.isEmpty())
        return window;
    if (QObject *found = window->findChild<QObject *>(child))
        return found;
    for (QAction *action : window->findChildren<QAction *>()) {
        if (action->text().remove(QLatin1Char('&')) == child)
            return action;
    }
    return nullptr;
}

QJsonObject describe(QWidget *widget)
{
    return QJsonObject{{QStringLiteral("class"), QLatin1String(widget->metaObject()->className())},
                       {QStringLiteral("name"), widget->objectName()},
                       {QStringLiteral("title"), widget->windowTitle()},
                       {QStringLiteral("visible"), widget->isVisible()},
                       {QStringLiteral("minimized"), widget->isMinimized()},
                       {QStringLiteral("active"), widget->isActiveWindow()}};
}

QJsonValue readValue(QObject *object, const QString &property)
{
    if (property == QLatin1String("items")) {
        QJsonArray items;
        if (auto *list = qobject_cast<QListWidget *>(object)) {
            for (int i = 0; i < list->count(); ++i)
                items.append(list->item(i)->isHidden() ? QStringLiteral("[hidden]") + list->item(i)->text()
                                                       : list->item(i)->text());
        }
        return items;
    }
    if (property == QLatin1String("menus")) {
        QJsonArray menus;
        if (auto *widget = qobject_cast<QWidget *>(object)) {
            for (QAction *action : widget->actions())
                menus.append(action->text());
        }
        return menus;
    }
    if (property == QLatin1String("plainText")) {
        if (auto *edit = qobject_cast<QTextEdit *>(object))
            return edit->toPlainText();
        if (auto *label = qobject_cast<QLabel *>(object))
            return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
    }
    if (property == QLatin1String("html")) {
        if (auto *edit = qobject_cast<QTextEdit *>(object))
            return edit->toHtml();
    }
    if (property == QLatin1String("trayToolTip")) {
        const auto trays = object->findChildren<QSystemTrayIcon *>();
        return trays.isEmpty() ? QString() : trays.first()->toolTip();
    }
    if (property == QLatin1String("modalText")) {
        if (auto *box = qobject_cast<QMessageBox *>(object))
            return box->text();
    }
    return QJsonValue::fromVariant(object->property(property.toLatin1().constData()));
}

void clickLater(QObject *object)
{
    QTimer::singleShot(0, object, [object] {
        if (auto *action = qobject_cast<QAction *>(object))
            action->trigger();
        else if (auto *button = qobject_cast<QAbstractButton *>(object))
            button->click();
        else if (auto *widget = qobject_cast<QWidget *>(object)) {
            // Some labels act only when the pointer is really over them.
            QCursor::setPos(widget->mapToGlobal(widget->rect().center()));
            QTest::mousePress(widget, Qt::LeftButton);
            QTest::mouseRelease(widget, Qt::LeftButton);
        }
    });
}

// Key events carrying the text, one per character (surrogate pairs stay together), so
// any script and emoji can be typed.
void typeText(QWidget *widget, const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const int length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        i += length - 1;
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, character);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, character);
        QCoreApplication::sendEvent(widget, &press);
        QCoreApplication::sendEvent(widget, &release);
    }
}

QAbstractButton *modalButton(QWidget *modal, const QString &text)
{
    for (QAbstractButton *button : modal->findChildren<QAbstractButton *>()) {
        if (button->isVisible() && button->text().remove(QLatin1Char('&')) == text)
            return button;
    }
    return nullptr;
}

QJsonObject activateItem(QObject *object, const QString &text)
{
    auto *list = qobject_cast<QListWidget *>(object);
    if (!list)
        return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("not a list")}};
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem *item = list->item(i);
        if (item->text().section(QLatin1Char('\n'), 0, 0) == text || item->text() == text) {
            list->setCurrentItem(item);
            QTimer::singleShot(0, list, [list, item] { emit list->itemDoubleClicked(item); });
            return {{QStringLiteral("ok"), true}};
        }
    }
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), QStringLiteral("no such item")}};
}

QJsonObject succeeded()
{
    return {{QStringLiteral("ok"), true}};
}

QJsonObject succeeded(const QJsonValue &value)
{
    return {{QStringLiteral("ok"), true}, {QStringLiteral("value"), value}};
}

QJsonObject failed(const QString &error)
{
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
}

QString textOf(const QJsonObject &request, const char *key)
{
    return request.value(QLatin1String(key)).toString();
}

QJsonArray visibleWindows()
{
    QJsonArray windows;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isWindow() && !widget->windowTitle().isNull() && widget->isVisible())
            windows.append(describe(widget));
    }
    return windows;
}

QJsonArray visiblePopups()
{
    QJsonArray popups;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *text = widget->findChild<QLabel *>(QStringLiteral("labNotificationText"));
        if (text && widget->isVisible())
            popups.append(
                QJsonObject{{QStringLiteral("title"), widget->windowTitle()},
                            {QStringLiteral("text"), QTextDocumentFragment::fromHtml(text->text()).toPlainText()}});
    }
    return popups;
}

// How long the window's session waits for a reply; "set" changes it for what follows.
QJsonObject replyTimeout(const QJsonObject &request)
{
    frmLogin *window = mainWindow();
    if (!window)
        return failed(QStringLiteral("no main window"));
    if (request.contains(QStringLiteral("set")))
        window->session()->setReplyTimeout(request.value(QStringLiteral("set")).toInt());
    return succeeded(window->session()->replyTimeout());
}

QJsonObject typeInto(QObject *object, const QJsonObject &request)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return failed(QStringLiteral("not a widget"));
    if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->clear();
    typeText(widget, textOf(request, "text"));
    if (request.value(QStringLiteral("enter")).toBool())
        QTimer::singleShot(0, widget, [widget] { QTest::keyClick(widget, Qt::Key_Return); });
    return succeeded();
}

QJsonObject pressModalButton(QObject *object, const QJsonObject &request)
{
    QAbstractButton *button = modalButton(qobject_cast<QWidget *>(object), textOf(request, "text"));
    if (!button)
        return failed(QStringLiteral("no such button"));
    clickLater(button);
    return succeeded();
}

QJsonObject answerInputDialog(QObject *object, const QJsonObject &request)
{
    auto *dialog = qobject_cast<QInputDialog *>(object);
    if (!dialog)
        return failed(QStringLiteral("not an input dialog"));
    dialog->setTextValue(textOf(request, "text"));
    QTimer::singleShot(0, dialog, &QDialog::accept);
    return succeeded();
}

QJsonObject chooseFile(QObject *object, const QJsonObject &request)
{
    auto *dialog = qobject_cast<QFileDialog *>(object);
    if (!dialog)
        return failed(QStringLiteral("not a file dialog"));
    if (auto *fileName = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        fileName->setText(textOf(request, "file"));
    else
        dialog->selectFile(textOf(request, "file"));
    QTimer::singleShot(0, dialog, [dialog] { QMetaObject::invokeMethod(dialog, "accept"); });
    return succeeded();
}

QJsonObject invokeLater(QObject *object, const QJsonObject &request)
{
    const QByteArray method = textOf(request, "method").toLatin1();
    const QJsonValue argument = request.value(QStringLiteral("arg"));
    QTimer::singleShot(0, object, [object, method, argument] {
        if (argument.isString())
            QMetaObject::invokeMethod(object, method.constData(), Q_ARG(QString, argument.toString()));
        else
            QMetaObject::invokeMethod(object, method.constData());
    });
    return succeeded();
}

using GlobalCommand = std::function<QJsonObject(const QJsonObject &)>;
using ObjectCommand = std::function<QJsonObject(QObject *, const QJsonObject &)>;

// Commands about the program as a whole.
const QHash<QString, GlobalCommand> &globalCommands()
{
    static const QHash<QString, GlobalCommand> commands{
        {QStringLiteral("windows"), [](const QJsonObject &) { return succeeded(visibleWindows()); }},
        {QStringLiteral("popups"), [](const QJsonObject &) { return succeeded(visiblePopups()); }},
        {QStringLiteral("balloons"), [](const QJsonObject &) { return succeeded(balloonLog); }},
        {QStringLiteral("contactState"),
         [](const QJsonObject &r) { return succeeded(contactState(textOf(r, "user"))); }},
        {QStringLiteral("avatarLoaded"),
         [](const QJsonObject &r) { return succeeded(avatarLoaded(textOf(r, "user"))); }},
        {QStringLiteral("replyTimeout"), replyTimeout},
        {QStringLiteral("quit"),
         [](const QJsonObject &) {
             QTimer::singleShot(0, qApp, &QCoreApplication::quit);
             return succeeded();
         }},
    };
    return commands;
}

// Commands about the object "path" names.
const QHash<QString, ObjectCommand> &objectCommands()
{
    static const QHash<QString, ObjectCommand> commands{
        {QStringLiteral("get"),
         [](QObject *object, const QJsonObject &r) { return succeeded(readValue(object, textOf(r, "property"))); }},
        {QStringLiteral("set"),
         [](QObject *object, const QJsonObject &r) {
             const QByteArray property = textOf(r, "property").toLatin1();
             return QJsonObject{
                 {QStringLiteral("ok"),
                  object->setProperty(property.constData(), r.value(QStringLiteral("value")).toVariant())}};
         }},
        {QStringLiteral("click"),
         [](QObject *object, const QJsonObject &) {
             clickLater(object);
             return succeeded();
         }},
        {QStringLiteral("type"), typeInto},
        {QStringLiteral("activateItem"),
         [](QObject *object, const QJsonObject &r) { return activateItem(object, textOf(r, "text")); }},
        {QStringLiteral("button"), pressModalButton},
        {QStringLiteral("inputText"), answerInputDialog},
        {QStringLiteral("chooseFile"), chooseFile},
        {QStringLiteral("invoke"), invokeLater},
    };
    return commands;
}

QJsonObject handle(const QJsonObject &request)
{
    const QString command = textOf(request, "cmd");
    if (const auto global = globalCommands().constFind(command); global != globalCommands().constEnd())
        return (*global)(request);
    const auto forObject = objectCommands().constFind(command);
    if (forObject == objectCommands().constEnd())
        return failed(QStringLiteral("unknown command ") + command);
    const QString path = textOf(request, "path");
    QObject *object = resolve(path);
    if (!object)
        return failed(QStringLiteral("not found: ") + path);
    return (*forObject)(object, request);
}

} // namespace

namespace TestControl {

void startFromEnvironment()
{
    const QString name = qEnvironmentVariable("ZM_TEST_CONTROL");
    if (name.isEmpty())
        return;
    auto *server = new QLocalServer(qApp);
    QLocalServer::removeServer(name);
    if (!server->listen(name)) {
        qWarning() << "test control: cannot listen on" << name;
        return;
    }
    const int watchdogMs = qEnvironmentVariableIntValue("ZM_TEST_WATCHDOG_MS");
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<frmLogin *>(widget)) {
            if (watchdogMs > 0)
                window->setWatchdogInterval(watchdogMs);
            QObject::connect(window, &frmLogin::balloonShown, server, [](const QString &title, const QString &text) {
                balloonLog.append(QJsonObject{{QStringLiteral("title"), title}, {QStringLiteral("text"), text}});
            });
        }
    }
    QObject::connect(server, &QLocalServer::newConnection, server, [server] {
        QLocalSocket *socket = server->nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] {
            while (socket->canReadLine()) {
                const QJsonObject request = QJsonDocument::fromJson(socket->readLine()).object();
                socket->write(QJsonDocument(handle(request)).toJson(QJsonDocument::Compact) + '\n');
                socket->flush();
            }
        });
    });
}

} // namespace TestControl

namespace {

// Linked into the test build only, the channel starts itself: the program's own code does not
// know it. It starts once the event loop runs, when the main window exists.
void startWithEventLoop()
{
    QTimer::singleShot(0, qApp, &TestControl::startFromEnvironment);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startWithEventLoop)
