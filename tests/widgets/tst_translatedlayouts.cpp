#include "hermetic.h"
#include "loopbackzmsgd.h"

#include "NotificationWidget.h"
#include "Platform.h"
#include "Startup.h"
#include "UiMessage.h"
#include "frmAboutZMPQ.h"
#include "frmAboutZelto.h"
#include "frmChangePassword.h"
#include "frmChat.h"
#include "frmConfig.h"
#include "frmContactRequests.h"
#include "frmLogin.h"
#include "frmProfile.h"
#include "frmProfileInfo.h"
#include "frmUpdate.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QTranslator>

#include <functional>
#include <memory>

namespace {

QString withoutMnemonic(QString text)
{
    text.replace(QLatin1String("&&"), QLatin1String("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text;
}

// Width and height a label's text takes in its font, laid out as the label lays it out.
QSize labelTextSize(const QLabel *label)
{
    const QString text = label->text();
    const bool rich =
        label->textFormat() == Qt::RichText || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    if (!rich && !label->wordWrap()) {
        // As the label measures plain text.
        return label->fontMetrics()
            .boundingRect(QRect(0, 0, 2000, 2000), Qt::AlignLeft | Qt::TextExpandTabs, text)
            .size();
    }
    QTextDocument document;
    document.setDefaultFont(label->font());
    document.setDocumentMargin(0);
    if (rich)
        document.setHtml(text);
    else
        document.setPlainText(text);
    if (!label->wordWrap())
        return QSize(qCeil(document.idealWidth()), qCeil(document.size().height()));
    document.setTextWidth(label->contentsRect().width() - 2 * label->margin());
    // Wrapped text takes the width of its longest word at least.
    return QSize(qCeil(qMin(document.idealWidth(), document.textWidth())), qCeil(document.size().height()));
}

// The width of the widget that its ancestors leave visible; what lies above or below them
// is reached by vertical scrolling.
int visibleWidth(QWidget *widget, QWidget *window)
{
    int left = widget->mapTo(window, QPoint()).x();
    int right = left + widget->width();
    for (QWidget *ancestor = widget->parentWidget(); ancestor && ancestor != window;
         ancestor = ancestor->parentWidget()) {
        const int ancestorLeft = ancestor->mapTo(window, QPoint()).x();
        left = qMax(left, ancestorLeft);
        right = qMin(right, ancestorLeft + ancestor->width());
    }
    return qMax(0, qMin(right, window->width()) - qMax(left, 0));
}

// Every label and button of the window whose text does not fit the room it has.
QStringList clippedTexts(QWidget *window)
{
    QStringList clipped;
    for (QLabel *label : window->findChildren<QLabel *>()) {
        if (!label->isVisibleTo(window) || label->text().isEmpty())
            continue;
        QSize room = label->contentsRect().size() - QSize(2 * label->margin(), 2 * label->margin());
        room.setWidth(qMin(room.width(), visibleWidth(label, window) - (label->width() - room.width())));
        QSize needed = labelTextSize(label);
        if (label->wordWrap()) {
            // A wrapped label clips when a word is wider than the label or the lines are higher.
            QTextDocument words;
            words.setDefaultFont(label->font());
            words.setDocumentMargin(0);
            words.setHtml(label->text());
            words.setTextWidth(0);
            needed.setWidth(qCeil(words.idealWidth()));
        }
        if (needed.width() > room.width() || needed.height() > room.height() + 1)
            clipped << QStringLiteral("%1 \"%2\": needs %3x%4, has %5x%6")
                           .arg(label->objectName(), label->text().left(60))
                           .arg(needed.width())
                           .arg(needed.height())
                           .arg(room.width())
                           .arg(room.height());
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        if (!button->isVisibleTo(window) || button->text().isEmpty())
            continue;
        int needed = 0;
        if (qobject_cast<QPushButton *>(button)) {
            const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
            const int icon = button->icon().isNull() ? 0 : button->iconSize().width() + 4;
            needed = button->fontMetrics().horizontalAdvance(withoutMnemonic(button->text())) + icon + margin;
        } else if (qobject_cast<QCheckBox *>(button) || qobject_cast<QRadioButton *>(button)) {
            needed = button->sizeHint().width();
        } else {
            needed = button->fontMetrics().horizontalAdvance(withoutMnemonic(button->text()));
        }
        const int room = qMin(button->contentsRect().width(), visibleWidth(button, window));
        if (needed > room)
            clipped << QStringLiteral("%1 \"%2\": needs %3, has %4")
                           .arg(button->objectName(), button->text())
                           .arg(needed)
                           .arg(room);
    }
    return clipped;
}

QStringList visibleHorizontalScrollBars(QWidget *window)
{
    QStringList shown;
    for (QScrollArea *area : window->findChildren<QScrollArea *>()) {
        if (area->isVisibleTo(window) && area->horizontalScrollBar()->isVisibleTo(window))
            shown << area->objectName();
    }
    return shown;
}

template <typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qWarning() << "no child" << name;
    return found;
}

QSettings appSettings()
{
    return QSettings(QStringLiteral("Zelto"), QStringLiteral("Zelto Messenger"));
}

} // namespace

class TestTranslatedLayouts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void textsFit_data();
    void textsFit();
    void captchaAnswerShowsSixDigits_data();
    void captchaAnswerShowsSixDigits();
    void registrationFieldsAlign_data();
    void registrationFieldsAlign();
    void eachLanguageOnceInTheMenus();

private:
    void useLanguage(const QString &code);
    std::unique_ptr<frmLogin> loginWindow(bool designed);
    // The windows as a person sees them, each in every state that shows other texts: a
    // window, then the same window after each switch.
    QList<std::function<void()>> openWindow(const QString &name, std::unique_ptr<QWidget> &window);

