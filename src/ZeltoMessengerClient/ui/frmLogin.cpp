#include "frmLogin.h"
#include "ui_frmLogin.h"

#include "AppSettings.h"
#include "DataDirectory.h"
#include "DialogSupport.h"
#include "HoverHighlight.h"
#include "Keyring.h"
#include "LabelButton.h"
#include "LanguageList.h"
#include "LanguageMenu.h"
#include "LoginAttempt.h"
#include "LoginPage.h"
#include "LoginStore.h"
#include "MainMenus.h"
#include "MessageFormat.h"
#include "Platform.h"
#include "Registration.h"
#include "RegistrationPage.h"
#include "Sound.h"
#include "TickTimer.h"
#include "UiMessage.h"
#include "UiTray.h"
#include "UpdateThread.h"
#include "WelcomeLine.h"
#include "WindowGeometry.h"

#include <zguifw.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QDesktopServices>
#include <QHostInfo>
#include <QKeySequence>
#include <QMenu>
#include <QSettings>
#include <QStyleFactory>
#include <QTimer>

frmLogin::frmLogin(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::frmLogin)
    , zmsgfw(nullptr)
{
    createTimers();
    setupForm();
    hostName = QHostInfo::localHostName();

    Platform::protectSettingsFile();
    // Conversations and cached pictures are the user's own, also where an older version or
    // another tool left them readable by others.
    DataDirectory::protectContents();
    QSettings settings = AppSettings::open();
    designedMode = settings.value(QStringLiteral("Interface/designedMode"), true).toBool();
    loginPage = std::make_unique<LoginPage>(ui, this, designedMode);
    showInterfaceMode();

    // The designed minimum, or more where translated texts need it.
    layout()->invalidate();
    setMinimumSize(QSize(350, 450).expandedTo(minimumSizeHint()));
    const LoginStore::Remembered remembered = LoginStore::read(settings);
    loginPage->setStartUpChoice(remembered.userBootUp);

    createMenus();
    QTimer::singleShot(0, this, &frmLogin::buildTrayIcon);
    languages = std::make_unique<LanguageMenu>();
    setupKeyboard();
    hover = new HoverHighlight(ui->labDesignedLogin, ui->frStatus, timerLB);
    armTimers();
    keyring = new Keyring(this);
    createSession();
    if (remembered.autologin)
        loginPage->startRemembered(remembered, keyring, [this] { on_doAutologin(); });
    LoginStore::moveToKeyring(settings, keyring);
    restoreWindowGeometry();
}

void frmLogin::setupForm()
{
    ui->setupUi(this);
    setWindowTitle(tr("Zelto Messenger"));
    for (QWidget *hidden :
         {static_cast<QWidget *>(ui->menuBar), static_cast<QWidget *>(ui->cmdStop),
          static_cast<QWidget *>(ui->labDesignedLoginDes), static_cast<QWidget *>(ui->labContactsSearchReset),
          static_cast<QWidget *>(ui->labFriendRequestsDesigned)})
        hidden->hide();
    for (QLineEdit *field :
         {ui->txtPassword, ui->txtPasswordDesigned, ui->txtRegisterPassword, ui->txtRegisterRepeatPassword})
        DialogSupport::limitPasswordField(field);
    // Room for texts longer in translation than in the designed form; the registration page
    // makes its own.
    DialogSupport::alignLabelColumn({ui->labName, ui->labPassword});
    ui->labRegister->setWordWrap(true);
    registration = std::make_unique<RegistrationPage>(
        ui, this, [this](const QString &userName) { registrationCreated(userName); });
}

void frmLogin::createSession()
{
    sessionActive = false;
    zmsgfw = new ZMsgFw111Q(this);
    zmsgfw->setAcknowledging(true);
    connect(zmsgfw, &ZMsgFw111Q::objectIncomed, this, &frmLogin::readIncoming);
    createDispatcher();
    loginPage->setSession({zmsgfw, [this](auto done) { startLoginAttempt(true, std::move(done)); },
                           [this](LoginAttempt &attempt) { return takeOverAttempt(attempt); },
                           [this](const std::function<QString()> &askNick) { enterSession(askNick); },
                           [this] { enterOfflineWithLastNick(); }});
}

