#ifndef NOTIFICATIONWIDGET_H
#define NOTIFICATIONWIDGET_H

#include <QDialog>
#include <QString>

class QCloseEvent;
class QMouseEvent;
class QPixmap;
class QTimer;

namespace Ui {
class NotificationWidget;
}

// Small frameless always-on-top popup in the lower right corner of the desktop. It blinks its
// border, highlights under the mouse, fades out by itself after ten seconds and reports a
// click on its body with its data text.
class NotificationWidget : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY(NotificationWidget)
public:
    explicit NotificationWidget(QWidget *parent = nullptr);
    ~NotificationWidget() override;

    void setNotificationData(const QString &data);
    void setNotificationTitle(const QString &title);
    // A popup already showing starts its display time anew with a new text.
    void setNotificationText(const QString &text);
    void setNotificationImage(const QPixmap &image);
    // Places the popup, shows it and arms its timers.
    void startNotification();
    // How long the popup shows before it fades out; ten seconds unless set.
    void setDisplayTime(int milliseconds);
    // How long the fade-out takes; half a second unless set.
    void setFadeTime(int milliseconds);

    QString notificationData() const { return data; }
    QString colorState() const { return color; }
    bool isFading() const { return fading; }
    // Where startNotification puts a popup of the given size on a desktop of the given size.
    static QPoint popupPosition(const QSize &desktop, const QSize &popup);

signals:
    void notificationPressed(const QString &data);

public slots:
    void startDisableWindow();
    void disableWindowPart();
    void checkSelection();
    void notificationColorTimer();

private slots:
    void on_labClose_mousePress(QMouseEvent *event);
    void on_labNotificationImage_mousePress(QMouseEvent *event);
    void on_labNotificationSplit_mousePress(QMouseEvent *event);
    void on_labNotificationText_mousePress(QMouseEvent *event);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void applyColor(const QString &name);
    void bodyPressed();

    Ui::NotificationWidget *ui;
    // Runs from the start until the fade-out begins.
    QTimer *displayTimer;
    int fadeStepMs;
    QString data;
    QString color = QStringLiteral("blue");
    bool fading = false;
    bool closeHover = false;
    bool bodyHover = false;
};

#endif
