#ifndef ZVRCHECKBOX_H
#define ZVRCHECKBOX_H

#include "zguifw_export.h"

#include <QCheckBox>

// A check box the client's forms name by their own class.
class ZGUIFW_EXPORT ZVRCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit ZVRCheckBox(QWidget *parent = nullptr);
};

#endif
