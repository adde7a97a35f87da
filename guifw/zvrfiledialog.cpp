#include "zvrfiledialog.h"

ZVRFileDialog::ZVRFileDialog(QWidget *parent)
    : QFileDialog(parent, QString(), QString(), QString())
{}