    QList<QTranslator *> translators;
    ZmsgdServerThread zmsgd;
    QTemporaryDir dataDir;
};

void TestTranslatedLayouts::initTestCase()
{
    UiMessage::setHook([](QMessageBox::Icon, const QString &, const QString &) { return QMessageBox::Ok; });
    Platform::setQuitHook([] {});
    Platform::setRestartHook([] { return true; });
    QVERIFY(dataDir.isValid());
    QString error;
    QVERIFY2(zmsgd.start(loopbackZmsgdConfig(dataDir.filePath(QStringLiteral("zmsgd.sqlite"))), &error),
             qPrintable(error));
    exportZmsgdEndpoint(zmsgd);
    // No update site: the preferences show "Unknown" at once.
    qputenv("ZM_WEB_HOST", "127.0.0.1:1");
}

void TestTranslatedLayouts::init()
{
    QSettings settings = appSettings();
    settings.clear();
    settings.sync();
}

void TestTranslatedLayouts::cleanup()
{
    qDeleteAll(translators);
    translators.clear();
}

void TestTranslatedLayouts::cleanupTestCase()
{
    zmsgd.stop();
}

void TestTranslatedLayouts::useLanguage(const QString &code)
{
    translators = Startup::installTranslations(code, code, QString(), nullptr);
}

std::unique_ptr<frmLogin> TestTranslatedLayouts::loginWindow(bool designed)
{
    QSettings settings = appSettings();
    settings.setValue(QStringLiteral("Interface/designedMode"), designed);
    settings.sync();
    return std::make_unique<frmLogin>();
}

