#ifndef ZMSGDDEMO_H
#define ZMSGDDEMO_H

#include <QByteArray>
#include <QColor>
#include <QString>

class ZmsgdStore;

// The demo data set: a few accounts that know each other, with pictures, and a demo
// contact that the server itself answers for.
namespace ZmsgdDemo {

QString botName();
// Idempotent: existing accounts keep their passwords and data, missing pieces are added.
bool seed(ZmsgdStore *store, QString *error);
// A generated 128 x 128 PNG: a face in the given colour.
QByteArray avatarPicture(const QColor &color);

} // namespace ZmsgdDemo

#endif
