#include "zmsgfw10q.h"

ZMsgFw10Q::ZMsgFw10Q(QObject *parent)
    : QObject(parent)
{
}

ZMsgFw10Q::~ZMsgFw10Q() = default;