bool frmLogin::isLoginInProgress() const
{
    return loginPage->isBusy();
}

void frmLogin::registrationCreated(const QString &userName)
{
    // A session that started meanwhile keeps its page and its login fields: the watchdog
    // logs in again with what they hold.
    if (sessionActive)
        return;
    loginPage->setName(userName);
    on_cmdBack_clicked();
}

void frmLogin::showInterfaceMode()
{
    if (designedMode) {
        ui->swTabs->setCurrentIndex(3);
        contactListInUse = ui->lwContactsDesigned;
        loginPage->useDesignedFont();
        applyDesignedStyles();
    } else {
        ui->swTabs->setCurrentIndex(0);
        contactListInUse = ui->lwContacts;
    }
}

frmLogin::~frmLogin()
{
    if (updateThread)
        updateThread->stop();
    delete ui;
    Platform::quitApplication();
}

void frmLogin::setUpdateObjects(UpdateThread *thread, frmUpdate *dialog)
{
    updateThread = thread;
    updateDialog = dialog;
}

QLabel *frmLogin::statusPicture() const
{
    return ui->labUserStatusDesigned;
}

void frmLogin::on_labDesignedLogin_mouseRelease(QMouseEvent *)
{
    if (HoverHighlight::isCursorInside(ui->labDesignedLogin))
        loginPage->loginFromDesignedPage();
}

void frmLogin::on_doAutologin()
{
    loginPage->unlock();
    loginPage->login(false, true);
}

void frmLogin::startLoginAttempt(bool askNick, std::function<void(LoginAttempt &)> done)
{
    control.startAttempt(loginPage->name(), loginPage->password(), askNick, std::move(done));
}

int frmLogin::takeOverAttempt(LoginAttempt &attempt)
{
    return control.takeOver(attempt);
}

void frmLogin::enterSession(const std::function<QString()> &askNick)
{
    storeLoginChoices();
    sessionActive = true;
    showContactPage();
    contactListInUse->setFocus(Qt::OtherFocusReason);
    ownNick = askNick();
    if (ownNick.left(8) == QLatin1String("///Error"))
        ownNick = loginPage->name();
    updateWelcomeLine(ownNick);
    control.requestAfterLogin();
    buildMenuBar();
}

void frmLogin::enterOfflineWithLastNick()
{
    storeLoginChoices();
    QSettings settings = AppSettings::open();
    const QString name = loginPage->name();
    enterOfflineSession(8, settings.value(QStringLiteral("Nick/") + name, name).toString());
}

void frmLogin::storeLoginChoices()
{
    QSettings settings = AppSettings::open();
    loginPage->storeChoices(settings, keyring);
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

void frmLogin::logoutUser()
{
    control.endSession();
    if (loginPage->isBusy() && isLoginAttemptRunning())
        loginPage->setBusy(false, false);
    zmsgfw->logoutUser();
    sessionActive = false;
    loginPage->reset();
    showLoginPage();

    clearContactTables();
    menus->clearMenuBar();
    languages->clear();
    showOwnState(8);
    closeAllChatWindows();
}

void frmLogin::logoutUserWithRemoveAutologin()
{
    QSettings settings = AppSettings::open();
    loginPage->forgetChoices(settings, keyring);
    logoutUser();
}

void frmLogin::endZM()
{
    if (sessionActive)
        logoutUser();
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
    removeTrayIcon();
    WindowGeometry::storeMain({saveGeometry(), saveState()});
    event->accept();
    Platform::quitApplication();
}

void frmLogin::restoreWindowGeometry()
{
    if (const std::optional<WindowGeometry::Saved> saved = WindowGeometry::readMain()) {
        restoreGeometry(saved->geometry);
        restoreState(saved->state, 0);
    }
}

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
    timerLB->start(HoverHighlight::CheckDelayMs);
    timerSS->start(50);
    timerOA->start(25000);
    timerLC->start(watchdogMs);
    timerFR->start(207500);
}

