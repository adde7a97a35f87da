#include "zvrframe.h"

ZVRFrame::ZVRFrame(QWidget *parent)
    : QFrame(parent, Qt::WindowFlags())
{}

void ZVRFrame::mouseMoveEvent(QMouseEvent *ev)
{
    QWidget::mouseMoveEvent(ev);
    emit mouseMove(ev);
}

void ZVRFrame::mousePressEvent(QMouseEvent *ev)
{
    QWidget::mousePressEvent(ev);
    emit mousePress(ev);
}

void ZVRFrame::mouseReleaseEvent(QMouseEvent *ev)
{
    QWidget::mouseReleaseEvent(ev);
    emit mouseRelease(ev);
}
