#ifndef ZMSGFW11Q_H
#define ZMSGFW11Q_H

#include "zmsgfw11protocol.h"

#include <QObject>
#include <QString>

// Protocol generation 1.1 client.
class ZMSGFW_EXPORT ZMsgFw11Q : public QObject, public ZMsgFw11Protocol
{
    Q_OBJECT
public:
    explicit ZMsgFw11Q(QObject *parent = nullptr);
    ~ZMsgFw11Q() override;

signals:
    // A pushed line read while a blocking call waited for its reply.
    void objectIncomed(QString object);

protected:
    void deliverIncomingObject(const QString &object) override;
};

#endif