bool frmLogin::hoverPageVisible() const
{
    if (!designedMode || !isVisible() || isMinimized())
        return false;
    const int page = ui->swTabs->currentIndex();
    return page == 3 || page == 4;
}

void frmLogin::on_timerLB_tick()
{
    hover->update(hoverPageVisible());
}

void frmLogin::setupKeyboard()
{
    loginPage->setupKeyboard();
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
    WelcomeLine::show(ui, nick, friendRequests.size());
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
    chats.refreshStyles();
}

void frmLogin::buildTrayIcon()
{
    if (trayDone)
        return;
    trayDone = true;
    tray = menus->createTrayIcon();
    connect(tray, &QSystemTrayIcon::activated, this, &frmLogin::openLoginWindow);
    if (ownStateShown)
        showOwnState(*ownStateShown);
}

void frmLogin::removeTrayIcon()
{
    trayDone = true;
    delete tray;
    tray = nullptr;
}

void frmLogin::createMenus()
{
    menus = new MainMenus(this, ui->menuBar);
    connect(menus, &MainMenus::stateChosen, this, &frmLogin::setOwnState);
    connect(menus, &MainMenus::logoutChosen, this, &frmLogin::logoutUserWithRemoveAutologin);
    connect(menus, &MainMenus::openChosen, this, &frmLogin::openLoginWindowNormal);
    connect(menus, &MainMenus::minimiseChosen, this, &frmLogin::showMinimized);
    connect(menus, &MainMenus::quitChosen, this, &frmLogin::endZM);
    connect(menus, &MainMenus::addContactChosen, this, &frmLogin::addContact);
    connect(menus, &MainMenus::changePasswordChosen, this, &frmLogin::changePassword);
    connect(menus, &MainMenus::editProfileChosen, this, &frmLogin::editProfile);
    connect(menus, &MainMenus::preferencesChosen, this, &frmLogin::openConfig);
    connect(menus, &MainMenus::checkUpdateChosen, this, &frmLogin::checkUpdate);
    connect(menus, &MainMenus::aboutZeltoChosen, this, &frmLogin::aboutZelto);
    connect(menus, &MainMenus::aboutZMPChosen, this, &frmLogin::aboutZMP);
}

void frmLogin::showOwnState(int state)
{
    const QString icon = ownStateIconPath(state);
    ownStateShown = state;
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

void frmLogin::buildMenuBar()
{
    setupLanguages(menus->buildMenuBar());
}

void frmLogin::on_frStatus_mouseRelease(QMouseEvent *)
{
    if (HoverHighlight::isCursorInside(ui->frStatus))
        on_labWelcomeNick_linkActivated(QStringLiteral("zmp://editprofile"));
}

void frmLogin::playChatIn()
{
    if (notifications.holdChatIn())
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

void frmLogin::setupLanguages(QMenu *menu)
{
    for (QAction *entry : languages->fill(menu, translationDir))
        connect(entry, &QAction::triggered, this, &frmLogin::setLanguage);
}

void frmLogin::setLanguage()
{
    const QString code = languages->codeOf(qobject_cast<QAction *>(sender()));
    if (code.isEmpty())
        return;
    LanguageList::storeChoice(code);
    removeTrayIcon();
    Platform::restartApplication();
}

void frmLogin::on_labRegister_linkActivated(QString link)
{
    if (link != QLatin1String("zmp://register"))
        return;
    // Without a browser the window's own registration page takes the form.
    if (!QDesktopServices::openUrl(Registration::registerFormUrl()))
        registration->show();
}

void frmLogin::on_cmdBack_clicked()
{
    showLoginPage();
    registration->forgetCaptchaPicture();
}
