#ifndef ZGUIFW_H
#define ZGUIFW_H

#include "zguifw_export.h"

#include <QObject>
#include <QString>

// Version object of the widget library.
class ZGUIFW_EXPORT ZGuiFw : public QObject
{
    Q_OBJECT
public:
    explicit ZGuiFw(QObject *parent = nullptr);
    QString getLibraryVersion();
};

#endif
