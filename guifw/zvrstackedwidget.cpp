#include "zvrstackedwidget.h"

ZVRStackedWidget::ZVRStackedWidget(QWidget *parent)
    : QStackedWidget(parent)
{}
