#ifndef WINDOWWATCH_H
#define WINDOWWATCH_H

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>

// Runs action on the visible top-level window with the given title as soon as it is up: a
// modal dialog holds the test inside its own event loop until something closes it.
inline QTimer *whenWindowUp(QObject *context, const QString &title, std::function<void(QWidget *)> action)
{
    auto *timer = new QTimer(context);
    QObject::connect(timer, &QTimer::timeout, context, [timer, title, action] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (!window->isVisible() || window->windowTitle() != title)
                continue;
            timer->stop();
            timer->deleteLater();
            action(window);
            return;
        }
    });
    timer->start(10);
    return timer;
}

// Runs action on the modal dialog as soon as one is open, whatever its title.
inline void whenModalUp(QObject *context, std::function<void(QWidget *)> action)
{
    QTimer::singleShot(10, context, [context, action] {
        if (QWidget *modal = QApplication::activeModalWidget())
            action(modal);
        else
            whenModalUp(context, action);
    });
}

// Clicks a standard button of a button box the way a user does; false when the box or the
// button is missing.
inline bool clickStandardButton(QDialogButtonBox *box, QDialogButtonBox::StandardButton button)
{
    if (!box || !box->button(button))
        return false;
    QTest::mouseClick(box->button(button), Qt::LeftButton);
    return true;
}

// Clicks a widget the way the window system delivers a click: through its window, so that a
// window blocked by a modal dialog does not get it, as it would not from a person.
inline void clickThroughWindow(QWidget *widget)
{
    QWidget *top = widget->window();
    QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, widget->mapTo(top, widget->rect().center()));
}

#endif
