#ifndef ZVRPUSHBUTTON_H
#define ZVRPUSHBUTTON_H

#include "zguifw_export.h"

#include <QPushButton>

// A push button the client's forms name by their own class.
class ZGUIFW_EXPORT ZVRPushButton : public QPushButton
{
    Q_OBJECT
public:
    explicit ZVRPushButton(QWidget *parent = nullptr);
};

#endif
