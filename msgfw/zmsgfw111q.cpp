#include "zmsgfw111q.h"

ZMsgFw111Q::ZMsgFw111Q(QObject *parent)
    : QObject(parent)
    , ZMsgFw11Protocol(QStringLiteral("1.1.1-1"), QStringLiteral("mail"))
{
}

ZMsgFw111Q::~ZMsgFw111Q() = default;

void ZMsgFw111Q::deliverIncomingObject(const QString &object)
{
    emit objectIncomed(object);
}