QList<std::function<void()>> TestTranslatedLayouts::openWindow(const QString &name, std::unique_ptr<QWidget> &window)
{
    QList<std::function<void()>> states;
    if (name.startsWith(QLatin1String("frmLogin"))) {
        const bool designed = name.contains(QLatin1String("designed"));
        auto login = loginWindow(designed);
        auto *tabs = child<QStackedWidget>(login.get(), "swTabs");
        // The login page, then the contact page of the same look.
        const int page = name.endsWith(QLatin1String("register")) ? 2 : designed ? 3 : 0;
        const int contacts = designed ? 4 : 1;
        states << [tabs, page] { tabs->setCurrentIndex(page); }
               << [tabs, contacts] { tabs->setCurrentIndex(contacts); };
        window = std::move(login);
    } else if (name == QLatin1String("frmConfig")) {
        auto config = std::make_unique<frmConfig>(QString());
        QTabWidget *tabs = child<QTabWidget>(config.get(), "twTabs");
        for (int i = 0; i < tabs->count(); ++i) {
            states << [tabs, i] {
                QTabBar *bar = tabs->tabBar();
                QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(i).center());
            };
        }
        window = std::move(config);
    } else if (name == QLatin1String("frmProfile")) {
        window = std::make_unique<frmProfile>();
    } else if (name == QLatin1String("frmProfileInfo")) {
        auto info = std::make_unique<frmProfileInfo>();
        info->setAccount(QStringLiteral("alice"));
        info->setName(QStringLiteral("Alice"));
        info->setStatus(QStringLiteral("Online"));
        window = std::move(info);
    } else if (name == QLatin1String("frmChangePassword")) {
        window = std::make_unique<frmChangePassword>();
    } else if (name == QLatin1String("frmContactRequests")) {
        auto requests = std::make_unique<frmContactRequests>();
        requests->setRequests({QStringLiteral("bob"), QStringLiteral("carol")});
        window = std::move(requests);
    } else if (name == QLatin1String("frmUpdate")) {
        auto update = std::make_unique<frmUpdate>(QStringLiteral("32qt5"));
        update->setNewVersion(QStringLiteral("1.0.1-40"));
        window = std::move(update);
    } else if (name == QLatin1String("frmAboutZelto")) {
        window = std::make_unique<frmAboutZelto>();
    } else if (name == QLatin1String("frmAboutZMPQ")) {
        window = std::make_unique<frmAboutZMPQ>();
    } else if (name == QLatin1String("frmChat")) {
        window = std::make_unique<frmChat>();
    } else if (name == QLatin1String("NotificationWidget")) {
        auto popup = std::make_unique<NotificationWidget>();
        popup->setNotificationTitle(QStringLiteral("Bob"));
        popup->setNotificationText(QStringLiteral("Hallo"));
        window = std::move(popup);
    }
    if (states.isEmpty())
        states << [] {};
    return states;
}

void TestTranslatedLayouts::textsFit_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("window");
    const QStringList windows = {QStringLiteral("frmLogin classic"),  QStringLiteral("frmLogin classic register"),
                                 QStringLiteral("frmLogin designed"), QStringLiteral("frmConfig"),
                                 QStringLiteral("frmProfile"),        QStringLiteral("frmProfileInfo"),
                                 QStringLiteral("frmChangePassword"), QStringLiteral("frmContactRequests"),
                                 QStringLiteral("frmUpdate"),         QStringLiteral("frmAboutZelto"),
                                 QStringLiteral("frmAboutZMPQ"),      QStringLiteral("frmChat"),
                                 QStringLiteral("NotificationWidget")};
    for (const char *language : {"de", "fr"}) {
        for (const QString &window : windows)
            QTest::addRow("%s %s", language, qPrintable(window)) << QString::fromLatin1(language) << window;
    }
}

void TestTranslatedLayouts::textsFit()
{
    QFETCH(QString, language);
    QFETCH(QString, window);
    useLanguage(language);
    std::unique_ptr<QWidget> shown;
    const QList<std::function<void()>> states = openWindow(window, shown);
    QVERIFY(shown);
    shown->show();
    QVERIFY(QTest::qWaitForWindowExposed(shown.get()));
    int state = 0;
    for (const auto &enter : states) {
        enter();
        QCoreApplication::processEvents();
        const QStringList clipped = clippedTexts(shown.get());
        QVERIFY2(clipped.isEmpty(),
                 qPrintable(QStringLiteral("state %1: ").arg(state) + clipped.join(QStringLiteral("; "))));
        const QStringList bars = visibleHorizontalScrollBars(shown.get());
        QVERIFY2(bars.isEmpty(), qPrintable(QStringLiteral("state %1: ").arg(state) + bars.join(QStringLiteral(", "))));
        ++state;
    }
}

void TestTranslatedLayouts::captchaAnswerShowsSixDigits_data()
{
    QTest::addColumn<QString>("language");
    for (const char *language : {"en", "de", "fr"})
        QTest::newRow(language) << QString::fromLatin1(language);
}

void TestTranslatedLayouts::captchaAnswerShowsSixDigits()
{
    QFETCH(QString, language);
    useLanguage(language);
    auto window = loginWindow(false);
    child<QStackedWidget>(window.get(), "swTabs")->setCurrentIndex(2);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto *field = child<QLineEdit>(window.get(), "txtRegisterCaptcha");
    QTest::keyClicks(field, QStringLiteral("888888"));
    // What the field shows: its contents less the frame and the text margins.
    QStyleOptionFrame option;
    option.initFrom(field);
    option.rect = field->rect();
    option.lineWidth =
        field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QRect text = field->style()
                           ->subElementRect(QStyle::SE_LineEditContents, &option, field)
                           .marginsRemoved(field->textMargins());
    const int shown = text.width() - 2 * 2; // the line edit's own horizontal margin on each side
    QVERIFY2(field->fontMetrics().horizontalAdvance(field->text()) <= shown,
             qPrintable(QStringLiteral("%1 px for %2 px of digits")
                            .arg(shown)
                            .arg(field->fontMetrics().horizontalAdvance(field->text()))));
}

