#include "zvrlistwidget.h"

ZVRListWidget::ZVRListWidget(QWidget *parent)
    : QListWidget(parent)
{}
