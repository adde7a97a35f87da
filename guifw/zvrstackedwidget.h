#ifndef ZVRSTACKEDWIDGET_H
#define ZVRSTACKEDWIDGET_H

#include "zguifw_export.h"

#include <QStackedWidget>

// A stacked widget the client's forms name by their own class.
class ZGUIFW_EXPORT ZVRStackedWidget : public QStackedWidget
{
    Q_OBJECT
public:
    explicit ZVRStackedWidget(QWidget *parent = nullptr);
};

#endif
