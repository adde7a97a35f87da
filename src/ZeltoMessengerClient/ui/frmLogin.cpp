#include "frmLogin.h"
#include "ui_frmLogin.h"

#include "AccountChecks.h"
#include "AppSettings.h"
#include "DataDirectory.h"
#include "DialogSupport.h"
#include "Keyring.h"
#include "LabelButton.h"
#include "LanguageList.h"
#include "LoginAttempt.h"
#include "LoginStore.h"
#include "MessageFormat.h"
#include "MessageReceipts.h"
#include "Platform.h"
#include "Registration.h"
#include "Sound.h"
#include "TickTimer.h"
#include "UiMessage.h"
#include "UiTray.h"
#include "UpdateThread.h"
#include "frmUpdate.h"

#include <zguifw.h>
#include <zmsgfw111q.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>

namespace {

// The designed pages' hover highlighting is looked at this long after the cursor entered or
// left one of the highlighted widgets.
constexpr int HoverCheckMs = 10;
// A keyring may first ask the user to unlock it; the automatic login waits that long at most.
constexpr int KeyringWaitMs = 30000;

const char LoginHoverStyle[] =
    "background-color: rgb(255, 255, 255); border-color: rgb(215, 120, 50); color: rgb(215, 70, 25);";
const char LoginNormalStyle[] = "background-color: rgb(215, 70, 25); border-color: rgb(215, 120, 50);";
const char StatusHoverStyle[] = "background-color: rgb(191, 191, 191); color: rgb(255, 255, 255);";
const char StatusNormalStyle[] = "background-color: rgb(255, 255, 255); color: rgb(128, 128, 128);";

} // namespace

frmLogin::frmLogin(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::frmLogin)
    , zmsgfw(nullptr)
{
    createTimers();
    ui->setupUi(this);
    setWindowTitle(tr("Zelto Messenger"));
    setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    ui->labZMImage->setPixmap(QPixmap(QStringLiteral(":/gui/ZeltoMessengerAvatar.png")));

    hostName = QHostInfo::localHostName();
    defaultAvatar = QImage(QStringLiteral(":/gui/0-default.png"));

    ui->menuBar->hide();
    ui->cmdStop->hide();
    ui->labDesignedLoginDes->hide();
    ui->labContactsSearchReset->hide();
    ui->labFriendRequestsDesigned->hide();
    for (QLineEdit *field :
         {ui->txtPassword, ui->txtPasswordDesigned, ui->txtRegisterPassword, ui->txtRegisterRepeatPassword})
        DialogSupport::limitPasswordField(field);
    fitTranslatedTexts();

    Platform::protectSettingsFile();
    // Conversations and cached pictures are the user's own, also where an older version or
    // another tool left them readable by others.
    DataDirectory::protectContents();
    QSettings settings = AppSettings::open();
    designedMode = settings.value(QStringLiteral("Interface/designedMode"), true).toBool();
    showInterfaceMode();

    // The designed minimum, or more where translated texts need it.
    layout()->invalidate();
    setMinimumSize(QSize(350, 450).expandedTo(minimumSizeHint()));
    userBootUp = settings.value(QStringLiteral("Login/userBootUp"), true).toBool();
    if (!userBootUp) {
        ui->cbStartWithWindows->setChecked(false);
        ui->cbStartWithWindowsDesigned->setChecked(false);
    }

    buildTrayIcon();
    setupKeyboard();

    ui->labDesignedLogin->installEventFilter(this);
    ui->frStatus->installEventFilter(this);
    armTimers();
    keyring = new Keyring(this);
    const LoginStore::Remembered remembered = LoginStore::read(settings);
    sessionActive = false;
    zmsgfw = new ZMsgFw111Q(this);
    zmsgfw->setAcknowledging(true);
    connect(zmsgfw, &ZMsgFw111Q::objectIncomed, this, &frmLogin::readIncoming);
    receipts = new MessageReceipts([this](qint64 id) { zmsgfw->acknowledgeMessage(id); }, this);
    if (remembered.autologin)
        startRememberedLogin(remembered);
    LoginStore::moveToKeyring(settings, keyring);

    restoreWindowGeometry();
}

void frmLogin::showInterfaceMode()
{
    if (designedMode) {
        ui->swTabs->setCurrentIndex(3);
        contactListInUse = ui->lwContactsDesigned;
        QFont font = ui->txtNameDesigned->font();
        font.setPixelSize(15);
        for (QWidget *widget :
             {static_cast<QWidget *>(ui->txtNameDesigned), static_cast<QWidget *>(ui->txtPasswordDesigned),
              static_cast<QWidget *>(ui->labDesignedLogin), static_cast<QWidget *>(ui->labDesignedLoginDes),
              static_cast<QWidget *>(ui->cbStayLoggedInDesigned),
              static_cast<QWidget *>(ui->cbStartWithWindowsDesigned)})
            widget->setFont(font);
        applyDesignedStyles();
    } else {
        ui->swTabs->setCurrentIndex(0);
        contactListInUse = ui->lwContacts;
    }
}

