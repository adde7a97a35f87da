#ifndef ZMSGFW11Q_H
#define ZMSGFW11Q_H

#include "zmsgfw11session.h"

#include <QObject>
#include <QString>

// Protocol generation 1.1 client.
class ZMSGFW_EXPORT ZMsgFw11Q : public QObject, public ZMsgFw11Session
{
    Q_OBJECT
public:
    explicit ZMsgFw11Q(QObject *parent = nullptr);
    ~ZMsgFw11Q() override;

    // Takes over the logged-in connection of other, which other's moveSessionToThread gave to
    // this object's thread, and closes this object's own: no second login. Lines other had not
    // read yet are read here; other is left logged out. False, with nothing changed, when other
    // has not logged in or its connection lives on another thread.
    bool adoptSession(ZMsgFw11Q *other);

signals:
    // A pushed line read while a blocking call waited for its reply.
    void objectIncomed(QString object);
};

#endif
