#ifndef ZVRLISTWIDGET_H
#define ZVRLISTWIDGET_H

#include "zguifw_export.h"

#include <QListWidget>

// A list widget the client's forms name by their own class.
class ZGUIFW_EXPORT ZVRListWidget : public QListWidget
{
    Q_OBJECT
public:
    explicit ZVRListWidget(QWidget *parent = nullptr);
};

#endif
