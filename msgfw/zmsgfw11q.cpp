#include "zmsgfw11q.h"

#include "zmsgfw11protocol.h"

ZMsgFw11Q::ZMsgFw11Q(QObject *parent)
    : QObject(parent)
    , ZMsgFw11Session(QStringLiteral("1.1.0-9"), QStringLiteral("usermail"),
                      [this](const QString &object) { emit objectIncomed(object); })
{}

ZMsgFw11Q::~ZMsgFw11Q() = default;

bool ZMsgFw11Q::adoptSession(ZMsgFw11Q *other)
{
    return other && engine().takeSessionFrom(other->engine());
}
