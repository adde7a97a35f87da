#include "zvrcheckbox.h"

ZVRCheckBox::ZVRCheckBox(QWidget *parent)
    : QCheckBox(parent)
{}
