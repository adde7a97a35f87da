#include "zmsgfw.h"

ZMsgFw::ZMsgFw(QObject *parent)
    : QObject(parent)
{}

QString ZMsgFw::getLibraryVersion()
{
    return QStringLiteral("1.1.1-1");
}
