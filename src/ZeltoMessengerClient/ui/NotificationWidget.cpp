#include "NotificationWidget.h"
#include "ui_NotificationWidget.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>

namespace {

const char *const TitleStyle[] = {"background-color: rgb(60, 60, 255); color: rgb(255, 255, 255);",
                                  "background-color: rgb(255, 125, 0); color: rgb(255, 255, 255);"};
const char *const BorderStyle[] = {"background-color: rgb(60, 60, 255);", "background-color: rgb(255, 125, 0);"};
const char *const HoverStyle = "background-color: rgb(200, 200, 200);";
const char *const CloseWhite = "<img src=\":/gui/notification-whitex.png\"/>";
const char *const CloseHighlighted = "<img src=\":/gui/notification-closex.png\"/>";
constexpr int DisplayTimeMs = 10000;
constexpr int FadeTimeMs = 500;
// The opacity falls by 1 / FadeSteps at each step of the fade-out.
constexpr int FadeSteps = 50;

bool underCursor(const QWidget *widget)
{
    return widget->isVisible() && widget->rect().contains(widget->mapFromGlobal(QCursor::pos()));
}

} // namespace

NotificationWidget::NotificationWidget(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::NotificationWidget)
    , displayTimer(new QTimer(this))
    , fadeStepMs(FadeTimeMs / FadeSteps)
{
    ui->setupUi(this);
    displayTimer->setObjectName(QStringLiteral("displayTimer"));
    displayTimer->setSingleShot(true);
    displayTimer->setInterval(DisplayTimeMs);
    connect(displayTimer, &QTimer::timeout, this, &NotificationWidget::startDisableWindow);
    setWindowFlags(
        windowFlags()
        ^ (Qt::FramelessWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowStaysOnTopHint));
    // A popup must not take the keyboard away from whatever the user is typing into.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // A popup that fades out while the main window sits hidden in the tray is not the
    // program's last window closing.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowIcon(QIcon(QStringLiteral(":/gui/zm48.png")));
    setFixedSize(230, 80);
}

NotificationWidget::~NotificationWidget()
{
    delete ui;
}

void NotificationWidget::setDisplayTime(int milliseconds)
{
    displayTimer->setInterval(milliseconds);
}

void NotificationWidget::setFadeTime(int milliseconds)
{
    fadeStepMs = qMax(0, milliseconds / FadeSteps);
}

void NotificationWidget::setNotificationData(const QString &text)
{
    data = text;
}

void NotificationWidget::setNotificationTitle(const QString &title)
{
    setWindowTitle(title);
    ui->labNotificationTitle->setText(title);
}

void NotificationWidget::setNotificationText(const QString &text)
{
    ui->labNotificationText->setText(text);
    if (displayTimer->isActive())
        displayTimer->start();
}

void NotificationWidget::setNotificationImage(const QPixmap &image)
{
    ui->labNotificationImage->setPixmap(image);
}

QPoint NotificationWidget::popupPosition(const QSize &desktop, const QSize &popup)
{
    return QPoint(desktop.width() - popup.width() - 5, desktop.height() - popup.height() - 5);
}

void NotificationWidget::startNotification()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->virtualGeometry() : QRect(0, 0, 800, 600);
    move(desktop.topLeft() + popupPosition(desktop.size(), size()));
    show();
    QTimer::singleShot(500, this, &NotificationWidget::checkSelection);
    displayTimer->start();
    QTimer::singleShot(500, this, &NotificationWidget::notificationColorTimer);
}

void NotificationWidget::applyColor(const QString &name)
{
    const int row = name == QLatin1String("orange") ? 1 : 0;
    ui->labNotificationTitle->setStyleSheet(QLatin1String(TitleStyle[row]));
    const QString border = QLatin1String(BorderStyle[row]);
    ui->labClose->setStyleSheet(border);
    ui->labRandL->setStyleSheet(border);
    ui->labRandR->setStyleSheet(border);
    ui->labRandD->setStyleSheet(border);
    color = name;
}

void NotificationWidget::notificationColorTimer()
{
    applyColor(color == QLatin1String("blue") ? QStringLiteral("orange") : QStringLiteral("blue"));
    QTimer::singleShot(500, this, &NotificationWidget::notificationColorTimer);
}

void NotificationWidget::checkSelection()
{
    const bool overClose = underCursor(ui->labClose);
    if (overClose != closeHover) {
        ui->labClose->setText(QLatin1String(overClose ? CloseHighlighted : CloseWhite));
        closeHover = overClose;
    }
    const bool overBody = underCursor(ui->labNotificationImage) || underCursor(ui->labNotificationText)
        || underCursor(ui->labNotificationSplit);
    if (overBody != bodyHover) {
        const QString style = overBody ? QLatin1String(HoverStyle) : QString();
        ui->labNotificationImage->setStyleSheet(style);
        ui->labNotificationSplit->setStyleSheet(style);
        ui->labNotificationText->setStyleSheet(style);
        bodyHover = overBody;
    }
    QTimer::singleShot(10, this, &NotificationWidget::checkSelection);
}

void NotificationWidget::startDisableWindow()
{
    if (fading)
        return;
    fading = true;
    displayTimer->stop();
    QTimer::singleShot(fadeStepMs, this, &NotificationWidget::disableWindowPart);
}

void NotificationWidget::disableWindowPart()
{
    if (windowOpacity() <= 0.0) {
        close();
        return;
    }
    setWindowOpacity(qMax(0.0, windowOpacity() - 1.0 / FadeSteps));
    QTimer::singleShot(fadeStepMs, this, &NotificationWidget::disableWindowPart);
}

void NotificationWidget::bodyPressed()
{
    emit notificationPressed(data);
    startDisableWindow();
}

void NotificationWidget::on_labClose_mousePress(QMouseEvent *)
{
    startDisableWindow();
}

void NotificationWidget::on_labNotificationImage_mousePress(QMouseEvent *)
{
    bodyPressed();
}

void NotificationWidget::on_labNotificationSplit_mousePress(QMouseEvent *)
{
    bodyPressed();
}

void NotificationWidget::on_labNotificationText_mousePress(QMouseEvent *)
{
    bodyPressed();
}

void NotificationWidget::closeEvent(QCloseEvent *event)
{
    event->accept();
    done(QDialog::Rejected);
}
