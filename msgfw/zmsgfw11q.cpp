#include "zmsgfw11q.h"

ZMsgFw11Q::ZMsgFw11Q(QObject *parent)
    : QObject(parent)
    , ZMsgFw11Protocol(QStringLiteral("1.1.0-9"), QStringLiteral("usermail"))
{
}

ZMsgFw11Q::~ZMsgFw11Q() = default;

void ZMsgFw11Q::deliverIncomingObject(const QString &object)
{
    emit objectIncomed(object);
}

bool ZMsgFw11Q::adoptSession(ZMsgFw11Q *other)
{
    return other && takeSessionFrom(*other);
}