void frmLogin::startRememberedLogin(const LoginStore::Remembered &remembered)
{
    ui->txtName->setText(remembered.name);
    ui->txtNameDesigned->setText(remembered.name);
    ui->txtPassword->setText(remembered.password);
    ui->txtPasswordDesigned->setText(remembered.password);
    ui->cbStayLoggedIn->setChecked(true);
    ui->cbStayLoggedInDesigned->setChecked(true);
    ui->cbStayLoggedIn->setEnabled(false);
    ui->cbStayLoggedInDesigned->setEnabled(false);
    ui->txtName->setEnabled(false);
    ui->txtPassword->setEnabled(false);
    ui->cmdLogin->setEnabled(false);
    if (remembered.passwordInKeyring)
        fetchKeyringPassword(remembered.name);
    else
        QTimer::singleShot(50, this, &frmLogin::on_doAutologin);
}

frmLogin::~frmLogin()
{
    // Waits for a login still running; what it brings is dropped.
    delete loginAttempt.data();
    if (updateThread)
        updateThread->stop();
    delete ui;
    Platform::quitApplication();
}

void frmLogin::setTranslationDir(const QString &dir)
{
    translationDir = dir;
}

void frmLogin::setUpdateObjects(UpdateThread *thread, frmUpdate *dialog)
{
    updateThread = thread;
    updateDialog = dialog;
}

// ---------------------------------------------------------------------------------------
// Session forwarders

bool frmLogin::isSessionLoggedIn()
{
    return sessionActive && zmsgfw->isLoggedIn();
}

int frmLogin::addUserContact(QString user)
{
    return zmsgfw->addUserContact(user);
}

int frmLogin::delUserContact(QString user)
{
    return zmsgfw->delUserContact(user);
}

int frmLogin::sendMessageToUser(QString user, QString message)
{
    return zmsgfw->sendMessageToUser(user, message);
}

int frmLogin::setUserPassword(QString oldPassword, QString newPassword)
{
    return zmsgfw->setUserPassword(oldPassword, newPassword);
}

int frmLogin::setUserNick(QString nick)
{
    return zmsgfw->setUserNick(nick);
}

int frmLogin::setUserMessageState(QString message)
{
    return zmsgfw->setUserMessageState(message);
}

QString frmLogin::getClassVersion()
{
    return zmsgfw->getClassVersion();
}

QString frmLogin::getLibraryVersion()
{
    ZGuiFw guifw;
    return guifw.getLibraryVersion();
}

QString frmLogin::ownUserName() const
{
    return ui->txtName->text();
}

QLabel *frmLogin::statusPicture() const
{
    return ui->labUserStatusDesigned;
}

// ---------------------------------------------------------------------------------------
// Login and session

void frmLogin::on_cmdLogin_clicked()
{
    performLogin(true, false);
}

void frmLogin::on_labDesignedLogin_mousePress(QMouseEvent *)
{}

void frmLogin::on_labDesignedLogin_mouseRelease(QMouseEvent *)
{
    if (isCursorInside(ui->labDesignedLogin))
        loginFromDesignedPage();
}

void frmLogin::loginFromDesignedPage()
{
    // A running login reads the fields; they are not changed under it.
    if (loginInProgress)
        return;
    ui->txtName->setText(ui->txtNameDesigned->text());
    ui->txtPassword->setText(ui->txtPasswordDesigned->text());
    ui->cbStayLoggedIn->setChecked(ui->cbStayLoggedInDesigned->isChecked());
    ui->cbStartWithWindows->setChecked(ui->cbStartWithWindowsDesigned->isChecked());
    performLogin(true, false);
}

void frmLogin::on_doAutologin()
{
    ui->cbStayLoggedIn->setEnabled(true);
    ui->cbStayLoggedInDesigned->setEnabled(true);
    ui->txtName->setEnabled(true);
    ui->txtPassword->setEnabled(true);
    ui->cmdLogin->setEnabled(true);
    performLogin(false, true);
}

void frmLogin::fetchKeyringPassword(const QString &name)
{
    LoginStore::fetchPassword(keyring, name, KeyringWaitMs, this, [this](bool found, const QString &password) {
        if (found) {
            ui->txtPassword->setText(password);
            ui->txtPasswordDesigned->setText(password);
            on_doAutologin();
            return;
        }
        // Without the password the user logs in by hand; the name is already there.
        qInfo() << "The keyring did not give the remembered password";
        for (QWidget *widget : {static_cast<QWidget *>(ui->cbStayLoggedIn),
                                static_cast<QWidget *>(ui->cbStayLoggedInDesigned), static_cast<QWidget *>(ui->txtName),
                                static_cast<QWidget *>(ui->txtPassword), static_cast<QWidget *>(ui->cmdLogin)})
            widget->setEnabled(true);
        (designedMode ? ui->txtPasswordDesigned : ui->txtPassword)->setFocus(Qt::OtherFocusReason);
    });
}

