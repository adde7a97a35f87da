#include "zvrmenubar.h"

ZVRMenuBar::ZVRMenuBar(QWidget *parent)
    : QMenuBar(parent)
{}