void TestTranslatedLayouts::registrationFieldsAlign_data()
{
    captchaAnswerShowsSixDigits_data();
}

void TestTranslatedLayouts::registrationFieldsAlign()
{
    QFETCH(QString, language);
    useLanguage(language);
    for (bool designed : {false, true}) {
        auto window = loginWindow(designed);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QList<QStringList> columns = {{QStringLiteral("txtRegisterUserName"), QStringLiteral("txtRegisterShowName"),
                                       QStringLiteral("txtRegisterRealName"), QStringLiteral("txtRegisterUserMail"),
                                       QStringLiteral("txtRegisterPassword"),
                                       QStringLiteral("txtRegisterRepeatPassword"),
                                       QStringLiteral("txtRegisterCaptcha")}};
        if (designed)
            columns << QStringList{QStringLiteral("txtNameDesigned"), QStringLiteral("txtPasswordDesigned")};
        else
            columns << QStringList{QStringLiteral("txtName"), QStringLiteral("txtPassword")};
        auto *tabs = child<QStackedWidget>(window.get(), "swTabs");
        for (const QStringList &column : qAsConst(columns)) {
            const bool registration = column.first().startsWith(QLatin1String("txtRegister"));
            tabs->setCurrentIndex(registration ? 2 : designed ? 3 : 0);
            QCoreApplication::processEvents();
            const int left = window->findChild<QLineEdit *>(column.first())->mapTo(window.get(), QPoint()).x();
            for (const QString &name : column) {
                auto *field = window->findChild<QLineEdit *>(name);
                QVERIFY2(field, qPrintable(name));
                const int x = field->mapTo(window.get(), QPoint()).x();
                QVERIFY2(
                    x == left,
                    qPrintable(QStringLiteral("%1 at %2, %3 at %4").arg(column.first()).arg(left).arg(name).arg(x)));
            }
        }
    }
}

void TestTranslatedLayouts::eachLanguageOnceInTheMenus()
{
    // The same catalogues beside the program as built in, and one more language.
    QTemporaryDir beside;
    QVERIFY(beside.isValid());
    for (const char *code : {"de", "fr"})
        QVERIFY(QFile::copy(QStringLiteral(":/tr/zm_%1.qm").arg(QLatin1String(code)),
                            beside.filePath(QStringLiteral("zm_%1.qm").arg(QLatin1String(code)))));
    QVERIFY(QFile::copy(QStringLiteral(":/tr/zm_de.qm"), beside.filePath(QStringLiteral("zm_it.qm"))));
    const QStringList expected = {QStringLiteral("System (System)"), QStringLiteral("English (English)"),
                                  QStringLiteral("Deutsch (German)"), QString::fromUtf8("français (French)"),
                                  QStringLiteral("italiano (Italian)")};

    auto window = loginWindow(false);
    window->setTranslationDir(beside.path());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    child<QLineEdit>(window.get(), "txtName")->setText(QStringLiteral("alice"));
    QTest::keyClicks(child<QLineEdit>(window.get(), "txtPassword"), QStringLiteral("alice123"));
    QTest::mouseClick(child<QPushButton>(window.get(), "cmdLogin"), Qt::LeftButton);
    QTRY_VERIFY(window->isSessionLoggedIn());
    QMenu *languages = nullptr;
    for (QMenu *menu : window->menuBar()->findChildren<QMenu *>()) {
        if (menu->title() == QLatin1String("Change Language"))
            languages = menu;
    }
    QVERIFY(languages);
    QStringList entries;
    for (QAction *action : languages->actions())
        entries << action->text();
    QCOMPARE(entries, expected);

    frmConfig config(beside.path());
    auto *box = child<QComboBox>(&config, "cbLanguage");
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    QCOMPARE(items, expected);
    window->logoutUser();
}

ZM_HERMETIC_TEST_MAIN(TestTranslatedLayouts)
#include "tst_translatedlayouts.moc"
