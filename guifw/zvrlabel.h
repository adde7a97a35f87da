#ifndef ZVRLABEL_H
#define ZVRLABEL_H

#include "zguifw_export.h"

#include <QLabel>

class QMouseEvent;

// A label that reports mouse moves, presses and releases as signals, after QLabel's own
// handling (text selection and links keep working).
class ZGUIFW_EXPORT ZVRLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ZVRLabel(QWidget *parent = nullptr);

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
