#ifndef ZVRLINEEDIT_H
#define ZVRLINEEDIT_H

#include "zguifw_export.h"

#include <QLineEdit>

// A line edit the client's forms name by their own class.
class ZGUIFW_EXPORT ZVRLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit ZVRLineEdit(QWidget *parent = nullptr);
    void setPlaceholderText(const QString &text);
};

#endif
