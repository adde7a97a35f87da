#include "zvrlabel.h"

ZVRLabel::ZVRLabel(QWidget *parent)
    : QLabel(parent)
{}

void ZVRLabel::mouseMoveEvent(QMouseEvent *ev)
{
    QLabel::mouseMoveEvent(ev);
    emit mouseMove(ev);
}

void ZVRLabel::mousePressEvent(QMouseEvent *ev)
{
    QLabel::mousePressEvent(ev);
    emit mousePress(ev);
}

void ZVRLabel::mouseReleaseEvent(QMouseEvent *ev)
{
    QLabel::mouseReleaseEvent(ev);
    emit mouseRelease(ev);
}
