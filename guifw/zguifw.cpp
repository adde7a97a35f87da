#include "zguifw.h"

ZGuiFw::ZGuiFw(QObject *parent)
    : QObject(parent)
{}

QString ZGuiFw::getLibraryVersion()
{
    return QStringLiteral("1.0.0-7");
}
