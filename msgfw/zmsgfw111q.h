#ifndef ZMSGFW111Q_H
#define ZMSGFW111Q_H

#include "zmsgfw11protocol.h"

#include <QObject>
#include <QString>

// Protocol generation 1.1 client with avatar download and upload.
class ZMSGFW_EXPORT ZMsgFw111Q : public QObject, public ZMsgFw11Protocol
{
    Q_OBJECT
public:
    explicit ZMsgFw111Q(QObject *parent = nullptr);
    ~ZMsgFw111Q() override;

signals:
    // A pushed line read while a blocking call waited for its reply.
    void objectIncomed(QString object);

protected:
    void deliverIncomingObject(const QString &object) override;
};

#endif
