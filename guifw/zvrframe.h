#ifndef ZVRFRAME_H
#define ZVRFRAME_H

#include "zguifw_export.h"

#include <QFrame>

class QMouseEvent;

// A frame that reports mouse moves, presses and releases as signals, after QWidget's own
// handling of the event.
class ZGUIFW_EXPORT ZVRFrame : public QFrame
{
    Q_OBJECT
public:
    explicit ZVRFrame(QWidget *parent = nullptr);

signals:
    void mouseMove(QMouseEvent *ev);
    void mousePress(QMouseEvent *ev);
    void mouseRelease(QMouseEvent *ev);

protected:
    void mouseMoveEvent(QMouseEvent *ev) override;
    void mousePressEvent(QMouseEvent *ev) override;
    void mouseReleaseEvent(QMouseEvent *ev) override;
};

#endif
