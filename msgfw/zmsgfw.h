#ifndef ZMSGFW_H
#define ZMSGFW_H

#include "zmsgfw_export.h"

#include <QObject>
#include <QString>

// Version object of the protocol library.
class ZMSGFW_EXPORT ZMsgFw : public QObject
{
    Q_OBJECT
public:
    explicit ZMsgFw(QObject *parent = nullptr);
    QString getLibraryVersion();
};

#endif
