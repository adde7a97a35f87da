#ifndef ZVRFILEDIALOG_H
#define ZVRFILEDIALOG_H

#include "zguifw_export.h"

#include <QFileDialog>

// A file dialog the client's forms name by their own class; starts with no caption,
// directory or filter.
class ZGUIFW_EXPORT ZVRFileDialog : public QFileDialog
{
    Q_OBJECT
public:
    explicit ZVRFileDialog(QWidget *parent = nullptr);
};

#endif
