#ifndef HOVERHIGHLIGHT_H
#define HOVERHIGHLIGHT_H

#include <QObject>

class QTimer;
class QWidget;

// The designed pages' hover highlighting of the login "button" and the status frame.
// Entering, leaving and keyboard focus start the check timer once: polling the cursor kept
// the X server busy for as long as the page was open.
class HoverHighlight : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(HoverHighlight)

public:
    // The check is looked at this long after the cursor entered or left a widget.
    static constexpr int CheckDelayMs = 10;

    HoverHighlight(QWidget *login, QWidget *status, QTimer *hoverCheck);

    // Styles both widgets for where the cursor is; nothing is highlighted unless pageShown.
    void update(bool pageShown);

    static bool isCursorInside(const QWidget *widget);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *loginButton;
    QWidget *statusFrame;
    QTimer *check;
    bool loginHover = false;
    bool statusHover = false;
};

#endif
