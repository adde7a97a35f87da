#ifndef PICTUREFORMAT_H
#define PICTUREFORMAT_H

#include <QByteArray>
#include <QImage>

// Pictures that arrive from elsewhere (avatars, the captcha): only PNG, JPEG and GIF are
// decoded, recognised by their first bytes, and only when their dimensions, read from the
// header, are within bounds. Other formats Qt could read are refused: an SVG may name local
// files to load.
namespace PictureFormat {

// "png", "jpeg" or "gif" for bytes that begin like one, else empty.
QByteArray sniff(const QByteArray &bytes);
// The picture, or a null image for other formats, undecodable bytes, more than maxBytes, or
// a width or height above maxSide.
QImage decode(const QByteArray &bytes, int maxSide, int maxBytes);

} // namespace PictureFormat

#endif
