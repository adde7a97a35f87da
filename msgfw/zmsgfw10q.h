#ifndef ZMSGFW10Q_H
#define ZMSGFW10Q_H

#include "zmsgfw10protocol.h"

#include <QObject>

// Protocol generation 1.0 client taking and returning QString.
class ZMSGFW_EXPORT ZMsgFw10Q : public QObject, public ZMsgFw10Protocol
{
    Q_OBJECT
public:
    explicit ZMsgFw10Q(QObject *parent = nullptr);
    ~ZMsgFw10Q() override;
};

#endif
