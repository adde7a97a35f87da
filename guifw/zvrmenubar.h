#ifndef ZVRMENUBAR_H
#define ZVRMENUBAR_H

#include "zguifw_export.h"

#include <QMenuBar>

// A menu bar the client's forms name by their own class.
class ZGUIFW_EXPORT ZVRMenuBar : public QMenuBar
{
    Q_OBJECT
public:
    explicit ZVRMenuBar(QWidget *parent = nullptr);
};

#endif