void frmLogin::setLoginBusy(bool busy, bool blocking)
{
    loginInProgress = busy;
    ui->cmdLogin->setEnabled(!busy);
    ui->cmdLogin->setText(busy ? tr("Logging in...") : tr("Login"));
    ui->labDesignedLogin->setEnabled(!busy);
    ui->labDesignedLogin->setText(busy ? tr("Logging in...") : tr("Login"));
    if (!blocking) {
        for (QWidget *field :
             {static_cast<QWidget *>(ui->txtName), static_cast<QWidget *>(ui->txtPassword),
              static_cast<QWidget *>(ui->txtNameDesigned), static_cast<QWidget *>(ui->txtPasswordDesigned)})
            field->setEnabled(!busy);
        return;
    }
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The login blocks this thread; paint the busy state before it starts.
        repaint();
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void frmLogin::performLogin(bool showErrors, bool fallBackOffline)
{
    // A click that arrives while a login waits for the server must not start another one.
    if (loginInProgress)
        return;
    if (!checkLoginInput(showErrors))
        return;
    // The automatic login runs off this thread, so the window is painted and usable while a
    // server that does not answer is waited for. A login the user started shows it is busy.
    if (!showErrors) {
        setLoginBusy(true, false);
        startLoginAttempt(true, [this, showErrors, fallBackOffline](LoginAttempt &attempt) {
            setLoginBusy(false, false);
            const int result = takeOverAttempt(attempt);
            if (result == 200)
                enterSession([&attempt] { return attempt.nick(); });
            else
                loginFailed(result, showErrors, fallBackOffline);
        });
        return;
    }
    setLoginBusy(true, true);
    const int result = zmsgfw->loginUser(ui->txtName->text(), ui->txtPassword->text());
    setLoginBusy(false, true);
    if (result == 200)
        enterSession([this] { return zmsgfw->getUserNick(); });
    else
        loginFailed(result, showErrors, fallBackOffline);
}

void frmLogin::startLoginAttempt(bool askNick, std::function<void(LoginAttempt &)> done)
{
    auto *attempt = new LoginAttempt(ui->txtName->text(), ui->txtPassword->text(), askNick, this);
    attempt->setReplyTimeout(zmsgfw->replyTimeout());
    loginAttempt = attempt;
    const quint64 generation = sessionGeneration;
    // Only this handler deletes an attempt, apart from the destructor, which takes the
    // queued call with the window.
    connect(attempt, &QThread::finished, this, [this, attempt, generation, done] {
        const std::unique_ptr<LoginAttempt> ended(attempt);
        loginAttempt = nullptr;
        if (generation != sessionGeneration) {
            qInfo() << "A login that ended after a logout is dropped";
            return;
        }
        done(*ended);
    });
    attempt->start();
}

int frmLogin::takeOverAttempt(LoginAttempt &attempt)
{
    // What the server pushed before its replies is handled as if the session had read it.
    for (const QString &object : attempt.objectsMeanwhile())
        readIncoming(object);
    const int result = attempt.result();
    if (result == 200 && !zmsgfw->adoptSession(attempt.session()))
        return 500;
    return result;
}

void frmLogin::enterSession(const std::function<QString()> &askNick)
{
    storeLoginChoices();
    sessionActive = true;
    showContactPage();
    contactListInUse->setFocus(Qt::OtherFocusReason);
    ownNick = askNick();
    if (ownNick.left(8) == QLatin1String("///Error"))
        ownNick = ui->txtName->text();
    updateWelcomeLine(ownNick);
    zmsgfw->requestGetUserAvatar();
    zmsgfw->requestGetUserContactsWithAvatar();
    zmsgfw->requestGetUserContactsWithStates();
    zmsgfw->requestGetUserContactsRequests();
    zmsgfw->requestGetUserOnlineState();
    buildMenuBar();
}

void frmLogin::loginFailed(int result, bool showErrors, bool fallBackOffline)
{
    if (result == 404) {
        if (showErrors)
            UiMessage::warning(this, tr("Login"), tr("You have type invalid account data!"));
    } else if (result == 429) {
        // The server holds back further guesses for a while; without a word the Login button
        // would seem to do nothing.
        if (showErrors)
            UiMessage::warning(this, tr("Login"),
                               tr("Too many failed logins for this account or from this computer. Please wait a few "
                                  "minutes before you try again."));
    } else if (result == 500) {
        if (showErrors)
            UiMessage::warning(this, tr("Login"),
                               tr("Can't connect to %1 Server").arg(QStringLiteral("Zelto Messenger")));
        if (fallBackOffline) {
            storeLoginChoices();
            QSettings settings = AppSettings::open();
            const QString nick =
                settings.value(QStringLiteral("Nick/") + ui->txtName->text(), ui->txtName->text()).toString();
            enterOfflineSession(8, nick);
        }
    }
}

bool frmLogin::checkLoginInput(bool showErrors)
{
    QString problem;
    switch (AccountChecks::checkLogin(ui->txtName->text(), ui->txtPassword->text())) {
    case AccountChecks::LoginProblem::None:
        return true;
    case AccountChecks::LoginProblem::NameLineBreak:
        problem = tr("The user name contains a line break. Please enter it again without one.");
        break;
    case AccountChecks::LoginProblem::PasswordLineBreak:
        problem = tr("The password contains a line break. Please enter it again without one.");
        break;
    }
    if (showErrors)
        UiMessage::warning(this, tr("Login"), problem);
    return false;
}

void frmLogin::storeLoginChoices()
{
    QSettings settings = AppSettings::open();
    userBootUp = LoginStore::storeChoices(
        settings, ui->cbStayLoggedIn->isChecked(), ui->cbStartWithWindows->isChecked(), ui->txtName->text(),
        ui->txtPassword->text(), QCoreApplication::applicationFilePath(), userBootUp, keyring);
}

void frmLogin::enterOfflineSession(int state, QString nick)
{
    sessionActive = true;
    disconnected = true;
    showContactPage();
    contactListInUse->setFocus(Qt::OtherFocusReason);
    ownNick = nick;
    updateWelcomeLine(nick);
    showOwnState(state);
    buildMenuBar();
}

void frmLogin::on_cbStayLoggedIn_stateChanged(int)
{
    if (ui->cbStayLoggedIn->isChecked()) {
        ui->cbStartWithWindows->setChecked(userBootUp);
        ui->cbStartWithWindows->setEnabled(true);
    } else {
        userBootUp = ui->cbStartWithWindows->isChecked();
        ui->cbStartWithWindows->setChecked(false);
        ui->cbStartWithWindows->setEnabled(false);
    }
}

void frmLogin::logoutUser()
{
    ++sessionGeneration;
    if (loginInProgress && loginAttempt)
        setLoginBusy(false, false);
    zmsgfw->logoutUser();
    sessionActive = false;

    ui->txtName->clear();
    ui->txtNameDesigned->clear();
    (designedMode ? ui->txtNameDesigned : ui->txtName)->setFocus(Qt::OtherFocusReason);
    ui->txtPassword->clear();
    ui->txtPasswordDesigned->clear();
    ui->cbStayLoggedIn->setChecked(true);
    ui->cbStayLoggedInDesigned->setChecked(true);
    ui->cbStartWithWindows->setChecked(userBootUp);
    ui->cbStartWithWindowsDesigned->setChecked(userBootUp);

    showLoginPage();

    clearContactTables();
    for (const QPointer<QObject> &object : qAsConst(menuBarObjects)) {
        if (object)
            object->deleteLater();
    }
    menuBarObjects.clear();
    ui->menuBar->clear();
    clearLanguageTables();
    ui->menuBar->hide();

    if (tray) {
        tray->setIcon(QIcon(ownStateIconPath(8)));
        tray->setToolTip(QStringLiteral("Zelto Messenger (") + tr("Offline") + QLatin1Char(')'));
    }
    ui->labUserStatusDesigned->setPixmap(QPixmap(ownStateIconPath(8)));

    closeAllChatWindows();
}

void frmLogin::logoutUserWithRemoveAutologin()
{
    QSettings settings = AppSettings::open();
    LoginStore::forget(settings, keyring);
    userBootUp = false;
    logoutUser();
}

void frmLogin::endZM()
{
    if (sessionActive)
        logoutUser();
    close();
}

void frmLogin::on_cmdClose_clicked()
{
    close();
}

void frmLogin::on_cmdStop_clicked()
{
    close();
}

void frmLogin::closeEvent(QCloseEvent *event)
{
    if (sessionActive && UiTray::available()) {
        showMinimized();
        event->ignore();
        return;
    }
    // Without a tray a minimised window may be out of reach: the program ends as with "Quit",
    // and the remembered login stays.
    if (sessionActive)
        logoutUser();
    delete tray;
    tray = nullptr;
    saveWindowGeometry();
    event->accept();
    Platform::quitApplication();
}

void frmLogin::saveWindowGeometry()
{
    Platform::protectSettingsFile();
    QSettings settings = AppSettings::open();
    settings.beginGroup(QStringLiteral("Windows"));
    settings.setValue(QStringLiteral("loginGeometry"), saveGeometry());
    settings.setValue(QStringLiteral("loginState"), saveState());
    settings.endGroup();
    settings.sync();
}

void frmLogin::restoreWindowGeometry()
{
    QSettings settings = AppSettings::open();
    settings.beginGroup(QStringLiteral("Windows"));
    if (settings.contains(QStringLiteral("loginGeometry")) && settings.contains(QStringLiteral("loginState"))) {
        restoreGeometry(settings.value(QStringLiteral("loginGeometry")).toByteArray());
        restoreState(settings.value(QStringLiteral("loginState")).toByteArray(), 0);
    }
    settings.endGroup();
}

// ---------------------------------------------------------------------------------------
// Timers

void frmLogin::createTimers()
{
    // Created before the form's setup, which binds on_timerXX_tick to each by name.
    timerLB = new TickTimer(QStringLiteral("timerLB"), this);
    timerSS = new TickTimer(QStringLiteral("timerSS"), this);
    timerOA = new TickTimer(QStringLiteral("timerOA"), this);
    timerLC = new TickTimer(QStringLiteral("timerLC"), this);
    timerFR = new TickTimer(QStringLiteral("timerFR"), this);
}

void frmLogin::armTimers()
{
    timerLB->start(HoverCheckMs);
    timerSS->start(50);
    timerOA->start(25000);
    timerLC->start(watchdogMs);
    timerFR->start(207500);
}

void frmLogin::setWatchdogInterval(int milliseconds)
{
    watchdogMs = milliseconds;
    if (timerLC->isActive())
        timerLC->start(watchdogMs);
}

void frmLogin::on_timerSS_tick()
{
    if (isSessionLoggedIn() && !trayStatusMenu->isEnabled())
        trayStatusMenu->setEnabled(true);
    // Lines that arrived before the server closed the connection are handled all the same.
    if (sessionActive)
        drainIncoming();
    timerSS->start(100);
}

void frmLogin::on_timerOA_tick()
{
    if (isSessionLoggedIn()) {
        zmsgfw->requestGetUserContactsWithAvatar();
        zmsgfw->requestGetUserContactsWithStates();
    }
    timerOA->start(20000);
}

void frmLogin::on_timerFR_tick()
{
    if (isSessionLoggedIn()) {
        zmsgfw->requestGetUserContactsRequests();
        zmsgfw->requestGetUserAvatar();
    }
    timerFR->start(207500);
}

bool frmLogin::hoverPageVisible() const
{
    if (!designedMode || !isVisible() || isMinimized())
        return false;
    const int page = ui->swTabs->currentIndex();
    return page == 3 || page == 4;
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event)
{
    // Entering, leaving and keyboard focus drive the hover highlighting: polling the cursor
    // kept the X server busy for as long as the page was open.
    const QEvent::Type type = event->type();
    if ((watched == ui->labDesignedLogin || watched == ui->frStatus)
        && (type == QEvent::Enter || type == QEvent::Leave || type == QEvent::FocusIn || type == QEvent::FocusOut))
        timerLB->start(HoverCheckMs);
    return QMainWindow::eventFilter(watched, event);
}

void frmLogin::on_timerLB_tick()
{
    const bool pageShown = hoverPageVisible();
    // The focused login "button" looks as it does under the cursor.
    const bool overLogin = pageShown && (isCursorInside(ui->labDesignedLogin) || ui->labDesignedLogin->hasFocus());
    if (overLogin != loginHover) {
        ui->labDesignedLogin->setStyleSheet(QLatin1String(overLogin ? LoginHoverStyle : LoginNormalStyle));
        loginHover = overLogin;
    }
    const bool overStatus = pageShown && isCursorInside(ui->frStatus);
    if (overStatus != statusHover) {
        ui->frStatus->setStyleSheet(QLatin1String(overStatus ? StatusHoverStyle : StatusNormalStyle));
        statusHover = overStatus;
    }
}

void frmLogin::setupKeyboard()
{
    for (QLineEdit *field : {ui->txtName, ui->txtPassword})
        connect(field, &QLineEdit::returnPressed, ui->cmdLogin, &QPushButton::click);
    for (QLineEdit *field : {ui->txtNameDesigned, ui->txtPasswordDesigned})
        connect(field, &QLineEdit::returnPressed, this, &frmLogin::loginFromDesignedPage);
    LabelButton::attach(ui->labDesignedLogin, [this] { loginFromDesignedPage(); });
    for (QLabel *label : {ui->labRegister, ui->labRegisterDesigned, ui->labFriendRequestsDesigned})
        SingleLinkKeys::attach(label);
    ui->labWelcomeNick->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    // Return on a contact opens the chat, as a double click does.
    for (QListWidget *list :
         {static_cast<QListWidget *>(ui->lwContacts), static_cast<QListWidget *>(ui->lwContactsDesigned)}) {
        auto *open = new QAction(list);
        open->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
        open->setShortcutContext(Qt::WidgetShortcut);
        connect(open, &QAction::triggered, this, &frmLogin::openChat);
        list->addAction(open);
    }
    connect(ui->labRegisterDesigned, &QLabel::linkActivated, this, &frmLogin::on_labRegister_linkActivated);
    connect(ui->labFriendRequestsDesigned, &QLabel::linkActivated, this, &frmLogin::on_labWelcomeNick_linkActivated);
}

bool frmLogin::isCursorInside(QWidget *widget) const
{
    return widget->rect().contains(widget->mapFromGlobal(QCursor::pos()));
}

// ---------------------------------------------------------------------------------------
// Frame: pages, welcome line, styles, tray, status selector, menus

void frmLogin::showLoginPage()
{
    ui->swTabs->setCurrentIndex(designedMode ? 3 : 0);
}

void frmLogin::showContactPage()
{
    ui->swTabs->setCurrentIndex(designedMode ? 4 : 1);
}

void frmLogin::updateWelcomeLine(const QString &nick)
{
    ownNick = nick;
    ui->labUserNameDesigned->setText(nick);
    const int requests = friendRequests.size();
    // The label is rich text; the nick is whatever the server holds.
    const QString shownNick = MessageFormat::escapeName(nick);
    if (requests == 1) {
        ui->labWelcomeNick->setText(tr("Welcome %1 (<a href=\"zmp://editprofile\">Edit Profile</a>)<br>You have 1 "
                                       "(<a href=\"zmp://friendrequests\">Friend Request</a>)")
                                        .arg(shownNick));
    } else if (requests >= 2) {
        ui->labWelcomeNick->setText(tr("Welcome %1 (<a href=\"zmp://editprofile\">Edit Profile</a>)<br>You have %2 "
                                       "(<a href=\"zmp://friendrequests\">Friend Requests</a>)")
                                        .arg(shownNick, QString::number(requests)));
    } else {
        ui->labWelcomeNick->setText(tr("Welcome %1 (<a href=\"zmp://editprofile\">Edit Profile</a>)").arg(shownNick));
    }
    if (requests == 1)
        ui->labFriendRequestsDesigned->setText(tr("You have 1 (<a href=\"zmp://friendrequests\">Friend Request</a>)"));
    else if (requests >= 2)
        ui->labFriendRequestsDesigned->setText(
            tr("You have %1 (<a href=\"zmp://friendrequests\">Friend Requests</a>)").arg(requests));
    ui->labFriendRequestsDesigned->setVisible(requests > 0);
    Platform::protectSettingsFile();
    QSettings settings = AppSettings::open();
    settings.setValue(QStringLiteral("Nick/") + ui->txtName->text(), nick);
    contactBook.forgetStoredNick(ui->txtName->text());
}

void frmLogin::applyDesignedStyles()
{
    QStyle *fusion = QStyleFactory::create(QStringLiteral("fusion"));
    if (fusion) {
        fusion->setParent(this);
        ui->labDesignedLogin->setStyle(fusion);
        ui->frContactsSearch->setStyle(fusion);
        ui->frStatus->setStyle(fusion);
    }
    ui->frContactsSearch->setMinimumHeight(20);
    if (QStyle *current = QStyleFactory::create(QApplication::style()->objectName())) {
        current->setParent(this);
        ui->txtContactsSearch->setStyle(current);
    }
    refreshChatStyles();
}

void frmLogin::buildTrayIcon()
{
    trayStatusMenu = new QMenu(tr("Online status"), this);
    trayStatusMenu->setEnabled(false);
    trayStatusMenu->addAction(QIcon(QStringLiteral(":/img/online-t2x64.png")), tr("Online"), this,
                              &frmLogin::setStateOnline);
    trayStatusMenu->addAction(QIcon(QStringLiteral(":/img/away-t2x64.png")), tr("Away"), this, &frmLogin::setStateAway);
    trayStatusMenu->addAction(QIcon(QStringLiteral(":/img/busy-t2x64.png")), tr("Busy"), this, &frmLogin::setStateBusy);
    trayStatusMenu->addAction(QIcon(QStringLiteral(":/img/notjust-t1x64.png")), tr("Not just"), this,
                              &frmLogin::setStateNotjust);
    trayStatusMenu->addAction(QIcon(QStringLiteral(":/img/offline-t1x64.png")), tr("Show offline"), this,
                              &frmLogin::setStateShowoffline);
    trayStatusMenu->addSeparator();
    trayStatusMenu->addAction(tr("Logout"), this, &frmLogin::logoutUserWithRemoveAutologin);

    trayMenu = new QMenu(this);
    trayMenu->addMenu(trayStatusMenu);
    trayMenu->addSeparator();
    trayMenu->addAction(QIcon(QStringLiteral(":/gui/zm48.png")), tr("Open ZM"), this, &frmLogin::openLoginWindowNormal);
    trayMenu->addAction(QIcon::fromTheme(QStringLiteral("application-exit"), QIcon(QStringLiteral(":/gui/close.png"))),
                        tr("Stop ZM"), this, &frmLogin::endZM);

    tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/img/offline-t1x64.png")), this);
    tray->setToolTip(QStringLiteral("Zelto Messenger (") + tr("Offline") + QLatin1Char(')'));
    tray->setContextMenu(trayMenu);
    tray->setVisible(true);
    connect(tray, &QSystemTrayIcon::activated, this, &frmLogin::openLoginWindow);
}

void frmLogin::showOwnState(int state)
{
    const QString icon = ownStateIconPath(state);
    if (tray) {
        tray->setIcon(QIcon(icon));
        tray->setToolTip(QStringLiteral("Zelto Messenger (") + tr(stateName(state).toUtf8().constData())
                         + QLatin1Char(')'));
    }
    ui->labUserStatusDesigned->setPixmap(QPixmap(icon));
}

void frmLogin::openLoginWindow(QSystemTrayIcon::ActivationReason reason)
{
    if (reason != QSystemTrayIcon::DoubleClick)
        return;
    if (isMinimized()) {
        showNormal();
        activateWindow();
    } else {
        showMinimized();
    }
}

void frmLogin::openLoginWindowNormal()
{
    showNormal();
    activateWindow();
}

void frmLogin::setOwnState(int state)
{
    if (isSessionLoggedIn()) {
        zmsgfw->setUserOnlineState(state);
        zmsgfw->requestGetUserOnlineState();
    } else {
        DialogSupport::showOffline(this);
    }
}

void frmLogin::setStateOnline()
{
    setOwnState(1);
}

void frmLogin::setStateAway()
{
    setOwnState(2);
}

void frmLogin::setStateBusy()
{
    setOwnState(3);
}

void frmLogin::setStateNotjust()
{
    setOwnState(4);
}

void frmLogin::setStateShowoffline()
{
    setOwnState(5);
}

void frmLogin::buildMenuBar()
{
    QMenuBar *bar = ui->menuBar;
    auto track = [this](QObject *object) { menuBarObjects.append(QPointer<QObject>(object)); };
    auto shortcut = [](QAction *action, const char *keys) {
        action->setShortcut(QKeySequence::fromString(QString::fromLatin1(keys), QKeySequence::PortableText));
    };

    QMenu *messenger = bar->addMenu(tr("Messenger"));
    track(messenger);
    QMenu *status = messenger->addMenu(tr("Online status"));
    track(status);
    status->addAction(QIcon(QStringLiteral(":/img/online-t2x64.png")), tr("Online"), this, &frmLogin::setStateOnline);
    status->addAction(QIcon(QStringLiteral(":/img/away-t2x64.png")), tr("Away"), this, &frmLogin::setStateAway);
    status->addAction(QIcon(QStringLiteral(":/img/busy-t2x64.png")), tr("Busy"), this, &frmLogin::setStateBusy);
    status->addAction(QIcon(QStringLiteral(":/img/notjust-t1x64.png")), tr("Not just"), this,
                      &frmLogin::setStateNotjust);
    status->addAction(QIcon(QStringLiteral(":/img/offline-t1x64.png")), tr("Show offline"), this,
                      &frmLogin::setStateShowoffline);
    messenger->addSeparator();
    messenger->addAction(tr("Add contact"), this, &frmLogin::addContact);
    messenger->addAction(tr("Change password"), this, &frmLogin::changePassword);
    messenger->addAction(tr("Edit profile"), this, &frmLogin::editProfile);
    messenger->addSeparator();
    shortcut(messenger->addAction(tr("Logout"), this, &frmLogin::logoutUserWithRemoveAutologin), "CTRL+L");
    shortcut(messenger->addAction(tr("Close"), this, &frmLogin::showMinimized), "ALT+F4");
    // Ends the program like the tray's "Stop ZM": the remembered login stays, unlike Logout.
    shortcut(
        messenger->addAction(QIcon::fromTheme(QStringLiteral("application-exit")), tr("Quit"), this, &frmLogin::endZM),
        "CTRL+Q");

    QMenu *tools = bar->addMenu(tr("Tools"));
    track(tools);
    languageMenu = tools->addMenu(tr("Change Language"));
    track(languageMenu);
    setupLanguages();
    tools->addSeparator();
    QAction *preferences = tools->addAction(tr("Preferences"), this, &frmLogin::openConfig);
    preferences->setShortcuts({QKeySequence::fromString(QStringLiteral("CTRL+S"), QKeySequence::PortableText),
                               QKeySequence::fromString(QStringLiteral("CTRL+,"), QKeySequence::PortableText)});

    QMenu *help = bar->addMenu(tr("Help"));
    track(help);
    shortcut(help->addAction(tr("Check for Update"), this, &frmLogin::checkUpdate), "CTRL+U");
    help->addSeparator();
    shortcut(help->addAction(QIcon(QStringLiteral(":/gui/zelto48.png")), tr("About %1").arg(QStringLiteral("Zelto")),
                             this, &frmLogin::aboutZelto),
             "SHIFT+F1");
    shortcut(help->addAction(QIcon(QStringLiteral(":/gui/zm48.png")), tr("About %1").arg(QStringLiteral("ZMP")), this,
                             &frmLogin::aboutZMP),
             "F1");

    bar->show();
}

void frmLogin::on_frStatus_mouseRelease(QMouseEvent *)
{
    if (isCursorInside(ui->frStatus))
        on_labWelcomeNick_linkActivated(QStringLiteral("zmp://editprofile"));
}

void frmLogin::on_labUserNameDesigned_mouseRelease(QMouseEvent *)
{}

void frmLogin::on_labUserStatusDesigned_mouseRelease(QMouseEvent *)
{}

void frmLogin::playChatIn()
{
    if (notificationQueue.addChatIn())
        return;
    DataDirectory::ensure();
    const QString file = Platform::chatInSoundFile(QCoreApplication::applicationDirPath(), DataDirectory::path());
    if (!file.isEmpty())
        Sound::play(file);
}

void frmLogin::serverGroupChat()
{
    UiMessage::information(this, tr("Server group chat"), tr("Server group chat is disabled on Windows!"));
}

// ---------------------------------------------------------------------------------------
// Language menu

void frmLogin::setupLanguages()
{
    if (!languageMenu)
        return;
    QAction *system = languageMenu->addAction(QStringLiteral("System (System)"), this, &frmLogin::setLanguage);
    languageNames.insert(QStringLiteral("System"), QStringLiteral("System"));
    languageActions.insert(QStringLiteral("System"), system);

    QAction *english = languageMenu->addAction(QStringLiteral("English (English)"), this, &frmLogin::setLanguage);
    languageNames.insert(QStringLiteral("English"), QStringLiteral("en"));
    languageNames.insert(QStringLiteral("en"), QStringLiteral("English"));
    if (QFile::exists(QStringLiteral(":/tr/us.png")))
        english->setIcon(QIcon::fromTheme(QStringLiteral("flag-us"), QIcon(QStringLiteral(":/tr/us.png"))));
    languageActions.insert(QStringLiteral("en"), english);

    const QList<LanguageList::Entry> entries = LanguageList::available(translationDir);
    for (const LanguageList::Entry &entry : qAsConst(entries)) {
        languageNames.insert(entry.code, entry.nativeName);
        languageNames.insert(entry.nativeName, entry.code);
        QAction *action = languageMenu->addAction(entry.menuText(), this, &frmLogin::setLanguage);
        if (!entry.flagResource.isEmpty())
            action->setIcon(QIcon::fromTheme(QStringLiteral("flag-") + entry.code, QIcon(entry.flagResource)));
        action->setData(entry.code);
        languageActions.insert(entry.code, action);
        qDebug().noquote() << QStringLiteral("Language zm_%1.qm added").arg(entry.code);
    }
    system->setData(QStringLiteral("System"));
    english->setData(QStringLiteral("en"));
}

void frmLogin::clearLanguageTables()
{
    languageNames.clear();
    for (QAction *action : qAsConst(languageActions)) {
        if (action)
            action->deleteLater();
    }
    languageActions.clear();
}

void frmLogin::setLanguage()
{
    auto *action = qobject_cast<QAction *>(sender());
    if (!action)
        return;
    // The same code may have two entries (built in and add-on); the action carries its code.
    QString code = action->data().toString();
    if (code.isEmpty())
        code = languageActions.key(action);
    if (code.isEmpty())
        return;

    // The new instance reads the settings at once: they must be on disk before it starts.
    Platform::protectSettingsFile();
    {
        QSettings settings = AppSettings::open();
        settings.setValue(QStringLiteral("Interface/Language"), code);
        settings.sync();
    }
    delete tray;
    tray = nullptr;
    Platform::restartApplication();
}

// ---------------------------------------------------------------------------------------
// Registration

void frmLogin::on_labRegister_linkActivated(QString link)
{
    if (link != QLatin1String("zmp://register"))
        return;
    // Without a browser the window's own registration page takes the form.
    if (!QDesktopServices::openUrl(Registration::registerFormUrl()))
        showRegisterPage();
}

void frmLogin::fitTranslatedTexts()
{
    DialogSupport::alignLabelColumn({ui->labName, ui->labPassword});
    DialogSupport::alignLabelColumn({ui->labRegisterUserName, ui->labRegisterShowName, ui->labRegisterRealName,
                                     ui->labRegisterUserMail, ui->labRegisterPassword, ui->labRegisterRepeatPw,
                                     ui->labDesRegisterCaptcha});
    ui->txtRegisterCaptcha->setMinimumWidth(
        DialogSupport::lineEditWidthFor(ui->txtRegisterCaptcha, QStringLiteral("888888")));
    ui->labRegister->setWordWrap(true);
    DialogSupport::fitScrollAreaWidth(ui->saRegister);
}

void frmLogin::showRegisterPage()
{
    ui->swTabs->setCurrentIndex(2);
    ui->txtRegisterUserName->setFocus(Qt::OtherFocusReason);
    ui->txtRegisterCaptcha->clear();
    loadCaptcha();
}

void frmLogin::on_cmdRegisterCaptchaGenerateNew_clicked()
{
    ui->txtRegisterCaptcha->clear();
    // The focus moves before the picture loads, so a field the user turns to meanwhile keeps it.
    ui->txtRegisterCaptcha->setFocus(Qt::OtherFocusReason);
    loadCaptcha();
}

void frmLogin::on_cmdBack_clicked()
{
    showLoginPage();
    ui->labRegisterCaptcha->setText(tr("Captcha: Not loaded"));
}

void frmLogin::on_cmdRegister_clicked()
{
    // The page sends what the site's own registration form sends.
    if (ui->txtRegisterPassword->text() != ui->txtRegisterRepeatPassword->text()) {
        UiMessage::warning(this, tr("Register"), tr("The passwords do not match."));
        return;
    }
    Registration::Form form;
    form.userName = ui->txtRegisterUserName->text().trimmed();
    form.nickName = ui->txtRegisterShowName->text().trimmed();
    form.realName = ui->txtRegisterRealName->text().trimmed();
    form.mail = ui->txtRegisterUserMail->text().trimmed();
    form.password = ui->txtRegisterPassword->text();
    form.repeatedPassword = ui->txtRegisterRepeatPassword->text();
    form.captchaCode = captchaCode;
    form.captchaAnswer = ui->txtRegisterCaptcha->text().trimmed();

    setRegistrationBusy(true);
    const Registration::Answer answer = Registration::submit(form, 10000);
    setRegistrationBusy(false);
    spentCaptchaCode = captchaCode;

    switch (answer.outcome) {
    case Registration::Outcome::Created:
        registrationCreated(form.userName);
        return;
    case Registration::Outcome::Refused:
        UiMessage::warning(this, tr("Register"), answer.message);
        break;
    case Registration::Outcome::Unconfirmed:
        UiMessage::warning(this, tr("Register"),
                           tr("The registration site %1 did not confirm the account (HTTP %2). Try to log in with "
                              "it before you register again.")
                               .arg(Registration::webHost())
                               .arg(answer.status));
        break;
    case Registration::Outcome::Unreachable:
        UiMessage::warning(this, tr("Register"),
                           tr("The registration site %1 cannot be reached. Check the network connection and try "
                              "again.")
                               .arg(Registration::webHost()));
        // The site never saw this captcha: it stays good for the next try.
        spentCaptchaCode.clear();
        return;
    }
    // A captcha is good for one try only.
    if (ui->swTabs->currentIndex() != 2)
        return;
    ui->txtRegisterCaptcha->clear();
    ui->txtRegisterCaptcha->setFocus(Qt::OtherFocusReason);
    loadCaptcha();
}

void frmLogin::registrationCreated(const QString &userName)
{
    UiMessage::information(this, tr("Register"),
                           tr("The account %1 has been created. You can log in now.").arg(userName));
    for (QLineEdit *field :
         {static_cast<QLineEdit *>(ui->txtRegisterPassword), static_cast<QLineEdit *>(ui->txtRegisterRepeatPassword),
          static_cast<QLineEdit *>(ui->txtRegisterCaptcha)})
        field->clear();
    // A session that started meanwhile keeps its page and its login fields: the watchdog
    // logs in again with what they hold.
    if (sessionActive || ui->swTabs->currentIndex() != 2)
        return;
    ui->txtName->setText(userName);
    ui->txtNameDesigned->setText(userName);
    on_cmdBack_clicked();
}

void frmLogin::setRegistrationBusy(bool busy)
{
    // While the form is posted, neither the page nor a login may change what its answer
    // lands on. Widgets disabled on their own stay disabled afterwards.
    for (QWidget *page : {ui->pRegister, ui->pLogin, ui->pLoginDesigned})
        page->setEnabled(!busy);
}

void frmLogin::loadCaptcha()
{
    QDateTime now = QDateTime::currentDateTime();
    // Codes change with the clock's second; the site takes each code once.
    if (Registration::captchaCode(now) == spentCaptchaCode)
        now = now.addSecs(1);
    captchaCode = Registration::captchaCode(now);
    ui->cmdRegisterCaptchaGenerateNew->setEnabled(false);
    const QByteArray picture = Registration::fetchCaptcha(captchaCode, 5000);
    ui->cmdRegisterCaptchaGenerateNew->setEnabled(true);
    ui->labRegisterCaptcha->setText(Registration::captchaHtml(picture));
}
