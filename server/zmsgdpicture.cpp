#include "zmsgdpicture.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

namespace ZmsgdPicture {

QByteArray sniffFormat(const QByteArray &data)
{
    if (data.startsWith(QByteArray("\x89PNG\r\n\x1a\n", 8)))
        return "png";
    if (data.startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (data.startsWith("GIF87a") || data.startsWith("GIF89a"))
        return "gif";
    return QByteArray();
}

QByteArray toAvatarPng(const QByteArray &data)
{
    const QByteArray format = sniffFormat(data);
    if (format.isEmpty())
        return QByteArray();
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // Without this a reader that cannot read the named format asks every other plugin.
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > MaxSide || size.height() > MaxSide)
        return QByteArray();
    QImage image = reader.read();
    if (image.isNull() || image.width() > MaxSide || image.height() > MaxSide)
        return QByteArray();
    if (image.size() != QSize(AvatarSide, AvatarSide))
        image = image.scaled(AvatarSide, AvatarSide, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
                    .copy(0, 0, AvatarSide, AvatarSide);
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (!image.save(&out, "PNG"))
        return QByteArray();
    return png;
}

} // namespace ZmsgdPicture
