#ifndef WINDOWWATCH_H
#define WINDOWWATCH_H

#include <QApplication>
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

#endif
