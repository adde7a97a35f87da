#include "PictureFormat.h"

#include <QBuffer>
#include <QImageReader>

namespace PictureFormat {

QByteArray sniff(const QByteArray &bytes)
{
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return QByteArrayLiteral("png");
    if (bytes.startsWith("\xff\xd8\xff"))
        return QByteArrayLiteral("jpeg");
    if (bytes.startsWith("GIF87a") || bytes.startsWith("GIF89a"))
        return QByteArrayLiteral("gif");
    return QByteArray();
}

QImage decode(const QByteArray &bytes, int maxSide, int maxBytes)
{
    const QByteArray format = sniff(bytes);
    if (format.isEmpty() || bytes.size() > maxBytes)
        return QImage();
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // The sniffed format's own reader and no other, whatever the content claims.
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > maxSide || size.height() > maxSide)
        return QImage();
    const QImage image = reader.read();
    if (image.width() > maxSide || image.height() > maxSide)
        return QImage();
    return image;
}

} // namespace PictureFormat
