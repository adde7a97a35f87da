#include "zvrpushbutton.h"

ZVRPushButton::ZVRPushButton(QWidget *parent)
    : QPushButton(parent)
{}
